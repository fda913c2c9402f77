#include "platform/ui/clipbrd.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace
{

TEST(Services, ScriptedMessageBoxesRecordAndAnswerInOrder)
{
    ScriptedMessageBoxes boxes;
    boxes.Answer(IDNO);
    boxes.Answer(IDCANCEL);
    EXPECT_EQ(MessageBoxExA(nullptr, "Cierre de la calculadora\n\n Confirma ?", "Pregunta",
                  MB_ICONQUESTION | MB_YESNO, 10),
        IDNO);
    EXPECT_EQ(Application->MessageBox("¿Seguro?", "Pregunta", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBox(nullptr, "Listo", "Información", MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(MessageBox(nullptr, "Sí", "", MB_YESNO), IDYES) << "without a script a yes/no box says yes";
    ASSERT_EQ(boxes.Count(), 4);
    EXPECT_EQ(boxes.Boxes()[0].Caption, "Pregunta");
    EXPECT_EQ(boxes.Boxes()[0].Text, "Cierre de la calculadora\n\n Confirma ?");
    EXPECT_EQ(boxes.Boxes()[0].Flags, MB_ICONQUESTION | MB_YESNO);
    EXPECT_EQ(boxes.Boxes()[0].Language, LANG_SPANISH);
    EXPECT_EQ(boxes.Boxes()[1].Language, LANG_NEUTRAL);
    EXPECT_EQ(boxes.Boxes()[2].Flags & MB_ICONMASK, MB_ICONINFORMATION);
}

struct ButtonsCase {
    const char *name;
    uint32_t flags;
    uint16_t language;
    std::vector<std::string> labels; // in the order the box lays them out
};

class RealMessageBox : public ::testing::TestWithParam<ButtonsCase>
{
};

// The desktop's box itself: its buttons are read while it is up, and the
// last one is clicked.
TEST_P(RealMessageBox, LabelsItsButtonsInTheLanguageGiven)
{
    Application->Initialize();
    std::vector<std::string> labels;
    QueueCall([&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton *button : box->buttons())
            labels.push_back(button->text().remove('&').toStdString());
        box->buttons().back()->click();
    });
    MessageBoxExA(nullptr, "Texto", "Pregunta", GetParam().flags, GetParam().language);
    std::sort(labels.begin(), labels.end());
    std::vector<std::string> expected = GetParam().labels;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(labels, expected);
}

INSTANTIATE_TEST_SUITE_P(Languages, RealMessageBox,
    ::testing::Values(ButtonsCase { "SpanishYesNo", MB_YESNO, LANG_SPANISH, { "Sí", "No" } },
        ButtonsCase { "SpanishOk", MB_OK, LANG_SPANISH, { "Aceptar" } },
        ButtonsCase { "SpanishOkCancel", MB_OKCANCEL, LANG_SPANISH, { "Aceptar", "Cancelar" } },
        ButtonsCase { "SpanishYesNoCancel", MB_YESNOCANCEL, LANG_SPANISH, { "Sí", "No", "Cancelar" } },
        ButtonsCase { "SpanishAbortRetryIgnore", MB_ABORTRETRYIGNORE, LANG_SPANISH,
            { "Anular", "Reintentar", "Omitir" } },
        ButtonsCase { "SpanishRetryCancel", MB_RETRYCANCEL, LANG_SPANISH, { "Reintentar", "Cancelar" } },
        // Spain's own sublanguage of Spanish (es-ES, 0x0C0A) is Spanish too.
        ButtonsCase { "SpanishOfSpain", MB_YESNO, 0x0C0A, { "Sí", "No" } },
        ButtonsCase { "English", MB_YESNO, LANG_ENGLISH, { "Yes", "No" } }),
    [](const auto &info) { return std::string(info.param.name); });

// The application's own error box has no language of its own: it speaks the
// user's, as the desktop's regional settings give it.
TEST(Services, TheApplicationsErrorBoxSpeaksTheUsersLanguage)
{
    Application->Initialize();
    Application->SetTitle("Prueba");
    const char *saved = std::getenv("LC_ALL");
    const std::string before = saved ? saved : "";
    for (auto [locale, label] : { std::pair { "es_ES.UTF-8", "Aceptar" }, std::pair { "en_US.UTF-8", "OK" } }) {
        setenv("LC_ALL", locale, 1);
        std::vector<std::string> labels;
        std::string title;
        QueueCall([&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle().toStdString();
            for (QAbstractButton *button : box->buttons())
                labels.push_back(button->text().toStdString());
            box->buttons().back()->click();
        });
        Application->ShowException(Exception("Intento de división por cero."));
        EXPECT_EQ(labels, std::vector<std::string> { label }) << locale;
        EXPECT_EQ(title, "Prueba");
    }
    if (saved)
        setenv("LC_ALL", before.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

// The window system would add Qt's application display name to the title of
// every window; the application's title must not reach it, so that a form's
// caption is its whole title.
TEST(Services, TheApplicationsTitleStaysOutOfWindowTitles)
{
    Application->SetTitle("ORVEX Tabulo");
    EXPECT_EQ(Application->Title(), "ORVEX Tabulo");
    EXPECT_EQ(QGuiApplication::applicationDisplayName().toStdString().find("ORVEX Tabulo"), std::string::npos);
}

TEST(Services, ReplacementsNestAndRestore)
{
    ScriptedMessageBoxes outer;
    {
        ScriptedMessageBoxes inner;
        MessageBox(nullptr, "dentro", "", MB_OK);
        EXPECT_EQ(inner.Count(), 1);
    }
    MessageBox(nullptr, "fuera", "", MB_OK);
    EXPECT_EQ(outer.Count(), 1);
    EXPECT_EQ(outer.Last().Text, "fuera");
}

TEST(Services, BeepsAreCountedAndTheClockIsFixed)
{
    BeepCounter beeps;
    MessageBeep(0);
    MessageBeep(MB_ICONERROR);
    EXPECT_EQ(beeps.Count(), 2);
    EXPECT_EQ(beeps.Types(), (std::vector<uint32_t> { 0, MB_ICONERROR }));

    FixedClock clock(0xFFFFFFF0u);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    clock.Advance(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u) << "the tick count wraps like a 32-bit counter";
}

TEST(Services, ExceptionMessagesGetAPeriodOnce)
{
    ScriptedMessageBoxes boxes;
    Application->SetTitle("Prueba");
    Application->ShowException(Exception("Valor pegado inválido"));
    Application->ShowException(Exception("Intento de división por cero."));
    Application->ShowException(Exception(""));
    ASSERT_EQ(boxes.Count(), 3);
    EXPECT_EQ(boxes.Boxes()[0].Text, "Valor pegado inválido.");
    EXPECT_EQ(boxes.Boxes()[1].Text, "Intento de división por cero.");
    EXPECT_EQ(boxes.Boxes()[2].Text, "");
    EXPECT_EQ(boxes.Boxes()[0].Caption, "Prueba");

    // Outside a catch block there is nothing to handle.
    Application->HandleException(nullptr);
    EXPECT_EQ(boxes.Count(), 3);
}

TEST(Services, ClipboardKeepsPlainText)
{
    Clipboard()->SetAsText("1.234,56");
    EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_EQ(Clipboard()->AsText(), "1.234,56");
    Clipboard()->Clear();
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_EQ(Clipboard()->AsText(), "");
}

} // namespace

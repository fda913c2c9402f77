#include "platform/ui/clipbrd.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(boxes.Boxes()[2].Flags & MB_ICONMASK, MB_ICONINFORMATION);
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

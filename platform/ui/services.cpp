#include "platform/ui/services.h"

#include "platform/rtl/formatsettings.h"
#include "platform/ui/controls.h"
#include "platform/ui/qtbridge_p.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <set>
#include <utility>

namespace
{

// A button's label in a language, as Windows writes it; null for a language
// without a table here, which keeps the desktop's own label. The neutral
// language is the user's own, from the regional settings.
const char *ButtonLabel(int answer, uint16_t languageId)
{
    struct Labels {
        int answer;
        const char *spanish;
        const char *english;
    };
    static const Labels labels[] = {
        { IDOK, "Aceptar", "OK" },
        { IDCANCEL, "Cancelar", "Cancel" },
        { IDABORT, "&Anular", "&Abort" },
        { IDRETRY, "&Reintentar", "&Retry" },
        { IDIGNORE, "&Omitir", "&Ignore" },
        { IDYES, "&Sí", "&Yes" },
        { IDNO, "&No", "&No" },
    };
    if ((languageId & 0x3FF) == LANG_NEUTRAL)
        languageId = GetUserDefaultLangID();
    const uint16_t primary = languageId & 0x3FF;
    for (const Labels &each : labels)
        if (each.answer == answer)
            return primary == LANG_SPANISH ? each.spanish : primary == LANG_ENGLISH ? each.english : nullptr;
    return nullptr;
}

// The desktop's own message box, modal over its owner window.
class QtMessageBoxService : public IMessageBoxService
{
public:
    int Show(HWND owner, const std::string &text, const std::string &caption, uint32_t flags,
        uint16_t languageId) override
    {
        QWidget *parent = nullptr;
        if (TWinControl *control = FindControl(owner))
            parent = TQtBoundary::Widget(control);
        QMessageBox box(parent);
        box.setWindowTitle(QString::fromStdString(caption));
        box.setText(QString::fromStdString(text));
        switch (flags & MB_ICONMASK) {
        case MB_ICONERROR:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONWARNING:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
        }
        struct Choice {
            QMessageBox::StandardButton button;
            int answer;
        };
        std::vector<Choice> choices;
        switch (flags & MB_TYPEMASK) {
        case MB_OKCANCEL:
            choices = { { QMessageBox::Ok, IDOK }, { QMessageBox::Cancel, IDCANCEL } };
            break;
        case MB_ABORTRETRYIGNORE:
            choices = { { QMessageBox::Abort, IDABORT }, { QMessageBox::Retry, IDRETRY },
                { QMessageBox::Ignore, IDIGNORE } };
            break;
        case MB_YESNOCANCEL:
            choices = { { QMessageBox::Yes, IDYES }, { QMessageBox::No, IDNO },
                { QMessageBox::Cancel, IDCANCEL } };
            break;
        case MB_YESNO:
            choices = { { QMessageBox::Yes, IDYES }, { QMessageBox::No, IDNO } };
            break;
        case MB_RETRYCANCEL:
            choices = { { QMessageBox::Retry, IDRETRY }, { QMessageBox::Cancel, IDCANCEL } };
            break;
        default:
            choices = { { QMessageBox::Ok, IDOK } };
            break;
        }
        QMessageBox::StandardButtons buttons;
        for (const Choice &choice : choices)
            buttons |= choice.button;
        box.setStandardButtons(buttons);
        for (const Choice &choice : choices)
            if (const char *label = ButtonLabel(choice.answer, languageId))
                box.button(choice.button)->setText(QString::fromUtf8(label));
        size_t defaultIndex = (flags & MB_DEFMASK) >> 8;
        if (defaultIndex < choices.size())
            box.setDefaultButton(choices[defaultIndex].button);
        // Closing the box without a button answers Cancel when there is one, else the first.
        auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
        for (const Choice &choice : choices)
            if (choice.button == clicked)
                return choice.answer;
        for (const Choice &choice : choices)
            if (choice.answer == IDCANCEL)
                return IDCANCEL;
        return choices.front().answer;
    }
};

class QtBeepService : public IBeepService
{
public:
    void Beep(uint32_t) override { QApplication::beep(); }
};

class SteadyClockService : public IClockService
{
public:
    SteadyClockService() { timer_.start(); }
    uint32_t TickCount() override { return static_cast<uint32_t>(timer_.elapsed()); }

private:
    QElapsedTimer timer_;
};

class QtScreenService : public IScreenService
{
public:
    int Width() override
    {
        QScreen *screen = QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr;
        return screen ? screen->geometry().width() : 800;
    }
    int Height() override
    {
        QScreen *screen = QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr;
        return screen ? screen->geometry().height() : 600;
    }
};

// The lock lights of the machine's keyboards (Linux shows them under
// /sys/class/leds as "inputN::capslock" and so on). Without any, the state
// follows the presses of the lock keys seen by this program.
class KeyboardLedService : public IKeyLockService
{
public:
    bool LockOn(int virtualKey) override
    {
        const char *suffix = virtualKey == VK_CAPITAL ? "::capslock"
            : virtualKey == VK_NUMLOCK                ? "::numlock"
            : virtualKey == VK_SCROLL                 ? "::scrolllock"
                                                      : nullptr;
        if (!suffix)
            return false;
        bool found = false;
        QDir leds("/sys/class/leds");
        for (const QString &name : leds.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (!name.endsWith(suffix))
                continue;
            QFile brightness(leds.filePath(name) + "/brightness");
            if (!brightness.open(QIODevice::ReadOnly))
                continue;
            found = true;
            if (brightness.readAll().trimmed() != "0")
                return true;
        }
        return found ? false : toggled_.count(virtualKey) > 0;
    }
    void KeyPressed(int virtualKey) override
    {
        if (virtualKey != VK_CAPITAL && virtualKey != VK_NUMLOCK && virtualKey != VK_SCROLL)
            return;
        if (!toggled_.erase(virtualKey))
            toggled_.insert(virtualKey);
    }

private:
    std::set<int> toggled_;
};

IKeyLockService *keyLockService = nullptr;
IMessageBoxService *messageBoxService = nullptr;
IBeepService *beepService = nullptr;
IClockService *clockService = nullptr;
IScreenService *screenService = nullptr;

IMessageBoxService &MessageBoxes()
{
    static QtMessageBoxService real;
    return messageBoxService ? *messageBoxService : real;
}

IBeepService &Beeps()
{
    static QtBeepService real;
    return beepService ? *beepService : real;
}

IClockService &Clock()
{
    static SteadyClockService real;
    return clockService ? *clockService : real;
}

IScreenService &Screens()
{
    static QtScreenService real;
    return screenService ? *screenService : real;
}

} // namespace

IKeyLockService *KeyLocks()
{
    static KeyboardLedService real;
    return keyLockService ? keyLockService : &real;
}
IKeyLockService *SetKeyLockService(IKeyLockService *service)
{
    return std::exchange(keyLockService, service);
}
IMessageBoxService *SetMessageBoxService(IMessageBoxService *service)
{
    return std::exchange(messageBoxService, service);
}
IBeepService *SetBeepService(IBeepService *service)
{
    return std::exchange(beepService, service);
}
IClockService *SetClockService(IClockService *service)
{
    return std::exchange(clockService, service);
}
IScreenService *SetScreenService(IScreenService *service)
{
    return std::exchange(screenService, service);
}

int MessageBox(HWND owner, const std::string &text, const std::string &caption, uint32_t flags)
{
    return MessageBoxes().Show(owner, text, caption, flags, LANG_NEUTRAL);
}

int MessageBoxExA(
    HWND owner, const std::string &text, const std::string &caption, uint32_t flags, uint16_t languageId)
{
    return MessageBoxes().Show(owner, text, caption, flags, languageId);
}

bool MessageBeep(uint32_t type)
{
    Beeps().Beep(type);
    return true;
}

uint32_t GetTickCount()
{
    return Clock().TickCount();
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
        return Screens().Width();
    case SM_CYSCREEN:
        return Screens().Height();
    case SM_CYCAPTION:
        return kCaptionHeight;
    default:
        return 0;
    }
}

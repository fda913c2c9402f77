#pragma once

#include "platform/ui/messages.h"

#include <cstdint>
#include <string>

// Operating-system services that the user interface relies on, each behind a
// small interface so that tests can put a scripted one in its place. Set*
// installs a replacement (nullptr restores the real one) and returns the
// previous one; the caller keeps ownership.

// Primary language identifiers (the low ten bits of a Windows language id).
constexpr uint16_t LANG_NEUTRAL = 0x00;
constexpr uint16_t LANG_ENGLISH = 0x09;
constexpr uint16_t LANG_SPANISH = 0x0A;

// Message box flags and answers.
constexpr uint32_t MB_OK = 0x00000000;
constexpr uint32_t MB_OKCANCEL = 0x00000001;
constexpr uint32_t MB_ABORTRETRYIGNORE = 0x00000002;
constexpr uint32_t MB_YESNOCANCEL = 0x00000003;
constexpr uint32_t MB_YESNO = 0x00000004;
constexpr uint32_t MB_RETRYCANCEL = 0x00000005;
constexpr uint32_t MB_TYPEMASK = 0x0000000F;
constexpr uint32_t MB_ICONHAND = 0x00000010;
constexpr uint32_t MB_ICONERROR = MB_ICONHAND;
constexpr uint32_t MB_ICONSTOP = MB_ICONHAND;
constexpr uint32_t MB_ICONQUESTION = 0x00000020;
constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;
constexpr uint32_t MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr uint32_t MB_ICONASTERISK = 0x00000040;
constexpr uint32_t MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr uint32_t MB_ICONMASK = 0x000000F0;
constexpr uint32_t MB_DEFBUTTON1 = 0x00000000;
constexpr uint32_t MB_DEFBUTTON2 = 0x00000100;
constexpr uint32_t MB_DEFBUTTON3 = 0x00000200;
constexpr uint32_t MB_DEFMASK = 0x00000F00;
constexpr uint32_t MB_APPLMODAL = 0x00000000;
constexpr uint32_t MB_SYSTEMMODAL = 0x00001000;
constexpr uint32_t MB_TASKMODAL = 0x00002000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class IMessageBoxService
{
public:
    virtual ~IMessageBoxService() = default;
    // Shows a modal box and answers the button chosen (IDOK, IDYES, ...).
    // The buttons are labelled in the given language (a Windows language
    // identifier; LANG_NEUTRAL for the user's own).
    virtual int Show(HWND owner, const std::string &text, const std::string &caption, uint32_t flags,
        uint16_t languageId)
        = 0;
};

class IBeepService
{
public:
    virtual ~IBeepService() = default;
    virtual void Beep(uint32_t type) = 0;
};

class IClockService
{
public:
    virtual ~IClockService() = default;
    // Milliseconds since some fixed start; wraps around like a 32-bit counter.
    virtual uint32_t TickCount() = 0;
};

class IScreenService
{
public:
    virtual ~IScreenService() = default;
    // The size of the primary screen in pixels.
    virtual int Width() = 0;
    virtual int Height() = 0;
};

// Caps lock, num lock and scroll lock: whether each is on.
class IKeyLockService
{
public:
    virtual ~IKeyLockService() = default;
    virtual bool LockOn(int virtualKey) = 0;
    // The key was pressed (a lock key changes its state).
    virtual void KeyPressed(int virtualKey) = 0;
};

IKeyLockService *SetKeyLockService(IKeyLockService *service);
IKeyLockService *KeyLocks();
IMessageBoxService *SetMessageBoxService(IMessageBoxService *service);
IBeepService *SetBeepService(IBeepService *service);
IClockService *SetClockService(IClockService *service);
IScreenService *SetScreenService(IScreenService *service);

// The Windows-style entry points. MessageBox labels its buttons in the
// user's language, from the regional settings, MessageBoxExA in the one it
// is given (Spanish and English by name; any other language as the desktop
// does).
int MessageBox(HWND owner, const std::string &text, const std::string &caption, uint32_t flags);
int MessageBoxExA(
    HWND owner, const std::string &text, const std::string &caption, uint32_t flags, uint16_t languageId);
bool MessageBeep(uint32_t type);
uint32_t GetTickCount();

// Non-client metrics of the classic desktop, used to turn a form's outer
// size (what resources store) into its client size.
constexpr int kCaptionHeight = 19;
constexpr int kToolCaptionHeight = 16;
constexpr int kMenuHeight = 20;

// System metrics: the screen's size and the one caption height that every
// window frame and placement uses.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYCAPTION = 4;
int GetSystemMetrics(int index); // 0 for an index it does not know

#pragma once

#include "platform/ui/controls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/services.h"

#include <cstdint>
#include <deque>
#include <set>
#include <functional>
#include <string>
#include <vector>

// Helpers for tests of anything built on the user interface. The services
// put themselves in place for their lifetime and put the previous ones back.
// Input goes to the control's real Qt widget as Qt events, so that the whole
// path from Qt to the control's handlers runs.

class TBitmap;
class TCustomForm;

// Message boxes answered from a script; every box shown is recorded.
class ScriptedMessageBoxes : public IMessageBoxService
{
public:
    struct Shown {
        HWND Owner;
        std::string Text;
        std::string Caption;
        uint32_t Flags;
        uint16_t Language; // LANG_NEUTRAL for MessageBox
    };

    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes() override;
    ScriptedMessageBoxes(const ScriptedMessageBoxes &) = delete;
    ScriptedMessageBoxes &operator=(const ScriptedMessageBoxes &) = delete;

    // Queues the answer for the next box; without one a box answers IDOK
    // (IDYES for yes/no boxes).
    void Answer(int answer) { answers_.push_back(answer); }
    const std::vector<Shown> &Boxes() const { return shown_; }
    int Count() const { return static_cast<int>(shown_.size()); }
    const Shown &Last() const { return shown_.back(); }

    int Show(HWND owner, const std::string &text, const std::string &caption, uint32_t flags,
        uint16_t languageId) override;

private:
    IMessageBoxService *previous_;
    std::deque<int> answers_;
    std::vector<Shown> shown_;
};

// Counts beeps instead of sounding them.
class BeepCounter : public IBeepService
{
public:
    BeepCounter();
    ~BeepCounter() override;
    BeepCounter(const BeepCounter &) = delete;
    BeepCounter &operator=(const BeepCounter &) = delete;

    int Count() const { return static_cast<int>(types_.size()); }
    const std::vector<uint32_t> &Types() const { return types_; }
    void Beep(uint32_t type) override { types_.push_back(type); }

private:
    IBeepService *previous_;
    std::vector<uint32_t> types_;
};

// A clock that moves only when told.
class FixedClock : public IClockService
{
public:
    explicit FixedClock(uint32_t ticks = 0);
    ~FixedClock() override;
    FixedClock(const FixedClock &) = delete;
    FixedClock &operator=(const FixedClock &) = delete;

    void Set(uint32_t ticks) { ticks_ = ticks; }
    void Advance(uint32_t milliseconds) { ticks_ += milliseconds; }
    uint32_t TickCount() override { return ticks_; }

private:
    IClockService *previous_;
    uint32_t ticks_;
};

// A screen of a fixed size, for placement that must not depend on the host.
class FixedScreen : public IScreenService
{
public:
    FixedScreen(int width, int height);
    ~FixedScreen() override;
    FixedScreen(const FixedScreen &) = delete;
    FixedScreen &operator=(const FixedScreen &) = delete;

    int Width() override { return width_; }
    int Height() override { return height_; }

private:
    IScreenService *previous_;
    int width_;
    int height_;
};

// Common dialogs answered from a script, as message boxes are: each dialog
// shown takes the next script, which fills the dialog in (a file name, a
// font, a find text, pressing Find Next ...) and answers whether it was
// confirmed. Without a script a dialog is cancelled. A find dialog stays
// open after its script until the program or the script closes it.
class ScriptedDialogs : public ICommonDialogService
{
public:
    using Script = std::function<bool(TCommonDialog &dialog)>;
    using PageSetupScript = std::function<bool(PAGESETUPDLG &setup)>;

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    void Answer(Script script) { scripts_.push_back(std::move(script)); }
    void AnswerPageSetup(PageSetupScript script) { pageScripts_.push_back(std::move(script)); }
    // The class names of the dialogs shown, in order ("PageSetupDlg" for the page setup).
    const std::vector<std::string> &Shown() const { return shown_; }
    // The page setup as the program asked for it, last time.
    const PAGESETUPDLG &PageSetupAsked() const { return pageAsked_; }

    bool Execute(TCommonDialog &dialog) override;
    void Close(TFindDialog &) override { }
    bool PageSetup(PAGESETUPDLG &setup) override;

private:
    ICommonDialogService *previous_;
    std::deque<Script> scripts_;
    std::deque<PageSetupScript> pageScripts_;
    std::vector<std::string> shown_;
    PAGESETUPDLG pageAsked_;
};

// Caps lock, num lock and scroll lock as a test sets them.
class FixedKeyLocks : public IKeyLockService
{
public:
    FixedKeyLocks();
    ~FixedKeyLocks() override;
    FixedKeyLocks(const FixedKeyLocks &) = delete;
    FixedKeyLocks &operator=(const FixedKeyLocks &) = delete;

    void Set(int virtualKey, bool on);
    bool LockOn(int virtualKey) override { return locks_.count(virtualKey) > 0; }
    void KeyPressed(int) override { }

private:
    IKeyLockService *previous_;
    std::set<int> locks_;
};

// ---- Input ------------------------------------------------------------------------------

// A left click (press and release) at x, y of the control's client area; the
// centre when x and y are negative. The control's window is made if needed.
void ClickControl(TControl *control, int x = -1, int y = -1, TShiftState shift = {});
void DoubleClickControl(TControl *control, int x = -1, int y = -1);
void MouseDownOn(TControl *control, int x, int y, TMouseButton button = mbLeft, TShiftState shift = {});
// The mouse moved to x, y with the button held.
void MouseMoveOn(TControl *control, int x, int y, TMouseButton held = mbLeft);
void MouseUpOn(TControl *control, int x, int y, TMouseButton button = mbLeft, TShiftState shift = {});
// Turns the mouse wheel over the control's client area (the centre when x and
// y are negative): notches up (positive) or down (negative).
void WheelControl(TControl *control, int notches, int x = -1, int y = -1);

// A key press and release sent to the control's window: the virtual key,
// the character it types (0 for none) and the shift state.
void PressKey(TControl *control, uint16_t virtualKey, char32_t character = 0, TShiftState shift = {});
// Queues the key's press and release for the control's window, as keys typed
// ahead wait until the message loop next runs.
void PostKey(TControl *control, uint16_t virtualKey, char32_t character = 0, TShiftState shift = {});
// Each character of text as its key (UTF-8).
void TypeText(TControl *control, const std::string &text);

// The control whose window has the keyboard focus now, or null; keys a
// person types go there.
TWinControl *FocusedControl();

// Lets Qt deliver what is pending (posted events, deferred deletes).
void ProcessPendingEvents();
// Runs fn from the message loop, once it next looks for events (inside a
// modal loop, for instance).
void QueueCall(std::function<void()> fn);

// ---- Pictures of windows -----------------------------------------------------------------

// Writes a PNG of the form as it looks on a desktop: its client area and
// menu as painted, inside a classic frame with the caption. Makes the
// folders of the path. Answers the size of the file written.
int64_t SaveScreenshot(TCustomForm *form, const std::string &path);

// The colour of one pixel of the control as painted now ($00BBGGRR).
TColor PixelOf(TControl *control, int x, int y);
// The whole control as painted now, for tests that look at many pixels.
void GrabControl(TControl *control, TBitmap &into);

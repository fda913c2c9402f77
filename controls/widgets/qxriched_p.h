#pragma once

// Not public API: the rich edit's private side, shared by the files of its unit.

#include "controls/base/Qxtypes.h"
#include "controls/widgets/qxriched.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/menus.h"

#include <memory>
#include <optional>
#include <string>

constexpr int kPopupItemCount = 19;

struct TqxCustomRichEdit::QxImpl {
    std::unique_ptr<TqxPrintMargins> margins = std::make_unique<TqxPrintMargins>();
    int paperSize = DMPAPER_LETTER;
    TqxRichEditWidth editWidth = rewWindowSize;
    // Find state
    bool wrapped = false;
    int searchStart = 0;
    std::string lastFindText, replaceText;
    TqxFindOptions findOptions;
    bool replacing = false; // FindNextMatch runs for ReplaceMatch
    std::optional<bool> savedHideSelection;
    TFindDialog *findDialog = nullptr;
    TReplaceDialog *replaceDialog = nullptr;
    TFontDialog *fontDialog = nullptr;
    // Popup menu
    TPopupMenu *popup = nullptr;
    TMenuItem *items[kPopupItemCount] = {};
    TRect lastFormatRect;
    bool formatRectSent = false;
    TComPtr<IRichEditOle> ole;
    TComPtr<IRichEditOleCallback> callback;
    std::unique_ptr<TqxRichMemoryStream> saved;
    bool contentSaved = false;
    bool dataRead = false;
    bool linkDown = false;
    int programmatic = 0;
    bool mouseUpRunning = false;
    bool reparenting = false; // the data-aware control moves to another parent
    int version = 2;
    std::unique_ptr<TqxRichEditStrings> lines;
    int screenPixelsPerInch = 96;
    int leftInset = 3;
    int transferMode = 0;
    // [0] EM_FINDTEXT as given, [1] "RICHEDIT" always, [3] container's own
    // insert dialog, [4] charset from the font, [6] no advise sink; [2] and
    // [5] do nothing. All off, as the library sets them.
    bool switches[7] = {};
    TqxRichEditOleOptions oleOptions { reoAdjustPopupMenu };
    TqxRichEditPopupOptions popupOptions;
    TqxRichEditOptions editorOptions;
    std::string editorCaption = "Edit Rich Text";
    TqxMeasurementUnits units = muInches;
    std::string printJobName;
    bool autoUrlDetect = false;
    TSpeedButton *userButton1 = nullptr;
    TSpeedButton *userButton2 = nullptr;
    std::unique_ptr<TqxFormPosition> editorPosition = std::make_unique<TqxFormPosition>();
};

class TBlobField;

// Loads target's lines from a blob: as RTF when it starts like RTF, else as
// plain text, with a positive MaxLength raised by one for the load.
void qxLoadRichContentFromBlob(TqxCustomRichEdit *target, TBlobField *blob);

class TqxCustomRichEdit::TProgrammaticChange
{
public:
    explicit TProgrammaticChange(TqxCustomRichEdit *edit)
        : edit_(edit)
    {
        ++edit_->q->programmatic;
    }
    ~TProgrammaticChange() { --edit_->q->programmatic; }
    TProgrammaticChange(const TProgrammaticChange &) = delete;
    TProgrammaticChange &operator=(const TProgrammaticChange &) = delete;

private:
    TqxCustomRichEdit *edit_;
};

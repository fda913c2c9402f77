#pragma once

// A small form made from a resource text, with one control of each kind the
// calculator's form uses, and handlers that record what happened.

#include "platform/ui/buttons.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"

#include <memory>
#include <string>
#include <vector>

class TTestForm : public TForm
{
public:
    explicit TTestForm(TComponent *owner)
        : TForm(owner)
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TPanel *paTop = nullptr;
    TLabel *lbTitle = nullptr;
    TSpeedButton *bSumar = nullptr;
    TButton *bOk = nullptr;
    TButton *bCancel = nullptr;
    TListBox *lbTape = nullptr;
    TRadioGroup *rgDec = nullptr;
    TEdit *eDisplay = nullptr;
    TMainMenu *MainMenu1 = nullptr;
    TMenuItem *imArchivo = nullptr;
    TMenuItem *imSalir = nullptr;

    // Handlers
    void FormCreate(TObject *sender);
    void FormKeyPress(TObject *sender, char32_t &key);
    void FormCloseQuery(TObject *sender, bool &canClose);
    void bSumarClick(TObject *sender);
    void lbTapeDrawItem(TWinControl *control, int index, TRect rect, TOwnerDrawState state);
    void rgDecClick(TObject *sender);
    void imSalirClick(TObject *sender);

    // What the handlers saw
    int created = 0;
    int sumarClicks = 0;
    int decClicks = 0;
    int salirClicks = 0;
    std::u32string previewed;
    char32_t swallow = 0; // FormKeyPress drops this key
    char32_t replaceFrom = 0, replaceTo = 0;
    bool allowClose = true;
    int closeQueries = 0;
    std::vector<int> drawnItems;
    std::vector<TRect> drawnRects;
    bool throwOnClick = false;
    bool throwOnDraw = false;
    static inline bool failCreate = false;
};

// Owns a form a test made without an owner; one deleter serves every form class.
struct FormDeleter {
    void operator()(TCustomForm *form) const { delete form; }
};
using FormPtr = std::unique_ptr<TTestForm, FormDeleter>;

#include "calculator/calcula01.h"

#include "calculator/CalculaAcercaDe.h"
#include "calculator/zrutinas.h"
#include "controls/base/qxdbedit.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/clipbrd.h"

#include <cmath>
#include <memory>

const TMetaClass TCalculadora::Class { "TCalculadora", &TForm::Class };

namespace
{
using C = TCalculadora;
// clang-format off
const TClassRegistrar<TCalculadora> registrar({},
    {
        {"FormCreate", &C::FormCreate},             {"FormKeyPress", &C::FormKeyPress},
        {"FormCloseQuery", &C::FormCloseQuery},     {"FormResize", &C::FormResize},
        {"BCeroClick", &C::BCeroClick},             {"BUnoClick", &C::BUnoClick},
        {"BDosClick", &C::BDosClick},               {"BTresClick", &C::BTresClick},
        {"BCuatroClick", &C::BCuatroClick},         {"BCincoClick", &C::BCincoClick},
        {"BSeisClick", &C::BSeisClick},             {"BSieteClick", &C::BSieteClick},
        {"BOchoClick", &C::BOchoClick},             {"BNueveClick", &C::BNueveClick},
        {"BDobleCeroClick", &C::BDobleCeroClick},   {"BComaClick", &C::BComaClick},
        {"BSumarClick", &C::BSumarClick},           {"BRestarClick", &C::BRestarClick},
        {"BMultiplicarClick", &C::BMultiplicarClick}, {"BDividirClick", &C::BDividirClick},
        {"BPorcentajeClick", &C::BPorcentajeClick}, {"BIgualClick", &C::BIgualClick},
        {"BRetrocederClick", &C::BRetrocederClick}, {"BBorrarClick", &C::BBorrarClick},
        {"BBorrarTodoClick", &C::BBorrarTodoClick}, {"BMemMasClick", &C::BMemMasClick},
        {"BMemRestarClick", &C::BMemRestarClick},   {"BMemTomarClick", &C::BMemTomarClick},
        {"BMemBorrarClick", &C::BMemBorrarClick},   {"EVisorChange", &C::EVisorChange},
        {"rgDecimalesClick", &C::rgDecimalesClick}, {"LbTiraDrawItem", &C::LbTiraDrawItem},
        {"imSalirClick", &C::imSalirClick},         {"imCopiarClick", &C::imCopiarClick},
        {"imPegarClick", &C::imPegarClick},         {"imEditCopiarClick", &C::imEditCopiarClick},
        {"imEditPegarClick", &C::imEditPegarClick}, {"imAcercaDeClick", &C::imAcercaDeClick},
    },
    {
        {"paDivisor", &C::paDivisor},       {"paSuperior", &C::paSuperior},
        {"PaBotoneraSuperior", &C::PaBotoneraSuperior}, {"EVisor", &C::EVisor},
        {"BIgual", &C::BIgual},             {"BSumar", &C::BSumar},
        {"BRestar", &C::BRestar},           {"BMultiplicar", &C::BMultiplicar},
        {"BDividir", &C::BDividir},         {"BCero", &C::BCero},
        {"BUno", &C::BUno},                 {"BDos", &C::BDos},
        {"BTres", &C::BTres},               {"BCuatro", &C::BCuatro},
        {"BCinco", &C::BCinco},             {"BSeis", &C::BSeis},
        {"BSiete", &C::BSiete},             {"BOcho", &C::BOcho},
        {"BNueve", &C::BNueve},             {"BDobleCero", &C::BDobleCero},
        {"BComa", &C::BComa},               {"LbTira", &C::LbTira},
        {"paInferior", &C::paInferior},     {"BMemMas", &C::BMemMas},
        {"BMemRestar", &C::BMemRestar},     {"BMemTomar", &C::BMemTomar},
        {"BMemBorrar", &C::BMemBorrar},     {"EMemoria", &C::EMemoria},
        {"BPorcentaje", &C::BPorcentaje},   {"BRetroceder", &C::BRetroceder},
        {"BBorrar", &C::BBorrar},           {"BBorrarTodo", &C::BBorrarTodo},
        {"paPie", &C::paPie},               {"rgDecimales", &C::rgDecimales},
        {"MainMenu1", &C::MainMenu1},       {"imArchivo", &C::imArchivo},
        {"imSalir", &C::imSalir},           {"imEditar", &C::imEditar},
        {"imCopiar", &C::imCopiar},         {"imPegar", &C::imPegar},
        {"imAyuda", &C::imAyuda},           {"imAcercaDe", &C::imAcercaDe},
        {"pmEdit", &C::pmEdit},             {"imEditCopiar", &C::imEditCopiar},
        {"imEditPegar", &C::imEditPegar},   {"pmEditNada", &C::pmEditNada},
    });
// clang-format on
} // namespace

TCalculadora::TCalculadora(TComponent *owner)
    : TForm(owner)
{
}

uint8_t TCalculadora::Decimals() const
{
    return static_cast<uint8_t>(std::clamp(rgDecimales ? rgDecimales->ItemIndex() : 2, 0, 4));
}

// ---- Handlers ------------------------------------------------------------------------

void TCalculadora::FormCreate(TObject *)
{
    BBorrarTodoClick(this);
    for (TqxDBEdit *edit : { EVisor, EMemoria }) {
        HWND handle = edit->Handle();
        SetWindowLong(
            handle, GWL_EXSTYLE, GetWindowLong(handle, GWL_EXSTYLE) | static_cast<int32_t>(WS_EX_RIGHT));
    }
    Application->SetTitle("ORVEX Tabulo");
}

void TCalculadora::BCeroClick(TObject *)
{
    AppendToDisplay("0");
}
void TCalculadora::BUnoClick(TObject *)
{
    AppendToDisplay("1");
}
void TCalculadora::BDosClick(TObject *)
{
    AppendToDisplay("2");
}
void TCalculadora::BTresClick(TObject *)
{
    AppendToDisplay("3");
}
void TCalculadora::BCuatroClick(TObject *)
{
    AppendToDisplay("4");
}
void TCalculadora::BCincoClick(TObject *)
{
    AppendToDisplay("5");
}
void TCalculadora::BSeisClick(TObject *)
{
    AppendToDisplay("6");
}
void TCalculadora::BSieteClick(TObject *)
{
    AppendToDisplay("7");
}
void TCalculadora::BOchoClick(TObject *)
{
    AppendToDisplay("8");
}
void TCalculadora::BNueveClick(TObject *)
{
    AppendToDisplay("9");
}
void TCalculadora::BDobleCeroClick(TObject *)
{
    AppendToDisplay("00");
}
void TCalculadora::BComaClick(TObject *)
{
    AppendToDisplay(CodePointToUtf8(FormatSettings.DecimalSeparator));
}

void TCalculadora::BSumarClick(TObject *)
{
    ApplyOperation(coAdd);
}
void TCalculadora::BRestarClick(TObject *)
{
    ApplyOperation(coSubtract);
}
void TCalculadora::BMultiplicarClick(TObject *)
{
    ApplyOperation(coMultiply);
}
void TCalculadora::BDividirClick(TObject *)
{
    ApplyOperation(coDivide);
}
void TCalculadora::BPorcentajeClick(TObject *)
{
    ApplyOperation(coPercent);
}
void TCalculadora::BIgualClick(TObject *)
{
    ApplyOperation(coEquals);
}

void TCalculadora::BRetrocederClick(TObject *)
{
    const std::string text = EVisor->Text();
    const auto length = static_cast<int>(Utf8Length(text));
    if (length == 0)
        return;
    EVisor->SetText(length == 1 ? std::string() : Utf8Copy(text, 1, length - 1));
}

void TCalculadora::BBorrarClick(TObject *)
{
    ClearDisplay();
    engine_.SetOperand(Currency());
}

void TCalculadora::BBorrarTodoClick(TObject *)
{
    engine_.Clear();
    ClearDisplay();
    LbTira->Items()->Clear();
    BMemBorrarClick(this);
}

void TCalculadora::BMemMasClick(TObject *)
{
    ReadOperand();
    EMemoria->SetText(FormatValue(TextToCurr(EMemoria->Text()) + engine_.Operand()));
    newEntry_ = true;
}

void TCalculadora::BMemRestarClick(TObject *)
{
    ReadOperand();
    EMemoria->SetText(FormatValue(TextToCurr(EMemoria->Text()) - engine_.Operand()));
    newEntry_ = true;
}

void TCalculadora::BMemTomarClick(TObject *)
{
    if (IsBlank(EMemoria->Text())) {
        ClearDisplay();
        engine_.SetOperand(Currency());
        return;
    }
    engine_.SetOperand(StrToCurr(EMemoria->Text()));
    EVisor->SetText(FormatValue(engine_.Operand()));
}

void TCalculadora::BMemBorrarClick(TObject *)
{
    EMemoria->SetText("");
}

void TCalculadora::FormKeyPress(TObject *, char32_t &key)
{
    switch (key) {
    case 8:
        BRetrocederClick(this);
        break;
    case 13:
    case U'=':
        BIgualClick(this);
        break;
    case 27:
        Close();
        break;
    case U'*':
        BMultiplicarClick(this);
        break;
    case U'+':
        BSumarClick(this);
        break;
    case U',':
    case U'.':
        BComaClick(this);
        break;
    case U'-':
        BRestarClick(this);
        break;
    case U'/':
        BDividirClick(this);
        break;
    case U'0':
        BCeroClick(this);
        break;
    case U'1':
        BUnoClick(this);
        break;
    case U'2':
        BDosClick(this);
        break;
    case U'3':
        BTresClick(this);
        break;
    case U'4':
        BCuatroClick(this);
        break;
    case U'5':
        BCincoClick(this);
        break;
    case U'6':
        BSeisClick(this);
        break;
    case U'7':
        BSieteClick(this);
        break;
    case U'8':
        BOchoClick(this);
        break;
    case U'9':
        BNueveClick(this);
        break;
    default:
        break;
    }
}

void TCalculadora::FormCloseQuery(TObject *, bool &canClose)
{
    canClose = Confirm("Cierre de la calculadora");
}

void TCalculadora::FormResize(TObject *)
{
    if (LbTira)
        LbTira->Invalidate();
}

void TCalculadora::imSalirClick(TObject *)
{
    Close();
}

void TCalculadora::imCopiarClick(TObject *)
{
    EVisor->SelectAll();
    EVisor->CopyToClipboard();
    // Writing the same text back is no change here, so the selection is
    // dropped by name.
    EVisor->SetSelLength(0);
}

// Paste leaves NewEntry as it was, so a digit typed after pasting over a
// shown result starts a new entry.
void TCalculadora::imPegarClick(TObject *)
{
    EVisor->SetText("");
    EVisor->SetReadOnly(false);
    EVisor->PasteFromClipboard();
    EVisor->SetReadOnly(true);
    if (!ValidateDisplay()) {
        ShowError("Valor pegado inválido");
        EVisor->SetText("");
    }
}

void TCalculadora::imEditCopiarClick(TObject *sender)
{
    imCopiarClick(sender);
}
void TCalculadora::imEditPegarClick(TObject *sender)
{
    imPegarClick(sender);
}

void TCalculadora::imAcercaDeClick(TObject *)
{
    std::unique_ptr<TfCalculaAcercaDe> about(NewForm<TfCalculaAcercaDe>(this));
    about->ShowModal();
}

void TCalculadora::EVisorChange(TObject *)
{
    SetActiveControl(nullptr);
}

void TCalculadora::rgDecimalesClick(TObject *)
{
    for (TqxDBEdit *edit : { EMemoria, EVisor })
        if (!IsBlank(edit->Text()))
            edit->SetText(FormatValue(TextToCurr(edit->Text())));
}

void TCalculadora::LbTiraDrawItem(TWinControl *, int index, TRect rect, TOwnerDrawState)
{
    TCanvas *canvas = LbTira->Canvas();
    canvas->FillRect(rect);
    std::string line = LbTira->Items()->Strings(index);
    if (!IsBlank(line) && RemoveAll(line, "-").empty()) {
        // A rule runs across the whole line, whatever the width of the tape.
        const int dash = std::max(1, canvas->TextWidth("-"));
        line = Replicate("-", static_cast<int>(std::trunc((rect.Right - rect.Left + 1) / double(dash))) + 5);
    }
    canvas->TextOut(rect.Right - canvas->TextWidth(line) - 1, rect.Top, line);
}

// ---- The display and the tape ----------------------------------------------------------

void TCalculadora::AppendToDisplay(const std::string &text)
{
    if (newEntry_)
        ClearDisplay();
    EVisor->SetText(EVisor->Text() + text);
    if (!ValidateDisplay())
        BRetrocederClick(this);
}

void TCalculadora::ClearDisplay()
{
    EVisor->SetText("");
    newEntry_ = false;
}

bool TCalculadora::ValidateDisplay()
{
    engine_.SetDecimals(Decimals());
    if (engine_.IsValidEntry(EVisor->Text()))
        return true;
    MessageBeep(0);
    return false;
}

void TCalculadora::ReadOperand()
{
    engine_.SetDecimals(Decimals());
    engine_.ReadOperand(EVisor->Text());
}

std::string TCalculadora::FormatValue(Currency value)
{
    engine_.SetDecimals(Decimals());
    return engine_.FormatValue(value);
}

void TCalculadora::ApplyOperation(int operation)
{
    ReadOperand();
    for (const std::string &line : engine_.ApplyOperation(operation))
        AddTapeLine(line);
    EVisor->SetText(FormatValue(engine_.Accumulator()));
    newEntry_ = true;
}

void TCalculadora::AddTapeLine(const std::string &text)
{
    LbTira->Items()->Add(text);
    LbTira->SetItemIndex(LbTira->Items()->Count() - 1);
    // Shows the line; keys typed ahead wait until the operation is done.
    Application->ProcessMessagesExceptInput();
    LbTira->SetItemIndex(-1);
}

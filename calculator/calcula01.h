#pragma once

#include "calculator/calcengine.h"
#include "platform/ui/buttons.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"

#include <string>

class TqxDBEdit;

// The calculator's main window: keypad, paper tape, memory and the choice of
// decimals. The arithmetic is TCalcEngine's; the form reads the display into
// it, shows its results and writes its tape lines.
class TCalculadora : public TForm
{
public:
    explicit TCalculadora(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TPanel *paDivisor = nullptr;
    TPanel *paSuperior = nullptr;
    TPanel *PaBotoneraSuperior = nullptr;
    TqxDBEdit *EVisor = nullptr;
    TSpeedButton *BIgual = nullptr;
    TSpeedButton *BSumar = nullptr;
    TSpeedButton *BRestar = nullptr;
    TSpeedButton *BMultiplicar = nullptr;
    TSpeedButton *BDividir = nullptr;
    TSpeedButton *BCero = nullptr;
    TSpeedButton *BUno = nullptr;
    TSpeedButton *BDos = nullptr;
    TSpeedButton *BTres = nullptr;
    TSpeedButton *BCuatro = nullptr;
    TSpeedButton *BCinco = nullptr;
    TSpeedButton *BSeis = nullptr;
    TSpeedButton *BSiete = nullptr;
    TSpeedButton *BOcho = nullptr;
    TSpeedButton *BNueve = nullptr;
    TSpeedButton *BDobleCero = nullptr;
    TSpeedButton *BComa = nullptr;
    TListBox *LbTira = nullptr;
    TPanel *paInferior = nullptr;
    TSpeedButton *BMemMas = nullptr;
    TSpeedButton *BMemRestar = nullptr;
    TSpeedButton *BMemTomar = nullptr;
    TSpeedButton *BMemBorrar = nullptr;
    TqxDBEdit *EMemoria = nullptr;
    TSpeedButton *BPorcentaje = nullptr;
    TSpeedButton *BRetroceder = nullptr;
    TSpeedButton *BBorrar = nullptr;
    TSpeedButton *BBorrarTodo = nullptr;
    TPanel *paPie = nullptr;
    TRadioGroup *rgDecimales = nullptr;
    TMainMenu *MainMenu1 = nullptr;
    TMenuItem *imArchivo = nullptr;
    TMenuItem *imSalir = nullptr;
    TMenuItem *imEditar = nullptr;
    TMenuItem *imCopiar = nullptr;
    TMenuItem *imPegar = nullptr;
    TMenuItem *imAyuda = nullptr;
    TMenuItem *imAcercaDe = nullptr;
    TPopupMenu *pmEdit = nullptr;
    TMenuItem *imEditCopiar = nullptr;
    TMenuItem *imEditPegar = nullptr;
    TPopupMenu *pmEditNada = nullptr;

    // Handlers
    void FormCreate(TObject *sender);
    void FormKeyPress(TObject *sender, char32_t &key);
    void FormCloseQuery(TObject *sender, bool &canClose);
    void FormResize(TObject *sender);
    void BCeroClick(TObject *sender);
    void BUnoClick(TObject *sender);
    void BDosClick(TObject *sender);
    void BTresClick(TObject *sender);
    void BCuatroClick(TObject *sender);
    void BCincoClick(TObject *sender);
    void BSeisClick(TObject *sender);
    void BSieteClick(TObject *sender);
    void BOchoClick(TObject *sender);
    void BNueveClick(TObject *sender);
    void BDobleCeroClick(TObject *sender);
    void BComaClick(TObject *sender);
    void BSumarClick(TObject *sender);
    void BRestarClick(TObject *sender);
    void BMultiplicarClick(TObject *sender);
    void BDividirClick(TObject *sender);
    void BPorcentajeClick(TObject *sender);
    void BIgualClick(TObject *sender);
    void BRetrocederClick(TObject *sender);
    void BBorrarClick(TObject *sender);
    void BBorrarTodoClick(TObject *sender);
    void BMemMasClick(TObject *sender);
    void BMemRestarClick(TObject *sender);
    void BMemTomarClick(TObject *sender);
    void BMemBorrarClick(TObject *sender);
    void EVisorChange(TObject *sender);
    void rgDecimalesClick(TObject *sender);
    void LbTiraDrawItem(TWinControl *control, int index, TRect rect, TOwnerDrawState state);
    void imSalirClick(TObject *sender);
    void imCopiarClick(TObject *sender);
    void imPegarClick(TObject *sender);
    void imEditCopiarClick(TObject *sender);
    void imEditPegarClick(TObject *sender);
    void imAcercaDeClick(TObject *sender);

    // State, for whoever drives the form
    const TCalcEngine &Engine() const { return engine_; }
    bool NewEntry() const { return newEntry_; }

private:
    void AppendToDisplay(const std::string &text);
    void ClearDisplay();
    bool ValidateDisplay();
    void ReadOperand();
    std::string FormatValue(Currency value);
    void ApplyOperation(int operation);
    void AddTapeLine(const std::string &text);
    uint8_t Decimals() const;

    TCalcEngine engine_;
    bool newEntry_ = false; // a result or memory total is shown: the next digit starts anew
};

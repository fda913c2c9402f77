#include "testform.h"

#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/testing_environment.h"

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

const TMetaClass TTestForm::Class { "TTestForm", &TForm::Class };

// clang-format off
static const TClassRegistrar<TTestForm> registrar({},
    {{"FormCreate", &TTestForm::FormCreate}, {"FormKeyPress", &TTestForm::FormKeyPress},
     {"FormCloseQuery", &TTestForm::FormCloseQuery}, {"bSumarClick", &TTestForm::bSumarClick},
     {"lbTapeDrawItem", &TTestForm::lbTapeDrawItem}, {"rgDecClick", &TTestForm::rgDecClick},
     {"imSalirClick", &TTestForm::imSalirClick}},
    {{"paTop", &TTestForm::paTop}, {"lbTitle", &TTestForm::lbTitle}, {"bSumar", &TTestForm::bSumar},
     {"bOk", &TTestForm::bOk}, {"bCancel", &TTestForm::bCancel}, {"lbTape", &TTestForm::lbTape},
     {"rgDec", &TTestForm::rgDec}, {"eDisplay", &TTestForm::eDisplay}, {"MainMenu1", &TTestForm::MainMenu1},
     {"imArchivo", &TTestForm::imArchivo}, {"imSalir", &TTestForm::imSalir}});
// clang-format on
// A test program's own classes: its sources are always linked.
static const bool registered = (RegisterClass(TTestForm::Class), true);

static const TFormResourceRegistrar resource("TTestForm", "testform.dfm", R"(object TestForm: TTestForm
  Left = 120
  Top = 80
  Width = 274
  Height = 331
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsSizeToolWin
  Caption = 'ORVEX Prueba'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  KeyPreview = True
  Menu = MainMenu1
  ShowHint = True
  OnCloseQuery = FormCloseQuery
  OnCreate = FormCreate
  OnKeyPress = FormKeyPress
  object paTop: TPanel
    Left = 0
    Top = 0
    Width = 266
    Height = 41
    Align = alTop
    BevelInner = bvRaised
    BevelOuter = bvLowered
    Color = clSilver
    TabOrder = 0
    object lbTitle: TLabel
      Left = 8
      Top = 4
      Width = 60
      Height = 13
      Caption = 'T'#237'tulo'
      Font.Style = [fsBold]
    end
    object bSumar: TSpeedButton
      Left = 200
      Top = 8
      Width = 40
      Height = 25
      Hint = 'Sumar'
      Caption = '+'
      Flat = True
      OnClick = bSumarClick
    end
  end
  object lbTape: TListBox
    Left = 8
    Top = 48
    Width = 250
    Height = 120
    Style = lbOwnerDrawFixed
    ItemHeight = 13
    Items.Strings = (
      'uno'
      'dos'
      'tres')
    TabStop = False
    OnDrawItem = lbTapeDrawItem
  end
  object eDisplay: TEdit
    Left = 8
    Top = 176
    Width = 120
    Height = 21
    Text = '12'
    TabOrder = 1
  end
  object bOk: TButton
    Left = 136
    Top = 176
    Width = 60
    Height = 25
    Caption = 'Aceptar'
    Default = True
    ModalResult = mrOk
    TabOrder = 2
  end
  object bCancel: TButton
    Left = 200
    Top = 176
    Width = 60
    Height = 25
    Cancel = True
    Caption = 'Cancelar'
    ModalResult = 2
    TabOrder = 3
  end
  object rgDec: TRadioGroup
    Left = 0
    Top = 210
    Width = 266
    Height = 42
    Align = alBottom
    Caption = 'Decimales'
    Columns = 5
    ItemIndex = 2
    Items.Strings = (
      '0'
      '1'
      '2'
      '3'
      '4')
    TabOrder = 4
    OnClick = rgDecClick
  end
  object MainMenu1: TMainMenu
    object imArchivo: TMenuItem
      Caption = '&Archivo'
      object imSalir: TMenuItem
        Caption = '&Salir'
        ShortCut = 16472
        OnClick = imSalirClick
      end
    end
  end
end
)");

void TTestForm::FormCreate(TObject *)
{
    ++created;
    if (failCreate)
        throw Exception("fallo al crear");
}

void TTestForm::FormKeyPress(TObject *, char32_t &key)
{
    previewed += key;
    if (key == swallow)
        key = 0;
    else if (key == replaceFrom)
        key = replaceTo;
}

void TTestForm::FormCloseQuery(TObject *, bool &canClose)
{
    ++closeQueries;
    canClose = allowClose;
}

void TTestForm::bSumarClick(TObject *)
{
    ++sumarClicks;
    if (throwOnClick)
        throw Exception("Intento de división por cero");
}

void TTestForm::lbTapeDrawItem(TWinControl *, int index, TRect rect, TOwnerDrawState)
{
    drawnItems.push_back(index);
    drawnRects.push_back(rect);
    if (throwOnDraw)
        throw Exception("paint failed");
    TCanvas *canvas = lbTape->Canvas();
    canvas->FillRect(rect);
    std::string line = lbTape->Items()->Strings(index);
    canvas->TextOut(rect.Right - canvas->TextWidth(line) - 1, rect.Top, line);
}

void TTestForm::rgDecClick(TObject *)
{
    ++decClicks;
}
void TTestForm::imSalirClick(TObject *)
{
    ++salirClicks;
}

object SelectLanguageForm: TSelectLanguageForm
  Left = 250
  Top = 160
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Select a language'
  ClientHeight = 370
  ClientWidth = 544
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Arial'
  Font.Style = []
  FormStyle = fsStayOnTop
  Position = poScreenCenter
  Scaled = False
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 14
  object ThemeBitmap: TImage
    Left = 10
    Top = 10
    Width = 117
    Height = 290
  end
  object Divider: TPanel
    Left = 10
    Top = 316
    Width = 524
    Height = 2
    BevelOuter = bvLowered
    TabOrder = 9
  end
  object LanguageGrid: TStringGrid
    Left = 140
    Top = 10
    Width = 302
    Height = 290
    ColCount = 2
    DefaultColWidth = 140
    DefaultRowHeight = 48
    FixedCols = 0
    FixedRows = 0
    RowCount = 1
    Options = [goVertLine, goHorzLine, goDrawFocusSelected]
    ScrollBars = ssVertical
    TabOrder = 0
    OnClick = LanguageListClick
    OnDrawCell = LanguageGridDrawCell
    OnKeyPress = LanguageListKeyPress
  end
  object BackBtn: TTranslateBitBtn
    Left = 262
    Top = 330
    Width = 87
    Height = 26
    Caption = '< Previous'
    TabOrder = 1
    OnClick = BackBtnClick
    GLID = 4
  end
  object ProceedBtn: TTranslateBitBtn
    Left = 352
    Top = 330
    Width = 87
    Height = 26
    Caption = 'Next >'
    ModalResult = 1
    TabOrder = 2
    OnClick = ProceedBtnClick
    Default = True
    GLID = 5
  end
  object CancelBtn: TTranslateBitBtn
    Left = 446
    Top = 330
    Width = 87
    Height = 26
    Caption = 'Cancel'
    TabOrder = 3
    OnClick = CancelBtnClick
    Cancel = True
    GLID = 6
  end
end

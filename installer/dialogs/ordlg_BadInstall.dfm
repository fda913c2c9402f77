object BadInstallForm: TBadInstallForm
  Left = 250
  Top = 160
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Setup incomplete'
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
  object TopLabel: TTranslateLabel
    Left = 140
    Top = 16
    Width = 394
    Height = 80
    AutoSize = False
    Caption = 'This software has not been properly installed and will not work correctly if you try to use it.'
    WordWrap = True
    GLID = 60
  end
  object BackBtn: TTranslateBitBtn
    Left = 352
    Top = 330
    Width = 87
    Height = 26
    Caption = '< Previous'
    TabOrder = 1
    OnClick = BackBtnClick
    GLID = 4
  end
  object ProceedBtn: TTranslateBitBtn
    Left = 446
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
  object FinishBtn: TTranslateBitBtn
    Left = 446
    Top = 330
    Width = 87
    Height = 26
    Caption = 'Finish'
    ModalResult = 1
    TabOrder = 3
    OnClick = ProceedBtnClick
    Default = True
    Visible = False
    GLID = 72
  end
end

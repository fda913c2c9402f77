object WelcomeForm: TWelcomeForm
  Left = 250
  Top = 160
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Welcome'
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
  object Label1: TTranslateLabel
    Left = 140
    Top = 16
    Width = 394
    Height = 36
    AutoSize = False
    Caption = 'This program will install the software on your computer.'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -13
    Font.Name = 'Arial'
    Font.Style = [fsBold]
    ParentFont = False
    WordWrap = True
    GLID = 10
  end
  object Label2: TTranslateLabel
    Left = 140
    Top = 70
    Width = 394
    Height = 64
    AutoSize = False
    Caption = 'It is strongly recommended that you exit all Windows programs before running this setup. If you need to close any programs, click Cancel to quit the setup and then close the programs.'
    WordWrap = True
    GLID = 11
  end
  object Label3: TTranslateLabel
    Left = 140
    Top = 150
    Width = 394
    Height = 20
    AutoSize = False
    Caption = 'Click Next to continue with the installation.'
    WordWrap = True
    GLID = 12
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

object RebootForm: TRebootForm
  Left = 250
  Top = 160
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Reboot windows'
  ClientHeight = 370
  ClientWidth = 544
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Arial'
  Font.Style = []
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
    Height = 80
    AutoSize = False
    Caption = 'Several components could not be installed on your system because they were in use. For the installation to proceed, you will need to reboot your computer. If you decide not to reboot now, the software will probably not work until you do reboot.'
    WordWrap = True
    GLID = 52
  end
  object RG: TRadioGroup
    Left = 140
    Top = 116
    Width = 394
    Height = 72
    Items.Strings = (
      'Yes, I would like to reboot windows'
      'No, I would not like to reboot windows')
    TabOrder = 0
    OnClick = RGClick
  end
  object Label2: TLabel
    Left = 140
    Top = 196
    Width = 4
    Height = 14
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

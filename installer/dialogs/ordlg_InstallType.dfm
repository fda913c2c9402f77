object InstallTypeForm: TInstallTypeForm
  Left = 250
  Top = 160
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Setup type'
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
  object TopDescriptionLabel: TTranslateLabel
    Left = 140
    Top = 12
    Width = 394
    Height = 32
    AutoSize = False
    Caption = 'Click the type of Setup you prefer, then click the Next button.'
    WordWrap = True
    GLID = 59
  end
  object PageControl: TPageControl
    Left = 140
    Top = 48
    Width = 394
    Height = 152
    ActivePage = TypicalTab
    TabOrder = 0
    OnChange = PageControlChange
    object TypicalTab: TTabSheet
      Caption = 'Typical'
      object TypicalLabel: TTranslateLabel
        Left = 10
        Top = 10
        Width = 366
        Height = 90
        AutoSize = False
        Caption = 'The program will be installed with the most common options. Recommended for most users.'
        WordWrap = True
        GLID = 18
      end
    end
    object CompactTab: TTabSheet
      Caption = 'Compact'
      object CompactLabel: TTranslateLabel
        Left = 10
        Top = 10
        Width = 366
        Height = 90
        AutoSize = False
        Caption = 'The program will be installed with the minimum required options.'
        WordWrap = True
        GLID = 20
      end
    end
    object FullTab: TTabSheet
      Caption = 'Full'
      object FullLabel: TTranslateLabel
        Left = 10
        Top = 10
        Width = 366
        Height = 90
        AutoSize = False
        Caption = 'Every part of the program will be installed. This takes the most disk space.'
        WordWrap = True
        GLID = 24
      end
    end
    object CustomTab: TTabSheet
      Caption = 'Custom'
      object CustomLabel: TTranslateLabel
        Left = 10
        Top = 10
        Width = 366
        Height = 90
        AutoSize = False
        Caption = 'You choose the parts of the program to install. Recommended for advanced users.'
        WordWrap = True
        GLID = 22
      end
    end
  end
  object DirectoryGroupBox: TGroupBox
    Left = 140
    Top = 216
    Width = 394
    Height = 60
    Caption = 'Destination Directory'
    TabOrder = 1
    object edDestDir: TEdit
      Left = 12
      Top = 24
      Width = 274
      Height = 22
      CharCase = ecLowerCase
      TabOrder = 0
      OnChange = edDestDirChange
    end
    object BrowseBtn: TTranslateBitBtn
      Left = 296
      Top = 22
      Width = 86
      Height = 26
      Caption = '&Browse'
      TabOrder = 1
      OnClick = BrowseBtnClick
      GLID = 26
    end
  end
  object Divider: TPanel
    Left = 10
    Top = 316
    Width = 524
    Height = 2
    BevelOuter = bvLowered
    TabOrder = 9
  end
  object BackBtn: TTranslateBitBtn
    Left = 262
    Top = 330
    Width = 87
    Height = 26
    Caption = '< Previous'
    TabOrder = 2
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
    TabOrder = 3
    OnClick = ProceedBtnClick
    GLID = 5
  end
  object CancelBtn: TTranslateBitBtn
    Left = 446
    Top = 330
    Width = 87
    Height = 26
    Caption = 'Cancel'
    TabOrder = 4
    OnClick = CancelBtnClick
    Cancel = True
    GLID = 6
  end
end

object ChangeDiskForm: TChangeDiskForm
  Left = 300
  Top = 250
  BorderIcons = []
  BorderStyle = bsDialog
  Caption = 'Setup needs the next disk'
  ClientHeight = 190
  ClientWidth = 440
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Arial'
  Font.Style = []
  Position = poScreenCenter
  Scaled = False
  OnCreate = FormCreate
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 14
  object ThemeBitmap: TImage
    Left = 10
    Top = 12
    Width = 64
    Height = 64
    Center = True
  end
  object PromptDiskLabel: TTranslateLabel
    Left = 86
    Top = 12
    Width = 344
    Height = 18
    AutoSize = False
    Caption = 'Please insert disk number %d'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'Arial'
    Font.Style = [fsBold]
    ParentFont = False
    WordWrap = True
    GLID = 45
  end
  object Label2: TTranslateLabel
    Left = 86
    Top = 36
    Width = 344
    Height = 58
    AutoSize = False
    Caption = 'If the files on this disk can be found in another location, for example, in another drive, enter its full path or click the Browse button to select its path.'
    WordWrap = True
    GLID = 46
  end
  object Label4: TTranslateLabel
    Left = 86
    Top = 100
    Width = 100
    Height = 14
    AutoSize = False
    Caption = 'Path:'
    GLID = 47
  end
  object PathEdit: TEdit
    Left = 86
    Top = 117
    Width = 252
    Height = 22
    Color = clBtnFace
    ReadOnly = True
    TabOrder = 3
  end
  object BrowseBtn: TTranslateBitBtn
    Left = 344
    Top = 115
    Width = 86
    Height = 26
    Caption = '&Browse...'
    TabOrder = 2
    OnClick = BrowseBtnClick
    GLID = 48
  end
  object Divider: TPanel
    Left = 10
    Top = 148
    Width = 420
    Height = 2
    BevelOuter = bvLowered
    TabOrder = 4
  end
  object InstallBtn: TTranslateBitBtn
    Left = 250
    Top = 156
    Width = 87
    Height = 26
    Caption = 'Proceed'
    Default = True
    ModalResult = 1
    TabOrder = 0
    GLID = 49
  end
  object CancelBtn: TTranslateBitBtn
    Left = 343
    Top = 156
    Width = 87
    Height = 26
    Caption = 'Cancel'
    Cancel = True
    TabOrder = 1
    OnClick = CancelBtnClick
    GLID = 6
  end
end

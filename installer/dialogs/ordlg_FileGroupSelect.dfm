object FileGroupSelectForm: TFileGroupSelectForm
  Left = 250
  Top = 160
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Select components to install'
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
    Top = 6
    Width = 394
    Height = 42
    AutoSize = False
    Caption = 'Select the components you want to install, clear the components you do not want to install. Double click on a group to see all of its subgroups.'
    WordWrap = True
    GLID = 28
  end
  object pnlGroups: TPanel
    Left = 140
    Top = 50
    Width = 262
    Height = 126
    BevelOuter = bvNone
    BorderStyle = bsSingle
    Color = clWindow
    TabOrder = 0
  end
  object GroupDescLabel: TTranslateLabel
    Left = 410
    Top = 50
    Width = 124
    Height = 14
    AutoSize = False
    Caption = 'Description'
    Visible = False
    GLID = 29
  end
  object pnlDescriptionMemo: TPanel
    Left = 410
    Top = 66
    Width = 124
    Height = 110
    BevelOuter = bvNone
    TabOrder = 1
    Visible = False
    object DescriptionMemo: TMemo
      Left = 0
      Top = 0
      Width = 124
      Height = 110
      Align = alClient
      Color = clBtnFace
      ReadOnly = True
      TabStop = False
    end
  end
  object DirectoryGroupBox: TGroupBox
    Left = 140
    Top = 180
    Width = 394
    Height = 52
    Caption = 'Destination Directory'
    TabOrder = 2
    object DirectoryLabel: TEdit
      Left = 10
      Top = 20
      Width = 282
      Height = 22
      CharCase = ecLowerCase
      TabOrder = 0
      OnChange = DirectoryLabelChange
    end
    object BrowseBtn: TTranslateBitBtn
      Left = 298
      Top = 18
      Width = 86
      Height = 26
      Caption = '&Browse...'
      TabOrder = 1
      OnClick = BrowseBtnClick
      GLID = 48
    end
  end
  object pnlDriveSpace: TPanel
    Left = 140
    Top = 238
    Width = 394
    Height = 45
    BevelOuter = bvNone
    TabOrder = 3
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
    TabOrder = 4
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
    TabOrder = 5
    OnClick = ProceedBtnClick
    GLID = 5
  end
  object CancelBtn: TTranslateBitBtn
    Left = 446
    Top = 330
    Width = 87
    Height = 26
    Caption = 'Cancel'
    TabOrder = 6
    OnClick = CancelBtnClick
    Cancel = True
    GLID = 6
  end
  object ilDriveSpace: TImageList
  end
end

object SelectFolderForm: TSelectFolderForm
  Left = 250
  Top = 160
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Select folder in start menu'
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
  OnResize = FormResize
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
  object TopDescriptionLabel: TTranslateLabel
    Left = 140
    Top = 12
    Width = 394
    Height = 48
    AutoSize = False
    Caption = 'Setup will add program icons to the Program Folder listed below. You may type a new folder name, or select from the E&xisting Folders list.'
    WordWrap = True
    GLID = 41
  end
  object Label1: TLabel
    Left = 140
    Top = 60
    Width = 394
    Height = 18
    AutoSize = False
    Caption = ''
  end
  object ProgramFolders: TTranslateLabel
    Left = 140
    Top = 80
    Width = 394
    Height = 16
    AutoSize = False
    Caption = '&Program Folder'
    FocusControl = FolderEdit
    GLID = 42
  end
  object FolderEdit: TEdit
    Left = 140
    Top = 98
    Width = 394
    Height = 22
    TabOrder = 0
    OnChange = FolderEditChange
  end
  object Label2: TLabel
    Left = 140
    Top = 120
    Width = 394
    Height = 8
    AutoSize = False
    Caption = ''
  end
  object ExistingFolders: TTranslateLabel
    Left = 140
    Top = 130
    Width = 394
    Height = 16
    AutoSize = False
    Caption = 'E&xisting Folders'
    FocusControl = FolderListBox
    GLID = 43
  end
  object Label3: TLabel
    Left = 140
    Top = 146
    Width = 394
    Height = 8
    AutoSize = False
    Caption = ''
  end
  object FolderListBox: TListBox
    Left = 140
    Top = 154
    Width = 394
    Height = 146
    ItemHeight = 14
    Sorted = True
    TabOrder = 1
    OnClick = FolderListBoxClick
  end
  object Label4: TLabel
    Left = 140
    Top = 300
    Width = 394
    Height = 8
    AutoSize = False
    Caption = ''
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
    Default = True
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

object qxRichTabDialog: TqxRichTabDialog
  Left = 300
  Top = 150
  BorderStyle = bsDialog
  Caption = 'Tabs'
  ClientHeight = 192
  ClientWidth = 257
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Position = poScreenCenter
  PixelsPerInch = 96
  TextHeight = 13
  object OKButton: TButton
    Left = 172
    Top = 12
    Width = 75
    Height = 25
    Caption = '&OK'
    Default = True
    ModalResult = 1
    TabOrder = 1
    OnClick = OKButtonClick
  end
  object GroupBox1: TGroupBox
    Left = 8
    Top = 6
    Width = 154
    Height = 178
    Caption = '&Tab Stop Position'
    TabOrder = 0
    object Edit1: TEdit
      Left = 10
      Top = 20
      Width = 134
      Height = 21
      TabOrder = 0
      OnEnter = Edit1Enter
      OnExit = Edit1Exit
      OnKeyPress = Edit1KeyPress
    end
    object ListBox1: TListBox
      Left = 10
      Top = 46
      Width = 134
      Height = 90
      MultiSelect = True
      TabOrder = 1
    end
    object Button1: TButton
      Left = 10
      Top = 144
      Width = 64
      Height = 25
      Caption = '&Set'
      TabOrder = 2
      OnClick = SetButtonClick
    end
    object Button2: TButton
      Left = 80
      Top = 144
      Width = 64
      Height = 25
      Caption = 'Cl&ear'
      TabOrder = 3
      OnClick = Button2Click
    end
  end
  object Button3: TButton
    Left = 172
    Top = 44
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 2
  end
  object Button4: TButton
    Left = 172
    Top = 76
    Width = 75
    Height = 25
    Caption = 'Clear A&ll'
    TabOrder = 3
    OnClick = Button4Click
  end
end

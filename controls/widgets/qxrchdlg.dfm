object qxRichParagraphDialog: TqxRichParagraphDialog
  Left = 245
  Top = 108
  BorderStyle = bsDialog
  Caption = 'Paragraph'
  ClientHeight = 229
  ClientWidth = 331
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Position = poScreenCenter
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object Panel1: TPanel
    Left = 8
    Top = 8
    Width = 315
    Height = 184
    BevelOuter = bvNone
    TabOrder = 2
    object IndentationLabel: TLabel
      Left = 4
      Top = 4
      Width = 56
      Height = 13
      Caption = 'Indentation'
    end
    object IndentationBevel: TPanel
      Left = 70
      Top = 11
      Width = 240
      Height = 2
      BevelOuter = bvLowered
    end
    object LeftLabel: TLabel
      Left = 12
      Top = 26
      Width = 24
      Height = 13
      Caption = '&Left:'
      FocusControl = LeftEdit
    end
    object RightLabel: TLabel
      Left = 12
      Top = 52
      Width = 31
      Height = 13
      Caption = '&Right:'
      FocusControl = RightEdit
    end
    object FirstLineLabel: TLabel
      Left = 12
      Top = 78
      Width = 45
      Height = 13
      Caption = 'First line:'
      FocusControl = FirstLineEdit
    end
    object AlignmentLabel: TLabel
      Left = 180
      Top = 26
      Width = 49
      Height = 13
      Caption = 'Ali&gnment'
      FocusControl = AlignmentCombo
    end
    object AlignmentCombo: TComboBox
      Left = 180
      Top = 42
      Width = 120
      Height = 21
      Style = csDropDownList
      TabOrder = 0
      Items.Strings = (
        'Left'
        'Center'
        'Right')
    end
    object LeftEdit: TEdit
      Left = 76
      Top = 22
      Width = 80
      Height = 21
      TabOrder = 1
    end
    object RightEdit: TEdit
      Left = 76
      Top = 48
      Width = 80
      Height = 21
      TabOrder = 2
    end
    object FirstLineEdit: TEdit
      Left = 76
      Top = 74
      Width = 80
      Height = 21
      TabOrder = 3
    end
    object SpacingLabel: TLabel
      Left = 4
      Top = 104
      Width = 39
      Height = 13
      Caption = 'Spacing'
    end
    object SpacingBevel: TPanel
      Left = 70
      Top = 111
      Width = 240
      Height = 2
      BevelOuter = bvLowered
    end
    object BeforeLabel: TLabel
      Left = 12
      Top = 126
      Width = 37
      Height = 13
      Caption = '&Before:'
      FocusControl = BeforeParagraphEdit
    end
    object AfterLabel: TLabel
      Left = 12
      Top = 152
      Width = 28
      Height = 13
      Caption = 'Aft&er:'
      FocusControl = AfterParagraphEdit
    end
    object LineSpacingLabel: TLabel
      Left = 180
      Top = 114
      Width = 66
      Height = 13
      Caption = 'Li&ne spacing:'
      FocusControl = LineSpacingComboBox
    end
    object AtLabel: TLabel
      Left = 188
      Top = 162
      Width = 13
      Height = 13
      Caption = '&At'
      FocusControl = WithinParagraphEdit
    end
    object BeforeParagraphEdit: TEdit
      Left = 76
      Top = 122
      Width = 80
      Height = 21
      TabOrder = 4
    end
    object AfterParagraphEdit: TEdit
      Left = 76
      Top = 148
      Width = 80
      Height = 21
      TabOrder = 5
    end
    object LineSpacingComboBox: TComboBox
      Left = 180
      Top = 130
      Width = 120
      Height = 21
      Style = csDropDownList
      TabOrder = 6
      OnChange = LineSpacingComboBoxChange
      OnClick = LineSpacingComboBoxClick
      Items.Strings = (
        'Single'
        '1.5 Lines'
        'Double'
        'At least'
        'Exactly'
        'Multiple')
    end
    object WithinParagraphEdit: TEdit
      Left = 220
      Top = 158
      Width = 80
      Height = 21
      TabOrder = 7
      OnKeyPress = WithinParagraphEditKeyPress
    end
  end
  object OKBtn: TButton
    Left = 164
    Top = 198
    Width = 75
    Height = 25
    Caption = '&OK'
    Default = True
    ModalResult = 1
    TabOrder = 0
    OnClick = OKClick
  end
  object CancelBtn: TButton
    Left = 248
    Top = 198
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 1
  end
end

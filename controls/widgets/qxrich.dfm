object qxRichEditForm: TqxRichEditForm
  Left = 200
  Top = 108
  Width = 610
  Height = 455
  Caption = 'Edit Rich Text'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  KeyPreview = True
  Menu = MainMenu1
  OnClose = FormClose
  OnCloseQuery = FormCloseQuery
  OnCreate = FormCreate
  OnDestroy = FormDestroy
  OnKeyPress = FormKeyPress
  OnKeyUp = FormKeyUp
  OnResize = FormResize
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
  object ToolBarBevel: TBevel
    Left = 0
    Top = 0
    Width = 602
    Height = 2
    Align = alTop
    Shape = bsTopLine
  end
  object RulerBevel: TBevel
    Left = 0
    Top = 62
    Width = 602
    Height = 2
    Shape = bsTopLine
  end
  object StatusBar: TStatusBar
    Left = 0
    Top = 390
    Width = 602
    Height = 19
    Panels = <
      item
        Bevel = pbNone
        Width = 300
      end
      item
        Alignment = taCenter
        Width = 32
      end
      item
        Alignment = taCenter
        Width = 32
      end
      item
        Bevel = pbNone
        Width = 18
      end>
    SimplePanel = False
  end
  object Toolbar: TPanel
    Left = 0
    Top = 2
    Width = 602
    Height = 26
    Align = alTop
    BevelOuter = bvNone
    TabOrder = 0
    object NewButton: TSpeedButton
      Left = 4
      Top = 2
      Width = 23
      Height = 22
      Caption = 'N'
      Flat = True
      OnClick = NewButtonClick
    end
    object LoadButton1: TSpeedButton
      Left = 27
      Top = 2
      Width = 23
      Height = 22
      Caption = 'O'
      Flat = True
      Visible = False
      OnClick = LoadButton1Click
    end
    object SaveAsButton: TSpeedButton
      Left = 50
      Top = 2
      Width = 23
      Height = 22
      Caption = 'S'
      Flat = True
      Visible = False
      OnClick = SaveAsButtonClick
    end
    object PrintButton: TSpeedButton
      Left = 81
      Top = 2
      Width = 23
      Height = 22
      Caption = 'P'
      Flat = True
      OnClick = PrintButtonClick
    end
    object FindButton: TSpeedButton
      Left = 104
      Top = 2
      Width = 23
      Height = 22
      Caption = 'F'
      Flat = True
      OnClick = FindButtonClick
    end
    object CutButton: TSpeedButton
      Left = 135
      Top = 2
      Width = 23
      Height = 22
      Caption = 'X'
      Flat = True
      OnClick = CutButtonClick
    end
    object CopyButton: TSpeedButton
      Left = 158
      Top = 2
      Width = 23
      Height = 22
      Caption = 'C'
      Flat = True
      OnClick = CopyButtonClick
    end
    object PasteButton: TSpeedButton
      Left = 181
      Top = 2
      Width = 23
      Height = 22
      Caption = 'V'
      Flat = True
      OnClick = PasteButtonClick
    end
    object UndoButton: TSpeedButton
      Left = 212
      Top = 2
      Width = 23
      Height = 22
      Caption = 'Z'
      Flat = True
      OnClick = UndoButtonClick
    end
    object RedoButton: TSpeedButton
      Left = 235
      Top = 2
      Width = 23
      Height = 22
      Caption = 'Y'
      Flat = True
      Hint = 'Redo | Reverses the last undo action'
      OnClick = RedoButtonClick
    end
    object Bevel1: TBevel
      Left = 77
      Top = 3
      Width = 2
      Height = 20
      Shape = bsLeftLine
    end
    object Bevel2: TBevel
      Left = 131
      Top = 3
      Width = 2
      Height = 20
      Shape = bsLeftLine
    end
    object Bevel3: TBevel
      Left = 208
      Top = 3
      Width = 2
      Height = 20
      Shape = bsLeftLine
    end
    object UserButtonBevel: TBevel
      Left = 264
      Top = 3
      Width = 2
      Height = 20
      Shape = bsLeftLine
      Visible = False
    end
  end
  object FormatBarBevel: TBevel
    Left = 0
    Top = 28
    Width = 602
    Height = 2
    Align = alTop
    Shape = bsTopLine
  end
  object FormatBar: TPanel
    Left = 0
    Top = 30
    Width = 602
    Height = 26
    Align = alTop
    BevelOuter = bvNone
    TabOrder = 1
    object FontNameCombo: TComboBox
      Left = 4
      Top = 2
      Width = 161
      Height = 21
      DropDownCount = 20
      TabOrder = 0
      OnClick = FontNameComboCloseUp
      OnDropDown = FontNameComboDropDown
    end
    object FontSizeCombo: TComboBox
      Left = 169
      Top = 2
      Width = 45
      Height = 21
      DropDownCount = 8
      Items.Strings = (
        '8'
        '9'
        '10'
        '11'
        '12'
        '14'
        '16'
        '18'
        '20'
        '22'
        '24'
        '26'
        '28'
        '36'
        '48'
        '72')
      TabOrder = 1
      OnClick = FontSizeComboCloseUp
      OnExit = FontSizeComboExit
    end
    object BoldButton: TSpeedButton
      Left = 222
      Top = 2
      Width = 23
      Height = 22
      Caption = 'B'
      Flat = True
      GroupIndex = 1
      AllowAllUp = True
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BoldButtonClick
      OnMouseDown = BoldButtonMouseDown
    end
    object UnderlineButton: TSpeedButton
      Left = 268
      Top = 2
      Width = 23
      Height = 22
      Caption = 'U'
      Flat = True
      GroupIndex = 2
      AllowAllUp = True
      Font.Style = [fsUnderline]
      ParentFont = False
      OnClick = UnderlineButtonClick
      OnMouseDown = BoldButtonMouseDown
    end
    object ItalicButton: TSpeedButton
      Left = 245
      Top = 2
      Width = 23
      Height = 22
      Caption = 'I'
      Flat = True
      GroupIndex = 3
      AllowAllUp = True
      Font.Style = [fsItalic]
      ParentFont = False
      OnClick = ItalicButtonClick
      OnMouseDown = BoldButtonMouseDown
    end
    object SpeedButton1: TSpeedButton
      Left = 295
      Top = 2
      Width = 23
      Height = 22
      Caption = 'A'
      Flat = True
      OnClick = SpeedButton1Click
    end
    object LeftButton: TSpeedButton
      Left = 326
      Top = 2
      Width = 23
      Height = 22
      Caption = 'L'
      Flat = True
      GroupIndex = 4
      OnClick = LeftButtonClick
    end
    object CenterButton: TSpeedButton
      Left = 349
      Top = 2
      Width = 23
      Height = 22
      Caption = 'C'
      Flat = True
      GroupIndex = 4
      OnClick = CenterButtonClick
    end
    object RightButton: TSpeedButton
      Left = 372
      Top = 2
      Width = 23
      Height = 22
      Caption = 'R'
      Flat = True
      GroupIndex = 4
      OnClick = RightButtonClick
    end
    object BulletButton: TSpeedButton
      Left = 403
      Top = 2
      Width = 23
      Height = 22
      Caption = '*'
      Flat = True
      GroupIndex = 5
      AllowAllUp = True
      OnClick = BulletButtonClick
      OnMouseDown = BoldButtonMouseDown
    end
  end
  object MainMenu1: TMainMenu
    object File1: TMenuItem
      Caption = '&File'
      object Load1: TMenuItem
        Caption = '&Load'
        OnClick = Load1Click
      end
      object SaveAs1: TMenuItem
        Caption = 'Save &As'
        OnClick = SaveAs1Click
      end
      object SaveExit1: TMenuItem
        Caption = '&Save and Exit'
        ShortCut = 16467
        OnClick = SaveExit1Click
      end
      object FileSep1: TMenuItem
        Caption = '-'
      end
      object Print1: TMenuItem
        Caption = '&Print'
        ShortCut = 16464
        OnClick = Print1Click
      end
      object PageSetup1: TMenuItem
        Caption = 'Page Set&up'
        OnClick = PageSetup1Click
      end
      object FileSep2: TMenuItem
        Caption = '-'
      end
      object Exit1: TMenuItem
        Caption = 'E&xit'
        OnClick = Exit1Click
      end
    end
    object Edit1: TMenuItem
      Caption = '&Edit'
      OnClick = Edit1Click
      object Undo1: TMenuItem
        Caption = '&Undo'
        ShortCut = 16474
        OnClick = Undo1Click
      end
      object Redo1: TMenuItem
        Caption = '&Redo'
        ShortCut = 16473
        OnClick = Redo1Click
      end
      object EditSep1: TMenuItem
        Caption = '-'
      end
      object Cut1: TMenuItem
        Caption = 'Cu&t'
        ShortCut = 16472
        OnClick = Cut1Click
      end
      object Copy1: TMenuItem
        Caption = '&Copy'
        ShortCut = 16451
        OnClick = Copy1Click
      end
      object Paste1: TMenuItem
        Caption = '&Paste'
        ShortCut = 16470
        OnClick = Paste1Click
      end
      object Clear1: TMenuItem
        Caption = 'Cle&ar'
        OnClick = Clear1Click
      end
      object SelectAll1: TMenuItem
        Caption = 'Select A&ll'
        ShortCut = 16449
        OnClick = SelectAll1Click
      end
      object EditSep2: TMenuItem
        Caption = '-'
      end
      object Find1: TMenuItem
        Caption = '&Find'
        ShortCut = 16454
        OnClick = Find1Click
      end
      object FindNext1: TMenuItem
        Caption = 'Find &Next'
        ShortCut = 114
        OnClick = FindNext1Click
      end
      object Replace1: TMenuItem
        Caption = 'R&eplace'
        ShortCut = 16456
        OnClick = Replace1Click
      end
    end
    object View1: TMenuItem
      Caption = '&View'
      object Toolbar1: TMenuItem
        Caption = '&Toolbar'
        Checked = True
        OnClick = Toolbar1Click
      end
      object FormatBar1: TMenuItem
        Caption = '&Format Bar'
        Checked = True
        OnClick = FormatBar1Click
      end
      object StatusBar1: TMenuItem
        Caption = '&Status Bar'
        Checked = True
        OnClick = StatusBar1Click
      end
      object Ruler1: TMenuItem
        Caption = '&Ruler'
        Checked = True
        OnClick = Ruler1Click
      end
      object ViewSep1: TMenuItem
        Caption = '-'
        Visible = False
      end
      object Options1: TMenuItem
        Caption = '&Options'
        Visible = False
      end
    end
    object Insert1: TMenuItem
      Caption = '&Insert'
      object DateAndTime1: TMenuItem
        Caption = 'Date and Time'
        Visible = False
      end
      object InsertObject1: TMenuItem
        Caption = '&Object...'
        OnClick = InsertObject1Click
      end
    end
    object Format1: TMenuItem
      Caption = 'F&ormat'
      object Font1: TMenuItem
        Caption = '&Font'
        OnClick = Font1Click
      end
      object BulletStyle1: TMenuItem
        Caption = '&Bullet Style'
        OnClick = BulletStyle1Click
      end
      object Paragraph1: TMenuItem
        Caption = '&Paragraph'
        OnClick = Paragraph1Click
      end
      object Tabs1: TMenuItem
        Caption = '&Tabs'
        OnClick = Tabs1Click
      end
    end
    object Help1: TMenuItem
      Caption = 'Help'
      Visible = False
    end
  end
  object PrintDialog1: TPrintDialog
  end
  object OpenDialog1: TOpenDialog
    Filter = 'Rich Text Files (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT'
  end
  object SaveDialog1: TSaveDialog
    DefaultExt = 'rtf'
    Filter = 'Rich Text Files (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT'
  end
  object PopupMenu1: TPopupMenu
    object Black1: TMenuItem
      Tag = 0
      Caption = 'Black'
    end
    object Maroon1: TMenuItem
      Tag = 128
      Caption = 'Maroon'
    end
    object Green1: TMenuItem
      Tag = 32768
      Caption = 'Green'
    end
    object Olive1: TMenuItem
      Tag = 32896
      Caption = 'Olive'
    end
    object Navy1: TMenuItem
      Tag = 8388608
      Caption = 'Navy'
    end
    object Purple1: TMenuItem
      Tag = 8388736
      Caption = 'Purple'
    end
    object Teal1: TMenuItem
      Tag = 8421376
      Caption = 'Teal'
    end
    object Gray1: TMenuItem
      Tag = 8421504
      Caption = 'Gray'
    end
    object Silver1: TMenuItem
      Tag = 12632256
      Caption = 'Silver'
    end
    object Red1: TMenuItem
      Tag = 255
      Caption = 'Red'
    end
    object Lime1: TMenuItem
      Tag = 65280
      Caption = 'Lime'
    end
    object Yellow1: TMenuItem
      Tag = 65535
      Caption = 'Yellow'
    end
    object Blue1: TMenuItem
      Tag = 16711680
      Caption = 'Blue'
    end
    object Fuchsia1: TMenuItem
      Tag = 16711935
      Caption = 'Fuchsia'
    end
    object Aqua1: TMenuItem
      Tag = 16776960
      Caption = 'Aqua'
    end
    object White1: TMenuItem
      Tag = 16777215
      Caption = 'White'
    end
    object Automatic1: TMenuItem
      Tag = 0
      Caption = 'Automatic'
    end
  end
end

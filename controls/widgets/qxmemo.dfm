object qxMemoDlg: TqxMemoDlg
  Left = 200
  Top = 120
  Width = 561
  Height = 395
  Caption = 'Dialog'
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clBlack
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = [fsBold]
  Position = poScreenCenter
  OnCloseQuery = FormCloseQuery
  OnResize = ResizeControls
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
  object Memo: TMemo
    Left = 0
    Top = 0
    Width = 545
    Height = 321
    Lines.Strings = (
      'Memo')
    ScrollBars = ssVertical
    TabOrder = 0
    WantTabs = True
    OnKeyDown = MemoKeyDown
  end
  object UserButtonPanel: TPanel
    Left = 0
    Top = 322
    Width = 237
    Height = 41
    Alignment = taLeftJustify
    BevelInner = bvRaised
    BevelOuter = bvLowered
    TabOrder = 3
    TabStop = True
    Visible = False
    object UserButton1: TButton
      Left = 16
      Top = 8
      Width = 89
      Height = 26
      Caption = 'UserButton1'
      TabOrder = 0
      Visible = False
      OnClick = UserButton1Click
    end
    object UserButton2: TButton
      Left = 128
      Top = 8
      Width = 89
      Height = 26
      Caption = 'UserButton2'
      TabOrder = 1
      Visible = False
      OnClick = UserButton2Click
    end
  end
end

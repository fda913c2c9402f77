object FAcercaDe: TFAcercaDe
  Left = 200
  Top = 120
  ActiveControl = OKButton
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Acerca de ...'
  ClientHeight = 187
  ClientWidth = 298
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -13
  Font.Name = 'System'
  Font.Style = []
  FormStyle = fsStayOnTop
  Position = poScreenCenter
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 16
  object Panel1: TPanel
    Left = 0
    Top = 0
    Width = 298
    Height = 149
    Align = alTop
    BevelInner = bvRaised
    BevelOuter = bvLowered
    TabOrder = 0
    object ProgramIcon: TImage
      Left = 8
      Top = 8
      Width = 65
      Height = 57
      Stretch = True
    end
    object ProductName: TLabel
      Left = 88
      Top = 16
      Width = 8
      Height = 16
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -13
      Font.Name = 'System'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object Version: TLabel
      Left = 88
      Top = 40
      Width = 55
      Height = 16
      Caption = 'Versi'#243'n '
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -13
      Font.Name = 'System'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object Label1: TLabel
      Left = 12
      Top = 102
      Width = 4
      Height = 16
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -13
      Font.Name = 'Arial'
      Font.Style = []
      ParentFont = False
    end
    object StaticText1: TStaticText
      Left = 52
      Top = 84
      Width = 4
      Height = 4
      TabOrder = 0
    end
    object StaticText2: TStaticText
      Left = 83
      Top = 125
      Width = 4
      Height = 4
      TabOrder = 1
    end
  end
  object OKButton: TBitBtn
    Left = 111
    Top = 155
    Width = 77
    Height = 27
    Caption = 'Aceptar'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
    Kind = bkOK
    Margin = 2
    ParentFont = False
    Spacing = -1
    TabOrder = 1
  end
end

object InstallStatusForm: TInstallStatusForm
  Left = 300
  Top = 300
  BorderIcons = []
  BorderStyle = bsNone
  Caption = 'InstallStatusForm'
  ClientHeight = 58
  ClientWidth = 428
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
  object pnlBack: TPanel
    Left = 0
    Top = 0
    Width = 428
    Height = 58
    Align = alClient
    BevelInner = bvRaised
    BevelOuter = bvRaised
    TabOrder = 0
    object Image1: TImage
      Left = 2
      Top = 2
      Width = 49
      Height = 54
      Align = alLeft
      Center = True
    end
    object pnlMessage: TPanel
      Left = 51
      Top = 2
      Width = 375
      Height = 54
      Align = alClient
      BevelOuter = bvNone
      BorderWidth = 5
      TabOrder = 0
      object lblMessage: TLabel
        Left = 5
        Top = 5
        Width = 365
        Height = 44
        Align = alClient
        Caption = 'lblMessage'
        WordWrap = True
      end
    end
  end
end

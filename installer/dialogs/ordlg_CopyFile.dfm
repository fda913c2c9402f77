object CopyFileForm: TCopyFileForm
  Left = 280
  Top = 400
  BorderIcons = []
  BorderStyle = bsDialog
  Caption = 'Copying installation files'
  ClientHeight = 119
  ClientWidth = 466
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Arial'
  Font.Style = []
  Scaled = False
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 14
  object UnZipImage: TImage
    Left = 10
    Top = 12
    Width = 48
    Height = 48
    Center = True
  end
  object TransferBitmap: TImage
    Left = 10
    Top = 12
    Width = 48
    Height = 48
    Center = True
    Visible = False
  end
  object lblCopyFileHeader: TTranslateLabel
    Left = 70
    Top = 8
    Width = 290
    Height = 14
    AutoSize = False
    Caption = 'Processing'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'Arial'
    Font.Style = [fsBold]
    ParentFont = False
    GLID = 14
  end
  object lblCopyingFile: TLabel
    Left = 70
    Top = 24
    Width = 386
    Height = 14
    AutoSize = False
    Caption = '---'
  end
  object Label1: TTranslateLabel
    Left = 70
    Top = 44
    Width = 118
    Height = 14
    AutoSize = False
    Caption = 'File progress'
    GLID = 15
  end
  object ProgressBar1: TProgressBar
    Left = 190
    Top = 44
    Width = 266
    Height = 16
    TabOrder = 1
  end
  object Label2: TTranslateLabel
    Left = 70
    Top = 66
    Width = 118
    Height = 14
    AutoSize = False
    Caption = 'Total progress'
    GLID = 16
  end
  object ProgressBar2: TProgressBar
    Left = 190
    Top = 66
    Width = 266
    Height = 16
    TabOrder = 2
  end
  object CancelBtn: TTranslateBitBtn
    Left = 369
    Top = 88
    Width = 87
    Height = 26
    Caption = 'Cancel'
    TabOrder = 0
    OnClick = CancelBtnClick
    Cancel = True
    GLID = 6
  end
end

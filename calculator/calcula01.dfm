object Calculadora: TCalculadora
  Left = 299
  Top = 235
  Width = 274
  Height = 331
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsSizeToolWin
  Caption = 'ORVEX Tabulo'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  KeyPreview = True
  Menu = MainMenu1
  ShowHint = True
  OnCloseQuery = FormCloseQuery
  OnCreate = FormCreate
  OnKeyPress = FormKeyPress
  OnResize = FormResize
  PixelsPerInch = 96
  TextHeight = 13
  object paDivisor: TPanel
    Left = 0
    Top = 0
    Width = 266
    Height = 8
    Align = alTop
    TabOrder = 0
  end
  object paSuperior: TPanel
    Left = 0
    Top = 8
    Width = 266
    Height = 173
    Align = alClient
    BevelOuter = bvNone
    TabOrder = 1
    object PaBotoneraSuperior: TPanel
      Left = 0
      Top = 0
      Width = 140
      Height = 173
      Align = alLeft
      Color = clSilver
      TabOrder = 0
      object EVisor: TqxDBEdit
        Left = 4
        Top = 4
        Width = 132
        Height = 24
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        PopupMenu = pmEdit
        ReadOnly = True
        TabOrder = 0
        TabStop = False
        UnboundDataType = qxDefault
        WantReturns = False
        WordWrap = False
        OnChange = EVisorChange
      end
      object BSiete: TSpeedButton
        Left = 4
        Top = 32
        Width = 33
        Height = 28
        Caption = '7'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BSieteClick
      end
      object BOcho: TSpeedButton
        Left = 37
        Top = 32
        Width = 33
        Height = 28
        Caption = '8'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BOchoClick
      end
      object BNueve: TSpeedButton
        Left = 70
        Top = 32
        Width = 33
        Height = 28
        Caption = '9'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BNueveClick
      end
      object BDividir: TSpeedButton
        Left = 103
        Top = 32
        Width = 33
        Height = 28
        Hint = 'Dividir'
        Caption = '/'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BDividirClick
      end
      object BCuatro: TSpeedButton
        Left = 4
        Top = 60
        Width = 33
        Height = 28
        Caption = '4'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BCuatroClick
      end
      object BCinco: TSpeedButton
        Left = 37
        Top = 60
        Width = 33
        Height = 28
        Caption = '5'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BCincoClick
      end
      object BSeis: TSpeedButton
        Left = 70
        Top = 60
        Width = 33
        Height = 28
        Caption = '6'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BSeisClick
      end
      object BMultiplicar: TSpeedButton
        Left = 103
        Top = 60
        Width = 33
        Height = 28
        Hint = 'Multiplicar'
        Caption = 'x'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BMultiplicarClick
      end
      object BUno: TSpeedButton
        Left = 4
        Top = 88
        Width = 33
        Height = 28
        Caption = '1'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BUnoClick
      end
      object BDos: TSpeedButton
        Left = 37
        Top = 88
        Width = 33
        Height = 28
        Caption = '2'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BDosClick
      end
      object BTres: TSpeedButton
        Left = 70
        Top = 88
        Width = 33
        Height = 28
        Caption = '3'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BTresClick
      end
      object BRestar: TSpeedButton
        Left = 103
        Top = 88
        Width = 33
        Height = 28
        Hint = 'Restar'
        Caption = '-'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BRestarClick
      end
      object BCero: TSpeedButton
        Left = 4
        Top = 116
        Width = 33
        Height = 28
        Caption = '0'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BCeroClick
      end
      object BDobleCero: TSpeedButton
        Left = 37
        Top = 116
        Width = 33
        Height = 28
        Hint = 'Doble cero'
        Caption = '00'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BDobleCeroClick
      end
      object BComa: TSpeedButton
        Left = 70
        Top = 116
        Width = 33
        Height = 28
        Caption = ','
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BComaClick
      end
      object BSumar: TSpeedButton
        Left = 103
        Top = 116
        Width = 33
        Height = 28
        Hint = 'Sumar'
        Caption = '+'
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BSumarClick
      end
      object BIgual: TSpeedButton
        Left = 4
        Top = 144
        Width = 132
        Height = 26
        Hint = 'Obtener resultado'
        Caption = '='
        Flat = True
        Font.Charset = DEFAULT_CHARSET
        Font.Color = clWindowText
        Font.Height = -13
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        OnClick = BIgualClick
      end
    end
    object LbTira: TListBox
      Left = 140
      Top = 0
      Width = 126
      Height = 173
      Align = alClient
      Ctl3D = False
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ItemHeight = 13
      Items.Strings = (
          ''
          ''
          ''
          ''
          ''
          ''
          ''
          ''
          ''
          ''
          ''
          ''
          ''
          '')
      ParentCtl3D = False
      ParentFont = False
      Style = lbOwnerDrawFixed
      TabOrder = 1
      TabStop = False
      OnDrawItem = LbTiraDrawItem
    end
  end
  object paInferior: TPanel
    Left = 0
    Top = 181
    Width = 266
    Height = 64
    Align = alBottom
    Color = clSilver
    TabOrder = 2
    object BMemMas: TSpeedButton
      Left = 4
      Top = 4
      Width = 30
      Height = 26
      Hint = 'Sumar a memoria'
      Caption = 'M+'
      Flat = True
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BMemMasClick
    end
    object BMemRestar: TSpeedButton
      Left = 34
      Top = 4
      Width = 30
      Height = 26
      Hint = 'Restar de memoria'
      Caption = 'M-'
      Flat = True
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BMemRestarClick
    end
    object BMemTomar: TSpeedButton
      Left = 64
      Top = 4
      Width = 30
      Height = 26
      Hint = 'Tomar memoria'
      Caption = 'TM'
      Flat = True
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BMemTomarClick
    end
    object BMemBorrar: TSpeedButton
      Left = 94
      Top = 4
      Width = 30
      Height = 26
      Hint = 'Borrar memoria'
      Caption = 'BM'
      Flat = True
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BMemBorrarClick
    end
    object BPorcentaje: TSpeedButton
      Left = 4
      Top = 34
      Width = 30
      Height = 26
      Hint = 'Aplicar porcentaje'
      Caption = '%'
      Flat = True
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BPorcentajeClick
    end
    object BRetroceder: TSpeedButton
      Left = 34
      Top = 34
      Width = 30
      Height = 26
      Hint = 'Retroceder borrando'
      Caption = '<-'
      Flat = True
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BRetrocederClick
    end
    object BBorrar: TSpeedButton
      Left = 88
      Top = 34
      Width = 60
      Height = 26
      Hint = 'Borrar c'#225'lculo actual'
      Caption = 'Borrar'
      Flat = True
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BBorrarClick
    end
    object BBorrarTodo: TSpeedButton
      Left = 150
      Top = 34
      Width = 112
      Height = 26
      Hint = 'Borrar todo'
      Caption = 'Borrar todo'
      Flat = True
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
      OnClick = BBorrarTodoClick
    end
    object EMemoria: TqxDBEdit
      Left = 128
      Top = 5
      Width = 134
      Height = 24
      Hint = 'Contenido de la memoria'
      Color = clSilver
      Ctl3D = False
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -13
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentCtl3D = False
      ParentFont = False
      PopupMenu = pmEditNada
      ReadOnly = True
      TabOrder = 0
      TabStop = False
      UnboundDataType = qxDefault
    end
  end
  object paPie: TPanel
    Left = 0
    Top = 245
    Width = 266
    Height = 42
    Align = alBottom
    TabOrder = 3
    object rgDecimales: TRadioGroup
      Left = 4
      Top = 1
      Width = 258
      Height = 38
      Caption = 'Decimales'
      Columns = 5
      ItemIndex = 2
      Items.Strings = (
        '0'
        '1'
        '2'
        '3'
        '4')
      TabOrder = 0
      OnClick = rgDecimalesClick
    end
  end
  object MainMenu1: TMainMenu
    object imArchivo: TMenuItem
      Caption = 'Archivo'
      object imSalir: TMenuItem
        Caption = 'Salir'
        OnClick = imSalirClick
      end
    end
    object imEditar: TMenuItem
      Caption = 'Editar'
      object imCopiar: TMenuItem
        Caption = 'Copiar'
        OnClick = imCopiarClick
      end
      object imPegar: TMenuItem
        Caption = 'Pegar'
        OnClick = imPegarClick
      end
    end
    object imAyuda: TMenuItem
      Caption = 'Ayuda'
      object imAcercaDe: TMenuItem
        Caption = 'Acerca de'
        OnClick = imAcercaDeClick
      end
    end
  end
  object pmEdit: TPopupMenu
    object imEditCopiar: TMenuItem
      Caption = 'Copiar'
      OnClick = imEditCopiarClick
    end
    object imEditPegar: TMenuItem
      Caption = 'Pegar'
      OnClick = imEditPegarClick
    end
  end
  object pmEditNada: TPopupMenu
  end
end

inherited fCalculaAcercaDe: TfCalculaAcercaDe
  Caption = ''
  inherited Panel1: TPanel
    inherited ProductName: TLabel
      Width = 110
      Caption = 'ORVEX Tabulo'
    end
    inherited Version: TLabel
      Width = 88
      Caption = 'Versi'#243'n 2.01'
    end
  end
end

object BaseForm: TTestBaseForm
  Caption = 'Base'
  object Ok: TTestControl
    Left = 10
    Caption = 'OK'
    OnClick = OkClick
  end
end

inherited DerivedForm: TTestDerivedForm
  Caption = 'Derived'
  inherited Ok: TTestControl
    Left = 20
  end
  object Cancel: TTestControl
    Caption = 'Cancel'
    Buddy = Ok
    OnClick = OkClick
  end
end

#pragma once

// The start-up of the wizard's units, in the order the setup program lists
// them: every page unit registers its page on its own, then the unit of its
// component (where there is one) takes that registration away again, so that
// a page shows through its component only. What stays registered is the
// licence page, which has no component. Running it again does nothing.
void InitializeWizardUnits();

#pragma once

// The calculator's forms, with the controls on them (see
// platform/classes/registration.h).
void RegisterCalculatorClasses();

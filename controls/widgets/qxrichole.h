#pragma once

#include "platform/rich/richole.h"
#include "platform/ui/controls.h"

// The rich edit window's two object messages, as the control sends them.

// EM_SETOLECALLBACK; the callback is kept referenced for the call. Answers the message result.
LRESULT RichEditSetOleCallback(TWinControl *edit, IRichEditOleCallback *callback);
// EM_GETOLEINTERFACE into a cleared out-parameter. Answers the message result.
LRESULT RichEditGetOleInterface(TWinControl *edit, IRichEditOle **ole);

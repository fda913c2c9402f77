#include "controls/widgets/qxrichole.h"

LRESULT RichEditSetOleCallback(TWinControl *edit, IRichEditOleCallback *callback)
{
    TComPtr<IRichEditOleCallback> keep(callback);
    return edit->Perform(EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(keep.Get()));
}

LRESULT RichEditGetOleInterface(TWinControl *edit, IRichEditOle **ole)
{
    *ole = nullptr;
    return edit->Perform(EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(ole));
}

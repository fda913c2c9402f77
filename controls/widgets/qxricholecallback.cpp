#include "controls/widgets/qxricholecallback.h"

// The callback answers for any rich edit alike; it keeps nothing of its own.
TRichEditOleCallback::TRichEditOleCallback(TqxCustomRichEdit *)
{
}

HRESULT TRichEditOleCallback::GetNewStorage(IStorage **storage)
{
    if (!storage)
        return E_OUTOFMEMORY;
    *storage = nullptr;
    TComPtr<ILockBytes> lockBytes;
    if (!Succeeded(CreateILockBytesOnHGlobal(nullptr, true, lockBytes.Put())))
        return E_OUTOFMEMORY;
    if (!Succeeded(StgCreateDocfileOnILockBytes(
            lockBytes.Get(), STGM_SHARE_EXCLUSIVE | STGM_CREATE | STGM_READWRITE, 0, storage)))
        return E_OUTOFMEMORY;
    return S_OK;
}

HRESULT TRichEditOleCallback::GetInPlaceContext(
    IOleInPlaceFrame **frame, IOleInPlaceUIWindow **document, OLEINPLACEFRAMEINFO *)
{
    if (frame)
        *frame = nullptr;
    if (document)
        *document = nullptr;
    return E_NOTIMPL;
}

HRESULT TRichEditOleCallback::ShowContainerUI(bool)
{
    return E_NOTIMPL;
}

HRESULT TRichEditOleCallback::QueryInsertObject(CLSID *, IStorage *, int32_t)
{
    return S_OK;
}

HRESULT TRichEditOleCallback::DeleteObject(IOleObject *)
{
    return S_OK;
}

HRESULT TRichEditOleCallback::QueryAcceptData(IDataObject *, CLIPFORMAT *, uint32_t, bool, HGLOBAL)
{
    return S_OK;
}

HRESULT TRichEditOleCallback::ContextSensitiveHelp(bool)
{
    return E_NOTIMPL;
}

HRESULT TRichEditOleCallback::GetClipboardData(const CHARRANGE &, uint32_t, IDataObject **data)
{
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT TRichEditOleCallback::GetDragDropEffect(bool drag, uint32_t keyState, uint32_t *effect)
{
    if (drag || !effect)
        return S_OK;
    uint32_t wanted = DROPEFFECT_MOVE;
    if ((keyState & MK_CONTROL) && (keyState & MK_SHIFT))
        wanted = DROPEFFECT_LINK;
    else if (keyState & MK_CONTROL)
        wanted = DROPEFFECT_COPY;
    if (*effect & wanted)
        *effect = wanted;
    return S_OK;
}

HRESULT TRichEditOleCallback::GetContextMenu(uint16_t, IOleObject *, const CHARRANGE &, HMENU *menu)
{
    if (menu)
        *menu = nullptr;
    return S_OK;
}

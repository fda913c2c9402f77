#pragma once

#include "platform/rich/richole.h"

class TqxCustomRichEdit;

// The rich edit's container side: storage for new objects and the answers
// to the window's questions.
class TRichEditOleCallback : public TInterfacedObject<IRichEditOleCallback>
{
public:
    explicit TRichEditOleCallback(TqxCustomRichEdit *richEdit);
    HRESULT GetNewStorage(IStorage **storage) override;
    HRESULT GetInPlaceContext(
        IOleInPlaceFrame **frame, IOleInPlaceUIWindow **document, OLEINPLACEFRAMEINFO *frameInfo) override;
    HRESULT ShowContainerUI(bool show) override;
    HRESULT QueryInsertObject(CLSID *clsid, IStorage *storage, int32_t cp) override;
    HRESULT DeleteObject(IOleObject *object) override;
    HRESULT QueryAcceptData(
        IDataObject *data, CLIPFORMAT *format, uint32_t reco, bool really, HGLOBAL metaPicture) override;
    HRESULT ContextSensitiveHelp(bool enterMode) override;
    HRESULT GetClipboardData(const CHARRANGE &range, uint32_t reco, IDataObject **data) override;
    HRESULT GetDragDropEffect(bool drag, uint32_t keyState, uint32_t *effect) override;
    HRESULT GetContextMenu(
        uint16_t selectionType, IOleObject *object, const CHARRANGE &selection, HMENU *menu) override;
};

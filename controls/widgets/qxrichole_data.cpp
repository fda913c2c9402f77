#include "controls/widgets/qxriched.h"

#include "platform/system/process.h"

#include <cstring>
#include <mutex>

// The data object, its format enumerator and the unit's start-up.

namespace
{

struct TUnitState {
    std::mutex lock;
    int initialised = 0;
    CLIPFORMAT objectDescriptor = 0;
    CLIPFORMAT embeddedObject = 0;
    FORMATETC formats[2];
    bool richEdit20 = false;
};

TUnitState &Unit()
{
    static TUnitState state;
    return state;
}

std::u16string TakeTaskString(char16_t *text)
{
    std::u16string result = text ? std::u16string(text) : std::u16string();
    CoTaskMemFree(text);
    return result;
}

void Put32(uint8_t *at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

// ---- Start-up ---------------------------------------------------------------------------------

void InitializeQxRichEd()
{
    TUnitState &unit = Unit();
    std::lock_guard guard(unit.lock);
    if (unit.initialised++ > 0)
        return;
    unit.objectDescriptor = RegisterClipboardFormat("Object Descriptor");
    unit.embeddedObject = RegisterClipboardFormat("Embedded Object");
    unit.formats[0] = FORMATETC { unit.embeddedObject, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTORAGE };
    unit.formats[1] = FORMATETC { unit.objectDescriptor, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL };
    // The desktop-publishing library is never installed here (its mutex
    // does not exist), so the version 2 window class comes from our own
    // rich edit, which is always there.
    unit.richEdit20 = true;
}

void FinalizeQxRichEd()
{
    TUnitState &unit = Unit();
    std::lock_guard guard(unit.lock);
    if (unit.initialised == 0 || --unit.initialised > 0)
        return;
    unit.richEdit20 = false;
}

CLIPFORMAT CF_OBJECTDESCRIPTOR()
{
    return Unit().objectDescriptor;
}
CLIPFORMAT CF_EMBEDDEDOBJECT()
{
    return Unit().embeddedObject;
}
const FORMATETC *QxRichEdFormats()
{
    return Unit().formats;
}
bool RichEdit20Loaded()
{
    return Unit().richEdit20;
}

// ---- The data object ----------------------------------------------------------------------------

TDataObject::TDataObject(IOleObject *object)
    : object_(object)
{
}

HGLOBAL TDataObject::ObjectDescriptor()
{
    if (!object_)
        return nullptr;
    char16_t *name = nullptr;
    object_->GetUserType(USERCLASSTYPE_FULL, &name);
    std::u16string typeName = TakeTaskString(name);
    std::u16string source = typeName;
    TComPtr<IOleLink> link = TComPtr<IOleObject>(object_).As<IOleLink>();
    if (link) {
        // "Linked %s", and the copy's source is what the link points to.
        typeName = u"Linked " + typeName;
        char16_t *display = nullptr;
        link->GetSourceDisplayName(&display);
        source = TakeTaskString(display);
    }
    size_t typeBytes = 2 * (typeName.size() + 1), sourceBytes = 2 * (source.size() + 1);
    size_t size = kObjectDescriptorSize + typeBytes + sourceBytes;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    if (!memory)
        return nullptr;
    auto *block = static_cast<uint8_t *>(GlobalLock(memory));
    Put32(block, static_cast<uint32_t>(size));
    CLSID clsid;
    object_->GetUserClassID(clsid);
    std::memcpy(block + 4, &clsid, sizeof clsid);
    Put32(block + 20, DVASPECT_ICON);
    // sizel (24) and pointl (32) stay 0.
    uint32_t status = 0;
    object_->GetMiscStatus(DVASPECT_ICON, status);
    Put32(block + 40, status);
    Put32(block + 44, static_cast<uint32_t>(kObjectDescriptorSize));
    Put32(block + 48, static_cast<uint32_t>(kObjectDescriptorSize + typeBytes));
    auto putWide = [](uint8_t *at, const std::u16string &text) {
        for (size_t i = 0; i < text.size(); ++i) {
            at[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
            at[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
        }
    };
    putWide(block + kObjectDescriptorSize, typeName);
    putWide(block + kObjectDescriptorSize + typeBytes, source);
    GlobalUnlock(memory);
    return memory;
}

HRESULT TDataObject::GetData(const FORMATETC &format, STGMEDIUM &medium)
{
    medium = STGMEDIUM {};
    if (format.cfFormat != CF_OBJECTDESCRIPTOR() || format.dwAspect != DVASPECT_CONTENT
        || !(format.tymed & TYMED_HGLOBAL))
        return DV_E_FORMATETC;
    HGLOBAL descriptor = ObjectDescriptor();
    if (!descriptor)
        return DV_E_FORMATETC;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = descriptor;
    return S_OK;
}

HRESULT TDataObject::GetDataHere(const FORMATETC &format, STGMEDIUM &medium)
{
    if (format.cfFormat != CF_EMBEDDEDOBJECT() || format.dwAspect != DVASPECT_CONTENT
        || !(format.tymed & TYMED_ISTORAGE))
        return DV_E_FORMATETC;
    medium.pUnkForRelease = nullptr;
    TComPtr<IPersistStorage> persist = object_.As<IPersistStorage>();
    if (!persist || !medium.pstg)
        return DV_E_FORMATETC;
    HRESULT result = OleSave(persist.Get(), medium.pstg, false);
    persist->SaveCompleted(nullptr);
    return result;
}

HRESULT TDataObject::QueryGetData(const FORMATETC &format)
{
    if (format.dwAspect != DVASPECT_CONTENT)
        return DV_E_FORMATETC;
    if (format.cfFormat == CF_EMBEDDEDOBJECT() && format.tymed == TYMED_ISTORAGE)
        return S_OK;
    if (format.cfFormat == CF_OBJECTDESCRIPTOR() && format.tymed == TYMED_HGLOBAL)
        return S_OK;
    return DV_E_FORMATETC;
}

HRESULT TDataObject::GetCanonicalFormatEtc(const FORMATETC &, FORMATETC &canonical)
{
    canonical.ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT TDataObject::SetData(const FORMATETC &, STGMEDIUM &, bool)
{
    return E_NOTIMPL;
}

HRESULT TDataObject::EnumFormatEtc(uint32_t direction, IEnumFORMATETC **enumerator)
{
    if (!enumerator)
        return E_POINTER;
    *enumerator = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    *enumerator = new TEnumFormatEtc(QxRichEdFormats(), 2);
    (*enumerator)->AddRef();
    return S_OK;
}

HRESULT TDataObject::DAdvise(const FORMATETC &, uint32_t, IAdviseSink *, uint32_t *)
{
    return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT TDataObject::DUnadvise(uint32_t)
{
    return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT TDataObject::EnumDAdvise(IEnumSTATDATA **enumerator)
{
    if (enumerator)
        *enumerator = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

// ---- The format enumerator ----------------------------------------------------------------------

TEnumFormatEtc::TEnumFormatEtc(const FORMATETC *records, uint32_t count, uint32_t index)
    : records_(records)
    , count_(count)
    , index_(index)
{
}

HRESULT TEnumFormatEtc::Next(uint32_t count, FORMATETC *records, uint32_t *fetched)
{
    uint32_t copied = 0;
    while (copied < count && index_ < count_)
        records[copied++] = records_[index_++];
    if (fetched)
        *fetched = copied;
    return copied == count ? S_OK : S_FALSE;
}

HRESULT TEnumFormatEtc::Skip(uint32_t count)
{
    if (count > count_ - index_) {
        index_ = count_;
        return S_FALSE;
    }
    index_ += count;
    return S_OK;
}

HRESULT TEnumFormatEtc::Reset()
{
    index_ = 0;
    return S_OK;
}

HRESULT TEnumFormatEtc::Clone(IEnumFORMATETC **enumerator)
{
    if (!enumerator)
        return E_POINTER;
    *enumerator = new TEnumFormatEtc(records_, count_, index_);
    (*enumerator)->AddRef();
    return S_OK;
}

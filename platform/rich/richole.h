#pragma once

#include "platform/rich/richedit.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// A small reference-counted interface layer for the rich edit's embedded
// objects and data transfer, in the shape of the component object model:
// result codes, interface identifiers, AddRef/Release, the data object with
// its format records, movable global memory, storages. This machine has no
// object servers, so no object is ever created by one; the layer still
// carries objects given to it (and data on the clipboard and in drag and
// drop, through Qt) in full.

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064);
constexpr HRESULT STG_E_FILENOTFOUND = static_cast<HRESULT>(0x80030002);
constexpr HRESULT STG_E_FILEALREADYEXISTS = static_cast<HRESULT>(0x80030050);
inline bool Succeeded(HRESULT result)
{
    return result >= 0;
}

struct TGUID {
    uint32_t D1 = 0;
    uint16_t D2 = 0, D3 = 0;
    uint8_t D4[8] = {};
    bool operator==(const TGUID &) const = default;
};
using IID = TGUID;
using CLSID = TGUID;

// ---- Reference counting -------------------------------------------------------------------------

class IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT QueryInterface(const IID &iid, void **object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Holds one reference.
template <typename T> class TComPtr
{
public:
    TComPtr() = default;
    TComPtr(T *p) // takes a reference of its own
        : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    TComPtr(const TComPtr &other)
        : TComPtr(other.p_)
    {
    }
    TComPtr(TComPtr &&other) noexcept
        : p_(std::exchange(other.p_, nullptr))
    {
    }
    ~TComPtr() { Reset(); }
    TComPtr &operator=(TComPtr other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }
    void Reset()
    {
        if (T *p = std::exchange(p_, nullptr))
            p->Release();
    }
    // For an out-parameter: releases what is held and answers the slot.
    T **Put()
    {
        Reset();
        return &p_;
    }
    T *Get() const { return p_; }
    T *operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    template <typename U> TComPtr<U> As() const
    {
        TComPtr<U> result;
        if (p_)
            p_->QueryInterface(U::Iid, reinterpret_cast<void **>(result.Put()));
        return result;
    }

private:
    T *p_ = nullptr;
};

// Implements IUnknown for a class that implements the interfaces I...: the
// count starts at 0, the first TComPtr takes it to 1, the last Release
// deletes the object.
template <typename... I> class TInterfacedObject : public I...
{
public:
    HRESULT QueryInterface(const IID &iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid == IUnknown::Iid) {
            *object = static_cast<IUnknown *>(static_cast<First *>(this));
        } else {
            ((iid == I::Iid && !*object ? void(*object = static_cast<I *>(this)) : void()), ...);
        }
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return ++count_; }
    uint32_t Release() override
    {
        uint32_t left = --count_;
        if (left == 0)
            delete this;
        return left;
    }
    uint32_t RefCount() const { return count_; }

protected:
    ~TInterfacedObject() override = default;

private:
    using First = std::tuple_element_t<0, std::tuple<I...>>;
    std::atomic<uint32_t> count_ { 0 };
};

// ---- Global memory ------------------------------------------------------------------------------

struct HGLOBAL__;
using HGLOBAL = HGLOBAL__ *;
constexpr uint32_t GMEM_MOVEABLE = 0x0002;
constexpr uint32_t GMEM_ZEROINIT = 0x0040;
constexpr uint32_t GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes); // nullptr when out of memory
void *GlobalLock(HGLOBAL memory);
bool GlobalUnlock(HGLOBAL memory);
size_t GlobalSize(HGLOBAL memory);
HGLOBAL GlobalFree(HGLOBAL memory); // answers nullptr

// The task allocator's strings (returned by GetUserType and friends).
char16_t *CoTaskMemAllocString(const std::u16string &text);
void CoTaskMemFree(void *memory);

// ---- Storage ------------------------------------------------------------------------------------

// An array of bytes that a storage lives on.
class ILockBytes : public IUnknown
{
public:
    static const IID Iid;
    virtual std::string &Bytes() = 0;
};

// A stream inside a storage.
class IStream : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT Write(const void *data, uint32_t count) = 0;
    virtual HRESULT Read(void *data, uint32_t count, uint32_t *read) = 0;
    virtual HRESULT Rewind() = 0;
};

// A structured storage: named streams and a class id. Ours keeps its streams
// in the lock bytes it was made on, in a simple layout of our own (not the
// compound file format), written on every Commit.
class IStorage : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT CreateStream(const std::string &name, IStream **stream) = 0;
    virtual HRESULT OpenStream(const std::string &name, IStream **stream) = 0;
    virtual HRESULT SetClass(const CLSID &clsid) = 0;
    virtual HRESULT Stat(CLSID *clsid, std::vector<std::string> *streamNames) = 0;
    virtual HRESULT Commit() = 0;
};

constexpr uint32_t STGM_READWRITE = 0x00000002;
constexpr uint32_t STGM_SHARE_EXCLUSIVE = 0x00000010;
constexpr uint32_t STGM_CREATE = 0x00001000;

// Lock bytes on global memory; with deleteOnRelease the memory goes with them.
HRESULT CreateILockBytesOnHGlobal(HGLOBAL memory, bool deleteOnRelease, ILockBytes **lockBytes);
HRESULT StgCreateDocfileOnILockBytes(ILockBytes *lockBytes, uint32_t mode, uint32_t reserved, IStorage **storage);
// A storage of its own memory, as the clipboard's "Embedded Object" data carries it.
HRESULT StgCreateOnMemory(IStorage **storage);

// ---- Data transfer -------------------------------------------------------------------------------

using CLIPFORMAT = uint16_t;
// Registers (or finds) a clipboard format by name; formats from 0xC000.
CLIPFORMAT RegisterClipboardFormat(const std::string &name);
// The name of a registered format, empty for a predefined one.
std::string GetClipboardFormatName(CLIPFORMAT format);
void UnregisterClipboardFormats(); // forgets every registered name

constexpr uint32_t DVASPECT_CONTENT = 1;
constexpr uint32_t DVASPECT_THUMBNAIL = 2;
constexpr uint32_t DVASPECT_ICON = 4;
constexpr uint32_t TYMED_HGLOBAL = 1;
constexpr uint32_t TYMED_FILE = 2;
constexpr uint32_t TYMED_ISTREAM = 4;
constexpr uint32_t TYMED_ISTORAGE = 8;
constexpr uint32_t DATADIR_GET = 1;
constexpr uint32_t DATADIR_SET = 2;

struct DVTARGETDEVICE;

// 20 bytes on the original platform: format, device, aspect, lindex, medium type.
struct FORMATETC {
    CLIPFORMAT cfFormat = 0;
    DVTARGETDEVICE *ptd = nullptr;
    uint32_t dwAspect = DVASPECT_CONTENT;
    int32_t lindex = -1;
    uint32_t tymed = TYMED_HGLOBAL;
};

struct STGMEDIUM {
    uint32_t tymed = 0;
    HGLOBAL hGlobal = nullptr;
    IStorage *pstg = nullptr;
    IUnknown *pUnkForRelease = nullptr;
};
// Frees what the medium holds.
void ReleaseStgMedium(STGMEDIUM &medium);

class IEnumFORMATETC : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT Next(uint32_t count, FORMATETC *records, uint32_t *fetched) = 0;
    virtual HRESULT Skip(uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFORMATETC **enumerator) = 0;
};

class IAdviseSink;
class IEnumSTATDATA;

class IDataObject : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT GetData(const FORMATETC &format, STGMEDIUM &medium) = 0;
    virtual HRESULT GetDataHere(const FORMATETC &format, STGMEDIUM &medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC &format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(const FORMATETC &format, FORMATETC &canonical) = 0;
    virtual HRESULT SetData(const FORMATETC &format, STGMEDIUM &medium, bool release) = 0;
    virtual HRESULT EnumFormatEtc(uint32_t direction, IEnumFORMATETC **enumerator) = 0;
    virtual HRESULT DAdvise(const FORMATETC &format, uint32_t flags, IAdviseSink *sink, uint32_t *connection) = 0;
    virtual HRESULT DUnadvise(uint32_t connection) = 0;
    virtual HRESULT EnumDAdvise(IEnumSTATDATA **enumerator) = 0;
};

// Puts a data object on the system clipboard: every format it enumerates
// that it can give (global memory, or a storage, which travels as its
// bytes). Answers E_FAIL when the object offers nothing.
HRESULT OleSetClipboard(IDataObject *data);
// The bytes of a format on the clipboard (a storage's as its bytes), or
// false when it holds no such format.
bool GetClipboardBytes(CLIPFORMAT format, std::string &bytes);

// ---- Objects ------------------------------------------------------------------------------------

constexpr uint32_t USERCLASSTYPE_FULL = 1;
constexpr uint32_t USERCLASSTYPE_SHORT = 2;
constexpr int32_t OLEIVERB_PRIMARY = 0;
constexpr uint32_t OLEVERBATTRIB_ONCONTAINERMENU = 2;

struct OLEVERB {
    int32_t lVerb = 0;
    std::string lpszVerbName;
    uint32_t fuFlags = 0;
    uint32_t grfAttribs = 0;
};

class IEnumOLEVERB : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT Next(uint32_t count, OLEVERB *verbs, uint32_t *fetched) = 0;
};

class IOleClientSite : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT SaveObject() = 0;
};

class IAdviseSink : public IUnknown
{
public:
    static const IID Iid;
    virtual void OnDataChange(const FORMATETC &format, const STGMEDIUM &medium) = 0;
    virtual void OnViewChange(uint32_t aspect, int32_t index) = 0;
    virtual void OnRename() = 0;
    virtual void OnSave() = 0;
    virtual void OnClose() = 0;
};

class IOleObject : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT GetUserType(uint32_t form, char16_t **userType) = 0;
    virtual HRESULT GetUserClassID(CLSID &clsid) = 0;
    virtual HRESULT GetMiscStatus(uint32_t aspect, uint32_t &status) = 0;
    virtual HRESULT EnumVerbs(IEnumOLEVERB **verbs) = 0;
    virtual HRESULT DoVerb(int32_t verb, const void *msg, IOleClientSite *site, int32_t index, HWND parent,
        const TRect &rect)
        = 0;
    virtual HRESULT Advise(IAdviseSink *sink, uint32_t &connection) = 0;
    virtual HRESULT Unadvise(uint32_t connection) = 0;
};

class IOleLink : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT GetSourceDisplayName(char16_t **displayName) = 0;
};

class IPersistStorage : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT Save(IStorage *storage, bool sameAsLoad) = 0;
    virtual HRESULT SaveCompleted(IStorage *storage) = 0;
};

// Writes the object's class into the storage and saves the object into it.
HRESULT OleSave(IPersistStorage *object, IStorage *storage, bool sameAsLoad);

// The object descriptor's fixed part: 52 bytes, then the two wide names.
constexpr size_t kObjectDescriptorSize = 52;

// ---- The rich edit's object interfaces ----------------------------------------------------------

constexpr int32_t REO_IOB_SELECTION = -1;
constexpr int32_t REO_IOB_USE_CP = -2;
constexpr uint32_t REO_GETOBJ_POLEOBJ = 0x00000001;
constexpr uint32_t REO_INPLACEACTIVE = 0x02000000;

// 56 bytes on the original platform.
struct REOBJECT {
    uint32_t cbStruct = 56;
    int32_t cp = 0;
    CLSID clsid;
    IOleObject *poleobj = nullptr; // with REO_GETOBJ_POLEOBJ: a reference for the caller
    IStorage *pstg = nullptr;
    IOleClientSite *polesite = nullptr;
    int32_t sizelX = 0, sizelY = 0;
    uint32_t dvaspect = DVASPECT_CONTENT;
    uint32_t dwFlags = 0;
    uint32_t dwUser = 0;
};

class IRichEditOle : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT GetClientSite(IOleClientSite **site) = 0;
    virtual int32_t GetObjectCount() = 0;
    virtual HRESULT GetObject(int32_t index, REOBJECT &object, uint32_t flags) = 0;
    virtual HRESULT InsertObject(const REOBJECT &object) = 0;
};

class IOleInPlaceFrame;
class IOleInPlaceUIWindow;
struct OLEINPLACEFRAMEINFO;
struct HMENU__;
using HMENU = HMENU__ *;

constexpr uint32_t DROPEFFECT_NONE = 0;
constexpr uint32_t DROPEFFECT_COPY = 1;
constexpr uint32_t DROPEFFECT_MOVE = 2;
constexpr uint32_t DROPEFFECT_LINK = 4;

constexpr uint32_t RECO_PASTE = 0;
constexpr uint32_t RECO_DROP = 1;
constexpr uint32_t RECO_COPY = 2;
constexpr uint32_t RECO_CUT = 3;
constexpr uint32_t RECO_DRAG = 4;

// What the rich edit asks of its container (EM_SETOLECALLBACK).
class IRichEditOleCallback : public IUnknown
{
public:
    static const IID Iid;
    virtual HRESULT GetNewStorage(IStorage **storage) = 0;
    virtual HRESULT GetInPlaceContext(
        IOleInPlaceFrame **frame, IOleInPlaceUIWindow **document, OLEINPLACEFRAMEINFO *frameInfo)
        = 0;
    virtual HRESULT ShowContainerUI(bool show) = 0;
    virtual HRESULT QueryInsertObject(CLSID *clsid, IStorage *storage, int32_t cp) = 0;
    virtual HRESULT DeleteObject(IOleObject *object) = 0;
    virtual HRESULT QueryAcceptData(
        IDataObject *data, CLIPFORMAT *format, uint32_t reco, bool really, HGLOBAL metaPicture)
        = 0;
    virtual HRESULT ContextSensitiveHelp(bool enterMode) = 0;
    virtual HRESULT GetClipboardData(const CHARRANGE &range, uint32_t reco, IDataObject **data) = 0;
    virtual HRESULT GetDragDropEffect(bool drag, uint32_t keyState, uint32_t *effect) = 0;
    virtual HRESULT GetContextMenu(
        uint16_t selectionType, IOleObject *object, const CHARRANGE &selection, HMENU *menu)
        = 0;
};

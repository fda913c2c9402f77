#include "platform/rich/richole.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

const IID IUnknown::Iid { 0x00000000, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID ILockBytes::Iid { 0x0000000A, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IStream::Iid { 0x0000000C, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IStorage::Iid { 0x0000000B, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IEnumFORMATETC::Iid { 0x00000103, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IDataObject::Iid { 0x0000010E, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IEnumOLEVERB::Iid { 0x00000104, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IOleClientSite::Iid { 0x00000118, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IAdviseSink::Iid { 0x0000010F, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IOleObject::Iid { 0x00000112, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IOleLink::Iid { 0x0000011D, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IPersistStorage::Iid { 0x0000010A, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IRichEditOle::Iid { 0x00020D00, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };
const IID IRichEditOleCallback::Iid { 0x00020D03, 0x0000, 0x0000, { 0xC0, 0, 0, 0, 0, 0, 0, 0x46 } };

// ---- Global memory ------------------------------------------------------------------------------

struct HGLOBAL__ {
    std::string bytes;
    int locks = 0;
};

HGLOBAL GlobalAlloc(uint32_t, size_t bytes)
{
    try {
        auto *memory = new HGLOBAL__;
        memory->bytes.assign(bytes, '\0');
        return memory;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void *GlobalLock(HGLOBAL memory)
{
    if (!memory)
        return nullptr;
    ++memory->locks;
    return memory->bytes.data();
}

bool GlobalUnlock(HGLOBAL memory)
{
    if (!memory || memory->locks == 0)
        return false;
    return --memory->locks > 0;
}

size_t GlobalSize(HGLOBAL memory)
{
    return memory ? memory->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    delete memory;
    return nullptr;
}

char16_t *CoTaskMemAllocString(const std::u16string &text)
{
    auto *copy = static_cast<char16_t *>(std::malloc((text.size() + 1) * sizeof(char16_t)));
    if (copy) {
        std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
        copy[text.size()] = 0;
    }
    return copy;
}

void CoTaskMemFree(void *memory)
{
    std::free(memory);
}

// ---- Storage ------------------------------------------------------------------------------------

namespace
{

class TLockBytes : public TInterfacedObject<ILockBytes>
{
public:
    TLockBytes(HGLOBAL memory, bool deleteOnRelease)
        : memory_(memory)
        , owned_(deleteOnRelease)
    {
    }
    std::string &Bytes() override { return memory_->bytes; }

private:
    ~TLockBytes() override
    {
        if (owned_)
            GlobalFree(memory_);
    }
    HGLOBAL memory_;
    bool owned_;
};

class TMemoryStream final : public TInterfacedObject<IStream>
{
public:
    explicit TMemoryStream(std::shared_ptr<std::string> data)
        : data_(std::move(data))
    {
    }
    HRESULT Write(const void *data, uint32_t count) override
    {
        if (position_ + count > data_->size())
            data_->resize(position_ + count);
        std::memcpy(data_->data() + position_, data, count);
        position_ += count;
        return S_OK;
    }
    HRESULT Read(void *data, uint32_t count, uint32_t *read) override
    {
        size_t n = std::min<size_t>(count, data_->size() - std::min(position_, data_->size()));
        std::memcpy(data, data_->data() + position_, n);
        position_ += n;
        if (read)
            *read = static_cast<uint32_t>(n);
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Rewind() override
    {
        position_ = 0;
        return S_OK;
    }

private:
    std::shared_ptr<std::string> data_;
    size_t position_ = 0;
};

// Layout: "ORVEXSTG", the class id (16 bytes), the stream count, then each
// stream as name length, name, data length, data (lengths 32-bit little-endian).
class TStorage : public TInterfacedObject<IStorage>
{
public:
    explicit TStorage(TComPtr<ILockBytes> lockBytes)
        : lockBytes_(std::move(lockBytes))
    {
    }
    HRESULT CreateStream(const std::string &name, IStream **stream) override
    {
        if (!stream)
            return E_POINTER;
        auto data = std::make_shared<std::string>();
        streams_[name] = data;
        *stream = new TMemoryStream(data);
        (*stream)->AddRef();
        return S_OK;
    }
    HRESULT OpenStream(const std::string &name, IStream **stream) override
    {
        if (!stream)
            return E_POINTER;
        *stream = nullptr;
        auto found = streams_.find(name);
        if (found == streams_.end())
            return STG_E_FILENOTFOUND;
        *stream = new TMemoryStream(found->second);
        (*stream)->AddRef();
        return S_OK;
    }
    HRESULT SetClass(const CLSID &clsid) override
    {
        clsid_ = clsid;
        return S_OK;
    }
    HRESULT Stat(CLSID *clsid, std::vector<std::string> *names) override
    {
        if (clsid)
            *clsid = clsid_;
        if (names) {
            names->clear();
            for (const auto &[name, data] : streams_)
                names->push_back(name);
        }
        return S_OK;
    }
    HRESULT Commit() override
    {
        std::string out = "ORVEXSTG";
        out.append(reinterpret_cast<const char *>(&clsid_), sizeof clsid_);
        auto put = [&out](uint32_t value) {
            for (int i = 0; i < 4; ++i)
                out += static_cast<char>((value >> (8 * i)) & 0xFF);
        };
        put(static_cast<uint32_t>(streams_.size()));
        for (const auto &[name, data] : streams_) {
            put(static_cast<uint32_t>(name.size()));
            out += name;
            put(static_cast<uint32_t>(data->size()));
            out += *data;
        }
        lockBytes_->Bytes() = std::move(out);
        return S_OK;
    }

private:
    TComPtr<ILockBytes> lockBytes_;
    CLSID clsid_;
    std::map<std::string, std::shared_ptr<std::string>> streams_;
};

} // namespace

HRESULT CreateILockBytesOnHGlobal(HGLOBAL memory, bool deleteOnRelease, ILockBytes **lockBytes)
{
    if (!lockBytes)
        return E_POINTER;
    *lockBytes = nullptr;
    if (!memory && !(memory = GlobalAlloc(GHND, 0)))
        return E_OUTOFMEMORY;
    *lockBytes = new TLockBytes(memory, deleteOnRelease);
    (*lockBytes)->AddRef();
    return S_OK;
}

HRESULT StgCreateDocfileOnILockBytes(ILockBytes *lockBytes, uint32_t, uint32_t, IStorage **storage)
{
    if (!storage)
        return E_POINTER;
    *storage = nullptr;
    if (!lockBytes)
        return E_INVALIDARG;
    *storage = new TStorage(TComPtr<ILockBytes>(lockBytes));
    (*storage)->AddRef();
    return (*storage)->Commit();
}

HRESULT StgCreateOnMemory(IStorage **storage)
{
    TComPtr<ILockBytes> lockBytes;
    HRESULT result = CreateILockBytesOnHGlobal(nullptr, true, lockBytes.Put());
    if (!Succeeded(result))
        return result;
    return StgCreateDocfileOnILockBytes(lockBytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage);
}

HRESULT OleSave(IPersistStorage *object, IStorage *storage, bool sameAsLoad)
{
    if (!object || !storage)
        return E_INVALIDARG;
    TComPtr<IOleObject> ole;
    object->QueryInterface(IOleObject::Iid, reinterpret_cast<void **>(ole.Put()));
    CLSID clsid;
    if (ole && Succeeded(ole->GetUserClassID(clsid)))
        storage->SetClass(clsid);
    HRESULT result = object->Save(storage, sameAsLoad);
    if (Succeeded(result))
        result = storage->Commit();
    return result;
}

void ReleaseStgMedium(STGMEDIUM &medium)
{
    if (medium.pUnkForRelease) {
        medium.pUnkForRelease->Release();
    } else {
        if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal)
            GlobalFree(medium.hGlobal);
        if (medium.tymed == TYMED_ISTORAGE && medium.pstg)
            medium.pstg->Release();
    }
    medium = STGMEDIUM {};
}

// ---- Clipboard formats --------------------------------------------------------------------------

namespace
{
struct TFormatRegistry {
    std::mutex lock;
    std::vector<std::string> names; // format 0xC000 + index
};
TFormatRegistry &Formats()
{
    static TFormatRegistry registry;
    return registry;
}

// How a named format travels through Qt, the way Qt names Windows formats.
QString MimeTypeOf(CLIPFORMAT format)
{
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"")
        .arg(QString::fromStdString(GetClipboardFormatName(format)));
}
} // namespace

CLIPFORMAT RegisterClipboardFormat(const std::string &name)
{
    TFormatRegistry &registry = Formats();
    std::lock_guard guard(registry.lock);
    for (size_t i = 0; i < registry.names.size(); ++i)
        if (registry.names[i] == name)
            return static_cast<CLIPFORMAT>(0xC000 + i);
    registry.names.push_back(name);
    return static_cast<CLIPFORMAT>(0xC000 + registry.names.size() - 1);
}

std::string GetClipboardFormatName(CLIPFORMAT format)
{
    TFormatRegistry &registry = Formats();
    std::lock_guard guard(registry.lock);
    size_t index = format >= 0xC000 ? format - 0xC000u : registry.names.size();
    return index < registry.names.size() ? registry.names[index] : std::string();
}

void UnregisterClipboardFormats()
{
    TFormatRegistry &registry = Formats();
    std::lock_guard guard(registry.lock);
    registry.names.clear();
}

HRESULT OleSetClipboard(IDataObject *data)
{
    if (!data)
        return E_INVALIDARG;
    TComPtr<IEnumFORMATETC> formats;
    HRESULT result = data->EnumFormatEtc(DATADIR_GET, formats.Put());
    if (!Succeeded(result))
        return result;
    auto mime = std::make_unique<QMimeData>();
    FORMATETC format;
    uint32_t fetched = 0;
    while (formats->Next(1, &format, &fetched) == S_OK && fetched == 1) {
        if (GetClipboardFormatName(format.cfFormat).empty())
            continue;
        std::string bytes;
        if (format.tymed & TYMED_HGLOBAL) {
            STGMEDIUM medium;
            if (!Succeeded(data->GetData(format, medium)))
                continue;
            bytes.assign(static_cast<const char *>(GlobalLock(medium.hGlobal)), GlobalSize(medium.hGlobal));
            GlobalUnlock(medium.hGlobal);
            ReleaseStgMedium(medium);
        } else if (format.tymed & TYMED_ISTORAGE) {
            TComPtr<ILockBytes> lockBytes;
            TComPtr<IStorage> storage;
            if (!Succeeded(CreateILockBytesOnHGlobal(nullptr, true, lockBytes.Put()))
                || !Succeeded(StgCreateDocfileOnILockBytes(lockBytes.Get(), STGM_CREATE, 0, storage.Put())))
                return E_OUTOFMEMORY;
            STGMEDIUM medium;
            medium.tymed = TYMED_ISTORAGE;
            medium.pstg = storage.Get();
            if (!Succeeded(data->GetDataHere(format, medium)))
                continue;
            storage->Commit();
            bytes = lockBytes->Bytes();
        } else {
            continue;
        }
        mime->setData(MimeTypeOf(format.cfFormat), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    if (mime->formats().isEmpty())
        return E_FAIL;
    QApplication::clipboard()->setMimeData(mime.release());
    return S_OK;
}

bool GetClipboardBytes(CLIPFORMAT format, std::string &bytes)
{
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    QString type = MimeTypeOf(format);
    if (!mime || GetClipboardFormatName(format).empty() || !mime->hasFormat(type))
        return false;
    QByteArray data = mime->data(type);
    bytes.assign(data.constData(), static_cast<size_t>(data.size()));
    return true;
}

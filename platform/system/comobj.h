#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/exceptions.h"

// The component object model as far as the system's code uses it: result
// codes, class and interface identifiers, reference-counted interfaces and the
// creation of the machine's in-process classes (the shell link, shlobj.h).
// Faults can be put on any call by its name (SetComFault, faults.h).

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);

constexpr bool Succeeded(HRESULT result)
{
    return result >= 0;
}
// A Win32 error code as a result code (HRESULT_FROM_WIN32).
constexpr HRESULT HResultFromWin32(uint32_t code)
{
    return code == 0 ? S_OK : static_cast<HRESULT>((code & 0xFFFF) | 0x80070000u);
}

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
    friend bool operator==(const GUID &, const GUID &) = default;
};
using CLSID = GUID;
using IID = GUID;
std::string GUIDToString(const GUID &guid); // "{00021401-0000-0000-C000-000000000046}"

extern const IID IID_IUnknown;

constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;

class IUnknown
{
public:
    virtual HRESULT QueryInterface(const IID &iid, void **object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// The class library initialises COM for the program at start-up, so a
// program's own call answers S_FALSE (already initialised) on every thread.
HRESULT CoInitialize(void *reserved);
void CoUninitialize();

// An instance of one of the machine's classes; REGDB_E_CLASSNOTREG for any
// other class, CLASS_E_NOAGGREGATION with an outer object, E_NOINTERFACE when
// the class lacks iid.
HRESULT CoCreateInstance(const CLSID &clsid, IUnknown *outer, uint32_t clsContext, const IID &iid, void **object);

// A failed call, as the class library reports it.
class EOleError : public Exception
{
public:
    using Exception::Exception;
    const char *ClassName() const override { return "EOleError"; }
};
class EOleSysError : public EOleError
{
public:
    EOleSysError(std::string message, HRESULT errorCode)
        : EOleError(std::move(message))
        , ErrorCode(errorCode)
    {
    }
    const char *ClassName() const override { return "EOleSysError"; }
    HRESULT ErrorCode;
};

// The system's text for a result code ("Access is denied"), or
// "OLE error 80001234" for a code it has no text for.
std::string OleErrorMessage(HRESULT result);
// Raises EOleSysError with the code's text when result is a failure.
void OleCheck(HRESULT result);

// Holds one interface reference and releases it when it goes.
template <typename I> class TComPtr
{
public:
    TComPtr() = default;
    ~TComPtr() { Reset(); }
    TComPtr(const TComPtr &) = delete;
    TComPtr &operator=(const TComPtr &) = delete;

    I *operator->() const { return p_; }
    I *Get() const { return p_; }
    void **Out() { Reset(); return reinterpret_cast<void **>(&p_); }
    void Reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }

private:
    I *p_ = nullptr;
};

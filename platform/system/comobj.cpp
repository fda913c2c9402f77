#include "platform/system/comobj.h"

#include "platform/rtl/sysutils.h"
#include "platform/system/faults.h"
#include "platform/system/shlobj.h"

const IID IID_IUnknown { 0x00000000, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };

std::string GUIDToString(const GUID &guid)
{
    std::string text = "{" + IntToHex(guid.Data1, 8) + "-" + IntToHex(guid.Data2, 4) + "-"
        + IntToHex(guid.Data3, 4) + "-";
    for (int i = 0; i < 8; ++i) {
        if (i == 2)
            text += "-";
        text += IntToHex(guid.Data4[i], 2);
    }
    return text + "}";
}

HRESULT CoInitialize(void *)
{
    if (const HRESULT fault = ComFault("CoInitialize"))
        return fault;
    return S_FALSE;
}

void CoUninitialize() { }

HRESULT CoCreateInstance(const CLSID &clsid, IUnknown *outer, uint32_t, const IID &iid, void **object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (const HRESULT fault = ComFault("CoCreateInstance"))
        return fault;
    if (!(clsid == CLSID_ShellLink))
        return REGDB_E_CLASSNOTREG;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    IUnknown *instance = NewShellLinkObject();
    const HRESULT result = instance->QueryInterface(iid, object);
    instance->Release();
    return result;
}

std::string OleErrorMessage(HRESULT result)
{
    switch (result) {
    case S_OK:
        return "The operation completed successfully";
    case E_UNEXPECTED:
        return "Catastrophic failure";
    case E_NOTIMPL:
        return "Not implemented";
    case E_NOINTERFACE:
        return "No such interface supported";
    case E_POINTER:
        return "Invalid pointer";
    case E_FAIL:
        return "Unspecified error";
    case E_ACCESSDENIED:
        return "Access is denied";
    case E_OUTOFMEMORY:
        return "Not enough storage is available to complete this operation";
    case E_INVALIDARG:
        return "The parameter is incorrect";
    case CLASS_E_NOAGGREGATION:
        return "Class does not support aggregation (or class object is remote)";
    case REGDB_E_CLASSNOTREG:
        return "Class not registered";
    case HResultFromWin32(2):
        return "The system cannot find the file specified";
    case HResultFromWin32(3):
        return "The system cannot find the path specified";
    case HResultFromWin32(112):
        return "There is not enough space on the disk";
    default:
        return "OLE error " + IntToHex(static_cast<uint32_t>(result), 8);
    }
}

void OleCheck(HRESULT result)
{
    if (!Succeeded(result))
        throw EOleSysError(OleErrorMessage(result), result);
}

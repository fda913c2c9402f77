#include "installer/engine/cmp_TNetInstallLocation/cmp_TNetInstallLocation.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "platform/classes/typinfo.h"
#include "platform/rtl/lasterror.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"

const TMetaClass TCustomLoginInformation::Class{"TCustomLoginInformation", &TPersistent::Class};
const TMetaClass TLoginInformation::Class{"TLoginInformation", &TCustomLoginInformation::Class};
const TMetaClass TCustomNetInstallLocation::Class{"TCustomNetInstallLocation", &TComponent::Class};
const TMetaClass TNetInstallLocation::Class{"TNetInstallLocation", &TCustomNetInstallLocation::Class};

namespace {

const TEnumNames InternetProtocolNames{"ipFTP", "ipHTTP"};

// clang-format off
using PL = TPublish<TLoginInformation>;
const TClassRegistrar<TLoginInformation> loginRegistrar({
    //          name          getter                          setter                             default
    PL::Boolean("Anonymous",  &TLoginInformation::Anonymous,  &TLoginInformation::SetAnonymous,  true),
    PL::String ("Directory",  &TLoginInformation::Directory,  &TLoginInformation::SetDirectory,  ""),
    PL::String ("Hostname",   &TLoginInformation::Hostname,   &TLoginInformation::SetHostname,   ""),
    PL::String ("Password",   &TLoginInformation::Password,   &TLoginInformation::SetPassword,   ""),
    PL::Enum   ("Protocol",   InternetProtocolNames,
                              &TLoginInformation::Protocol,   &TLoginInformation::SetProtocol,   ipHTTP),
    PL::String ("Username",   &TLoginInformation::Username,   &TLoginInformation::SetUsername,   ""),
});

using PN = TPublish<TNetInstallLocation>;
const TClassRegistrar<TNetInstallLocation> locationRegistrar({
    //             name                getter / member                              setter
    PN::Persistent("LoginInformation", &TNetInstallLocation::LoginInformation,    &TNetInstallLocation::SetLoginInformation),
    PN::Event     ("OnAfterDownload",  &TNetInstallLocation::OnAfterDownload),
    PN::Event     ("OnAfterLogin",     &TNetInstallLocation::OnAfterLogin),
    PN::Event     ("OnBeforeDownload", &TNetInstallLocation::OnBeforeDownload),
    PN::Event     ("OnBeforeLogin",    &TNetInstallLocation::OnBeforeLogin),
    PN::Event     ("OnDataReceived",   &TNetInstallLocation::OnDataReceived),
});
// clang-format on

constexpr uint32_t BlockSize = 8192;
constexpr uint32_t ResponseBufferSize = 3000;
constexpr uint32_t ContentLengthBufferSize = 33;

TCustomNetInstallLocation *lastConnected = nullptr;

int ClampToInt(int64_t value)
{
    return static_cast<int>(std::min<int64_t>(value, INT_MAX));
}

struct TProcEntry {
    const char *exportName;
    const char *messageName;
};

// The order in which the entry points are taken, which decides the one a failure names.
const TProcEntry procOrder[] = {
    {"InternetGetLastResponseInfoA", "InternetGetLastResponseInfo"},
    {"InternetOpenA", "InternetOpen"},
    {"InternetConnectA", "InternetConnect"},
    {"FtpSetCurrentDirectoryA", "FtpSetCurrentDirectory"},
    {"InternetCloseHandle", "InternetCloseHandle"},
    {"InternetQueryDataAvailable", "InternetQueryDataAvailable"},
    {"InternetReadFile", "InternetReadFile"},
    {"FtpOpenFileA", "FtpOpenFile"},
    {"HttpOpenRequestA", "HttpOpenRequest"},
    {"HttpSendRequestA", "HttpSendRequest"},
    {"HttpQueryInfoA", "HttpQueryInfo"},
};

// The directory as the server takes it.
std::string ServerPathOf(const std::string &directory)
{
    if (Trim(directory).empty())
        return "/";
    std::string path = directory;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

template <typename F>
void Take(F &slot, void *address)
{
    slot = reinterpret_cast<F>(address);
}

} // namespace

bool NetDownloadAbort = false;

// ---- Login information ---------------------------------------------------

TCustomLoginInformation::TCustomLoginInformation(TCustomNetInstallLocation *location)
    : location_(location) {}

std::string TCustomLoginInformation::ServerPath() const
{
    return ServerPathOf(directory_);
}

bool TCustomLoginInformation::IsValid() const
{
    bool hasHost = !Trim(hostname_).empty();
    if (anonymous_)
        return hasHost;
    return hasHost || !Trim(password_).empty() || !Trim(username_).empty();
}

void TCustomLoginInformation::Assign(const TPersistent *source)
{
    if (auto *other = dynamic_cast<const TCustomLoginInformation *>(source)) {
        anonymous_ = other->anonymous_;
        directory_ = other->directory_;
        hostname_ = other->hostname_;
        password_ = other->password_;
        protocol_ = other->protocol_;
        username_ = other->username_;
        return;
    }
    TPersistent::Assign(source);
}

// ---- The location --------------------------------------------------------

struct TCustomNetInstallLocation::Impl {
    explicit Impl(TCustomNetInstallLocation *owner) : login(owner) {}

    TLoginInformation login;
    bool loaded = false;
    TNetLibrary *module = nullptr;
    TWinInetProcs procs;
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET file = nullptr;
    std::string ftpDirectory; // the server directory the FTP connection was last changed to
    std::string localFileName;
    std::string remoteFileName;
};

TCustomNetInstallLocation::TCustomNetInstallLocation(TComponent *owner)
    : TComponent(owner), d(std::make_unique<Impl>(this))
{
    NetInstallLocationList().Add(this);
}

TCustomNetInstallLocation::~TCustomNetInstallLocation()
{
    if (d->file && d->procs.InternetCloseHandle)
        d->procs.InternetCloseHandle(d->file);
    d->file = nullptr;
    Disconnect();
    if (d->module)
        FreeNetLibrary(d->module);
    if (lastConnected == this)
        lastConnected = nullptr;
    NetInstallLocationList().Remove(this);
}

TLoginInformation *TCustomNetInstallLocation::LoginInformation() const
{
    return &d->login;
}

void TCustomNetInstallLocation::SetLoginInformation(const TLoginInformation *value)
{
    d->login.Assign(value);
}

bool TCustomNetInstallLocation::WinInetLoaded() const
{
    return d->loaded;
}

TNetLibrary *TCustomNetInstallLocation::WinInetModule() const
{
    return d->module;
}

const TWinInetProcs &TCustomNetInstallLocation::WinInetProcs() const
{
    return d->procs;
}

HINTERNET TCustomNetInstallLocation::Session() const
{
    return d->session;
}

HINTERNET TCustomNetInstallLocation::Connection() const
{
    return d->connection;
}

HINTERNET TCustomNetInstallLocation::FileHandle() const
{
    return d->file;
}

const std::string &TCustomNetInstallLocation::LocalFileName() const
{
    return d->localFileName;
}

const std::string &TCustomNetInstallLocation::RemoteFileName() const
{
    return d->remoteFileName;
}

template <typename E, typename... Args>
void TCustomNetInstallLocation::Raise(const char *format, const Args &...args) const
{
    throw E(NetErrorMessage(Format(format, args...)));
}

void TCustomNetInstallLocation::LoadWinInet()
{
    if (!d->module)
        d->module = LoadNetLibrary("WININET.DLL");
    if (!d->module)
        throw ENIL_FailLoadWININET(
            "Failed to load the Wininet.dll. If this is a hybrid installation, you might want "
            "to include the WININET.DLL file in the PresetupFiles property of the TInstall "
            "component");
    void *addresses[std::size(procOrder)];
    for (size_t i = 0; i < std::size(procOrder); ++i) {
        addresses[i] = GetNetProcAddress(d->module, procOrder[i].exportName);
        if (!addresses[i])
            throw ENIL_FailLoadDLLProc(
                Format("Failed to load the procedure %s from WININET.DLL", procOrder[i].messageName));
    }
    TWinInetProcs &p = d->procs;
    Take(p.InternetGetLastResponseInfoA, addresses[0]);
    Take(p.InternetOpenA, addresses[1]);
    Take(p.InternetConnectA, addresses[2]);
    Take(p.FtpSetCurrentDirectoryA, addresses[3]);
    Take(p.InternetCloseHandle, addresses[4]);
    Take(p.InternetQueryDataAvailable, addresses[5]);
    Take(p.InternetReadFile, addresses[6]);
    Take(p.FtpOpenFileA, addresses[7]);
    Take(p.HttpOpenRequestA, addresses[8]);
    Take(p.HttpSendRequestA, addresses[9]);
    Take(p.HttpQueryInfoA, addresses[10]);
    d->loaded = true;
}

void TCustomNetInstallLocation::Connect()
{
    lastConnected = this;
    if (!d->loaded)
        LoadWinInet();
    const TLoginInformation &login = d->login;
    bool ftp = login.Protocol() == ipFTP;

    if (!d->session) {
        d->session = d->procs.InternetOpenA(
            Application->Name().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!d->session)
            Raise<ENIL_OpenSession>("Cannot open internet connection");
    }

    if (!d->connection) {
        OnBeforeLogin(this);
        const char *user = login.Username().c_str();
        const char *password = login.Password().c_str();
        if (login.Anonymous())
            user = password = ftp ? nullptr : "";
        d->connection
            = d->procs.InternetConnectA(d->session, login.Hostname().c_str(), INTERNET_INVALID_PORT_NUMBER,
                user, password, ftp ? INTERNET_SERVICE_FTP : INTERNET_SERVICE_HTTP, 0, 0);
        if (!d->connection)
            Raise<ENIL_OpenService>("Cannot connect to host %s", login.Hostname());
        d->ftpDirectory.clear();
        OnAfterLogin(this);
    }

    if (ftp) {
        // A relative directory is taken from the current one, so changing to it again would go one
        // level deeper on every download: the connection stays where it already is.
        std::string path = login.ServerPath();
        if (path != d->ftpDirectory) {
            if (!d->procs.FtpSetCurrentDirectoryA(d->connection, path.c_str()))
                Raise<ENIL_FTPSetDir>("Cannot set directory on server to %s", path);
            d->ftpDirectory = path;
        }
    }
}

void TCustomNetInstallLocation::Disconnect()
{
    if (d->connection && d->procs.InternetCloseHandle(d->connection)) {
        d->connection = nullptr;
        d->ftpDirectory.clear();
    }
    if (d->session && d->procs.InternetCloseHandle(d->session))
        d->session = nullptr;
}

void TCustomNetInstallLocation::Download(const std::string &remoteName, const std::string &localName)
{
    Connect();
    d->remoteFileName = remoteName;
    d->localFileName = localName;
    OnBeforeDownload(this);
    if (d->login.Protocol() == ipFTP)
        DownloadFtp();
    else
        DownloadHttp();
    OnAfterDownload(this, NetDownloadAbort);
}

void TCustomNetInstallLocation::CloseFileHandle(bool raiseOnFailure)
{
    HINTERNET file = std::exchange(d->file, nullptr);
    if (!d->procs.InternetCloseHandle(file) && raiseOnFailure)
        Raise<ENIL_FTPCloseFile>("Cannot close the file %s on the server", d->remoteFileName);
}

void TCustomNetInstallLocation::DownloadFtp()
{
    const std::string &remote = d->remoteFileName;
    d->file = d->procs.FtpOpenFileA(d->connection, remote.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
    if (!d->file)
        Raise<ENIL_FTPOpenFile>("Cannot open file %s on server", remote);
    try {
        Transfer(false);
    } catch (...) {
        // The transfer's own error is the one to report.
        CloseFileHandle(false);
        throw;
    }
    CloseFileHandle(true);
}

void TCustomNetInstallLocation::DownloadHttp()
{
    const std::string &remote = d->remoteFileName;
    std::string directory = d->login.Directory();
    if (!Trim(directory).empty() && directory.back() != '\\' && directory.back() != '/')
        directory += '\\';
    std::string object = ServerPathOf(directory) + remote;

    d->file = d->procs.HttpOpenRequestA(d->connection, "GET", object.c_str(), nullptr, nullptr, nullptr,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!d->file)
        Raise<ENIL_HTTPOpenFile>("Cannot open file %s on server", remote);
    try {
        static const char acceptAll[] = "Accept: */*\r\n\r\n";
        if (!d->procs.HttpSendRequestA(d->file, acceptAll, sizeof acceptAll - 1, nullptr, 0))
            Raise<ENIL_HTTPSendRequest>("Cannot send request for file %s to the server", remote);
        // The status decides whether the body is the file or the server's error page.
        uint32_t status = 0;
        uint32_t length = sizeof status;
        if (!d->procs.HttpQueryInfoA(
                d->file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr))
            Raise<ENIL_FailDataQuery>("Could not query file %s on server", remote);
        if (status >= 400) {
            SetLastError(ERROR_INTERNET_EXTENDED_ERROR);
            if (status == 404)
                Raise<ENIL_FileNotFound>("Could not find the file %s on the server", remote);
            Raise<ENIL_ReadFile>("Could not read from file %s on the server", remote);
        }
        Transfer(true);
    } catch (...) {
        CloseFileHandle(false);
        throw;
    }
    CloseFileHandle(true);
}

void TCustomNetInstallLocation::Transfer(bool http)
{
    const std::string &remote = d->remoteFileName;
    const TWinInetProcs &p = d->procs;

    int fileSize = 0;
    if (http) {
        char text[ContentLengthBufferSize] = {};
        uint32_t length = sizeof text;
        if (p.HttpQueryInfoA(d->file, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr))
            fileSize = StrToIntDef(text, 0);
        else if (GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND)
            Raise<ENIL_FailDataQuery>("Could not query file %s on server", remote);
    } else {
        uint32_t available = 0;
        if (!p.InternetQueryDataAvailable(d->file, &available, 0, 0))
            Raise<ENIL_FailDataQuery>("Could not query file %s on server", remote);
        fileSize = ClampToInt(available);
    }

    TFileStream local(d->localFileName, fmCreate);
    std::vector<char> block(BlockSize);
    uint32_t got = 0;
    auto readBlock = [&] {
        if (!p.InternetReadFile(d->file, block.data(), BlockSize, &got))
            Raise<ENIL_ReadFile>("Could not read from file %s on the server", remote);
    };

    int64_t total = 0;
    readBlock();
    while (got > 0) {
        total += got;
        int bytes = static_cast<int>(got);
        OnDataReceived(this, remote, bytes, ClampToInt(total), fileSize, block.data());
        OnInternalDataReceived(this, remote, bytes, ClampToInt(total), fileSize, block.data());
        Application->ProcessMessages();
        if (NetDownloadAbort)
            return;
        if (local.Write(block.data(), got) != int64_t(got))
            throw ENIL_WriteDestFile(
                Format("%s could not write to the local dest file %s", Name(), d->localFileName));
        readBlock();
    }
    if (total < 1)
        Raise<ENIL_FileNotFound>("Could not find the file %s on the server", remote);
    // A transfer that ends before the size the server announced has lost data, whatever the server says.
    if (fileSize > 0 && total < fileSize) {
        SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
        Raise<ENIL_ReadFile>("Could not read from file %s on the server", remote);
    }
}

// ---- The global list -----------------------------------------------------

void TCustomNetInstallLocationList::Add(TCustomNetInstallLocation *location)
{
    if (!location)
        throw IENetList(NetErrorMessage("Cannot add a blank location to the global net location list"));
    items_.push_back(location);
}

void TCustomNetInstallLocationList::Remove(TCustomNetInstallLocation *location)
{
    auto it = std::find(items_.begin(), items_.end(), location);
    if (it != items_.end())
        items_.erase(it);
}

TCustomNetInstallLocation *TCustomNetInstallLocationList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(Format("List index out of bounds (%d)", index));
    return items_[size_t(index)];
}

TCustomNetInstallLocationList &NetInstallLocationList()
{
    static TCustomNetInstallLocationList list;
    return list;
}

TCustomNetInstallLocation *LastConnectedNetLocation()
{
    return lastConnected;
}

// ---- Error messages ------------------------------------------------------

std::string NetErrorName(uint32_t code)
{
    static const char *const internetNames[] = {
        "ERROR_INTERNET_OUT_OF_HANDLES",
        "ERROR_INTERNET_TIMEOUT",
        "ERROR_INTERNET_EXTENDED_ERROR",
        "ERROR_INTERNET_INTERNAL_ERROR",
        "ERROR_INTERNET_INVALID_URL",
        "ERROR_INTERNET_UNRECOGNIZED_SCHEME",
        "ERROR_INTERNET_NAME_NOT_RESOLVED",
        "ERROR_INTERNET_PROTOCOL_NOT_FOUND",
        "ERROR_INTERNET_INVALID_OPTION",
        "ERROR_INTERNET_BAD_OPTION_LENGTH",
        "ERROR_INTERNET_OPTION_NOT_SETTABLE",
        "ERROR_INTERNET_SHUTDOWN",
        "ERROR_INTERNET_INCORRECT_USER_NAME",
        "ERROR_INTERNET_INCORRECT_PASSWORD",
        "ERROR_INTERNET_LOGIN_FAILURE",
        "ERROR_INTERNET_INVALID_OPERATION",
        "ERROR_INTERNET_OPERATION_CANCELLED",
        "ERROR_INTERNET_INCORRECT_HANDLE_TYPE",
        "ERROR_INTERNET_INCORRECT_HANDLE_STATE",
        "ERROR_INTERNET_NOT_PROXY_REQUEST",
        "ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND",
        "ERROR_INTERNET_BAD_REGISTRY_PARAMETER",
        "ERROR_INTERNET_NO_DIRECT_ACCESS",
        "ERROR_INTERNET_NO_CONTEXT",
        "ERROR_INTERNET_NO_CALLBACK",
        "ERROR_INTERNET_REQUEST_PENDING",
        "ERROR_INTERNET_INCORRECT_FORMAT",
        "ERROR_INTERNET_ITEM_NOT_FOUND",
        "ERROR_INTERNET_CANNOT_CONNECT",
        "ERROR_INTERNET_CONNECTION_ABORTED",
        "ERROR_INTERNET_CONNECTION_RESET",
        "ERROR_INTERNET_FORCE_RETRY",
    };
    static const char *const gopherNames[] = {
        "ERROR_GOPHER_PROTOCOL_ERROR",
        "ERROR_GOPHER_NOT_FILE",
        "ERROR_GOPHER_DATA_ERROR",
        "ERROR_GOPHER_END_OF_DATA",
        "ERROR_GOPHER_INVALID_LOCATOR",
        "ERROR_GOPHER_INCORRECT_LOCATOR_TYPE",
        "ERROR_GOPHER_NOT_GOPHER_PLUS",
        "ERROR_GOPHER_ATTRIBUTE_NOT_FOUND",
        "ERROR_GOPHER_UNKNOWN_LOCATOR",
    };
    static const char *const httpNames[] = {
        "ERROR_HTTP_HEADER_NOT_FOUND",
        "ERROR_HTTP_DOWNLEVEL_SERVER",
        "ERROR_HTTP_INVALID_SERVER_RESPONSE",
        "ERROR_HTTP_INVALID_HEADER",
        "ERROR_HTTP_INVALID_QUERY_REQUEST",
        "ERROR_HTTP_HEADER_ALREADY_EXISTS",
    };
    if (code == ERROR_INVALID_HANDLE)
        return "ERROR_INVALID_HANDLE";
    if (code >= 12001 && code <= 12032)
        return internetNames[code - 12001];
    if (code == 12036)
        return "ERROR_INTERNET_HANDLE_EXISTS";
    if (code == 12041)
        return "ERROR_INTERNET_MIXED_SECURITY";
    if (code == 12110)
        return "ERROR_FTP_TRANSFER_IN_PROGRESS";
    if (code == 12111)
        return "ERROR_FTP_DROPPED";
    if (code >= 12130 && code <= 12138)
        return gopherNames[code - 12130];
    if (code >= 12150 && code <= 12155)
        return httpNames[code - 12150];
    return "Unregistered error code";
}

std::string NetErrorMessage(const std::string &text)
{
    // The code is read first: asking for the server's answer may change it.
    std::string errorName = NetErrorName(GetLastError());
    std::string server = lastConnected ? lastConnected->LoginInformation()->Hostname() : std::string();
    std::string response = "No server response";
    char buffer[ResponseBufferSize];
    uint32_t length = sizeof buffer;
    uint32_t error = 0;
    if (InternetGetLastResponseInfo(&error, buffer, &length))
        response.assign(buffer, length);
    return Format(
        "%s. Error message %s. Server %s. Response from server %s", text, errorName, server, response);
}

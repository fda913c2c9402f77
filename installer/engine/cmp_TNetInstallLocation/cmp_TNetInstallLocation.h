#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/net/wininet.h"
#include "platform/rtl/events.h"
#include "platform/rtl/exceptions.h"

// A network install location: one FTP or HTTP server from which single files
// are downloaded into local files, with progress events and a cancel flag
// that is tested between blocks.

class TCustomNetInstallLocation;

enum TInternetProtocol { ipFTP, ipHTTP };

using TLoginEvent = TEvent<TObject *>;
using TNotifyWithAbortFlag = TEvent<TObject * /*Sender*/, bool /*Aborted*/>;
// FileName is the remote name; Bytes this block's size, TotalBytes the bytes
// received so far, FileSize the size the server announced (0 when unknown).
using TDataReceivedEvent = TEvent<TObject * /*Sender*/, const std::string & /*FileName*/, int /*Bytes*/,
    int /*TotalBytes*/, int /*FileSize*/, const char * /*Buffer*/>;

// Errors of a download. Their messages name the machine's error code, the
// server and the server's last answer (see NetErrorMessage), except the
// three that derive from Exception directly.
ORVEX_EXCEPTION(ENIL, Exception);
ORVEX_EXCEPTION(ENIL_OpenSession, ENIL);
ORVEX_EXCEPTION(ENIL_OpenService, ENIL);
ORVEX_EXCEPTION(ENIL_FailDataQuery, ENIL);
ORVEX_EXCEPTION(ENIL_ReadFile, ENIL);
ORVEX_EXCEPTION(ENIL_FileNotFound, ENIL);
ORVEX_EXCEPTION(ENIL_FTP, ENIL);
ORVEX_EXCEPTION(ENIL_FTPSetDir, ENIL_FTP);
ORVEX_EXCEPTION(ENIL_FTPOpenFile, ENIL_FTP);
ORVEX_EXCEPTION(ENIL_FTPCloseFile, ENIL_FTP);
ORVEX_EXCEPTION(ENIL_HTTP, ENIL);
ORVEX_EXCEPTION(ENIL_HTTPOpenFile, ENIL_HTTP);
ORVEX_EXCEPTION(ENIL_HTTPSendRequest, ENIL_HTTP);
ORVEX_EXCEPTION(IENetList, ENIL);
ORVEX_EXCEPTION(ENIL_WriteDestFile, Exception);
ORVEX_EXCEPTION(ENIL_FailLoadWININET, Exception);
ORVEX_EXCEPTION(ENIL_FailLoadDLLProc, Exception);

// How to reach the server.
class TCustomLoginInformation : public TPersistent {
public:
    explicit TCustomLoginInformation(TCustomNetInstallLocation *location);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Logon
    bool Anonymous() const { return anonymous_; }
    void SetAnonymous(bool value) { anonymous_ = value; }
    const std::string &Username() const { return username_; }
    void SetUsername(const std::string &value) { username_ = value; }
    const std::string &Password() const { return password_; }
    void SetPassword(const std::string &value) { password_ = value; }

    // Server
    const std::string &Hostname() const { return hostname_; }
    void SetHostname(const std::string &value) { hostname_ = value; }
    TInternetProtocol Protocol() const { return protocol_; }
    void SetProtocol(TInternetProtocol value) { protocol_ = value; }
    // '\' may be used for '/'.
    const std::string &Directory() const { return directory_; }
    void SetDirectory(const std::string &value) { directory_ = value; }

    TCustomNetInstallLocation *Location() const { return location_; }
    // The directory as the server takes it: "/" when blank, '\' sent as '/'.
    std::string ServerPath() const;
    // Enough is set to try a logon.
    bool IsValid() const;

    void Assign(const TPersistent *source) override;

private:
    TCustomNetInstallLocation *location_;
    bool anonymous_ = true;
    std::string directory_;
    std::string hostname_;
    std::string password_;
    TInternetProtocol protocol_ = ipHTTP;
    std::string username_;
};

class TLoginInformation : public TCustomLoginInformation {
public:
    using TCustomLoginInformation::TCustomLoginInformation;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// The internet functions as the location takes them from the library.
using TInternetGetLastResponseInfoProc = decltype(&InternetGetLastResponseInfo);
using TInternetOpenProc = decltype(&InternetOpen);
using TInternetConnectProc = decltype(&InternetConnect);
using TFtpSetCurrentDirectoryProc = decltype(&FtpSetCurrentDirectory);
using TInternetCloseHandleProc = decltype(&InternetCloseHandle);
using TInternetQueryDataAvailableProc = decltype(&InternetQueryDataAvailable);
using TInternetReadFileProc = decltype(&InternetReadFile);
using TFtpOpenFileProc = decltype(&FtpOpenFile);
using THttpOpenRequestProc = decltype(&HttpOpenRequest);
using THttpSendRequestProc = decltype(&HttpSendRequest);
using THttpQueryInfoProc = decltype(&HttpQueryInfo);

struct TWinInetProcs {
    TInternetGetLastResponseInfoProc InternetGetLastResponseInfoA = nullptr;
    TInternetOpenProc InternetOpenA = nullptr;
    TInternetConnectProc InternetConnectA = nullptr;
    TFtpSetCurrentDirectoryProc FtpSetCurrentDirectoryA = nullptr;
    TInternetCloseHandleProc InternetCloseHandle = nullptr;
    TInternetQueryDataAvailableProc InternetQueryDataAvailable = nullptr;
    TInternetReadFileProc InternetReadFile = nullptr;
    TFtpOpenFileProc FtpOpenFileA = nullptr;
    THttpOpenRequestProc HttpOpenRequestA = nullptr;
    THttpSendRequestProc HttpSendRequestA = nullptr;
    THttpQueryInfoProc HttpQueryInfoA = nullptr;
};

class TCustomNetInstallLocation : public TComponent {
public:
    explicit TCustomNetInstallLocation(TComponent *owner);
    ~TCustomNetInstallLocation() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Server and logon; setting copies
    TLoginInformation *LoginInformation() const;
    virtual void SetLoginInformation(const TLoginInformation *value);

    // Downloading
    virtual void LoadWinInet();
    // Opens the session and the connection when they are not open yet; for
    // FTP, changes to the server directory.
    virtual void Connect();
    virtual void Download(const std::string &remoteName, const std::string &localName);
    void Disconnect();

    // State of the internet library and of the running download
    bool WinInetLoaded() const;
    TNetLibrary *WinInetModule() const;
    const TWinInetProcs &WinInetProcs() const;
    HINTERNET Session() const;
    HINTERNET Connection() const;
    HINTERNET FileHandle() const;
    const std::string &LocalFileName() const;
    const std::string &RemoteFileName() const;

    // Events
    TNotifyWithAbortFlag OnAfterDownload;
    TLoginEvent OnAfterLogin;
    TNotifyEvent OnBeforeDownload;
    TLoginEvent OnBeforeLogin;
    TDataReceivedEvent OnDataReceived;
    // For the install object that owns the download; fired right after OnDataReceived.
    TDataReceivedEvent OnInternalDataReceived;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;

    void DownloadFtp();
    void DownloadHttp();
    void Transfer(bool http);
    void CloseFileHandle(bool raiseOnFailure);
    template <typename E, typename... Args>
    [[noreturn]] void Raise(const char *format, const Args &...args) const;
};

class TNetInstallLocation : public TCustomNetInstallLocation {
public:
    using TCustomNetInstallLocation::TCustomNetInstallLocation;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// Every location that exists, in creation order.
class TCustomNetInstallLocationList {
public:
    void Add(TCustomNetInstallLocation *location); // IENetList for nil
    void Remove(TCustomNetInstallLocation *location);
    int Count() const { return static_cast<int>(items_.size()); }
    TCustomNetInstallLocation *Items(int index) const; // EListError on a bad index

private:
    std::vector<TCustomNetInstallLocation *> items_;
};

TCustomNetInstallLocationList &NetInstallLocationList();
// The location that connected last; null when none or after it was destroyed.
TCustomNetInstallLocation *LastConnectedNetLocation();

// Cancel of a running download: set by the copy-progress page, tested
// between blocks. False when the program starts.
extern bool NetDownloadAbort;

// The symbolic name of a machine error code, "Unregistered error code" for
// one the table does not know.
std::string NetErrorName(uint32_t code);
// text, then the current error code's name, the last-connected server and
// the server's last answer: the message of every ENIL.
std::string NetErrorMessage(const std::string &text);

#include "platform/net/wininet.h"

#include "platform/rtl/lasterror.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace {

// How long a server may stay silent before the call fails with a time-out.
constexpr long ConnectTimeoutSeconds = 60;
constexpr long StallTimeoutSeconds = 60;
// The longest wait for network activity before the transfers are driven again.
constexpr int PollMilliseconds = 20;

enum class THandleKind { Session, FtpConnection, HttpConnection, FtpFile, HttpRequest };

// One libcurl transfer, read by the caller at its own pace. The write callback
// takes one chunk and pauses the transfer while that chunk is unread, so no
// more than a chunk ever waits in memory, however large the file.
struct TTransfer {
    CURL *easy = nullptr;
    curl_slist *requestFields = nullptr;
    bool http = false;
    bool followRedirects = false;

    std::string pending; // the chunk received and not yet read, from pendingFrom on
    size_t pendingFrom = 0;
    bool paused = false;
    bool done = false;
    CURLcode result = CURLE_OK;
    int64_t delivered = 0; // bytes handed to the reader

    std::string reply; // FTP: the server's last reply, lines joined by CR LF
    bool replyComplete = true;
    bool dataStarted = false; // FTP: the server accepted the retrieval (150/125)

    int status = 0; // HTTP: the response head
    std::string statusLine;
    std::vector<std::string> fields;
    bool headComplete = false;

    bool HasPending() const { return pendingFrom < pending.size(); }
};

} // namespace

struct TInternetHandle {
    THandleKind kind;
    TInternetHandle *parent = nullptr;
    std::vector<TInternetHandle *> children;

    // session
    std::string agent;
    CURLM *multi = nullptr;

    // connection
    std::string hostPort; // as it goes into a URL: "host", "host:21", "[::1]:21"
    std::string user;
    std::string password;
    bool hasUser = false;
    std::string ftpDirectory; // empty: the directory the server logged us on in
    TInternetHandle *openFile = nullptr; // FTP: the one file being transferred

    // FTP file or HTTP request
    std::string url;
    bool noRedirect = false;
    bool headOnly = false;
    bool http10 = false;
    std::unique_ptr<TTransfer> transfer;
};

namespace {

std::mutex handlesLock;
std::set<TInternetHandle *> liveHandles;

thread_local std::optional<std::string> lastResponse;
thread_local uint32_t lastResponseCode = 0;

bool Fail(uint32_t code)
{
    SetLastError(code);
    return false;
}

HINTERNET FailHandle(uint32_t code)
{
    SetLastError(code);
    return nullptr;
}

HINTERNET Register(std::unique_ptr<TInternetHandle> handle, TInternetHandle *parent)
{
    TInternetHandle *h = handle.release();
    h->parent = parent;
    if (parent)
        parent->children.push_back(h);
    std::lock_guard guard(handlesLock);
    liveHandles.insert(h);
    return h;
}

bool IsLive(TInternetHandle *h)
{
    std::lock_guard guard(handlesLock);
    return h && liveHandles.count(h) != 0;
}

// Checks a handle passed in by a caller: it must be open and of the kind the call works on.
bool Check(TInternetHandle *h, std::initializer_list<THandleKind> kinds)
{
    if (!IsLive(h))
        return Fail(ERROR_INVALID_HANDLE);
    if (std::find(kinds.begin(), kinds.end(), h->kind) == kinds.end())
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return true;
}

CURLM *SessionMulti(TInternetHandle *h)
{
    while (h->parent)
        h = h->parent;
    return h->multi;
}

uint32_t ErrorFor(CURLcode code)
{
    switch (code) {
    case CURLE_OK:
        return ERROR_SUCCESS;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_COULDNT_RESOLVE_HOST:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_LOGIN_DENIED:
        return ERROR_INTERNET_LOGIN_FAILURE;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_QUOTE_ERROR:
        return ERROR_INTERNET_EXTENDED_ERROR;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SEND_ERROR:
        return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_URL_MALFORMAT:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_TOO_MANY_REDIRECTS:
        return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_ABORTED_BY_CALLBACK:
        return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_OUT_OF_MEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

// What the server said last becomes the thread's response text.
void RememberResponse(const TTransfer &t)
{
    const std::string &text = t.http ? t.statusLine : t.reply;
    if (text.empty()) {
        lastResponse.reset();
        lastResponseCode = 0;
        return;
    }
    lastResponse = text;
    lastResponseCode = t.http ? uint32_t(t.status) : uint32_t(std::atoi(text.c_str()));
}

bool IsDigits(const std::string &s, size_t from, size_t count)
{
    if (s.size() < from + count)
        return false;
    for (size_t i = from; i < from + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

bool SameFieldName(const std::string &line, const char *name)
{
    size_t n = std::strlen(name);
    if (line.size() <= n || line[n] != ':')
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(line[i]))
            != std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

std::string FieldValue(const std::string &line)
{
    size_t from = line.find(':') + 1;
    while (from < line.size() && (line[from] == ' ' || line[from] == '\t'))
        ++from;
    size_t to = line.size();
    while (to > from && (line[to - 1] == ' ' || line[to - 1] == '\t'))
        --to;
    return line.substr(from, to - from);
}

bool IsFollowedRedirect(const TTransfer &t)
{
    if (!t.followRedirects)
        return false;
    if (t.status != 301 && t.status != 302 && t.status != 303 && t.status != 307 && t.status != 308)
        return false;
    return std::any_of(
        t.fields.begin(), t.fields.end(), [](const std::string &f) { return SameFieldName(f, "Location"); });
}

// libcurl hands over HTTP header lines and, for FTP, every reply line of the
// control connection.
size_t OnHeaderLine(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<TTransfer *>(user);
    size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();

    if (t->http) {
        if (line.rfind("HTTP/", 0) == 0) {
            // A new response head: an interim 1xx answer or a redirect came before it.
            size_t space = line.find(' ');
            t->status = space == std::string::npos ? 0 : std::atoi(line.c_str() + space + 1);
            t->statusLine = line;
            t->fields.clear();
            t->headComplete = false;
        } else if (line.empty()) {
            if (t->status >= 200 && !IsFollowedRedirect(*t))
                t->headComplete = true;
        } else {
            t->fields.push_back(line);
        }
        return n;
    }

    if (t->replyComplete)
        t->reply.clear();
    else
        t->reply += "\r\n";
    t->reply += line;
    // A reply ends with a line that starts with its code and a blank; "230-" opens a multi-line one.
    t->replyComplete = IsDigits(line, 0, 3) && (line.size() == 3 || line[3] == ' ');
    if (t->replyComplete && (line.rfind("150", 0) == 0 || line.rfind("125", 0) == 0))
        t->dataStarted = true;
    return n;
}

size_t OnData(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<TTransfer *>(user);
    if (t->HasPending()) {
        t->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    t->pending.assign(data, size * count);
    t->pendingFrom = 0;
    return size * count;
}

void CollectFinished(CURLM *multi)
{
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        TTransfer *t = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char **>(&t));
        if (t) {
            t->done = true;
            t->result = msg->data.result;
        }
    }
}

// Drives the session's transfers until ready() holds or this transfer has ended.
template <typename Ready>
void Pump(CURLM *multi, TTransfer &t, Ready ready)
{
    while (!ready() && !t.done) {
        int running = 0;
        CURLMcode mc = curl_multi_perform(multi, &running);
        CollectFinished(multi);
        if (ready() || t.done)
            return;
        if (mc != CURLM_OK) {
            t.done = true;
            t.result = mc == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT;
            return;
        }
        // Short waits: libcurl does not always ask to be woken while it sets up an FTP
        // data connection, and a long wait would then stall the transfer for its whole length.
        curl_multi_poll(multi, nullptr, 0, PollMilliseconds, nullptr);
    }
}

std::unique_ptr<TTransfer> NewTransfer(TInternetHandle *connection, const std::string &url, bool http)
{
    auto t = std::make_unique<TTransfer>();
    t->http = http;
    t->easy = curl_easy_init();
    if (!t->easy)
        return nullptr;
    CURL *e = t->easy;
    TInternetHandle *session = connection->parent;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, http ? "http" : "ftp");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PRIVATE, t.get());
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, StallTimeoutSeconds);
    curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, StallTimeoutSeconds);
    // The machine has no proxy settings, and proxies named in the environment are not used
    // either: a transfer goes only where its server name says.
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    if (!session->agent.empty())
        curl_easy_setopt(e, CURLOPT_USERAGENT, session->agent.c_str());
    if (connection->hasUser && !connection->user.empty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, connection->user.c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, connection->password.c_str());
        if (http)
            curl_easy_setopt(e, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    }
    return t;
}

void StartTransfer(TInternetHandle *connection, TTransfer &t)
{
    curl_multi_add_handle(SessionMulti(connection), t.easy);
}

void EndTransfer(CURLM *multi, std::unique_ptr<TTransfer> &t)
{
    if (!t)
        return;
    if (t->easy) {
        curl_multi_remove_handle(multi, t->easy);
        curl_easy_cleanup(t->easy);
    }
    curl_slist_free_all(t->requestFields);
    t.reset();
}

// Runs a transfer that carries no data (log on, change directory) to its end.
CURLcode RunToEnd(TInternetHandle *connection, std::unique_ptr<TTransfer> &t)
{
    StartTransfer(connection, *t);
    CURLM *multi = SessionMulti(connection);
    Pump(multi, *t, [] { return false; });
    CURLcode result = t->result;
    RememberResponse(*t);
    EndTransfer(multi, t);
    return result;
}

void Close(TInternetHandle *h)
{
    while (!h->children.empty())
        Close(h->children.back());
    if (h->transfer)
        EndTransfer(SessionMulti(h), h->transfer);
    if (h->parent) {
        auto &siblings = h->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), h), siblings.end());
        if (h->parent->openFile == h)
            h->parent->openFile = nullptr;
    }
    if (h->multi)
        curl_multi_cleanup(h->multi);
    {
        std::lock_guard guard(handlesLock);
        liveHandles.erase(h);
    }
    delete h;
}

bool IsHostChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

// "host", "host:port", "[v6]" or "[v6]:port"; a port given separately may not be repeated in the name.
bool ParseServer(const std::string &name, uint16_t port, std::string &hostPort)
{
    std::string host, portText;
    bool hasPort = false;
    if (!name.empty() && name[0] == '[') {
        size_t close = name.find(']');
        if (close == std::string::npos || close == 1)
            return false;
        for (size_t i = 1; i < close; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(name[i])) && name[i] != ':' && name[i] != '.')
                return false;
        host = name.substr(0, close + 1);
        std::string rest = name.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':')
                return false;
            hasPort = true;
            portText = rest.substr(1);
        }
    } else {
        size_t colon = name.find(':');
        host = name.substr(0, colon);
        if (colon != std::string::npos) {
            hasPort = true;
            portText = name.substr(colon + 1);
        }
        if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostChar))
            return false;
    }
    if (hasPort) {
        if (port != INTERNET_INVALID_PORT_NUMBER || portText.empty() || portText.size() > 5
            || !IsDigits(portText, 0, portText.size()))
            return false;
        long value = std::atol(portText.c_str());
        if (value < 1 || value > 65535)
            return false;
        hostPort = host + ":" + portText;
    } else {
        hostPort = port != INTERNET_INVALID_PORT_NUMBER ? host + ":" + std::to_string(port) : host;
    }
    return true;
}

// Percent-encodes every byte except letters, digits, "-._~" and the characters in keep.
std::string Escape(const std::string &text, const char *keep)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || std::strchr("-._~", c) || (c && std::strchr(keep, c))) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// An FTP path after a change of directory or for a file: absolute ("/pub")
// or relative to the directory the server logged us on in.
std::string JoinFtpPath(const std::string &current, const std::string &name)
{
    std::string joined;
    if (!name.empty() && name[0] == '/')
        joined = name;
    else if (current.empty())
        joined = name;
    else
        joined = current + "/" + name;
    std::string path;
    for (char c : joined)
        if (c != '/' || path.empty() || path.back() != '/')
            path += c;
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string FtpUrl(const std::string &hostPort, std::string path, bool directory)
{
    std::string url = "ftp://" + hostPort + "/";
    if (!path.empty() && path[0] == '/') {
        // "%2F" makes libcurl change to the root first instead of starting at the logon directory.
        url += "%2F";
        path.erase(0, 1);
    }
    size_t from = 0;
    while (from < path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos)
            slash = path.size();
        if (from > 0)
            url += '/';
        // ';' would start a libcurl "type=" suffix, so it is encoded with everything unusual.
        url += Escape(path.substr(from, slash - from), "!$&'()*+,=:@");
        from = slash + 1;
    }
    if (directory && url.back() != '/')
        url += '/';
    return url;
}

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool CopyText(const std::string &text, void *buffer, uint32_t *bufferLength)
{
    if (!bufferLength)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!buffer || *bufferLength < text.size() + 1) {
        *bufferLength = uint32_t(text.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *bufferLength = uint32_t(text.size());
    return true;
}

// Fails the call with the transfer's error when it has ended badly.
bool FailIfBroken(const TTransfer &t)
{
    if (t.done && t.result != CURLE_OK)
        return Fail(ErrorFor(t.result));
    return true;
}

} // namespace

HINTERNET InternetOpen(const char *agent, uint32_t accessType, const char *, const char *, uint32_t flags)
{
    if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT)
        return FailHandle(ERROR_INVALID_PARAMETER);
    if (flags != 0)
        return FailHandle(ERROR_INVALID_PARAMETER);
    InitCurlOnce();
    auto session = std::make_unique<TInternetHandle>();
    session->kind = THandleKind::Session;
    session->agent = agent ? agent : "";
    session->multi = curl_multi_init();
    if (!session->multi)
        return FailHandle(ERROR_NOT_ENOUGH_MEMORY);
    return Register(std::move(session), nullptr);
}

HINTERNET InternetConnect(HINTERNET session, const char *serverName, uint16_t serverPort,
    const char *userName, const char *password, uint32_t service, uint32_t, uintptr_t)
{
    if (!Check(session, {THandleKind::Session}))
        return nullptr;
    if (service != INTERNET_SERVICE_FTP && service != INTERNET_SERVICE_HTTP)
        return FailHandle(ERROR_INVALID_PARAMETER);
    auto connection = std::make_unique<TInternetHandle>();
    connection->kind
        = service == INTERNET_SERVICE_FTP ? THandleKind::FtpConnection : THandleKind::HttpConnection;
    if (!ParseServer(serverName ? serverName : "", serverPort, connection->hostPort))
        return FailHandle(ERROR_INTERNET_NAME_NOT_RESOLVED);
    connection->hasUser = userName != nullptr;
    connection->user = userName ? userName : "";
    connection->password = password ? password : "";
    connection->parent = session;

    if (service == INTERNET_SERVICE_FTP) {
        // An FTP connection logs on at once, so a wrong password fails here and not at the first file.
        auto probe = NewTransfer(connection.get(), FtpUrl(connection->hostPort, "", true), false);
        if (!probe)
            return FailHandle(ERROR_NOT_ENOUGH_MEMORY);
        curl_easy_setopt(probe->easy, CURLOPT_NOBODY, 1L);
        CURLcode result = RunToEnd(connection.get(), probe);
        if (result != CURLE_OK)
            return FailHandle(ErrorFor(result));
    } else {
        lastResponse.reset();
    }
    return Register(std::move(connection), session);
}

bool InternetCloseHandle(HINTERNET handle)
{
    if (!IsLive(handle))
        return Fail(ERROR_INVALID_HANDLE);
    Close(handle);
    return true;
}

bool InternetReadFile(HINTERNET file, void *buffer, uint32_t bytesToRead, uint32_t *bytesRead)
{
    if (bytesRead)
        *bytesRead = 0;
    if (!Check(file, {THandleKind::FtpFile, THandleKind::HttpRequest}))
        return false;
    if (!bytesRead || (!buffer && bytesToRead > 0))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!file->transfer)
        return Fail(ERROR_INTERNET_INVALID_OPERATION);
    TTransfer &t = *file->transfer;
    CURLM *multi = SessionMulti(file);
    auto *out = static_cast<char *>(buffer);
    uint32_t got = 0;
    while (got < bytesToRead) {
        if (t.HasPending()) {
            size_t n = std::min<size_t>(bytesToRead - got, t.pending.size() - t.pendingFrom);
            std::memcpy(out + got, t.pending.data() + t.pendingFrom, n);
            t.pendingFrom += n;
            got += uint32_t(n);
            continue;
        }
        if (t.done)
            break;
        if (t.paused) {
            // Resuming may hand over the held-back chunk at once, through OnData.
            t.paused = false;
            curl_easy_pause(t.easy, CURLPAUSE_CONT);
            continue;
        }
        Pump(multi, t, [&t] { return t.HasPending(); });
    }
    t.delivered += got;
    *bytesRead = got;
    if (got == 0) {
        RememberResponse(t);
        return FailIfBroken(t);
    }
    return true;
}

bool InternetQueryDataAvailable(HINTERNET file, uint32_t *bytesAvailable, uint32_t, uintptr_t)
{
    if (bytesAvailable)
        *bytesAvailable = 0;
    if (!Check(file, {THandleKind::FtpFile, THandleKind::HttpRequest}))
        return false;
    if (!bytesAvailable)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!file->transfer)
        return Fail(ERROR_INTERNET_INVALID_OPERATION);
    TTransfer &t = *file->transfer;
    curl_off_t announced = -1;
    curl_easy_getinfo(t.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced >= 0 && !file->headOnly) {
        int64_t left = std::max<int64_t>(0, announced - t.delivered);
        *bytesAvailable = uint32_t(std::min<int64_t>(left, UINT32_MAX));
        return true;
    }
    if (!t.HasPending() && !t.done) {
        if (t.paused) {
            t.paused = false;
            curl_easy_pause(t.easy, CURLPAUSE_CONT);
        }
        Pump(SessionMulti(file), t, [&t] { return t.HasPending(); });
    }
    *bytesAvailable = uint32_t(t.pending.size() - t.pendingFrom);
    if (*bytesAvailable == 0)
        return FailIfBroken(t);
    return true;
}

bool InternetGetLastResponseInfo(uint32_t *error, char *buffer, uint32_t *bufferLength)
{
    if (error)
        *error = lastResponseCode;
    if (!lastResponse)
        return Fail(ERROR_NO_MORE_ITEMS);
    return CopyText(*lastResponse, buffer, bufferLength);
}

bool FtpSetCurrentDirectory(HINTERNET connection, const char *directory)
{
    if (!Check(connection, {THandleKind::FtpConnection}))
        return false;
    if (!directory)
        return Fail(ERROR_INVALID_PARAMETER);
    if (connection->openFile)
        return Fail(ERROR_FTP_TRANSFER_IN_PROGRESS);
    std::string path = JoinFtpPath(connection->ftpDirectory, directory);
    auto probe = NewTransfer(connection, FtpUrl(connection->hostPort, path, true), false);
    if (!probe)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    curl_easy_setopt(probe->easy, CURLOPT_NOBODY, 1L);
    CURLcode result = RunToEnd(connection, probe);
    if (result != CURLE_OK)
        return Fail(ErrorFor(result));
    connection->ftpDirectory = path;
    return true;
}

HINTERNET FtpOpenFile(HINTERNET connection, const char *fileName, uint32_t access, uint32_t flags, uintptr_t)
{
    if (!Check(connection, {THandleKind::FtpConnection}))
        return nullptr;
    if (!fileName || !*fileName || access != GENERIC_READ)
        return FailHandle(ERROR_INVALID_PARAMETER);
    if (connection->openFile)
        return FailHandle(ERROR_FTP_TRANSFER_IN_PROGRESS);
    auto file = std::make_unique<TInternetHandle>();
    file->kind = THandleKind::FtpFile;
    file->parent = connection;
    file->url = FtpUrl(connection->hostPort, JoinFtpPath(connection->ftpDirectory, fileName), false);
    file->transfer = NewTransfer(connection, file->url, false);
    if (!file->transfer)
        return FailHandle(ERROR_NOT_ENOUGH_MEMORY);
    TTransfer &t = *file->transfer;
    if ((flags & 3) == FTP_TRANSFER_TYPE_ASCII)
        curl_easy_setopt(t.easy, CURLOPT_TRANSFERTEXT, 1L);
    StartTransfer(connection, t);
    // The call returns once the server has agreed to send the file, or refused it.
    Pump(SessionMulti(connection), t, [&t] { return t.dataStarted; });
    RememberResponse(t);
    if (t.done && t.result != CURLE_OK) {
        uint32_t code = ErrorFor(t.result);
        EndTransfer(SessionMulti(connection), file->transfer);
        return FailHandle(code);
    }
    HINTERNET h = Register(std::move(file), connection);
    connection->openFile = h;
    return h;
}

HINTERNET HttpOpenRequest(HINTERNET connection, const char *verb, const char *objectName, const char *version,
    const char *, const char **, uint32_t flags, uintptr_t)
{
    if (!Check(connection, {THandleKind::HttpConnection}))
        return nullptr;
    std::string method = verb && *verb ? verb : "GET";
    if (method != "GET" && method != "HEAD")
        return FailHandle(ERROR_INVALID_PARAMETER);
    if (version && *version && std::strcmp(version, "HTTP/1.1") != 0 && std::strcmp(version, "HTTP/1.0") != 0)
        return FailHandle(ERROR_INVALID_PARAMETER);
    std::string object = objectName ? objectName : "";
    if (object.empty() || object[0] != '/')
        object.insert(0, "/");
    auto request = std::make_unique<TInternetHandle>();
    request->kind = THandleKind::HttpRequest;
    // Object names usually come escaped already, so '%' and the query part are passed on as they are.
    request->url = "http://" + connection->hostPort + Escape(object, "/!$&'()*+,;=:@%?");
    request->noRedirect = (flags & INTERNET_FLAG_NO_AUTO_REDIRECT) != 0;
    request->headOnly = method == "HEAD";
    request->http10 = version && std::strcmp(version, "HTTP/1.0") == 0;
    return Register(std::move(request), connection);
}

bool HttpSendRequest(HINTERNET request, const char *headers, uint32_t headersLength, const void *optional,
    uint32_t optionalLength)
{
    if (!Check(request, {THandleKind::HttpRequest}))
        return false;
    if (optional && optionalLength > 0)
        return Fail(ERROR_INVALID_PARAMETER);
    TInternetHandle *connection = request->parent;
    CURLM *multi = SessionMulti(request);
    EndTransfer(multi, request->transfer);
    request->transfer = NewTransfer(connection, request->url, true);
    if (!request->transfer)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    TTransfer &t = *request->transfer;
    CURL *e = t.easy;

    std::string text;
    if (headers)
        text = headersLength == uint32_t(-1) ? std::string(headers) : std::string(headers, headersLength);
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string::npos)
            end = text.size();
        if (end > from)
            t.requestFields = curl_slist_append(t.requestFields, text.substr(from, end - from).c_str());
        from = end + 1;
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.requestFields);
    if (request->headOnly)
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    else
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(
        e, CURLOPT_HTTP_VERSION, request->http10 ? long(CURL_HTTP_VERSION_1_0) : long(CURL_HTTP_VERSION_1_1));
    if (!request->noRedirect) {
        t.followRedirects = true;
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    }
    StartTransfer(connection, t);
    Pump(multi, t, [&t] { return t.headComplete; });
    RememberResponse(t);
    if (!t.headComplete) {
        uint32_t code
            = t.done && t.result != CURLE_OK ? ErrorFor(t.result) : ERROR_HTTP_INVALID_SERVER_RESPONSE;
        EndTransfer(multi, request->transfer);
        return Fail(code);
    }
    return true;
}

bool HttpQueryInfo(
    HINTERNET request, uint32_t infoLevel, void *buffer, uint32_t *bufferLength, uint32_t *index)
{
    if (!Check(request, {THandleKind::HttpRequest}))
        return false;
    if (!request->transfer || !request->transfer->headComplete)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    const TTransfer &t = *request->transfer;
    bool asNumber = (infoLevel & HTTP_QUERY_FLAG_NUMBER) != 0;
    uint32_t level = infoLevel & 0xFFFF;
    uint32_t wanted = index ? *index : 0;

    std::string value;
    switch (level) {
    case HTTP_QUERY_CONTENT_LENGTH: {
        uint32_t seen = 0;
        bool found = false;
        for (const std::string &field : t.fields) {
            if (SameFieldName(field, "Content-Length") && seen++ == wanted) {
                value = FieldValue(field);
                found = true;
                break;
            }
        }
        if (!found)
            return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
        break;
    }
    case HTTP_QUERY_STATUS_CODE:
        value = std::to_string(t.status);
        break;
    case HTTP_QUERY_STATUS_TEXT: {
        size_t first = t.statusLine.find(' ');
        size_t second = first == std::string::npos ? first : t.statusLine.find(' ', first + 1);
        value = second == std::string::npos ? std::string() : t.statusLine.substr(second + 1);
        break;
    }
    default:
        return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
    }

    if (asNumber) {
        if (!bufferLength || !buffer || *bufferLength < sizeof(uint32_t))
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        if (value.empty() || value.size() > 10 || !IsDigits(value, 0, value.size())
            || std::stoull(value) > UINT32_MAX)
            return Fail(ERROR_HTTP_INVALID_HEADER);
        uint32_t number = uint32_t(std::stoull(value));
        std::memcpy(buffer, &number, sizeof number);
        *bufferLength = sizeof number;
    } else if (!CopyText(value, buffer, bufferLength)) {
        return false;
    }
    if (index)
        ++*index;
    return true;
}

// The library table

struct TNetLibrary {};

namespace {

TNetLibrary theLibrary;

struct TExport {
    const char *name;
    void *address;
};

template <typename F>
void *Address(F *function)
{
    return reinterpret_cast<void *>(function);
}

const TExport exportTable[] = {
    {"InternetOpenA", Address(InternetOpen)},
    {"InternetConnectA", Address(InternetConnect)},
    {"InternetCloseHandle", Address(InternetCloseHandle)},
    {"InternetReadFile", Address(InternetReadFile)},
    {"InternetQueryDataAvailable", Address(InternetQueryDataAvailable)},
    {"InternetGetLastResponseInfoA", Address(InternetGetLastResponseInfo)},
    {"FtpSetCurrentDirectoryA", Address(FtpSetCurrentDirectory)},
    {"FtpOpenFileA", Address(FtpOpenFile)},
    {"HttpOpenRequestA", Address(HttpOpenRequest)},
    {"HttpSendRequestA", Address(HttpSendRequest)},
    {"HttpQueryInfoA", Address(HttpQueryInfo)},
};

std::string Upper(std::string text)
{
    for (char &c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

TNetLibrary *LoadNetLibrary(const std::string &fileName)
{
    std::string name = Upper(fileName);
    if (name == "WININET.DLL" || name == "WININET")
        return &theLibrary;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

void *GetNetProcAddress(TNetLibrary *library, const std::string &procName)
{
    if (library != &theLibrary) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    for (const TExport &entry : exportTable)
        if (procName == entry.name)
            return entry.address;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

void FreeNetLibrary(TNetLibrary *) {}

#pragma once

#include <cstdint>

#include "platform/rtl/lasterror.h"
#include <string>

// The machine's internet functions, in the shape the system's code was written
// against. Sessions, connections and open files or requests are handles; a
// failing call returns false or a null handle and leaves its code for
// GetLastError (platform/rtl/lasterror.h); the server's last answer is kept for
// InternetGetLastResponseInfo. FTP and HTTP run over libcurl; a transfer is
// read block by block as the data arrives, never buffered whole.

struct TInternetHandle;
using HINTERNET = TInternetHandle *;

// InternetOpen
constexpr uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;

// InternetConnect
constexpr uint16_t INTERNET_INVALID_PORT_NUMBER = 0; // the service's own port
constexpr uint32_t INTERNET_SERVICE_FTP = 1;
constexpr uint32_t INTERNET_SERVICE_HTTP = 3;

// FtpOpenFile
constexpr uint32_t GENERIC_READ = 0x80000000u;
constexpr uint32_t FTP_TRANSFER_TYPE_ASCII = 1;
constexpr uint32_t FTP_TRANSFER_TYPE_BINARY = 2;

// HttpOpenRequest flags; no cache is kept, so the cache flags change nothing
constexpr uint32_t INTERNET_FLAG_RELOAD = 0x80000000u;
constexpr uint32_t INTERNET_FLAG_EXISTING_CONNECT = 0x20000000u;
constexpr uint32_t INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000u;
constexpr uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000u;

// HttpQueryInfo levels
constexpr uint32_t HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr uint32_t HTTP_QUERY_STATUS_CODE = 19;
constexpr uint32_t HTTP_QUERY_STATUS_TEXT = 20;
constexpr uint32_t HTTP_QUERY_FLAG_NUMBER = 0x20000000u; // answer as a uint32_t instead of text

// Error codes of the internet services (the general ones are in lasterror.h)
constexpr uint32_t ERROR_INTERNET_TIMEOUT = 12002;
constexpr uint32_t ERROR_INTERNET_EXTENDED_ERROR = 12003;
constexpr uint32_t ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr uint32_t ERROR_INTERNET_INVALID_URL = 12005;
constexpr uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr uint32_t ERROR_INTERNET_LOGIN_FAILURE = 12015;
constexpr uint32_t ERROR_INTERNET_INVALID_OPERATION = 12016;
constexpr uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr uint32_t ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr uint32_t ERROR_FTP_TRANSFER_IN_PROGRESS = 12110;
constexpr uint32_t ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr uint32_t ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr uint32_t ERROR_HTTP_INVALID_HEADER = 12153;
constexpr uint32_t ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;
constexpr uint32_t ERROR_HTTP_REDIRECT_FAILED = 12156;

// Sessions and connections. The server name may carry its port ("host:8021",
// "[::1]:8021") when the port argument is INTERNET_INVALID_PORT_NUMBER. An FTP
// connection logs on at once; an HTTP connection only remembers its server.
// A null user logs on to FTP anonymously.
HINTERNET InternetOpen(
    const char *agent, uint32_t accessType, const char *proxy, const char *proxyBypass, uint32_t flags);
HINTERNET InternetConnect(HINTERNET session, const char *serverName, uint16_t serverPort,
    const char *userName, const char *password, uint32_t service, uint32_t flags, uintptr_t context);
// Closing a handle closes every handle opened under it.
bool InternetCloseHandle(HINTERNET handle);

// Reading an open FTP file or a sent HTTP request. InternetReadFile fills the
// buffer unless the data ends first; 0 bytes with true is the end. A transfer
// that stops short of the size the server announced fails.
bool InternetReadFile(HINTERNET file, void *buffer, uint32_t bytesToRead, uint32_t *bytesRead);
// The bytes still to come when the server announced a size, else the bytes
// that can be read without waiting (0 at the end).
bool InternetQueryDataAvailable(HINTERNET file, uint32_t *bytesAvailable, uint32_t flags, uintptr_t context);

// The last answer of a server to this thread: the FTP reply text, or the HTTP
// status line. False when no server answered. Too small a buffer fails with
// ERROR_INSUFFICIENT_BUFFER and *bufferLength set to the length needed.
bool InternetGetLastResponseInfo(uint32_t *error, char *buffer, uint32_t *bufferLength);

// FTP
bool FtpSetCurrentDirectory(HINTERNET connection, const char *directory);
HINTERNET FtpOpenFile(
    HINTERNET connection, const char *fileName, uint32_t access, uint32_t flags, uintptr_t context);

// HTTP. HttpSendRequest returns once the response headers are in, whatever
// the status; the body is read with InternetReadFile. Redirects are followed
// (HTTP only) unless INTERNET_FLAG_NO_AUTO_REDIRECT is given.
HINTERNET HttpOpenRequest(HINTERNET connection, const char *verb, const char *objectName, const char *version,
    const char *referrer, const char **acceptTypes, uint32_t flags, uintptr_t context);
bool HttpSendRequest(HINTERNET request, const char *headers, uint32_t headersLength, const void *optional,
    uint32_t optionalLength);
bool HttpQueryInfo(
    HINTERNET request, uint32_t infoLevel, void *buffer, uint32_t *bufferLength, uint32_t *index);

// The internet functions are linked into the program, yet callers take them by
// name, as from a library loaded at run time: "WININET.DLL" (any case) and the
// exported names ("InternetOpenA", "InternetReadFile", ...).
struct TNetLibrary;
TNetLibrary *LoadNetLibrary(const std::string &fileName);
void *GetNetProcAddress(TNetLibrary *library, const std::string &procName);
void FreeNetLibrary(TNetLibrary *library);

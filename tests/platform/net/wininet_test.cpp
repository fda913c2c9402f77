// The internet functions against servers that each test starts on 127.0.0.1.
#include "platform/net/wininet.h"
#include "platform/rtl/lasterror.h"
#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = char('A' + (i * 7 + i / 251) % 26);
    return data;
}

class InternetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::path(std::getenv("WINROOT")) / "net"
            / (std::string(info->test_suite_name()) + "." + info->name());
        fs::create_directories(root_ / "pub" / "dist");
        session_ = InternetOpen("Pruebas", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ASSERT_NE(session_, nullptr);
    }
    void TearDown() override
    {
        if (session_)
            InternetCloseHandle(session_);
    }

    void Put(const std::string &name, const std::string &data)
    {
        std::ofstream(root_ / name, std::ios::binary) << data;
    }

    std::string LastResponse()
    {
        char buffer[3000];
        uint32_t length = sizeof buffer, code = 0;
        if (!InternetGetLastResponseInfo(&code, buffer, &length))
            return "<none>";
        return std::string(buffer, length);
    }

    // Everything a handle still gives, read in blocks of blockSize; the sizes go to blocks.
    bool ReadAll(
        HINTERNET file, std::string &data, std::vector<uint32_t> *blocks = nullptr, uint32_t blockSize = 8192)
    {
        std::vector<char> buffer(blockSize);
        for (;;) {
            uint32_t got = 0;
            if (!InternetReadFile(file, buffer.data(), blockSize, &got))
                return false;
            if (got == 0)
                return true;
            if (blocks)
                blocks->push_back(got);
            data.append(buffer.data(), got);
        }
    }

    HINTERNET HttpGet(const std::string &address, const std::string &object)
    {
        HINTERNET connection
            = InternetConnect(session_, address.c_str(), 0, "", "", INTERNET_SERVICE_HTTP, 0, 0);
        EXPECT_NE(connection, nullptr);
        HINTERNET request
            = HttpOpenRequest(connection, "GET", object.c_str(), nullptr, nullptr, nullptr, 0, 0);
        EXPECT_NE(request, nullptr);
        return request;
    }

    std::unique_ptr<LoopbackServer> StartHttp()
    {
        return std::make_unique<LoopbackServer>(
            LoopbackScript("http_server.py"), std::vector<std::string>{"--root", root_.string()});
    }
    std::unique_ptr<LoopbackServer> StartFtp()
    {
        return std::make_unique<LoopbackServer>(
            LoopbackScript("ftp_server.py"), std::vector<std::string>{"--root", root_.string()});
    }

    fs::path root_;
    HINTERNET session_ = nullptr;
};

TEST_F(InternetTest, HttpReadsFullBlocksAndAnswersHeaderQueries)
{
    std::string body = Pattern(20000);
    Put("pub/dist/data.bin", body);
    auto server = StartHttp();
    HINTERNET request = HttpGet(server->Address(), "/pub/dist/data.bin");
    ASSERT_TRUE(HttpSendRequest(request, "Accept: */*\r\n\r\n", 15, nullptr, 0));

    uint32_t status = 0, length = sizeof status;
    ASSERT_TRUE(
        HttpQueryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr));
    EXPECT_EQ(status, 200u);
    char text[33];
    length = sizeof text;
    ASSERT_TRUE(HttpQueryInfo(request, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr));
    EXPECT_EQ(std::string(text, length), "20000");
    length = 3;
    EXPECT_FALSE(HttpQueryInfo(request, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(LastResponse(), "HTTP/1.1 200 OK");

    uint32_t available = 0;
    ASSERT_TRUE(InternetQueryDataAvailable(request, &available, 0, 0));
    EXPECT_EQ(available, 20000u);

    std::string data;
    std::vector<uint32_t> blocks;
    ASSERT_TRUE(ReadAll(request, data, &blocks));
    EXPECT_EQ(blocks, (std::vector<uint32_t>{8192, 8192, 3616}));
    EXPECT_EQ(data, body);
}

TEST_F(InternetTest, HttpRedirectsAreFollowed)
{
    Put("file.txt", "contents");
    auto server = StartHttp();
    HINTERNET request = HttpGet(server->Address(), "/redirect/file.txt");
    ASSERT_TRUE(HttpSendRequest(request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(LastResponse(), "HTTP/1.1 200 OK");
    std::string data;
    ASSERT_TRUE(ReadAll(request, data));
    EXPECT_EQ(data, "contents");
}

TEST_F(InternetTest, FtpLogonDirectoriesAndFiles)
{
    std::string body = Pattern(12345);
    Put("pub/dist/setup.arc", body);
    auto server = StartFtp();

    HINTERNET refused = InternetConnect(
        session_, server->Address().c_str(), 0, "tabulo", "wrong", INTERNET_SERVICE_FTP, 0, 0);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_LOGIN_FAILURE);
    EXPECT_EQ(LastResponse(), "530 Authentication failed.");

    HINTERNET connection = InternetConnect(
        session_, server->Address().c_str(), 0, "tabulo", "secreto", INTERNET_SERVICE_FTP, 0, 0);
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(FtpSetCurrentDirectory(connection, "/pub/missing"));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_EXTENDED_ERROR);
    EXPECT_EQ(LastResponse().substr(0, 4), "550 ");

    ASSERT_TRUE(FtpSetCurrentDirectory(connection, "/pub"));
    ASSERT_TRUE(FtpSetCurrentDirectory(connection, "dist"));
    EXPECT_EQ(FtpOpenFile(connection, "absent.arc", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_EXTENDED_ERROR);
    EXPECT_EQ(LastResponse().substr(0, 4), "550 ");

    HINTERNET file = FtpOpenFile(connection, "setup.arc", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(FtpSetCurrentDirectory(connection, "/"));
    EXPECT_EQ(GetLastError(), ERROR_FTP_TRANSFER_IN_PROGRESS);
    uint32_t available = 0;
    ASSERT_TRUE(InternetQueryDataAvailable(file, &available, 0, 0));
    EXPECT_EQ(available, 12345u);
    std::string data;
    std::vector<uint32_t> blocks;
    ASSERT_TRUE(ReadAll(file, data, &blocks));
    EXPECT_EQ(data, body);
    EXPECT_EQ(blocks, (std::vector<uint32_t>{8192, 4153}));
    ASSERT_TRUE(InternetCloseHandle(file));

    // The connection is free again once the file is closed, and stays logged on.
    ASSERT_TRUE(FtpSetCurrentDirectory(connection, "/"));
    file = FtpOpenFile(connection, "pub/dist/setup.arc", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
    ASSERT_NE(file, nullptr);
    data.clear();
    ASSERT_TRUE(ReadAll(file, data));
    EXPECT_EQ(data, body);
}

TEST_F(InternetTest, HandlesAreCheckedAndClosedWithTheirParent)
{
    HINTERNET connection = InternetConnect(session_, "127.0.0.1:9", 0, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(connection, nullptr);
    HINTERNET request = HttpOpenRequest(connection, "GET", "/", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_NE(request, nullptr);

    EXPECT_FALSE(FtpSetCurrentDirectory(connection, "/"));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    uint32_t got = 0;
    char buffer[16];
    EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &got));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_OPERATION);

    ASSERT_TRUE(InternetCloseHandle(connection));
    EXPECT_FALSE(InternetReadFile(request, buffer, sizeof buffer, &got));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(connection));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(InternetTest, ServerNamesThatCannotGoIntoAnAddressAreRefused)
{
    for (const char *name :
        {"", "host/path", "user@host", "host:0", "host:70000", "host:21x", "[::1", "a b"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(InternetConnect(session_, name, 0, "", "", INTERNET_SERVICE_HTTP, 0, 0), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_NAME_NOT_RESOLVED);
    }
    EXPECT_EQ(InternetConnect(session_, "127.0.0.1:80", 8080, "", "", INTERNET_SERVICE_HTTP, 0, 0), nullptr);
    EXPECT_NE(InternetConnect(session_, "[::1]:8080", 0, "", "", INTERNET_SERVICE_HTTP, 0, 0), nullptr);
}

TEST(NetLibrary, EntryPointsAreTakenByName)
{
    TNetLibrary *library = LoadNetLibrary("WinInet.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(GetNetProcAddress(library, "InternetOpenA"), reinterpret_cast<void *>(&InternetOpen));
    EXPECT_EQ(GetNetProcAddress(library, "HttpQueryInfoA"), reinterpret_cast<void *>(&HttpQueryInfo));
    EXPECT_EQ(GetNetProcAddress(library, "InternetOpenW"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    FreeNetLibrary(library);
    EXPECT_EQ(LoadNetLibrary("URLMON.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

} // namespace

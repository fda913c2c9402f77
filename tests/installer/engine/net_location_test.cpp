// Downloads of the network install location from FTP and HTTP servers that
// each test starts on 127.0.0.1 and stops when it ends.
#include "installer/engine/cmp_TNetInstallLocation/cmp_TNetInstallLocation.h"
#include "platform/classes/filer.h"
#include "tests/support/loopback_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::StartsWith;

namespace {

std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = char('a' + (i * 13 + i / 509) % 26);
    return data;
}

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Records what a location tells, in order.
struct EventLog {
    std::vector<std::string> lines;
    std::vector<std::string> blocks;

    void Attach(TNetInstallLocation &location)
    {
        location.OnBeforeLogin = [this](TObject *) { lines.push_back("BeforeLogin"); };
        location.OnAfterLogin = [this](TObject *) { lines.push_back("AfterLogin"); };
        location.OnBeforeDownload = [this](TObject *) { lines.push_back("BeforeDownload"); };
        location.OnAfterDownload = [this](TObject *, bool aborted) {
            lines.push_back(aborted ? "AfterDownload aborted" : "AfterDownload");
        };
        location.OnDataReceived
            = [this](TObject *, const std::string &name, int bytes, int total, int size, const char *buffer) {
                  lines.push_back("Data " + name + " " + std::to_string(bytes) + " " + std::to_string(total)
                      + " " + std::to_string(size));
                  blocks.emplace_back(buffer, size_t(bytes));
              };
        location.OnInternalDataReceived
            = [this](TObject *, const std::string &, int bytes, int total, int, const char *) {
                  lines.push_back("Inner " + std::to_string(bytes) + " " + std::to_string(total));
              };
    }
};

class NetLocationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::path(std::getenv("WINROOT")) / "netloc"
            / (std::string(info->test_suite_name()) + "." + info->name());
        served_ = root_ / "served";
        local_ = root_ / "local";
        fs::create_directories(served_ / "pub" / "dist");
        fs::create_directories(local_);
        NetDownloadAbort = false;
        location_ = std::make_unique<TNetInstallLocation>(nullptr);
        location_->SetName("NetLocation1");
    }
    void TearDown() override { NetDownloadAbort = false; }

    void Put(const std::string &name, const std::string &data)
    {
        std::ofstream(served_ / name, std::ios::binary) << data;
    }

    void StartHttp(const std::string &directory)
    {
        server_ = std::make_unique<LoopbackServer>(LoopbackScript("http_server.py"),
            std::vector<std::string>{"--root", served_.string(), "--log", (root_ / "requests.log").string()});
        TLoginInformation *login = location_->LoginInformation();
        login->SetProtocol(ipHTTP);
        login->SetHostname(server_->Address());
        login->SetDirectory(directory);
    }

    void StartFtp(const std::string &directory, const std::string &password = "secreto")
    {
        server_ = std::make_unique<LoopbackServer>(
            LoopbackScript("ftp_server.py"), std::vector<std::string>{"--root", served_.string()});
        TLoginInformation *login = location_->LoginInformation();
        login->SetProtocol(ipFTP);
        login->SetHostname(server_->Address());
        login->SetDirectory(directory);
        login->SetAnonymous(false);
        login->SetUsername("tabulo");
        login->SetPassword(password);
    }

    std::string Requests() { return ReadFile(root_ / "requests.log"); }

    // The message of the exception E that the download raises; "" when it raises nothing.
    template <typename E>
    std::string DownloadFails(const std::string &remote, const std::string &local)
    {
        try {
            location_->Download(remote, (local_ / local).string());
        } catch (const E &e) {
            return e.Message();
        }
        ADD_FAILURE() << "no " << typeid(E).name() << " for " << remote;
        return "";
    }

    std::string Tail(const std::string &response)
    {
        return ". Server " + server_->Address() + ". Response from server " + response;
    }

    fs::path root_, served_, local_;
    std::unique_ptr<LoopbackServer> server_;
    std::unique_ptr<TNetInstallLocation> location_;
};

TEST_F(NetLocationTest, HttpDownloadComesInBlocksWithItsEventsInOrder)
{
    std::string body = Pattern(20000);
    Put("pub/dist/setup.arc", body);
    StartHttp("pub\\dist");
    EventLog log;
    log.Attach(*location_);

    location_->Download("setup.arc", (local_ / "setup.arc").string());

    EXPECT_EQ(log.lines,
        (std::vector<std::string>{"BeforeLogin", "AfterLogin", "BeforeDownload",
            "Data setup.arc 8192 8192 20000", "Inner 8192 8192", "Data setup.arc 8192 16384 20000",
            "Inner 8192 16384", "Data setup.arc 3616 20000 20000", "Inner 3616 20000", "AfterDownload"}));
    EXPECT_EQ(log.blocks[0] + log.blocks[1] + log.blocks[2], body);
    EXPECT_EQ(ReadFile(local_ / "setup.arc"), body);
    EXPECT_THAT(Requests(), StartsWith("GET /pub/dist/setup.arc accept=*/* agent="));
    EXPECT_EQ(location_->RemoteFileName(), "setup.arc");
    EXPECT_EQ(location_->FileHandle(), nullptr);

    // The session and the connection stay open for the next download: no second login.
    log.lines.clear();
    location_->Download("setup.arc", (local_ / "again.arc").string());
    EXPECT_EQ(log.lines.front(), "BeforeDownload");
    EXPECT_EQ(ReadFile(local_ / "again.arc"), body);
}

TEST_F(NetLocationTest, HttpPathsFromTheDirectory)
{
    Put("filelist.lst", "one\r\n");
    Put("pub/dist/filelist.lst", "two\r\n");
    StartHttp("");
    location_->Download("filelist.lst", (local_ / "a.lst").string());
    location_->LoginInformation()->SetDirectory("\\pub\\dist\\");
    location_->Download("filelist.lst", (local_ / "b.lst").string());
    location_->LoginInformation()->SetDirectory("/pub/dist");
    location_->Download("filelist.lst", (local_ / "c.lst").string());

    std::istringstream lines(Requests());
    std::string line;
    std::vector<std::string> paths;
    while (std::getline(lines, line))
        paths.push_back(line.substr(0, line.find(" accept=")));
    EXPECT_EQ(paths,
        (std::vector<std::string>{
            "GET /filelist.lst", "GET /pub/dist/filelist.lst", "GET /pub/dist/filelist.lst"}));
    EXPECT_EQ(ReadFile(local_ / "a.lst"), "one\r\n");
    EXPECT_EQ(ReadFile(local_ / "c.lst"), "two\r\n");
}

TEST_F(NetLocationTest, HttpErrorStatusesFailAndLeaveTheLocalFileAlone)
{
    StartHttp("status");
    std::ofstream(local_ / "keep.arc") << "previous contents";

    EXPECT_EQ(DownloadFails<ENIL_FileNotFound>("404", "keep.arc"),
        "Could not find the file 404 on the server. Error message ERROR_INTERNET_EXTENDED_ERROR"
            + Tail("HTTP/1.1 404 Not Found"));
    EXPECT_EQ(DownloadFails<ENIL_ReadFile>("403", "keep.arc"),
        "Could not read from file 403 on the server. Error message ERROR_INTERNET_EXTENDED_ERROR"
            + Tail("HTTP/1.1 403 Forbidden"));
    EXPECT_EQ(DownloadFails<ENIL_ReadFile>("500", "keep.arc"),
        "Could not read from file 500 on the server. Error message ERROR_INTERNET_EXTENDED_ERROR"
            + Tail("HTTP/1.1 500 Internal Server Error"));
    EXPECT_EQ(ReadFile(local_ / "keep.arc"), "previous contents");
    EXPECT_EQ(location_->FileHandle(), nullptr);

    // A missing file on a plain server: the status decides, not the page.
    location_->LoginInformation()->SetDirectory("");
    EXPECT_THAT(DownloadFails<ENIL_FileNotFound>("absent.arc", "absent.arc"),
        StartsWith("Could not find the file absent.arc on the server."));
    EXPECT_FALSE(fs::exists(local_ / "absent.arc"));
}

TEST_F(NetLocationTest, BodyMentioning404IsAnOrdinaryFile)
{
    std::string body = "HTTP 404 tables\r\n" + Pattern(100);
    Put("notes.txt", body);
    StartHttp("");
    location_->Download("notes.txt", (local_ / "notes.txt").string());
    EXPECT_EQ(ReadFile(local_ / "notes.txt"), body);
}

TEST_F(NetLocationTest, EmptyRemoteFileIsNotFound)
{
    Put("empty.txt", "");
    StartHttp("");
    std::string message = DownloadFails<ENIL_FileNotFound>("empty.txt", "empty.txt");
    EXPECT_THAT(message, StartsWith("Could not find the file empty.txt on the server. Error message "));
    EXPECT_THAT(message, EndsWith(Tail("HTTP/1.1 200 OK")));
}

TEST_F(NetLocationTest, ResponsesWithoutALengthReportSizeZero)
{
    std::string body = Pattern(9000);
    Put("file.bin", body);
    StartHttp("chunked");
    EventLog log;
    log.Attach(*location_);
    location_->Download("file.bin", (local_ / "chunked.bin").string());
    EXPECT_EQ(ReadFile(local_ / "chunked.bin"), body);
    EXPECT_EQ(log.lines[3], "Data file.bin 8192 8192 0");
    EXPECT_EQ(log.lines[5], "Data file.bin 808 9000 0");

    location_->LoginInformation()->SetDirectory("nolength");
    location_->Download("file.bin", (local_ / "nolength.bin").string());
    EXPECT_EQ(ReadFile(local_ / "nolength.bin"), body);
}

TEST_F(NetLocationTest, CancelOnTheFirstBlockEndsQuietly)
{
    Put("big.bin", Pattern(50000));
    StartHttp("");
    EventLog log;
    log.Attach(*location_);
    location_->OnDataReceived = [&log](TObject *, const std::string &, int bytes, int, int, const char *) {
        log.lines.push_back("Data " + std::to_string(bytes));
        NetDownloadAbort = true;
    };
    location_->Download("big.bin", (local_ / "big.bin").string());
    EXPECT_EQ(log.lines,
        (std::vector<std::string>{"BeforeLogin", "AfterLogin", "BeforeDownload", "Data 8192",
            "Inner 8192 8192", "AfterDownload aborted"}));
    EXPECT_EQ(fs::file_size(local_ / "big.bin"), 0u);
    EXPECT_EQ(location_->FileHandle(), nullptr);
}

TEST_F(NetLocationTest, ConnectionCutHalfWayIsAReadError)
{
    std::string body = Pattern(40000);
    Put("file.bin", body);
    for (const char *directory : {"cut", "cutchunked"}) {
        SCOPED_TRACE(directory);
        StartHttp(directory);
        EventLog log;
        log.Attach(*location_);
        location_->Disconnect();
        EXPECT_EQ(DownloadFails<ENIL_ReadFile>("file.bin", "file.bin"),
            "Could not read from file file.bin on the server. Error message ERROR_INTERNET_CONNECTION_ABORTED"
                + Tail("HTTP/1.1 200 OK"));
        EXPECT_NE(log.lines.back(), "AfterDownload");
        // What came before the cut stays on disk; nothing else does.
        std::string kept = ReadFile(local_ / "file.bin");
        EXPECT_GT(kept.size(), 0u);
        EXPECT_LT(kept.size(), body.size());
        EXPECT_EQ(kept, body.substr(0, kept.size()));
    }
}

TEST_F(NetLocationTest, ServerThatIsGoneCannotBeReached)
{
    StartHttp("");
    std::string address = location_->LoginInformation()->Hostname();
    server_.reset();
    EXPECT_EQ(DownloadFails<ENIL_HTTPSendRequest>("file.bin", "file.bin"),
        "Cannot send request for file file.bin to the server. Error message ERROR_INTERNET_CANNOT_CONNECT. "
        "Server "
            + address + ". Response from server No server response");
}

TEST_F(NetLocationTest, LocalFileThatCannotBeWritten)
{
    Put("file.bin", Pattern(3000));
    StartHttp("");
    try {
        location_->Download("file.bin", "/dev/full");
        FAIL() << "the write did not fail";
    } catch (const ENIL_WriteDestFile &e) {
        EXPECT_EQ(e.Message(), "NetLocation1 could not write to the local dest file /dev/full");
    }
}

TEST_F(NetLocationTest, FtpDownloadFromADirectoryWrittenWithBackslashes)
{
    std::string body = Pattern(20000);
    Put("pub/dist/setup.arc", body);
    StartFtp("\\pub\\dist");
    EventLog log;
    log.Attach(*location_);
    location_->Download("setup.arc", (local_ / "setup.arc").string());
    EXPECT_EQ(ReadFile(local_ / "setup.arc"), body);
    EXPECT_EQ(log.lines[3], "Data setup.arc 8192 8192 20000");
    EXPECT_EQ(log.lines.back(), "AfterDownload");
}

TEST_F(NetLocationTest, FtpRelativeDirectoryServesEveryDownload)
{
    Put("pub/dist/a.txt", "first");
    Put("pub/dist/b.txt", "second");
    StartFtp("pub\\dist");
    location_->Download("a.txt", (local_ / "a.txt").string());
    location_->Download("b.txt", (local_ / "b.txt").string());
    EXPECT_EQ(ReadFile(local_ / "a.txt"), "first");
    EXPECT_EQ(ReadFile(local_ / "b.txt"), "second");
}

TEST_F(NetLocationTest, FtpFailuresNameTheServerAndItsAnswer)
{
    Put("pub/dist/setup.arc", "x");
    StartFtp("/pub/missing");
    EXPECT_EQ(DownloadFails<ENIL_FTPSetDir>("setup.arc", "setup.arc"),
        "Cannot set directory on server to /pub/missing. Error message ERROR_INTERNET_EXTENDED_ERROR"
            + Tail("550 No such file or directory."));

    location_->LoginInformation()->SetDirectory("/pub/dist");
    EXPECT_EQ(DownloadFails<ENIL_FTPOpenFile>("absent.arc", "absent.arc"),
        "Cannot open file absent.arc on server. Error message ERROR_INTERNET_EXTENDED_ERROR"
            + Tail("550 /pub/dist/absent.arc is not retrievable."));

    location_->Disconnect();
    location_->LoginInformation()->SetPassword("wrong");
    EventLog log;
    log.Attach(*location_);
    EXPECT_EQ(DownloadFails<ENIL_OpenService>("setup.arc", "setup.arc"),
        "Cannot connect to host " + server_->Address() + ". Error message ERROR_INTERNET_LOGIN_FAILURE"
            + Tail("530 Authentication failed."));
    EXPECT_EQ(log.lines, std::vector<std::string>{"BeforeLogin"});
    EXPECT_EQ(location_->Connection(), nullptr);
}

TEST(NetErrorNames, KnownCodesAndTheRest)
{
    const std::pair<uint32_t, const char *> rows[] = {
        {6, "ERROR_INVALID_HANDLE"},
        {12001, "ERROR_INTERNET_OUT_OF_HANDLES"},
        {12002, "ERROR_INTERNET_TIMEOUT"},
        {12015, "ERROR_INTERNET_LOGIN_FAILURE"},
        {12029, "ERROR_INTERNET_CANNOT_CONNECT"},
        {12032, "ERROR_INTERNET_FORCE_RETRY"},
        {12033, "Unregistered error code"},
        {12036, "ERROR_INTERNET_HANDLE_EXISTS"},
        {12041, "ERROR_INTERNET_MIXED_SECURITY"},
        {12110, "ERROR_FTP_TRANSFER_IN_PROGRESS"},
        {12111, "ERROR_FTP_DROPPED"},
        {12129, "Unregistered error code"},
        {12130, "ERROR_GOPHER_PROTOCOL_ERROR"},
        {12138, "ERROR_GOPHER_UNKNOWN_LOCATOR"},
        {12139, "Unregistered error code"},
        {12150, "ERROR_HTTP_HEADER_NOT_FOUND"},
        {12152, "ERROR_HTTP_INVALID_SERVER_RESPONSE"},
        {12155, "ERROR_HTTP_HEADER_ALREADY_EXISTS"},
        {12156, "Unregistered error code"},
        {0, "Unregistered error code"},
        {12000, "Unregistered error code"},
    };
    for (const auto &[code, name] : rows)
        EXPECT_EQ(NetErrorName(code), name) << code;
}

TEST(NetLoginInformation, ValidityServerPathAndCopies)
{
    TNetInstallLocation location(nullptr);
    TLoginInformation *login = location.LoginInformation();
    EXPECT_EQ(login->Location(), &location);
    EXPECT_FALSE(login->IsValid());
    login->SetUsername("tabulo");
    EXPECT_FALSE(login->IsValid()); // anonymous needs a host
    login->SetAnonymous(false);
    EXPECT_TRUE(login->IsValid());
    login->SetUsername(" ");
    EXPECT_FALSE(login->IsValid());
    login->SetHostname("ftp.example.test");
    EXPECT_TRUE(login->IsValid());

    const std::pair<const char *, const char *> paths[] = {{"", "/"}, {"  ", "/"},
        {"\\pub\\dist", "/pub/dist"}, {"pub/dist\\", "pub/dist/"}, {" a\\b ", " a/b "}};
    for (const auto &[directory, path] : paths) {
        login->SetDirectory(directory);
        EXPECT_EQ(login->ServerPath(), path) << directory;
    }

    TLoginInformation other(nullptr);
    other.SetProtocol(ipFTP);
    other.SetHostname("127.0.0.1:2121");
    other.SetDirectory("pub");
    other.SetPassword("p");
    location.SetLoginInformation(&other);
    EXPECT_NE(location.LoginInformation(), &other);
    EXPECT_EQ(login->Protocol(), ipFTP);
    EXPECT_EQ(login->Hostname(), "127.0.0.1:2121");
    EXPECT_EQ(login->Directory(), "pub");
    EXPECT_EQ(login->Password(), "p");
    EXPECT_TRUE(login->Anonymous());
    EXPECT_EQ(login->Username(), "");
    EXPECT_THROW(login->Assign(&location), EConvertError);
}

TEST(NetLocationList, LocationsJoinAndLeave)
{
    int before = NetInstallLocationList().Count();
    auto first = std::make_unique<TNetInstallLocation>(nullptr);
    {
        TNetInstallLocation second(nullptr);
        EXPECT_EQ(NetInstallLocationList().Count(), before + 2);
        EXPECT_EQ(NetInstallLocationList().Items(before + 1), &second);
        second.LoginInformation()->SetHostname("no such host");
        EXPECT_THROW(second.Connect(), ENIL_OpenService);
        EXPECT_EQ(LastConnectedNetLocation(), &second);
    }
    EXPECT_EQ(LastConnectedNetLocation(), nullptr);
    EXPECT_EQ(NetInstallLocationList().Count(), before + 1);
    EXPECT_EQ(NetInstallLocationList().Items(before), first.get());

    try {
        NetInstallLocationList().Add(nullptr);
        FAIL();
    } catch (const IENetList &e) {
        EXPECT_THAT(e.Message(), StartsWith("Cannot add a blank location to the global net location list. "));
    }
}

TEST(NetLocationResource, LoginInformationIsReadAndWrittenAsNestedProperties)
{
    TNetInstallLocation location(nullptr);
    ReadComponentText(&location,
        "object NetLocation1: TNetInstallLocation\n"
        "  LoginInformation.Anonymous = False\n"
        "  LoginInformation.Directory = '\\pub\\dist'\n"
        "  LoginInformation.Hostname = '127.0.0.1:2121'\n"
        "  LoginInformation.Protocol = ipFTP\n"
        "  LoginInformation.Username = 'tabulo'\n"
        "end\n",
        "NetLocation1.dfm");
    const TLoginInformation *login = location.LoginInformation();
    EXPECT_FALSE(login->Anonymous());
    EXPECT_EQ(login->Directory(), "\\pub\\dist");
    EXPECT_EQ(login->Protocol(), ipFTP);
    EXPECT_EQ(login->Username(), "tabulo");

    // Defaults are left out: a location of its own writes no login line.
    TNetInstallLocation plain(nullptr);
    plain.SetName("NetLocation2");
    EXPECT_EQ(WriteComponentText(&plain), "object NetLocation2: TNetInstallLocation\nend\n");
    std::string text = WriteComponentText(&location);
    EXPECT_THAT(text, ::testing::HasSubstr("LoginInformation.Protocol = ipFTP"));
    EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr("Password")));
}

} // namespace

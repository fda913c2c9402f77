#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/rtl/pathmap.h"
#include "platform/rtl/strings.h"
#include "platform/system/atomicfile.h"
#include "platform/system/machine.h"
#include "platform/system/process.h"
#include "platform/system/registry.h"
#include "platform/system/restart.h"

namespace
{

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root_ = std::string(std::getenv("WINROOT")) + "/reg-"
            + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        OpenMachine(root_);
        reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    }
    std::string HiveFile(const char *hive) const { return root_ + "/registry/" + hive + ".reg"; }
    std::string root_;
    TRegistry reg_;
};

std::string Names(const TStrings &list)
{
    std::string out;
    for (int i = 0; i < list.Count(); ++i)
        out += list[i] + ";";
    return out;
}

std::string ExceptionText(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const ERegistryException &e) {
        return e.Message();
    }
    return "(none)";
}

TEST_F(RegistryTest, SeededKeysNameTheMachinesFolders)
{
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_EQ(reg_.ReadString("ProgramFilesDir"), "C:\\Program Files");
    EXPECT_EQ(reg_.ReadString("CommonFilesDir"), "C:\\Program Files\\Common Files");
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"));
    EXPECT_EQ(reg_.ReadString("CurrentVersion"), "5.1");

    TRegistry user;
    ASSERT_TRUE(
        user.OpenKeyReadOnly("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"));
    for (const char *name :
        { "Desktop", "Programs", "Start Menu", "Startup", "Personal", "Fonts", "AppData" })
        EXPECT_TRUE(user.ReadString(name).starts_with("C:\\")) << name;
    EXPECT_TRUE(std::filesystem::is_directory(MapPath(user.ReadString("Startup"))));
}

TEST_F(RegistryTest, NamesAreFoundWithoutCaseAndKeepTheirCase)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Kelvara\\Install", true));
    reg_.WriteString("Path", "C:\\setup.exe");
    reg_.WriteInteger("path", 7); // the same value, now a number
    ASSERT_TRUE(reg_.OpenKey("\\SOFTWARE\\KELVARA\\install", false));
    EXPECT_EQ(reg_.CurrentPath(), "SOFTWARE\\KELVARA\\install");
    EXPECT_EQ(reg_.ReadInteger("PATH"), 7);
    TStringList names;
    reg_.GetValueNames(names);
    EXPECT_EQ(Names(names), "Path;");
    reg_.CloseKey();
    ASSERT_TRUE(reg_.OpenKey("\\software", false));
    reg_.GetKeyNames(names);
    EXPECT_NE(Names(names).find("Kelvara;"), std::string::npos);
}

TEST_F(RegistryTest, RelativeKeysHangBelowTheCurrentKey)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\A", true));
    ASSERT_TRUE(reg_.OpenKey("B\\C", true));
    EXPECT_EQ(reg_.CurrentPath(), "Software\\A\\B\\C");
    EXPECT_TRUE(reg_.KeyExists("\\Software\\A\\B"));
    EXPECT_FALSE(reg_.OpenKey("Missing", false));
    EXPECT_EQ(reg_.CurrentPath(), "Software\\A\\B\\C"); // a failed open keeps the current key
}

TEST_F(RegistryTest, ValueTypesReadBackAsWritten)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Types", true));
    reg_.WriteString("S", "texto ñ");
    reg_.WriteExpandString("E", "%SystemRoot%\\x");
    reg_.WriteInteger("I", -5);
    reg_.WriteFloat("F", 36526.75);
    const unsigned char bytes[3] = { 1, 0, 255 };
    reg_.WriteBinaryData("B", bytes, 3);

    TRegistry other; // a second object reads what the first wrote
    other.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(other.OpenKeyReadOnly("\\software\\types"));
    EXPECT_EQ(other.ReadString("S"), "texto ñ");
    EXPECT_EQ(other.ReadString("E"), "%SystemRoot%\\x");
    EXPECT_EQ(other.ReadInteger("I"), -5);
    EXPECT_EQ(other.ReadFloat("F"), 36526.75);
    unsigned char back[8] = {};
    EXPECT_EQ(other.ReadBinaryData("B", back, sizeof back), 3);
    EXPECT_EQ(back[2], 255);
    EXPECT_EQ(other.GetDataType("S"), rdString);
    EXPECT_EQ(other.GetDataType("E"), rdExpandString);
    EXPECT_EQ(other.GetDataType("I"), rdInteger);
    EXPECT_EQ(other.GetDataType("B"), rdBinary);
    EXPECT_EQ(other.GetDataType("none"), rdUnknown);
    EXPECT_EQ(other.GetDataSize("S"), 9); // UTF-8 bytes and the terminating zero
    EXPECT_EQ(other.GetDataSize("none"), -1);
    EXPECT_EQ(other.ReadString("none"), "");
}

TEST_F(RegistryTest, FailuresRaiseTheClassLibrarysMessages)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Errors", true));
    reg_.WriteString("Text", "x");
    reg_.WriteInteger("Number", 1);
    EXPECT_EQ(ExceptionText([&] { reg_.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(ExceptionText([&] { reg_.ReadInteger("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(ExceptionText([&] { reg_.ReadString("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(ExceptionText([&] { reg_.ReadFloat("Number"); }), "Invalid data type for 'Number'");
    char small[1];
    EXPECT_EQ(
        ExceptionText([&] { reg_.ReadBinaryData("Number", small, 1); }), "Invalid data type for 'Number'");
    EXPECT_EQ(
        ExceptionText([&] { reg_.WriteString("Bad\nName", "x"); }), "Failed to set data for 'Bad\nName'");

    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\Software\\Errors"));
    EXPECT_EQ(ExceptionText([&] { reg_.WriteString("Text", "y"); }), "Failed to set data for 'Text'");
    EXPECT_FALSE(reg_.DeleteValue("Text"));

    reg_.CloseKey();
    EXPECT_EQ(ExceptionText([&] { reg_.WriteString("Text", "y"); }), "Failed to set data for 'Text'");

    TRegistry readOnly(KEY_READ);
    readOnly.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ExceptionText([&] { readOnly.CreateKey("\\Software\\New"); }),
        "Failed to create key \\Software\\New");
    EXPECT_FALSE(readOnly.OpenKey("\\Software\\New", true));
}

TEST_F(RegistryTest, WritingToAKeyDeletedMeanwhileFails)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Gone", true));
    TRegistry other;
    other.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(other.DeleteKey("\\Software\\Gone"));
    EXPECT_EQ(ExceptionText([&] { reg_.WriteString("V", "x"); }), "Failed to set data for 'V'");
    EXPECT_FALSE(other.KeyExists("\\Software\\Gone"));
}

TEST_F(RegistryTest, DeleteKeyTakesEverythingBelow)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Tree\\A\\B", true));
    reg_.WriteString("V", "x");
    reg_.CloseKey();
    EXPECT_TRUE(reg_.DeleteKey("\\SOFTWARE\\tree"));
    EXPECT_FALSE(reg_.KeyExists("\\Software\\Tree\\A\\B"));
    EXPECT_FALSE(reg_.KeyExists("\\Software\\Tree"));
    EXPECT_FALSE(reg_.DeleteKey("\\Software\\Tree"));
    EXPECT_FALSE(reg_.DeleteKey("\\")); // never the root
    EXPECT_TRUE(reg_.KeyExists("\\Software"));
}

TEST_F(RegistryTest, RootKeysMapAsOnAnNtSystem)
{
    TRegistry classes;
    classes.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(classes.OpenKey("\\.orvex", true));
    classes.WriteString("", "OrvexFile");
    EXPECT_TRUE(reg_.KeyExists("\\Software\\Classes\\.orvex"));
    EXPECT_EQ(classes.CurrentPath(), ".orvex");

    TRegistry dyn;
    dyn.SetRootKey(HKEY_DYN_DATA);
    EXPECT_FALSE(dyn.OpenKey("\\Anything", true));

    TRegistry user; // HKEY_CURRENT_USER is a hive of its own
    ASSERT_TRUE(user.OpenKey("\\Software\\OnlyUser", true));
    EXPECT_FALSE(reg_.KeyExists("\\Software\\OnlyUser"));
}

TEST_F(RegistryTest, ChangesByAnotherProgramAreSeen)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Shared", true));
    reg_.WriteString("V", "ours");
    std::string text = ReadWholeFile(HiveFile("HKEY_LOCAL_MACHINE"));
    const size_t at = text.find("\"V\"=\"ours\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 10, "\"V\"=\"theirs\"");
    WriteFileAtomic(HiveFile("HKEY_LOCAL_MACHINE"), text);
    EXPECT_EQ(reg_.ReadString("V"), "theirs");
}

// A hive read many times without a change is not looked at each time, yet
// a change by hand is seen at the next read, whatever the way it is made.
TEST_F(RegistryTest, HandEditsOfASettledHiveAreSeen)
{
    const std::string file = HiveFile("HKEY_LOCAL_MACHINE");
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Edited", true));
    const auto settle = [&](const std::string &expected) {
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(reg_.ReadString("V"), expected);
    };
    const auto edited = [&](const std::string &from, const std::string &to) {
        std::string text = ReadWholeFile(file);
        const size_t at = text.find("\"V\"=\"" + from + "\"");
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size() + 6, "\"V\"=\"" + to + "\"");
    };
    reg_.WriteString("V", "start");
    settle("start");
    WriteFileAtomic(file, edited("start", "renamed in"));
    EXPECT_EQ(reg_.ReadString("V"), "renamed in");
    settle("renamed in");
    {
        const std::string text = edited("renamed in", "written in place");
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }
    EXPECT_EQ(reg_.ReadString("V"), "written in place");
    settle("written in place");
    std::filesystem::remove(file);
    EXPECT_FALSE(reg_.ValueExists("V"));
}

// A child made by fork that edits the hive by hand and reads it again takes
// nothing from what its parent learns of the file.
TEST_F(RegistryTest, AHandEditByAForkedChildIsSeenByItsParent)
{
    const std::string file = HiveFile("HKEY_LOCAL_MACHINE");
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Family", true));
    reg_.WriteString("V", "parent");
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(reg_.ReadString("V"), "parent");
    const pid_t child = fork();
    if (child == 0) {
        std::string text = ReadWholeFile(file);
        const size_t at = text.find("\"V\"=\"parent\"");
        if (at == std::string::npos)
            _exit(2);
        WriteFileAtomic(file, text.replace(at, 12, "\"V\"=\"child\""));
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        _exit(reg.OpenKeyReadOnly("\\Software\\Family") && reg.ReadString("V") == "child" ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(reg_.ReadString("V"), "child");
}

// A change that leaves the file's inode, size and times as they were shows
// only in the lock file's counter, which every save of the machine bumps.
TEST_F(RegistryTest, ASaveThatLeavesTheFileLookingTheSameIsSeen)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Quiet", true));
    const std::string file = HiveFile("HKEY_LOCAL_MACHINE");
    for (const char *value : { "aaaa", "bbbb", "cccc" }) {
        reg_.WriteString("V", "zzzz");
        EXPECT_EQ(reg_.ReadString("V"), "zzzz");
        std::string text = ReadWholeFile(file);
        const size_t at = text.find("\"V\"=\"zzzz\"");
        ASSERT_NE(at, std::string::npos);
        text.replace(at + 5, 4, value);
        struct stat before {
        };
        ASSERT_EQ(stat(file.c_str(), &before), 0);
        {
            TFileLock lock(file + ".lock", true);
            std::ofstream(file, std::ios::binary | std::ios::in | std::ios::out) << text;
            const timespec times[2] = { before.st_atim, before.st_mtim };
            ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
            lock.SetGeneration(lock.Generation() + 1);
        }
        struct stat after {
        };
        ASSERT_EQ(stat(file.c_str(), &after), 0);
        ASSERT_TRUE(after.st_ino == before.st_ino && after.st_size == before.st_size
            && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec);
        EXPECT_EQ(reg_.ReadString("V"), value);
    }
}

TEST_F(RegistryTest, AValueIsReadInOneLookFromAnyRootKey)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Classes\\.one", true));
    reg_.WriteString("", "OneFile");
    reg_.WriteInteger("Count", 7);
    TRegValue value;
    ASSERT_TRUE(ReadRegistryValue(HKEY_CLASSES_ROOT, "\\.ONE", "", value));
    EXPECT_EQ(value.Type, static_cast<uint32_t>(REG_SZ));
    EXPECT_EQ(value.Data, "OneFile");
    ASSERT_TRUE(ReadRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Classes\\.one", "count", value));
    EXPECT_EQ(value.Type, static_cast<uint32_t>(REG_DWORD));
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, "\\Software\\Classes\\.one", "Missing", value));
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, "\\Software\\Classes\\.two", "", value));
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, "\\Software\\Classes\\.one", "", value));
    EXPECT_FALSE(ReadRegistryValue(HKEY_DYN_DATA, "\\Anything", "", value));
}

struct Corruption {
    const char *Name;
    const char *Find;
    const char *Replace;
    const char *Fault;
};

class DamagedHive : public RegistryTest, public ::testing::WithParamInterface<Corruption>
{
};

TEST_P(DamagedHive, IsRefusedAndLeftByteForByte)
{
    const std::string file = HiveFile("HKEY_LOCAL_MACHINE");
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Victim", true));
    reg_.WriteInteger("Count", 31);
    reg_.WriteString("Path", "C:\\x");
    reg_.CloseKey();
    std::string text = ReadWholeFile(file);
    const size_t at = text.find(GetParam().Find);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, std::string(GetParam().Find).size(), GetParam().Replace);
    WriteFileAtomic(file, text);
    int line = 1;
    for (size_t i = 0; i < at; ++i)
        line += text[i] == '\n';

    const std::string expected
        = "Damaged registry file " + file + ", line " + std::to_string(line) + ": " + GetParam().Fault;
    EXPECT_EQ(ExceptionText([&] { reg_.OpenKey("\\Software\\Victim", false); }), expected);
    EXPECT_EQ(ExceptionText([&] { reg_.OpenKey("\\Software\\Other", true); }), expected);
    EXPECT_EQ(ExceptionText([&] { reg_.DeleteKey("\\Software\\Victim"); }), expected);
    EXPECT_EQ(ReadWholeFile(file), text);
}

INSTANTIATE_TEST_SUITE_P(Faults, DamagedHive,
    ::testing::Values(Corruption { "BadHeader", "Version 5.00", "Version 4.00",
                          "the first line is not \"Windows Registry Editor Version 5.00\"" },
        Corruption { "UnterminatedSection", "Victim]", "Victim", "unterminated key name" },
        Corruption { "BadDword", "dword:0000001f", "dword:0000001x", "bad dword \"0000001x\"" },
        Corruption { "BadEscape", "\"C:\\\\x\"", "\"C:\\x\"", "bad escape \\x in string" }),
    [](const auto &info) { return std::string(info.param.Name); });

// ---- Strings of any bytes ----------------------------------------------------------

// Arbitrary bytes, with more than chance would give of what is hard to keep:
// zeros, control characters, quotes and backslashes, stray and cut-short UTF-8,
// encoded surrogates, the character U+FFFD and ordinary text around them.
std::string ArbitraryBytes(std::mt19937 &random)
{
    static const std::vector<std::string> pieces { std::string(1, '\0'), "\x01", "\r\n", "\"", "\\", "=",
        "\xff", "\xc3", "\xe2\x82", "\xed\xb2\x80", "\xef\xbf\xbd", "\xf0\x9f\x98\x80", "ñ", "Año", "a",
        " " };
    std::string out;
    const size_t length = random() % 40;
    for (size_t i = 0; i < length; ++i) {
        if (random() % 3 == 0)
            out += static_cast<char>(random() % 256);
        else
            out += pieces[random() % pieces.size()];
    }
    return out;
}

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Runs the machine's hive reader on key; answers its output.
std::string ReadInAnotherProgram(const std::string &root, const std::string &key)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "<no pipe>";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        setenv("WINROOT", root.c_str(), 1);
        execl(ORVEX_HIVE_READER, "hive_reader", key.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string output;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        output += "<reader ended with " + std::to_string(status) + ">";
    return output;
}

TEST_F(RegistryTest, EveryByteOfAStringComesBackInAnotherProgram)
{
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Bytes", true));
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "V" + std::to_string(i);
        const std::string bytes = ArbitraryBytes(random);
        const bool expand = i % 4 == 0;
        if (expand)
            reg_.WriteExpandString(name, bytes);
        else
            reg_.WriteString(name, bytes);
        ASSERT_EQ(Hex(reg_.ReadString(name)), Hex(bytes)) << name;
        expected
            += name + "\t" + std::to_string(expand ? rdExpandString : rdString) + "\t" + Hex(bytes) + "\n";
    }
    const std::string seen = ReadInAnotherProgram(root_, "\\Software\\Bytes");
    // Line by line, so that a failure names the values that differ.
    std::istringstream want(expected), got(seen);
    std::string wantLine, gotLine;
    while (std::getline(want, wantLine)) {
        std::getline(got, gotLine);
        EXPECT_EQ(gotLine, wantLine);
    }
    EXPECT_FALSE(std::getline(got, gotLine)) << "more lines than written: " << gotLine;
}

// ---- Durability ------------------------------------------------------------------

// Writes rounds of values "V0".."V19" = round number under \Software\Crash,
// each round's values one call after another, for ever.
[[noreturn]] void WriterChild(const std::string &root, int start, const char *key)
{
    OpenMachine(root);
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKey(key, true))
        _exit(2);
    for (int round = start;; ++round)
        for (int i = 0; i < 20; ++i)
            reg.WriteInteger("V" + std::to_string(i), round);
}

TEST_F(RegistryTest, KillingAWriterAtAnyMomentLeavesOldOrNewValues)
{
    using Clock = std::chrono::steady_clock;
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Crash", true));
    reg_.WriteString("Keep", "untouched");
    std::mt19937 random(12345);
    int lastSeen = 0;
    std::vector<int> seen(20, -1); // -1: missing
    int rounds = 0;
    // At least four seconds of kills, and on a busy machine as long as it
    // takes (up to two minutes) for 20 rounds of which one got a value out.
    const auto start = Clock::now();
    const auto enough = [&] {
        const auto spent = Clock::now() - start;
        if (spent > std::chrono::minutes(2))
            return true;
        return spent > std::chrono::seconds(4) && rounds > 20 && lastSeen > 0;
    };
    while (!enough()) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            WriterChild(root_, lastSeen + 1, "\\Software\\Crash");
        // While no writer has got a value out, later ones live longer: a
        // writer may need more than the usual moment to start.
        usleep(1000 + random() % 20000 + (lastSeen == 0 ? std::min(rounds, 100) * 5000 : 0));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself: " << status;

        ASSERT_TRUE(reg_.OpenKey("\\Software\\Crash", false));
        EXPECT_EQ(reg_.ReadString("Keep"), "untouched");
        // Every value is the one seen last time or one the killed writer
        // set (its rounds start after lastSeen); as it sets V0..V19 in order,
        // later values are never newer than earlier ones.
        std::vector<int> values;
        for (int i = 0; i < 20; ++i) {
            const std::string name = "V" + std::to_string(i);
            values.push_back(reg_.ValueExists(name) ? reg_.ReadInteger(name) : -1);
        }
        for (size_t i = 0; i < values.size(); ++i) {
            ASSERT_TRUE(values[i] == seen[i] || values[i] > lastSeen) << "V" << i << "=" << values[i];
            if (i > 0) {
                ASSERT_LE(values[i], values[i - 1]) << "V" << i;
            }
        }
        seen = values;
        lastSeen = std::max(values.front(), lastSeen);
        ++rounds;
    }
    EXPECT_GT(rounds, 20);
    EXPECT_GT(lastSeen, 0) << "the writer never got a value written";
    reg_.WriteString("Keep", "done"); // a writer clears what killed writers left behind
    for (const auto &entry : std::filesystem::directory_iterator(root_ + "/registry")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.ends_with(".reg") || name.ends_with(".reg.lock"))
            << "a killed writer's temporary file stayed: " << name;
    }
}

TEST_F(RegistryTest, TwoProgramsWritingAtOnceLoseNothing)
{
    auto writer = [&](const char *prefix) {
        const pid_t child = fork();
        if (child != 0)
            return child;
        OpenMachine(root_);
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.OpenKey("\\Software\\Both", true))
            _exit(2);
        for (int i = 0; i < 150; ++i)
            reg.WriteInteger(std::string(prefix) + std::to_string(i), i);
        _exit(0);
    };
    const pid_t a = writer("A");
    const pid_t b = writer("B");
    for (pid_t child : { a, b }) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Both", false));
    TStringList names;
    reg_.GetValueNames(names);
    EXPECT_EQ(names.Count(), 300);
    for (int i = 0; i < 150; ++i) {
        EXPECT_EQ(reg_.ReadInteger("A" + std::to_string(i)), i);
        EXPECT_EQ(reg_.ReadInteger("B" + std::to_string(i)), i);
    }
}

// ---- Batches -----------------------------------------------------------------------

// Inside a batch, rounds of units: each sets "V0".."V22" to the round number
// in a batch of its own, for ever (23 values: no count of changes that a
// save may wait for falls on the units' ends by chance).
// It tells through ready when it starts writing, so that the moment it is
// killed is chosen from then on, however long a busy machine takes to start it.
[[noreturn]] void BatchWriterChild(const std::string &root, int start, int ready)
{
    OpenMachine(root);
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKey("\\Software\\Batch", true))
        _exit(2);
    const char byte = 1;
    if (write(ready, &byte, 1) != 1)
        _exit(3);
    close(ready);
    TRegistryBatch run;
    for (int round = start;; ++round) {
        TRegistryBatch unit;
        for (int i = 0; i < 23; ++i)
            reg.WriteInteger("V" + std::to_string(i), round);
        unit.Commit();
    }
}

TEST_F(RegistryTest, KillingAWriterInsideABatchLeavesWholeUnitsSavedAsTheyGathered)
{
    using Clock = std::chrono::steady_clock;
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Batch", true));
    reg_.WriteString("Keep", "untouched");
    std::mt19937 random(4321);
    int lastSeen = 0;
    int rounds = 0;
    // At least four seconds of kills, and on a busy machine as long as it
    // takes (up to two minutes) for 20 rounds whose batches got saved.
    const auto start = Clock::now();
    const auto enough = [&] {
        const auto spent = Clock::now() - start;
        if (spent > std::chrono::minutes(2))
            return true;
        return spent > std::chrono::seconds(4) && rounds > 20 && lastSeen > rounds;
    };
    while (!enough()) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            BatchWriterChild(root_, lastSeen + 1, ready[1]);
        }
        close(ready[1]);
        char byte = 0;
        while (read(ready[0], &byte, 1) < 0 && errno == EINTR) { }
        close(ready[0]);
        // While no batch has been saved, later writers live longer.
        usleep(5000 + random() % 60000 + (lastSeen == 0 ? std::min(rounds, 100) * 5000 : 0));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself: " << status;

        ASSERT_TRUE(reg_.OpenKey("\\Software\\Batch", false));
        EXPECT_EQ(reg_.ReadString("Keep"), "untouched");
        // One unit's values are all saved or none: every value is of the
        // same round, the one seen last or a newer one.
        const int first = reg_.ValueExists("V0") ? reg_.ReadInteger("V0") : 0;
        for (int i = 1; i < 23; ++i) {
            const std::string name = "V" + std::to_string(i);
            ASSERT_EQ(reg_.ValueExists(name) ? reg_.ReadInteger(name) : 0, first) << name;
        }
        ASSERT_GE(first, lastSeen);
        lastSeen = first;
        ++rounds;
    }
    EXPECT_GT(rounds, 20);
    // The due saves came while the batch went on.
    EXPECT_GT(lastSeen, rounds) << "the writers' batches were hardly ever saved";
}

TEST_F(RegistryTest, ABatchIsSavedBeforeAProgramStartsAndBeforeARestart)
{
    const std::string hive = HiveFile("HKEY_LOCAL_MACHINE");
    const std::string copy = root_ + "/seen.reg";
    TRegistryBatch batch;
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Handover", true));
    reg_.WriteString("Before", "the program");
    EXPECT_EQ(ReadWholeFile(hive).find("the program"), std::string::npos) << "saved before its time";
    const int64_t pid = StartProgram("/bin/cp", { hive, copy });
    ASSERT_GE(pid, 0);
    ASSERT_EQ(WaitForProgram(pid), 0);
    EXPECT_NE(ReadWholeFile(copy).find("\"Before\"=\"the program\""), std::string::npos);

    reg_.WriteString("Before", "the restart");
    TTokenHandle token = 0;
    LUID luid;
    ASSERT_TRUE(OpenProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token));
    ASSERT_TRUE(LookupPrivilegeValue(SE_SHUTDOWN_NAME, luid));
    ASSERT_TRUE(AdjustTokenPrivileges(token, { { luid, SE_PRIVILEGE_ENABLED } }));
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
    AdjustTokenPrivileges(token, { { luid, 0 } });
    CloseHandle(token);
    ClearPendingRestart();
    EXPECT_NE(ReadWholeFile(hive).find("\"Before\"=\"the restart\""), std::string::npos);
}

TEST_F(RegistryTest, ChangesOfAnotherProgramDuringABatchAreKeptWithOurs)
{
    const std::string hive = HiveFile("HKEY_LOCAL_MACHINE");
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Shared", true));
    {
        TRegistryBatch batch;
        reg_.WriteString("Ours", "pending");
        // Another program saves the hive meanwhile, with a value of its own.
        std::string text = ReadWholeFile(hive);
        text += "\n[HKEY_LOCAL_MACHINE\\Software\\Theirs]\n\"V\"=\"saved\"\n";
        WriteFileAtomic(hive, text);

        EXPECT_EQ(reg_.ReadString("Ours"), "pending");
        TRegistry theirs;
        theirs.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(theirs.OpenKey("\\Software\\Theirs", false));
        EXPECT_EQ(theirs.ReadString("V"), "saved");
        batch.Commit();
    }
    const std::string saved = ReadWholeFile(hive);
    EXPECT_NE(saved.find("\"Ours\"=\"pending\""), std::string::npos);
    EXPECT_NE(saved.find("\"V\"=\"saved\""), std::string::npos);
}

TEST_F(RegistryTest, ASaveThatFailsInABatchIsReportedAndKeptForTheNextSave)
{
    ASSERT_TRUE(reg_.OpenKey("\\Software\\Later", true));
    TRegistryBatch batch;
    reg_.WriteString("V", "kept");
    // A disk that takes no file as long as the hive (root or not).
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64;
    auto *previous = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(batch.Commit(), ERegistryException);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(ReadWholeFile(HiveFile("HKEY_LOCAL_MACHINE")).find("kept"), std::string::npos);
    EXPECT_EQ(reg_.ReadString("V"), "kept");
    FlushRegistry();
    EXPECT_NE(ReadWholeFile(HiveFile("HKEY_LOCAL_MACHINE")).find("\"V\"=\"kept\""), std::string::npos);
}

} // namespace

// How a file container turns the status codes of its files into progress,
// events and broadcasts, and passes every code on up the tree.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "tests/installer/engine/install_support.h"

using namespace install_test;

namespace
{

struct PercentCase {
    const char *name;
    int64_t part, whole;
    int32_t expected;
};

class Percent : public ::testing::TestWithParam<PercentCase>
{
};

TEST_P(Percent, RoundsHalvesToEvenAndNeverFails)
{
    EXPECT_EQ(PercentOf(GetParam().part, GetParam().whole), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Percent,
    ::testing::Values(PercentCase { "Nothing", 0, 100, 0 }, PercentCase { "All", 100, 100, 100 },
        PercentCase { "WholeZero", 5, 0, 0 }, PercentCase { "HalfDown", 1, 200, 0 },
        PercentCase { "HalfUp", 3, 200, 2 }, PercentCase { "Thirds", 2, 3, 67 },
        PercentCase { "Overflow", INT64_MAX, 1, 0 }),
    [](const auto &info) { return std::string(info.param.name); });

// A file container whose operation a test can start, as Compress,
// InstallObjects and CopyAll do.
class TOperatingContainer : public TFileContainer
{
public:
    using TFileContainer::SetOperation;
    using TFileContainer::TFileContainer;
};

// Codes that reach the top of the tree.
class TTopContainer : public TInstallContainer
{
public:
    using TInstallContainer::TInstallContainer;
    int RegisteredType() const override { return rtFileContainer; }
    void DoInformationEventControl(TObject *, int code, TObject *) override { Codes.push_back(code); }
    std::vector<int> Codes;
};

class StatusDispatch : public InstallMachine
{
protected:
    void SetUp() override
    {
        InstallMachine::SetUp();
        top_ = new TTopContainer(&owner_);
        group_ = new TOperatingContainer(&owner_);
        group_->SetName("Group1");
        group_->SetContainer(top_);
        file_ = new TInstallFile(&owner_);
        file_->SetName("File1");
        file_->SetContainer(group_);
        group_->OnStatus = [this](TCustomInstallFile *, int filePercent, int total) {
            statuses_.push_back({ filePercent, total });
        };
    }
    // Reports progress of file_; answers the totals the container filled in.
    std::pair<int32_t, int32_t> Progress(int32_t fileBytes, bool finished, int32_t size)
    {
        TFileStatusParameter p;
        p.FileBytes = fileBytes;
        p.ArchiveStatus.Finished = finished;
        p.ArchiveStatus.UncompressedSize = size;
        TParamList list(file_, &p);
        group_->DoInformationEventControl(file_, scInstallProgress, &list);
        return { p.TotalBytes, p.TotalPercent };
    }
    TSetupForm owner_ { nullptr };
    TTopContainer *top_ = nullptr;
    TOperatingContainer *group_ = nullptr;
    TInstallFile *file_ = nullptr;
    std::vector<std::pair<int, int>> statuses_;
};

TEST_F(StatusDispatch, NothingHappensWithoutAnOperation)
{
    Progress(10, false, 10);
    group_->DoInformationEventControl(file_, scInstalled, nullptr);
    EXPECT_TRUE(statuses_.empty());
    EXPECT_TRUE(top_->Codes.empty());
}

TEST_F(StatusDispatch, ZeroTotalGivesZeroPercent)
{
    group_->SetOperation(opInstalling);
    const auto [totalBytes, totalPercent] = Progress(500, false, 0);
    EXPECT_EQ(totalBytes, 500);
    EXPECT_EQ(totalPercent, 0);
    EXPECT_THAT(top_->Codes, ::testing::ElementsAre(scInstallProgress));
}

TEST_F(StatusDispatch, FinishedFilesAddTheirSizeAndSkippedOnesTheirWholeSize)
{
    // Two files of 1,000 and 0 bytes: the sizes the headers gave.
    file_->SetFileDate(0);
    group_->SetOperation(opInstalling);
    Progress(1000, true, 1000);
    EXPECT_EQ(group_->DoneBytes(), 1000);
    group_->DoInformationEventControl(file_, scSkipped, file_);
    EXPECT_EQ(statuses_.back().first, 100);
    EXPECT_EQ(group_->DoneBytes(), 1000 + file_->UncompressedSize());
    EXPECT_THAT(top_->Codes, ::testing::ElementsAre(scInstallProgress, scSkipped));
}

TEST_F(StatusDispatch, AFileWhoseSizeWasUnknownJoinsTheTotalWhenItReportsIt)
{
    // A network file has no header before it is fetched: its size counts
    // from its first report, so the progress still ends at 100 %.
    group_->SetOperation(opInstalling);
    EXPECT_EQ(Progress(250, false, 1000).second, 25);
    EXPECT_EQ(Progress(1000, true, 1000).second, 100);
    EXPECT_EQ(group_->TotalSize(), 1000);
}

TEST_F(StatusDispatch, ReplacingAndNewDiskReachTheEventsAndMarkTheFile)
{
    group_->SetOperation(opInstalling);
    std::vector<std::string> seen;
    group_->OnReplacing = [&](TCustomInstallFile *f) { seen.push_back("replacing " + f->Name()); };
    group_->OnNewDisk = [&](TCustomInstallFile *, int disk, std::string &path) {
        seen.push_back("disk " + std::to_string(disk));
        path = "A:\\disk2";
    };
    group_->DoInformationEventControl(file_, scReplacing, file_);
    TDiskParameter disk;
    disk.DiskNumber = 2;
    disk.Path = "C:\\build";
    TParamList list(file_, &disk);
    group_->DoInformationEventControl(file_, scNewDisk, &list);
    EXPECT_THAT(seen, ::testing::ElementsAre("replacing File1", "disk 2"));
    EXPECT_EQ(disk.Path, "A:\\disk2");
    EXPECT_EQ(file_->Tag(), 1);
    EXPECT_THAT(top_->Codes, ::testing::ElementsAre(scReplacing, scNewDisk));
}

struct BadPO {
    const char *name;
    int code;
    int po; // 0 nil, 1 a string parameter, 2 a list of one, 3 [file, disk] for 1008, 4 [group, status], 5
            // [file, status] for 1011
    const char *message;
};

class StatusFaults : public StatusDispatch, public ::testing::WithParamInterface<BadPO>
{
};

TEST_P(StatusFaults, WrongParametersAreNamed)
{
    group_->SetOperation(opInstalling);
    TMessageParameter text("x");
    TDiskParameter disk;
    TFileStatusParameter status;
    TParamList one;
    one.Add(file_);
    TParamList fileDisk(file_, &disk), groupStatus(group_, &status), fileStatus(file_, &status);
    TObject *pos[] = { nullptr, &text, &one, &fileDisk, &groupStatus, &fileStatus };
    try {
        group_->DoInformationEventControl(file_, GetParam().code, pos[GetParam().po]);
        ADD_FAILURE() << "no error";
    } catch (const IEFileContainer &e) {
        EXPECT_EQ(e.Message(), GetParam().message);
    }
    EXPECT_TRUE(top_->Codes.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusFaults,
    ::testing::Values(BadPO { "NilPO", scInstallProgress, 0, "Group1 got a nil PO parameter" },
        BadPO {
            "ReplacingNotAFile", scReplacing, 1, "DoInformationEventControl parameter is not TInstallFile" },
        BadPO {
            "ProgressNotAList", scCopyProgress, 1, "DoInformationEventControl--PO is not a TList object" },
        BadPO { "ListTooShort", scInstallProgress, 2,
            "DoInformationEventControl--Not engouh parameters for status event" },
        BadPO { "ProgressFirstNotAFile", scInstallProgress, 4,
            "DoInformationEventControl says bad first parameter" },
        BadPO { "ProgressSecondNotStatus", scCompressProgress, 3,
            "DoInformationEventControl says bad second parameter" },
        BadPO { "DiskSecondNotDisk", scNewDisk, 5, "DoInformationEventControl says bad 2 parameter" },
        BadPO { "DownloadNotDownload", scDownloadProgress, 1,
            "The PO object passed to Group1 is not a TDownloadStatusParameter object" },
        BadPO { "KeptNotAFile", scKept, 1, "DoInformationEventControl says bad first parameter" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(StatusDispatch, CompressRefusesContradictoryOptionsBeforeAnythingElse)
{
    bool started = false;
    group_->OnBeforeProcess = [&](TInstallContainer *) { started = true; };
    try {
        group_->Compress({ coForceNetFilesLocal, coForceFilesNet });
        ADD_FAILURE() << "no error";
    } catch (const IEFileContainer &e) {
        EXPECT_EQ(e.Message(), "Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
    }
    EXPECT_FALSE(started);
    EXPECT_EQ(group_->Operation(), opNone);
}

} // namespace

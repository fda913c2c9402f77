#include "platform/system/faults.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/system/machine.h"

#include <gtest/gtest.h>

#include <string>

TEST(Faults, AFileInUseCannotBeDeletedUntilItIsReleased)
{
    TFaultScope faults;
    const std::string name = "C:\\held.txt";
    { TFileStream(name, fmCreate).WriteBuffer("x", 1); }
    SetFileInUse(name, true);
    EXPECT_FALSE(DeleteFile(name));
    EXPECT_TRUE(FileExists(name));
    SetFileInUse(name, false);
    EXPECT_TRUE(DeleteFile(name));
    EXPECT_FALSE(FileExists(name));
}

TEST(Faults, AFullDiskTakesWhatFitsAndThenReportsTheShortWrite)
{
    TFaultScope faults;
    const std::string name = "C:\\full.bin";
    TFileStream stream(name, fmCreate);
    SetDiskSpace(10);
    const std::string block(8, 'a');
    stream.WriteBuffer(block.data(), block.size());
    EXPECT_THROW(stream.WriteBuffer(block.data(), block.size()), EWriteError);
    EXPECT_EQ(stream.Size(), 10);
    SetDiskSpace(-1);
    stream.WriteBuffer(block.data(), block.size());
    EXPECT_EQ(stream.Size(), 18);
}

#include "installer/engine/cmp_TVersion/cmp_TVersion.h"

#include <gtest/gtest.h>

TEST(TabuloVersion, TheInstalledCalculatorCarriesItsVersionBlock)
{
    TVersionResource reader(nullptr);
    reader.SetFileName(ORVEX_TABULO);
    const TVersionInfo &info = *reader.VersionInfo();
    EXPECT_EQ(info.FileVersion(), "2.1.0.0");
    EXPECT_EQ(info.ProductName(), "ORVEX Tabulo");
    EXPECT_EQ(info.FileType(), "Application");
    EXPECT_EQ(TVersionResource::CompareVersionText(info.FileVersion(), "2.0.9.9"), 1); // newer than an older build
}

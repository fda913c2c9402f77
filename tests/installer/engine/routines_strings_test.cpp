#include <gtest/gtest.h>

#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/strings.h"

namespace
{

struct ItemCase {
    const char *Name;
    const char *Text;
    int N;
    const char *Delimiter;
    const char *Item;
};

class GetItemTable : public ::testing::TestWithParam<ItemCase>
{
};

TEST_P(GetItemTable, CutsTheNthItem)
{
    const ItemCase &c = GetParam();
    EXPECT_EQ(GetItem(c.Text, c.N, c.Delimiter), c.Item);
}

INSTANTIATE_TEST_SUITE_P(Items, GetItemTable,
    ::testing::Values(ItemCase { "First", "C:\\a;C:\\b", 1, ";", "C:\\a" },
        ItemCase { "Second", "C:\\a;C:\\b", 2, ";", "C:\\b" },
        ItemCase { "PastTheLast", "C:\\a;C:\\b", 3, ";", "" },
        ItemCase { "PastTheLastWithTrailingDelimiter", "a;b;", 3, ";", "" },
        ItemCase { "EmptyBetweenDelimiters", "a;;c", 2, ";", "" },
        ItemCase { "AfterEmpty", "a;;c", 3, ";", "c" }, ItemCase { "ZeroActsAsOne", "a;b", 0, ";", "a" },
        ItemCase { "NegativeActsAsOne", "a;b", -4, ";", "a" },
        ItemCase { "NoDelimiterWholeText", "abc", 1, ";", "abc" },
        ItemCase { "LongDelimiter", "one<>two<>three", 3, "<>", "three" },
        ItemCase { "LongDelimiterHalfMatch", "one<two<>three", 2, "<>", "three" },
        ItemCase { "EmptyText", "", 1, ";", "" }, ItemCase { "EmptyDelimiterWholeText", "a;b", 1, "", "a;b" },
        ItemCase { "EmptyDelimiterNoSecond", "a;b", 2, "", "" }),
    [](const auto &info) { return std::string(info.param.Name); });

struct CountCase {
    const char *Name;
    const char *Text;
    const char *Delimiter;
    int Count;
};

class CountItemsTable : public ::testing::TestWithParam<CountCase>
{
};

TEST_P(CountItemsTable, CountsDelimitersAndALastItem)
{
    EXPECT_EQ(CountItems(GetParam().Text, GetParam().Delimiter), GetParam().Count);
}

INSTANTIATE_TEST_SUITE_P(Counts, CountItemsTable,
    ::testing::Values(CountCase { "Empty", "", ";", 0 }, CountCase { "One", "a", ";", 1 },
        CountCase { "Two", "a;b", ";", 2 }, CountCase { "TwoEndingInDelimiter", "a;b;", ";", 2 },
        CountCase { "OnlyDelimiter", ";", ";", 1 }, CountCase { "EmptyItems", ";;x", ";", 3 },
        CountCase { "Comma", "a,b", ",", 2 },
        // the last character is checked against ';' whatever the delimiter
        CountCase { "CommaListEndingInSemicolon", "a,b;", ",", 1 },
        CountCase { "CommaListEndingInComma", "a,b,", ",", 3 },
        // no single character equals a longer delimiter
        CountCase { "LongDelimiter", "a<>b", "<>", 1 }, CountCase { "AccentedDelimiter", "añbñc", "ñ", 3 }),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(SplitToList, ReplacesTheListWithTheItems)
{
    TStringList list;
    list.Add("old");
    SplitToList("C:\\a;;C:\\b;", ";", list);
    EXPECT_EQ(list.Text(), "C:\\a\r\n\r\nC:\\b\r\n");
    SplitToList("", ";", list);
    EXPECT_EQ(list.Count(), 0);
}

struct PathCase {
    const char *Name;
    std::string (*Routine)(const std::string &);
    const char *Text;
    const char *Result;
};

class PathRoutines : public ::testing::TestWithParam<PathCase>
{
};

TEST_P(PathRoutines, GiveTheirResult)
{
    EXPECT_EQ(GetParam().Routine(GetParam().Text), GetParam().Result);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathRoutines,
    ::testing::Values(
        PathCase { "AddToFolder", AddTrailingBackslash, "C:\\Program Files", "C:\\Program Files\\" },
        PathCase { "AddKeepsOne", AddTrailingBackslash, "C:\\", "C:\\" },
        PathCase { "AddLeavesEmpty", AddTrailingBackslash, "", "" },
        PathCase { "AddToForwardSlash", AddTrailingBackslash, "a/", "a/\\" },
        PathCase { "RemoveGivesBareDrive", RemoveTrailingBackslash, "C:\\", "C:" },
        PathCase { "RemoveOneOnly", RemoveTrailingBackslash, "C:\\x\\\\", "C:\\x\\" },
        PathCase { "RemoveNothing", RemoveTrailingBackslash, "C:\\x", "C:\\x" },
        PathCase { "RemoveEmpty", RemoveTrailingBackslash, "", "" },
        PathCase { "AfterColon", TextAfterColon, "ftp://host:21", "//host:21" },
        PathCase { "NoColon", TextAfterColon, "plain", "" },
        PathCase { "ColonAtEnd", TextAfterColon, "C:", "" },
        PathCase { "FilterSlashBetweenLetters", FilterFileName, "Entrada/Salida", "Entrada-Salida" },
        PathCase { "FilterDropsForbidden", FilterFileName, "a\\b:c*d?e\"f<g>h|i", "abcdefghi" },
        PathCase { "FilterKeepsAccents", FilterFileName, "Cálculo ñ Ü", "Cálculo ñ Ü" },
        PathCase { "FilterKeepsControl", FilterFileName, "a\tb\x01", "a\tb\x01" }),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace

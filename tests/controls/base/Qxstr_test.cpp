#include "controls/base/Qxstack.h"
#include "controls/base/Qxstr.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/strings.h"

namespace
{

// Every token of text from position 1, with the position after each.
std::vector<std::pair<std::string, int>> Tokens(const std::string &text, const std::string &delimiter)
{
    std::vector<std::pair<std::string, int>> result;
    int position = 1;
    std::string token;
    while (position > 0 && result.size() < 20) {
        qxNextToken(text, delimiter, position, token);
        result.emplace_back(token, position);
    }
    return result;
}

using TokenList = std::vector<std::pair<std::string, int>>;

TEST(NextToken, WalksTextsAsDefinitionLinesUseThem)
{
    const struct {
        const char *name;
        std::string text;
        std::string delimiter;
        TokenList tokens;
    } cases[] = {
        { "trailing_delimiter", "a;b;", ";", { { "a", 3 }, { "b", 5 }, { "", -1 } } },
        { "no_trailing_delimiter", "a;b", ";", { { "a", 3 }, { "b", -1 } } },
        { "empty_items", ";;x", ";", { { "", 2 }, { "", 3 }, { "x", -1 } } },
        { "empty_text", "", ";", { { "", -1 } } },
        { "tab_map_line", "Left\tL", "\t", { { "Left", 6 }, { "L", -1 } } },
        { "positions_count_characters", "é;ñü;x", ";", { { "é", 3 }, { "ñü", 6 }, { "x", -1 } } },
        { "word_any_case", "x and y AND z", "and", { { "x", 7 }, { "y", 13 }, { "z", -1 } } },
        { "word_needs_blanks", "band;xand y", "and", { { "band;xand y", -1 } } },
        { "word_not_at_start", "and x", "and", { { "and x", -1 } } },
        { "empty_delimiter", "a;b", "", { { "a;b", -1 } } },
    };
    for (const auto &c : cases)
        EXPECT_EQ(Tokens(c.text, c.delimiter), c.tokens) << c.name;
}

TEST(NextToken, PositionsOutsideTheText)
{
    std::string token = "stale";
    int position = 0;
    qxNextToken("a;b", ";", position, token);
    EXPECT_EQ(token, "");
    EXPECT_EQ(position, 0);
    position = -1;
    qxNextToken("a;b", ";", position, token);
    EXPECT_EQ(position, -1);
    position = 4;
    token = "stale";
    qxNextToken("a;b", ";", position, token);
    EXPECT_EQ(token, "");
    EXPECT_EQ(position, -1);
    position = 3;
    qxNextToken("a;b", ";", position, token);
    EXPECT_EQ(token, "b");
}

TEST(SplitText, ItemsBetweenDelimiters)
{
    const struct {
        const char *name;
        std::string text;
        std::string delimiter;
        std::vector<std::string> lines;
    } cases[] = {
        { "empty_middle", "x;;y", ";", { "x", "", "y" } },
        { "empty_text", "", ";", { "" } },
        { "trailing_delimiter", "a;", ";", { "a", "" } },
        { "only_delimiter", ";", ";", { "", "" } },
        { "multibyte_delimiter", "a¦b¦ñ", "¦", { "a", "b", "ñ" } },
        { "no_delimiter", "abc", ";", { "abc" } },
    };
    TStringList list;
    list.Add("old line");
    for (const auto &c : cases) {
        qxSplitText(c.text, c.delimiter, list);
        std::vector<std::string> lines;
        for (int i = 0; i < list.Count(); ++i)
            lines.push_back(list[i]);
        EXPECT_EQ(lines, c.lines) << c.name;
    }
}

TEST(CharacterRoutines, TrimReplaceCountAndCut)
{
    const struct {
        const char *name;
        std::string text;
        std::string set;
        std::string trimmed;
    } trims[] = {
        { "measurement_cm", "2,5 cm", " 'CMcm", "2,5" },
        { "measurement_inches", "1.25''", " 'CMcm", "1.25" },
        { "all_removed", "ñññ", "ñ", "" },
        { "multibyte_kept", "añ ", " ", "añ" },
        { "empty_set", "abc ", "", "abc " },
    };
    for (const auto &t : trims) {
        std::string text = t.text;
        qxTrimRightChars(text, t.set);
        EXPECT_EQ(text, t.trimmed) << t.name;
    }

    EXPECT_EQ(qxReplaceChar("1.234.567", U'.', U','), "1,234,567");
    EXPECT_EQ(qxReplaceChar("camión", U'ó', U'€'), "cami€n");
    EXPECT_EQ(qxCountChar("ñaña;", U'ñ'), 2);
    EXPECT_EQ(qxTextAfterChar("Campo=Valor=2", U'='), "Valor=2");
    EXPECT_EQ(qxTextAfterChar("sin", U'='), "");
}

TEST(Stacks, EmptyStacksPopNothing)
{
    TStackStr symbols;
    symbols.Push("P");
    EXPECT_EQ(symbols.Pop(), "P");
    EXPECT_EQ(symbols.Pop(), "");
    TStackPtr nodes;
    EXPECT_EQ(nodes.Pop(), nullptr);
    EXPECT_EQ(nodes.Count(), 0);
}

} // namespace

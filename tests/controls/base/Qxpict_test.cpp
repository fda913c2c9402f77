#include "controls/base/Qxpict.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

struct MatchCase {
    const char *name;
    std::string picture;
    std::string input;
    bool autoFill;
    int result;
    std::string text; // the text after matching
};

void PrintTo(const MatchCase &c, std::ostream *os)
{
    *os << c.name;
}

class PictureMatch : public ::testing::TestWithParam<MatchCase>
{
};

TEST_P(PictureMatch, ResultAndRewrittenText)
{
    const MatchCase &c = GetParam();
    TqxPictureValidator validator(c.picture, c.autoFill);
    std::string text = c.input;
    EXPECT_EQ(validator.MatchPicture(text, c.autoFill), c.result);
    EXPECT_EQ(text, c.text);
}

// clang-format off
const MatchCase kDigitsAndLetters[] = {
    {"digits_short",            "###", "12",   false, prIncomplete, "12"},
    {"digits_full",             "###", "123",  false, prComplete,   "123"},
    {"digits_one_too_many",     "###", "1234", false, prError,      "1234"},
    {"digits_letter",           "###", "12a",  false, prError,      "12a"},
    {"digits_empty",            "###", "",     false, prEmpty,      ""},
    {"letters_accented",        "???", "ñáé",  false, prComplete,   "ñáé"},
    {"letters_refuse_digit",    "???", "ab1",  false, prError,      "ab1"},
    {"upper_accented",          "&&&", "ñáé",  false, prComplete,   "ÑÁÉ"},
    {"lower_accented",          "~~",  "ÑÁ",   false, prComplete,   "ñá"},
    {"any_upper",               "!!!", "a1é",  false, prComplete,   "A1É"},
    {"any_kept",                "@@",  "%ß",   false, prComplete,   "%ß"},
    {"literal_takes_picture_case", "ABC", "abc", false, prComplete, "ABC"},
    {"literal_accent_exact",    "Ñ#",  "ñ1",   false, prError,      "ñ1"},
    {"escaped_specials",        ";#;#", "##",  false, prComplete,   "##"},
    {"escaped_not_digits",      ";#;#", "12",  false, prError,      "12"},
    {"escaped_star_literal",    "#;*", "1*",   false, prComplete,   "1*"},
};
INSTANTIATE_TEST_SUITE_P(Characters, PictureMatch, ::testing::ValuesIn(kDigitsAndLetters),
                         [](const auto &info) { return std::string(info.param.name); });

const MatchCase kFillAndLiterals[] = {
    {"fill_literal_after_letters", "&&-###", "ab",  true,  prIncomplete, "AB-"},
    {"no_fill_without_flag",       "&&-###", "ab",  false, prIncomplete, "AB"},
    {"fill_several_literals",      "(###) ###-####", "(555", true, prIncomplete, "(555) "},
    {"fill_escaped_special",       "##;#x#", "12",  true,  prIncomplete, "12#x"},
    {"fill_to_completion",         "##-AB", "12",   true,  prComplete,   "12-AB"},
    {"blank_stands_for_literal",   "##-##", "12 ",  false, prIncomplete, "12-"},
    {"blank_only_when_last",       "##-##", "12 3", false, prError,      "12 3"},
    {"blank_matches_literal_blank", "## ##", "12 ", false, prIncomplete, "12 "},
    {"phone_complete",             "(###) ###-####", "(555) 123-4567", false, prComplete, "(555) 123-4567"},
};
INSTANTIATE_TEST_SUITE_P(Literals, PictureMatch, ::testing::ValuesIn(kFillAndLiterals),
                         [](const auto &info) { return std::string(info.param.name); });

const MatchCase kGroups[] = {
    {"yes_no_case",                "{Yes,No}", "yes", false, prComplete,   "Yes"},
    {"yes_no_fill",                "{Yes,No}", "N",   true,  prComplete,   "No"},
    {"yes_no_partial",             "{Yes,No}", "N",   false, prIncomplete, "N"},
    {"yes_no_neither",             "{Yes,No}", "x",   false, prError,      "x"},
    {"first_fitting_alternative",  "{#,##}",   "12",  false, prError,      "12"},
    {"later_complete_alternative", "{##,#}",   "1",   false, prComplete,   "1"},
    {"complete_short_of_incomplete", "{#a#,#}", "1a", false, prIncomplete, "1a"},
    {"top_level_alternatives",     "###,&&",   "ab",  false, prComplete,   "AB"},
    {"optional_left_open",         "#[#]",     "1",   false, prComplete,   "1"},
    {"optional_filled",            "#[#]",     "12",  false, prComplete,   "12"},
    {"optional_overflow",          "#[#]",     "123", false, prError,      "123"},
    {"optional_prefix_given",      "[+]##",    "+12", false, prComplete,   "+12"},
    {"optional_prefix_left_out",   "[+]##",    "12",  false, prComplete,   "12"},
    {"optional_no_fill_after",     "#[-]#",    "1",   true,  prIncomplete, "1"},
    {"group_of_optionals",         "#{[a],b}", "1",   false, prComplete,   "1"},
    {"group_needs_input",          "#{b,c}",   "1",   false, prIncomplete, "1"},
    {"open_choice_blocks_fill",    "{##,#}-#", "1",   true,  prIncomplete, "1"},
    {"closed_choice_fills",        "{##,#}-#", "12",  true,  prIncomplete, "12-"},
};
INSTANTIATE_TEST_SUITE_P(Groups, PictureMatch, ::testing::ValuesIn(kGroups),
                         [](const auto &info) { return std::string(info.param.name); });

const MatchCase kRepetition[] = {
    {"any_digits_none",        "*#",    "",      false, prEmpty,      ""},
    {"any_digits_one",         "*#",    "1",     false, prComplete,   "1"},
    {"any_digits_many",        "*#",    "123456", false, prComplete,  "123456"},
    {"any_digits_letter",      "*#",    "12a",   false, prError,      "12a"},
    {"count_short",            "*3#",   "12",    false, prIncomplete, "12"},
    {"count_exact",            "*3#",   "123",   false, prComplete,   "123"},
    {"count_over",             "*3#",   "1234",  false, prError,      "1234"},
    {"count_of_optionals",     "*3[#]", "1",     false, prComplete,   "1"},
    {"optional_count_at_end",  "##*2[#]", "12",  false, prComplete,   "12"},
    {"repeated_alternatives",  "*{&,#}", "a1b",  false, prComplete,   "A1B"},
    {"name_capitalised",       "&*~",   "mARÍA", false, prComplete,   "María"},
    {"count_then_literal",     "*2#-#", "12-3",  false, prComplete,   "12-3"},
};
INSTANTIATE_TEST_SUITE_P(Repetition, PictureMatch, ::testing::ValuesIn(kRepetition),
                         [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(PictureSyntax, BrokenPicturesGiveSyntaxErrorForAnyInputAndMarkTheValidator)
{
    const struct {
        const char *name;
        std::string picture;
    } broken[] = {
        { "empty", "" },
        { "ends_in_escape", "##;" },
        { "ends_in_repetition", "#*" },
        { "repetition_alone", "*" },
        { "open_bracket", "[##" },
        { "close_bracket", "##]" },
        { "open_brace", "{Yes,No" },
        { "closed_before_opened", "]##[" },
        { "escaped_closer", "{#;}" },
    };
    for (const auto &b : broken) {
        TqxPictureValidator validator(b.picture, true);
        EXPECT_EQ(validator.Status(), qxvsSyntax) << b.name;
        for (std::string text : { "", "1", "12", "abc" })
            EXPECT_EQ(validator.MatchPicture(text, true), prSyntax) << b.name << " / " << text;
    }
    for (const char *good : { "#;*", ";;#", "{#;}}", "[#]" }) {
        TqxPictureValidator validator(good, false);
        EXPECT_EQ(validator.Status(), qxvsOk) << good;
    }
}

TEST(PictureValidator, OptionsAndTheTwoChecks)
{
    TqxPictureValidator filling("&&-###", true);
    TqxPictureValidator plain("&&-###", false);
    EXPECT_EQ(filling.Options(), qxvoPicture | qxvoAutoFill);
    EXPECT_EQ(plain.Options(), qxvoPicture);
    EXPECT_EQ(filling.Picture(), "&&-###");

    std::string text = "ab";
    EXPECT_TRUE(filling.CheckInput(text, false));
    EXPECT_EQ(text, "AB-");
    text = "ab";
    EXPECT_TRUE(filling.CheckInput(text, true));
    EXPECT_EQ(text, "AB");
    text = "a1";
    EXPECT_FALSE(plain.CheckInput(text, false));

    // Only complete or empty text is valid; incomplete is not.
    EXPECT_TRUE(plain.CheckValid("AB-123"));
    EXPECT_TRUE(plain.CheckValid(""));
    EXPECT_FALSE(plain.CheckValid("AB-12"));
    EXPECT_FALSE(plain.CheckValid("AB-1234"));

    // Without a picture everything passes, though the picture counts as broken.
    TqxPictureValidator none("", true);
    EXPECT_EQ(none.Status(), qxvsSyntax);
    text = "anything";
    EXPECT_TRUE(none.CheckInput(text, false));
    EXPECT_TRUE(none.CheckValid("anything"));
}

TEST(PictureLimits, LongPicturesTextsAndCountsBehaveLikeShortOnes)
{
    const std::string digits300(300, '#');
    const struct {
        const char *name;
        std::string picture;
        std::string input;
        int result;
    } cases[] = {
        { "picture_300_places_full", digits300, std::string(300, '7'), prComplete },
        { "picture_300_places_short", digits300, std::string(299, '7'), prIncomplete },
        { "picture_300_places_over", digits300, std::string(301, '7'), prError },
        { "count_300_exact", "*300#", std::string(300, '1'), prComplete },
        { "count_300_short", "*300#", std::string(299, '1'), prIncomplete },
        { "count_300_not_44", "*300#", std::string(44, '1'), prIncomplete },
        { "count_300_over", "*300#", std::string(301, '1'), prError },
        { "count_huge", "*99999999999999999999#", std::string(10, '1'), prIncomplete },
        { "text_1000_any", "*#", std::string(1000, '5'), prComplete },
        { "text_1000_letter_at_end", "*#", std::string(999, '5') + "x", prError },
        { "literal_after_long_run", "*#-#", std::string(400, '5') + "-1", prComplete },
    };
    for (const auto &c : cases) {
        TqxPictureValidator validator(c.picture, false);
        std::string text = c.input;
        EXPECT_EQ(validator.MatchPicture(text, false), c.result) << c.name;
    }
}

TEST(PictureLimits, DeepNestingIsReportedNotFollowedIntoTheStack)
{
    auto nested = [](int depth) { return std::string(depth, '{') + "#" + std::string(depth, '}'); };
    TqxPictureValidator shallow(nested(20), false);
    std::string text = "1";
    EXPECT_EQ(shallow.MatchPicture(text, false), prComplete);

    TqxPictureValidator deep(nested(5000), true);
    text = "1";
    EXPECT_EQ(deep.MatchPicture(text, true), prSyntax);
    TqxPictureValidator stars(std::string(5000, '*') + "#", true);
    text = "12";
    EXPECT_EQ(stars.MatchPicture(text, true), prSyntax);
}

// Two hundred levels of nesting are allowed, whatever nests: groups,
// optional parts or repetitions. One level more is a broken picture, refused
// by the constructor and answered with the syntax code for every text.
struct NestingCase {
    const char *name;
    std::string (*make)(int levels);
    const char *input; // matches the picture at the limit
    TqxPicResult atLimit;
};

std::string Braces(int levels)
{
    return std::string(levels, '{') + "#" + std::string(levels, '}');
}
std::string Brackets(int levels)
{
    return std::string(levels, '[') + "#" + std::string(levels, ']');
}
std::string Stars(int levels)
{
    return std::string(levels, '*') + "#";
}
std::string StarredGroups(int levels) // *{*{...#...}}: two levels a pair
{
    std::string picture;
    for (int i = 0; i < levels / 2; ++i)
        picture += "*{";
    picture += levels % 2 ? "[#]" : "#";
    return picture + std::string(levels / 2, '}');
}
std::string CountedRepetitions(int levels) // *1*1*1...#
{
    std::string picture;
    for (int i = 0; i < levels; ++i)
        picture += "*1";
    return picture + "#";
}

class PictureNesting : public ::testing::TestWithParam<NestingCase>
{
};

TEST_P(PictureNesting, TwoHundredLevelsWorkAndOneMoreIsRefused)
{
    const NestingCase &c = GetParam();
    TqxPictureValidator atLimit(c.make(200), false);
    EXPECT_EQ(atLimit.Status(), qxvsOk);
    std::string text = c.input;
    EXPECT_EQ(atLimit.MatchPicture(text, false), c.atLimit);
    EXPECT_TRUE(atLimit.CheckValid(c.input));

    TqxPictureValidator pastLimit(c.make(201), true);
    EXPECT_EQ(pastLimit.Status(), qxvsSyntax);
    for (std::string input : { std::string(), std::string(c.input), std::string("x") })
        EXPECT_EQ(pastLimit.MatchPicture(input, true), prSyntax) << "input '" << input << "'";
    EXPECT_FALSE(pastLimit.CheckValid(c.input));
}

INSTANTIATE_TEST_SUITE_P(Kinds, PictureNesting,
    ::testing::Values(NestingCase { "Groups", Braces, "1", prComplete },
        NestingCase { "OptionalParts", Brackets, "1", prComplete },
        NestingCase { "Repetitions", Stars, "123", prComplete },
        NestingCase { "RepeatedGroups", StarredGroups, "12", prComplete },
        NestingCase { "CountedRepetitions", CountedRepetitions, "1", prComplete }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PictureText, UntouchedTextKeepsItsBytes)
{
    // A malformed byte is a character like any other and stays as it was
    // unless the picture rewrites the text.
    TqxPictureValidator any("@@", false);
    std::string text = "a\xFF";
    EXPECT_EQ(any.MatchPicture(text, false), prComplete);
    EXPECT_EQ(text, "a\xFF");
}

} // namespace

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace
{

// Sets locale variables for one scope and puts the old values back.
class EnvironmentScope
{
public:
    EnvironmentScope(std::initializer_list<std::pair<const char *, const char *>> values)
    {
        for (const auto &[name, value] : values) {
            const char *old = std::getenv(name);
            saved_.push_back({ name, old ? std::optional<std::string>(old) : std::nullopt });
            if (value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
    }
    ~EnvironmentScope()
    {
        for (const auto &[name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(FormatSettings, EnglishProfile)
{
    const TFormatSettings fs = EnglishFormatSettings();
    EXPECT_EQ(fs.DecimalSeparator, U'.');
    EXPECT_EQ(fs.ThousandSeparator, U',');
    EXPECT_EQ(fs.ShortDateFormat, "m/d/yyyy");
    EXPECT_EQ(fs.LongMonthNames[11], "December");
    EXPECT_EQ(fs.ShortDayNames[0], "Sun");
    EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2, fs), "($1,234.50)");
}

TEST(FormatSettings, SpanishProfile)
{
    const TFormatSettings fs = SpanishFormatSettings();
    EXPECT_EQ(fs.DecimalSeparator, U',');
    EXPECT_EQ(fs.ThousandSeparator, U'.');
    EXPECT_EQ(fs.ListSeparator, U';');
    EXPECT_EQ(fs.CurrencyString, "€");
    EXPECT_EQ(fs.ShortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(fs.LongMonthNames[8], "septiembre");
    EXPECT_EQ(fs.LongDayNames[3], "miércoles");
    EXPECT_EQ(fs.ShortDayNames[6], "sáb");
    EXPECT_EQ(fs.TimeAMString, "a. m.");
    EXPECT_EQ(FormatDateTime("dddddd", EncodeDate(2026, 9, 2), fs), "miércoles, 2 de septiembre de 2026");
}

TEST(FormatSettings, ScopeRestoresTheGlobal)
{
    const TFormatSettings before = FormatSettings;
    {
        TFormatSettingsScope spanish(SpanishFormatSettings());
        EXPECT_EQ(FormatSettings.DecimalSeparator, U',');
        EXPECT_EQ(FloatToStr(1.5), "1,5");
    }
    EXPECT_EQ(FormatSettings.DecimalSeparator, before.DecimalSeparator);
    EXPECT_EQ(FormatSettings.ShortDateFormat, before.ShortDateFormat);
}

TEST(LocaleFormatSettings, PlainOrUnknownLocalesGiveEnglish)
{
    for (const char *name : { "C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8" }) {
        EnvironmentScope env({ { "LC_ALL", name }, { "LC_NUMERIC", nullptr }, { "LC_TIME", nullptr },
            { "LC_MONETARY", nullptr }, { "LANG", nullptr } });
        const TFormatSettings fs = LocaleFormatSettings();
        EXPECT_EQ(fs.DecimalSeparator, U'.') << name;
        EXPECT_EQ(fs.ShortDateFormat, "m/d/yyyy") << name;
        EXPECT_EQ(fs.LongMonthNames[0], "January") << name;
        EXPECT_EQ(fs.CurrencyString, "$") << name;
    }
}

// Builds the es_ES locale into a private folder with localedef, so that the
// test does not depend on which locales the host has installed.
TEST(LocaleFormatSettings, ReadsTheSpanishLocale)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvex-rtl-locales";
    std::filesystem::create_directories(folder);
    const std::string target = (folder / "es_ES.UTF-8").string();
    const std::filesystem::path built = std::filesystem::path(target) / "LC_TIME";
    if (!std::filesystem::exists(built)) {
        // localedef exits non-zero for mere warnings, so judge by what it wrote.
        const std::string command = "localedef -i es_ES -f UTF-8 '" + target + "' >/dev/null 2>&1";
        [[maybe_unused]] const int status = std::system(command.c_str());
        if (!std::filesystem::exists(built))
            GTEST_SKIP() << "localedef or the es_ES locale source is not available";
    }
    EnvironmentScope env({ { "LOCPATH", folder.c_str() }, { "LC_ALL", "es_ES.UTF-8" }, { "LANG", nullptr } });
    const TFormatSettings fs = LocaleFormatSettings();
    EXPECT_EQ(fs.DecimalSeparator, U',');
    EXPECT_EQ(fs.ThousandSeparator, U'.');
    EXPECT_EQ(fs.ListSeparator, U';');
    EXPECT_EQ(fs.DateSeparator, U'/');
    EXPECT_EQ(fs.ShortDateFormat, "dd/mm/yy");
    EXPECT_EQ(fs.LongTimeFormat, "hh:nn:ss");
    EXPECT_EQ(fs.ShortTimeFormat, "hh:nn");
    EXPECT_EQ(fs.CurrencyString, "€");
    EXPECT_EQ(fs.CurrencyFormat, 3);
    EXPECT_EQ(fs.NegCurrFormat, 8);
    EXPECT_EQ(fs.LongMonthNames[2], "marzo");
    EXPECT_EQ(fs.LongDayNames[1], "lunes");
    EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2, fs), "-1.234,50 €");
    EXPECT_EQ(FormatDateTime("c", EncodeDate(2026, 3, 9) + 0.5, fs), "09/03/26 12:00:00");
}

// tools/bootstrap generates Spain's locale on the machine itself, so that a
// user can start the calculator with LANG=es_ES.UTF-8.
TEST(LocaleFormatSettings, TheMachineCarriesSpainsLocale)
{
    EnvironmentScope env({ { "LOCPATH", nullptr }, { "LC_ALL", "es_ES.UTF-8" }, { "LANG", nullptr } });
    const TFormatSettings fs = LocaleFormatSettings();
    EXPECT_EQ(fs.DecimalSeparator, U',') << "run tools/bootstrap to generate the es_ES.UTF-8 locale";
    EXPECT_EQ(fs.ThousandSeparator, U'.');
    EXPECT_EQ(fs.LongMonthNames[2], "marzo");
}

} // namespace

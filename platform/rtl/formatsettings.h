#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Regional settings as the class library keeps them. The global FormatSettings
// is read from the POSIX locale at start-up and may be replaced; tests pin it
// to SpanishFormatSettings() or EnglishFormatSettings().
struct TFormatSettings {
    char32_t DecimalSeparator = U'.';
    char32_t ThousandSeparator = U',';  // 0 when the locale groups no digits
    char32_t DateSeparator = U'/';
    char32_t TimeSeparator = U':';
    char32_t ListSeparator = U',';
    std::string CurrencyString = "$";
    unsigned char CurrencyFormat = 0;   // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    unsigned char NegCurrFormat = 0;    // the class library's 0..15 patterns
    unsigned char CurrencyDecimals = 2;
    std::string ShortDateFormat = "m/d/yyyy";
    std::string LongDateFormat = "dddd, mmmm d, yyyy";
    std::string ShortTimeFormat = "h:nn AMPM";
    std::string LongTimeFormat = "h:nn:ss AMPM";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames;
    std::array<std::string, 12> LongMonthNames;
    std::array<std::string, 7> ShortDayNames;   // Sunday first
    std::array<std::string, 7> LongDayNames;
    int TwoDigitYearCenturyWindow = 50;          // years within this many of now stay in this century
};

extern TFormatSettings FormatSettings;

TFormatSettings EnglishFormatSettings();        // United States
TFormatSettings SpanishFormatSettings();        // Spain: 1.234,5 and d/m/yyyy
TFormatSettings LocaleFormatSettings();         // from the POSIX locale (LC_ALL, LC_NUMERIC, LC_TIME, LANG)

// The user's language: a Windows language identifier (primary language in the
// low 10 bits, sublanguage above) from the POSIX locale (LC_ALL, LC_MESSAGES,
// LANG); "C", "POSIX" and unknown languages give English (United States),
// 0x0409.
uint16_t GetUserDefaultLangID();
uint16_t LangIdFromLocale(std::string_view locale); // "es_ES.UTF-8" -> 0x0C0A

// Replaces the global settings for one scope and puts the old ones back.
class TFormatSettingsScope {
public:
    explicit TFormatSettingsScope(const TFormatSettings &settings) : saved_(FormatSettings) { FormatSettings = settings; }
    ~TFormatSettingsScope() { FormatSettings = saved_; }
    TFormatSettingsScope(const TFormatSettingsScope &) = delete;
    TFormatSettingsScope &operator=(const TFormatSettingsScope &) = delete;

private:
    TFormatSettings saved_;
};

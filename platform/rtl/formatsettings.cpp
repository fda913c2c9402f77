#include "platform/rtl/formatsettings.h"

#include <cctype>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <string_view>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"

// Constructed ahead of ordinary static objects, so that one which formats a
// number or a date while it is being built finds the settings ready.
TFormatSettings FormatSettings __attribute__((init_priority(101))) = LocaleFormatSettings();

TFormatSettings EnglishFormatSettings()
{
    TFormatSettings fs;
    fs.DecimalSeparator = U'.';
    fs.ThousandSeparator = U',';
    fs.DateSeparator = U'/';
    fs.TimeSeparator = U':';
    fs.ListSeparator = U',';
    fs.CurrencyString = "$";
    fs.CurrencyFormat = 0; // $1
    fs.NegCurrFormat = 0; // ($1)
    fs.CurrencyDecimals = 2;
    fs.ShortDateFormat = "m/d/yyyy";
    fs.LongDateFormat = "dddd, mmmm d, yyyy";
    fs.ShortTimeFormat = "h:nn AMPM";
    fs.LongTimeFormat = "h:nn:ss AMPM";
    fs.TimeAMString = "AM";
    fs.TimePMString = "PM";
    fs.ShortMonthNames
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    fs.LongMonthNames = { "January", "February", "March", "April", "May", "June", "July", "August",
        "September", "October", "November", "December" };
    fs.ShortDayNames = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    fs.LongDayNames = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };
    fs.TwoDigitYearCenturyWindow = 50;
    return fs;
}

// Spain as it writes numbers, money and dates: 1.234,56 €, -1.234,56 €,
// 09/03/2026, a 24-hour clock with leading zeros, month and day names in
// lower case with their accents, "a. m."/"p. m." for the rare 12-hour text,
// and ';' between list items because ',' is the decimal mark.
TFormatSettings SpanishFormatSettings()
{
    TFormatSettings fs;
    fs.DecimalSeparator = U',';
    fs.ThousandSeparator = U'.';
    fs.DateSeparator = U'/';
    fs.TimeSeparator = U':';
    fs.ListSeparator = U';';
    fs.CurrencyString = "€";
    fs.CurrencyFormat = 3; // 1 €
    fs.NegCurrFormat = 8; // -1 €
    fs.CurrencyDecimals = 2;
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.LongDateFormat = "dddd, d 'de' mmmm 'de' yyyy";
    fs.ShortTimeFormat = "hh:nn";
    fs.LongTimeFormat = "hh:nn:ss";
    fs.TimeAMString = "a. m.";
    fs.TimePMString = "p. m.";
    fs.ShortMonthNames
        = { "ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic" };
    fs.LongMonthNames = { "enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto",
        "septiembre", "octubre", "noviembre", "diciembre" };
    fs.ShortDayNames = { "dom", "lun", "mar", "mié", "jue", "vie", "sáb" };
    fs.LongDayNames = { "domingo", "lunes", "martes", "miércoles", "jueves", "viernes", "sábado" };
    fs.TwoDigitYearCenturyWindow = 50;
    return fs;
}

namespace
{

// The locale name a category takes from the environment, as setlocale would.
std::string EnvironmentLocale(const char *category)
{
    for (const char *name : { "LC_ALL", category, "LANG" }) {
        const char *value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return "C";
}

bool IsPlainCLocale(std::string_view name)
{
    return name == "C" || name == "POSIX" || name.starts_with("C.");
}

char32_t FirstCodePoint(const char *text, char32_t fallback)
{
    if (!text || !*text)
        return fallback;
    size_t pos = 0;
    return Utf8Next(text, pos);
}

struct TranslatedPattern {
    std::string format;
    char32_t separator = 0; // the first literal between two fields
};

void AppendLiteral(TranslatedPattern &out, std::string_view literal, char separatorLetter)
{
    // The first punctuation mark between fields is the separator and becomes
    // '/' or ':', so that the settings' separator stands in for it. Blanks and
    // commas stay as they are; anything else is quoted, since letters in it
    // would otherwise read as format letters.
    size_t pos = 0;
    while (pos < literal.size()) {
        const size_t start = pos;
        const char32_t c = Utf8Next(literal, pos);
        const std::string_view bytes = literal.substr(start, pos - start);
        const bool punctuation
            = c < 0x80 && std::ispunct(static_cast<int>(c)) && c != U',' && c != U'\'' && c != U'"';
        if (c == U' ' || c == U',') {
            out.format.append(bytes);
        } else if (punctuation && (out.separator == 0 || out.separator == c)) {
            out.separator = c;
            out.format += separatorLetter;
        } else {
            out.format += '"';
            out.format.append(bytes);
            out.format += '"';
        }
    }
}

// The class library's letters for each strftime field; composite fields
// expand to their parts. Zones, week numbers and the like have no letter.
std::string_view FieldLetters(char field)
{
    switch (field) {
    case 'd':
        return "dd";
    case 'e':
        return "d";
    case 'm':
        return "mm";
    case 'y':
        return "yy";
    case 'Y':
    case 'C':
    case 'G':
        return "yyyy";
    case 'b':
    case 'h':
        return "mmm";
    case 'B':
        return "mmmm";
    case 'a':
        return "ddd";
    case 'A':
        return "dddd";
    case 'H':
    case 'I':
        return "hh";
    case 'k':
    case 'l':
        return "h";
    case 'M':
        return "nn";
    case 'S':
        return "ss";
    case 'p':
    case 'P':
        return "AMPM";
    default:
        return {};
    }
}

std::string_view Composite(char field, locale_t loc)
{
    switch (field) {
    case 'T':
        return "%H:%M:%S";
    case 'R':
        return "%H:%M";
    case 'D':
        return "%m/%d/%y";
    case 'F':
        return "%Y-%m-%d";
    case 'r':
        return nl_langinfo_l(T_FMT_AMPM, loc);
    default:
        return {};
    }
}

// Turns a strftime pattern of the locale (%d/%m/%Y, %H:%M:%S, %I:%M:%S %p)
// into the class library's format letters.
void TranslateStrftime(
    std::string_view pattern, locale_t loc, char separatorLetter, TranslatedPattern &out, int depth = 0)
{
    std::string literal;
    auto flush = [&] {
        AppendLiteral(out, literal, separatorLetter);
        literal.clear();
    };
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            literal += pattern[i];
            continue;
        }
        char field = pattern[++i];
        // Flags and modifiers (%Ey, %Od, %-d, %_H, %0e) do not change which field it is.
        while (std::string_view("EO-_0^#").find(field) != std::string_view::npos && i + 1 < pattern.size())
            field = pattern[++i];
        if (field == '%') {
            literal += '%';
        } else if (field == 'n' || field == 't') {
            literal += ' ';
        } else if (const std::string_view parts = Composite(field, loc); !parts.empty()) {
            flush();
            if (depth < 2) // a locale whose %r names %r must not loop
                TranslateStrftime(parts, loc, separatorLetter, out, depth + 1);
        } else if (const std::string_view letters = FieldLetters(field); !letters.empty()) {
            flush();
            out.format += letters;
        }
    }
    flush();
}

TranslatedPattern TranslateStrftime(std::string_view pattern, locale_t loc, char separatorLetter)
{
    TranslatedPattern out;
    TranslateStrftime(pattern, loc, separatorLetter, out);
    // Trailing blanks (from a dropped %Z) are of no use.
    while (!out.format.empty() && out.format.back() == ' ')
        out.format.pop_back();
    return out;
}

// The class library's negative currency patterns by symbol position, space
// and sign position (POSIX n_sign_posn 0..4).
unsigned char NegativeCurrencyFormat(bool precedes, bool space, int signPosition)
{
    static constexpr unsigned char kTable[2][2][5] = {
        { { 4, 5, 7, 6, 7 }, { 15, 8, 10, 13, 10 } }, // symbol after
        { { 0, 1, 3, 1, 2 }, { 14, 9, 11, 9, 12 } }, // symbol before
    };
    if (signPosition < 0 || signPosition > 4)
        signPosition = 1;
    return kTable[precedes ? 1 : 0][space ? 1 : 0][signPosition];
}

std::string RemoveSeconds(std::string format)
{
    const size_t pos = format.find(":ss");
    if (pos != std::string::npos)
        format.erase(pos, 3);
    return format;
}

// Windows language identifiers: primary language | sublanguage << 10. A
// language's first row is the one used when the locale names no region or an
// unlisted one.
struct TLocaleLang {
    const char *Language;
    const char *Region;
    uint16_t LangId;
};
// clang-format off
constexpr TLocaleLang LocaleLangs[] = {
    {"zh", "CN", 0x0804}, {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04}, {"zh", "SG", 0x1004},
    {"cs", "CZ", 0x0405},
    {"da", "DK", 0x0406},
    {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07},
    {"el", "GR", 0x0408},
    {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009}, {"en", "IE", 0x1809},
    {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A}, {"es", "AR", 0x2C0A}, {"es", "CO", 0x240A}, {"es", "CL", 0x340A},
    {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C},
    {"he", "IL", 0x040D}, {"iw", "IL", 0x040D},
    {"it", "IT", 0x0410}, {"it", "CH", 0x0810},
    {"ja", "JP", 0x0411},
    {"ko", "KR", 0x0412},
    {"nl", "NL", 0x0413}, {"nl", "BE", 0x0813},
    {"pl", "PL", 0x0415},
    {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816},
    {"ru", "RU", 0x0419},
    {"vi", "VN", 0x042A},
};
// clang-format on
constexpr uint16_t EnglishUS = 0x0409;
} // namespace

TFormatSettings LocaleFormatSettings()
{
    TFormatSettings fs = EnglishFormatSettings();
    const std::string numeric = EnvironmentLocale("LC_NUMERIC");
    const std::string time = EnvironmentLocale("LC_TIME");
    const std::string monetary = EnvironmentLocale("LC_MONETARY");
    if (IsPlainCLocale(numeric) && IsPlainCLocale(time) && IsPlainCLocale(monetary))
        return fs;

    locale_t loc = newlocale(LC_NUMERIC_MASK | LC_TIME_MASK | LC_MONETARY_MASK, "", locale_t(0));
    if (loc == locale_t(0))
        return fs;

    if (!IsPlainCLocale(numeric)) {
        fs.DecimalSeparator = FirstCodePoint(nl_langinfo_l(RADIXCHAR, loc), U'.');
        fs.ThousandSeparator = FirstCodePoint(nl_langinfo_l(THOUSEP, loc), 0);
        fs.ListSeparator = fs.DecimalSeparator == U',' ? U';' : U',';
    }

    if (!IsPlainCLocale(monetary)) {
        // localeconv follows the thread's locale, so borrow it for the call.
        const locale_t previous = uselocale(loc);
        const lconv *conv = localeconv();
        if (conv->currency_symbol && *conv->currency_symbol)
            fs.CurrencyString = conv->currency_symbol;
        const bool precedes = conv->p_cs_precedes == 1;
        const bool space = conv->p_sep_by_space == 1;
        fs.CurrencyFormat = static_cast<unsigned char>((precedes ? 0 : 1) + (space ? 2 : 0));
        fs.NegCurrFormat = NegativeCurrencyFormat(conv->n_cs_precedes == 1, conv->n_sep_by_space == 1,
            conv->n_sign_posn == CHAR_MAX ? 1 : conv->n_sign_posn);
        if (conv->frac_digits != CHAR_MAX && conv->frac_digits >= 0 && conv->frac_digits <= 4)
            fs.CurrencyDecimals = static_cast<unsigned char>(conv->frac_digits);
        if (fs.ThousandSeparator == 0)
            fs.ThousandSeparator = FirstCodePoint(conv->mon_thousands_sep, 0);
        uselocale(previous);
    }

    if (!IsPlainCLocale(time)) {
        const TranslatedPattern date = TranslateStrftime(nl_langinfo_l(D_FMT, loc), loc, '/');
        if (!date.format.empty()) {
            fs.ShortDateFormat = date.format;
            if (date.separator != 0)
                fs.DateSeparator = date.separator;
        }
        const TranslatedPattern longTime = TranslateStrftime(nl_langinfo_l(T_FMT, loc), loc, ':');
        if (!longTime.format.empty()) {
            fs.LongTimeFormat = longTime.format;
            fs.ShortTimeFormat = RemoveSeconds(longTime.format);
            if (longTime.separator != 0)
                fs.TimeSeparator = longTime.separator;
        }
        fs.TimeAMString = nl_langinfo_l(AM_STR, loc);
        fs.TimePMString = nl_langinfo_l(PM_STR, loc);
        if (fs.TimeAMString.empty() && fs.TimePMString.empty()) {
            fs.TimeAMString = "AM";
            fs.TimePMString = "PM";
        }
        for (int i = 0; i < 12; ++i) {
            fs.ShortMonthNames[i] = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + i), loc);
            fs.LongMonthNames[i] = nl_langinfo_l(static_cast<nl_item>(MON_1 + i), loc);
        }
        for (int i = 0; i < 7; ++i) {
            fs.ShortDayNames[i] = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + i), loc);
            fs.LongDayNames[i] = nl_langinfo_l(static_cast<nl_item>(DAY_1 + i), loc);
        }
        // POSIX keeps no long date pattern; build one in the short date's order.
        const size_t day = fs.ShortDateFormat.find('d');
        const size_t month = fs.ShortDateFormat.find('m');
        const size_t year = fs.ShortDateFormat.find('y');
        if (year < day && year < month)
            fs.LongDateFormat = "yyyy mmmm d, dddd";
        else if (month < day)
            fs.LongDateFormat = "dddd, mmmm d, yyyy";
        else
            fs.LongDateFormat = "dddd, d mmmm yyyy";
    }
    freelocale(loc);
    return fs;
}

uint16_t LangIdFromLocale(std::string_view locale)
{
    // language[_territory][.codeset][@modifier]
    const size_t end = locale.find_first_of(".@");
    const std::string_view name = locale.substr(0, end);
    const size_t underscore = name.find('_');
    const std::string language = LowerCase(name.substr(0, underscore));
    const std::string region
        = underscore == std::string_view::npos ? "" : UpperCase(name.substr(underscore + 1));
    const TLocaleLang *first = nullptr;
    for (const TLocaleLang &entry : LocaleLangs) {
        if (language != entry.Language)
            continue;
        if (region == entry.Region)
            return entry.LangId;
        if (!first)
            first = &entry;
    }
    return first ? first->LangId : EnglishUS;
}

uint16_t GetUserDefaultLangID()
{
    return LangIdFromLocale(EnvironmentLocale("LC_MESSAGES"));
}

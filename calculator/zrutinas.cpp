#include "calculator/zrutinas.h"

#include "calculator/currencyrange_p.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

#include <cmath>
#include <limits>

namespace
{

// Nested requests for the hourglass, for the whole process.
int busyCounter = 0;

std::string CaptionOf(int kind)
{
    switch (kind) {
    case MB_ICONERROR:
        return "Error";
    case MB_ICONQUESTION:
        return "Pregunta";
    case MB_ICONINFORMATION:
        return "Información";
    default:
        return "";
    }
}

HWND ActiveWindow()
{
    TCustomForm *form = Screen->ActiveForm();
    return form ? form->Handle() : nullptr;
}

// The box itself, with the busy state suspended while it is up.
int ShowBox(const std::string &text, int kind, int buttons)
{
    const int remembered = busyCounter;
    busyCounter = 1;
    SetBusyCursor(crArrow);
    const int answer = MessageBoxExA(
        ActiveWindow(), text, CaptionOf(kind), static_cast<uint32_t>(kind + buttons), LANG_SPANISH);
    if (remembered > 0) {
        busyCounter = remembered - 1;
        SetBusyCursor(crHourGlass);
    }
    return answer;
}

int64_t Power10(int exponent)
{
    int64_t result = 1;
    while (exponent-- > 0)
        result *= 10;
    return result;
}

} // namespace

// ---- Message boxes -------------------------------------------------------------

int ShowMessageBox(const std::string &text, int kind, int buttons)
{
    std::string shown = text;
    if (!shown.empty() && shown.back() != '.' && shown.back() != '\n' && shown.back() != '?'
        && shown.find('\t') == std::string::npos)
        shown += '.';
    return ShowBox(shown, kind, buttons);
}

bool AskYesNo(const std::string &text)
{
    return ShowMessageBox(text, MB_ICONQUESTION, MB_YESNO) == IDYES;
}
bool Confirm(const std::string &text)
{
    return AskYesNo(text + "\n\n Confirma ?");
}
void ShowError(const std::string &text)
{
    ShowMessageBox(text, MB_ICONERROR, MB_OK);
}

void RaiseError(const std::string &text)
{
    busyCounter = 1;
    SetBusyCursor(crArrow);
    std::string message = text;
    if (!message.empty() && message.back() != '.')
        message += '.';
    throw Exception(message);
}

// ---- Busy cursor ---------------------------------------------------------------

void SetBusyCursor(int16_t cursor)
{
    if (cursor == crHourGlass) {
        ++busyCounter;
        Screen->SetCursor(crHourGlass);
    } else if (cursor == crArrow) {
        if (busyCounter > 0)
            --busyCounter;
        // An inner end of a busy state keeps the hourglass.
        if (busyCounter == 0)
            Screen->SetCursor(crArrow);
    } else {
        Screen->SetCursor(cursor);
    }
}

int BusyCount()
{
    return busyCounter;
}

// ---- Strings -------------------------------------------------------------------

bool SameTrimmed(const std::string &a, const std::string &b)
{
    return Trim(a) == Trim(b);
}
bool IsBlank(const std::string &text)
{
    return SameTrimmed(text, "");
}

std::string RemoveAll(std::string text, const std::string &part)
{
    if (part.empty())
        return text;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part))
        text.erase(at, part.size());
    return text;
}

std::string Replicate(const std::string &text, int count)
{
    std::string result;
    for (int i = 0; i < count; ++i)
        result += text;
    return result;
}

std::string PadLeftZeros(const std::string &text, uint8_t width)
{
    const auto length = static_cast<int>(Utf8Length(text));
    if (length < width)
        return std::string(static_cast<size_t>(width - length), '0') + text;
    return Utf8Copy(text, length - width + 1, width);
}

std::string CopyText(const std::string &text, int start, int count)
{
    return Utf8Copy(text, start, count);
}

// ---- Numbers -------------------------------------------------------------------

double TextToFloat(const std::string &text)
{
    return IsBlank(text) ? 0.0 : StrToFloat(text);
}
Currency TextToCurr(const std::string &text)
{
    return IsBlank(text) ? Currency() : StrToCurr(text);
}
Currency TextToCurrRounded(const std::string &text)
{
    return TextToCurr(text);
}

int32_t IntPow(int32_t base, uint16_t exponent)
{
    // Repeated multiplication is exact; the range check replaces the
    // floating-point overflow the result would otherwise run into.
    __int128 result = 1;
    for (uint16_t i = 0; i < exponent; ++i) {
        result *= base;
        if (result > INT32_MAX || result < INT32_MIN)
            RaiseError("Resultado potencia entera causa desbordamiento");
        if (result == 0 || result == 1)
            break;
    }
    return static_cast<int32_t>(result);
}

int CountDecimals(double value)
{
    const double whole = std::trunc(value);
    if (!(whole >= INT32_MIN && whole <= INT32_MAX))
        RaiseInvalidOp();
    // In 80-bit extended precision, as the class library's platform works: a
    // double's fraction times a million rounded again to double can land on a
    // tie that the exact product is not (0.1000005 has six decimals, not one).
    static_assert(std::numeric_limits<long double>::digits >= 64, "long double is the 80-bit extended type");
    const long double millionths_exact = (static_cast<long double>(value) - whole) * 1000000.0L;
    const auto millionths = static_cast<int64_t>(std::nearbyint(millionths_exact)); // ties to even
    const std::string digits = PadLeftZeros(IntToStr(millionths), 6);
    const size_t last = digits.find_last_not_of('0');
    return last == std::string::npos ? 0 : static_cast<int>(last) + 1;
}

Currency RoundToDecimals(uint8_t decimals, Currency value)
{
    const int64_t unit = Power10(4 - std::min<int>(decimals, 4));
    const __int128 v = value.Value;
    __int128 scaled = v / unit;
    // The dropped part, in ten-thousandths of one unit of the last decimal kept.
    const __int128 dropped = (v < 0 ? -(v - scaled * unit) : v - scaled * unit) * 10000 / unit;
    if (dropped >= 5000)
        scaled += v < 0 ? -1 : 1;
    return Currency::FromRaw(ToCurrencyRange(scaled * unit));
}

Currency TruncToDecimals(uint8_t decimals, Currency value)
{
    const int64_t unit = Power10(4 - std::min<int>(decimals, 4));
    return Currency::FromRaw(value.Value / unit * unit);
}

// ---- The setup program's older build -------------------------------------------

namespace SetupRoutines
{

int ShowMessageBox(const std::string &text, int kind, int buttons)
{
    std::string shown = text;
    if (!shown.empty() && shown.back() != '.' && shown.back() != '?')
        shown += '.';
    return ShowBox(shown, kind, buttons);
}

bool AskYesNo(const std::string &text)
{
    return ShowMessageBox(text, MB_ICONQUESTION, MB_YESNO) == IDYES;
}
bool ConfirmContinue(const std::string &text)
{
    return AskYesNo(text + "\n\n Continúa?");
}

} // namespace SetupRoutines

#include "calculator/calcengine.h"

#include "calculator/currencyrange_p.h"
#include "calculator/zrutinas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace
{

const char *const kSymbols[] = { " ", "+", "-", "x", "/", "%", " " };

// numerator / denominator (denominator > 0) to the nearest integer, ties to
// even, exactly.
__int128 DivideHalfEven(__int128 numerator, __int128 denominator)
{
    __int128 quotient = numerator / denominator;
    __int128 remainder = numerator % denominator;
    if (remainder < 0)
        remainder = -remainder;
    const __int128 twice = remainder * 2;
    if (twice > denominator || (twice == denominator && (quotient & 1) != 0))
        quotient += numerator < 0 ? -1 : 1;
    return quotient;
}

} // namespace

void TCalcEngine::SetDecimals(uint8_t decimals)
{
    decimals_ = std::min<uint8_t>(decimals, 4);
}

void TCalcEngine::Clear()
{
    pendingOperation_ = coNone;
    accumulator_ = Currency();
    operand_ = Currency();
}

void TCalcEngine::ReadOperand(const std::string &text)
{
    operand_ = TruncToDecimals(decimals_, TextToCurr(text));
}

bool TCalcEngine::IsValidEntry(const std::string &text) const
{
    try {
        return CountDecimals(TextToFloat(text)) <= decimals_;
    } catch (const Exception &) {
        return false;
    }
}

std::string TCalcEngine::FormatValue(Currency value) const
{
    return CurrToStr(TruncToDecimals(decimals_, value));
}

std::string TCalcEngine::TapeLine(int operation, Currency value) const
{
    // Written from the exact value: a double would lose digits past fifteen.
    return std::string(Symbol(operation)) + " " + Trim(CurrToStrF(value, ffNumber, decimals_));
}

const char *TCalcEngine::Symbol(int operation)
{
    return operation >= coNone && operation <= coEquals ? kSymbols[operation] : " ";
}

int64_t TCalcEngine::Combine(int operation, int64_t accumulator, int64_t operand, uint8_t decimals)
{
    const __int128 a = accumulator, b = operand;
    switch (operation) {
    case coAdd:
        return ToCurrencyRange(a + b);
    case coSubtract:
        return ToCurrencyRange(a - b);
    case coMultiply:
        return ToCurrencyRange(DivideHalfEven(a * b, 10000));
    case coDivide:
        if (b == 0)
            RaiseError("Intento de división por cero");
        return ToCurrencyRange(DivideHalfEven(b < 0 ? -a * 10000 : a * 10000, b < 0 ? -b : b));
    case coPercent:
        return RoundToDecimals(decimals, Currency::FromRaw(ToCurrencyRange(DivideHalfEven(a * b, 1000000)))).Value;
    default:
        return operand;
    }
}

std::vector<std::string> TCalcEngine::ApplyOperation(int next)
{
    // Everything that can fail comes first, so a failure changes nothing.
    const int64_t combined = Combine(pendingOperation_, accumulator_.Value, operand_.Value, decimals_);
    const Currency result = RoundToDecimals(decimals_, Currency::FromRaw(combined));

    std::vector<std::string> lines { TapeLine(pendingOperation_, operand_) };
    operand_ = Currency();
    accumulator_ = result;
    if (next == coEquals) {
        lines.push_back("-");
        lines.push_back(TapeLine(coEquals, accumulator_));
        lines.push_back("");
        next = coNone;
    }
    pendingOperation_ = next;
    return lines;
}

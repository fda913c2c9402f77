#pragma once
// Not public API: the decimal digits behind the float and currency writers,
// shared by FloatToStrF, FormatFloat and Format.

#include <string>

#include "platform/rtl/currency.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"

// A magnitude as 0.digits x 10^exponent; no digits means zero. Trailing zeros
// are never kept.
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int exponent = 0;
    double source = 0; // the double the digits came from, for an exact second look
    bool approximate = false; // digits past the 40th were rounded away
};

DecimalDigits DecimalOfDouble(double value);
DecimalDigits DecimalOfCurrency(Currency value);
// Keeps `keep` significant digits, rounding half away from zero.
void RoundDecimal(DecimalDigits &d, int keep);
std::string DecimalToText(
    DecimalDigits d, TFloatFormat format, int precision, int digits, const TFormatSettings &settings);

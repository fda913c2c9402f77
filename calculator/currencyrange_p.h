#pragma once
// Not public API: shared by the calculator's engine and its number routines.

#include "platform/rtl/exceptions.h"

#include <cstdint>

// Currency results are worked out in 128 bits; one that leaves Currency's raw range is the
// fault the floating-point unit would have raised.
[[noreturn]] inline void RaiseInvalidOp()
{
    throw EInvalidOp("Invalid floating point operation");
}

inline int64_t ToCurrencyRange(__int128 value)
{
    if (value > INT64_MAX || value < INT64_MIN)
        RaiseInvalidOp();
    return static_cast<int64_t>(value);
}

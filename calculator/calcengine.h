#pragma once

#include "platform/rtl/currency.h"

#include <cstdint>
#include <string>
#include <vector>

// The calculator's arithmetic and tape, apart from any window: the
// accumulator, the operand and the operation waiting for it, all fixed-point
// values with four implied decimals, and the lines each operation writes on
// the tape. The form reads its display into the operand, applies operations
// and shows what this answers.

enum TCalcOperation {
    coNone = 0, // the first operand of a chain
    coAdd = 1,
    coSubtract = 2,
    coMultiply = 3,
    coDivide = 4,
    coPercent = 5,
    coEquals = 6, // never stays pending
};

class TCalcEngine
{
public:
    TCalcEngine() = default;

    // State
    int PendingOperation() const { return pendingOperation_; }
    Currency Accumulator() const { return accumulator_; }
    Currency Operand() const { return operand_; }
    void SetOperand(Currency operand) { operand_ = operand; }
    // The number of decimals shown, 0 to 4.
    uint8_t Decimals() const { return decimals_; }
    void SetDecimals(uint8_t decimals);
    // No operation, accumulator and operand zero.
    void Clear();

    // Numbers as the displays and the tape show them
    // Operand := the text as a value, truncated to the decimals.
    void ReadOperand(const std::string &text);
    // Whether a display text is a number with no more decimals than shown.
    bool IsValidEntry(const std::string &text) const;
    // Truncated to the decimals, without thousands separators or trailing zeros.
    std::string FormatValue(Currency value) const;
    // The operation's symbol, a blank and the number with thousands
    // separators and exactly the decimals.
    std::string TapeLine(int operation, Currency value) const;
    static const char *Symbol(int operation);

    // Applies the pending operation to the accumulator with the operand and
    // makes next the pending one; answers the tape lines it writes (for
    // equals also a rule, the total and a gap). A division by zero raises
    // "Intento de división por cero." and a result outside Currency's range
    // EInvalidOp; either way nothing has changed.
    std::vector<std::string> ApplyOperation(int next);

    // One step of the arithmetic on raw ten-thousandths, rounded half to
    // even (and, for a percentage, then to the decimals half away from zero).
    static int64_t Combine(int operation, int64_t accumulator, int64_t operand, uint8_t decimals);

private:
    int pendingOperation_ = coNone;
    Currency accumulator_;
    Currency operand_;
    uint8_t decimals_ = 2;
};

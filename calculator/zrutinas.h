#pragma once

#include "platform/rtl/currency.h"

#include <cstdint>
#include <string>

// The company's own small routines, shared by its programs: Spanish message
// boxes that suspend a nested busy cursor, error raising, string and number
// conversions, and the rounding of fixed-point values (Currency, four implied
// decimals) to a number of decimals.

// ---- Message boxes -------------------------------------------------------------

// Modal box with the caption of its icon kind (MB_ICONERROR "Error",
// MB_ICONQUESTION "Pregunta", MB_ICONINFORMATION "Información"); a period is
// added to a text that does not end a sentence. Answers the button chosen.
int ShowMessageBox(const std::string &text, int kind, int buttons);
bool AskYesNo(const std::string &text);
// Asks the text followed by an empty line and " Confirma ?".
bool Confirm(const std::string &text);
void ShowError(const std::string &text);
// Raises Exception with the text and a period, ending every busy state.
[[noreturn]] void RaiseError(const std::string &text);

// ---- Busy cursor ---------------------------------------------------------------

// crHourGlass counts one busy state up, crArrow one down (the arrow shows
// only once none is left); any other cursor is shown as it is.
void SetBusyCursor(int16_t cursor);
int BusyCount();

// ---- Strings -------------------------------------------------------------------

bool SameTrimmed(const std::string &a, const std::string &b);
bool IsBlank(const std::string &text);
// Deletes the first occurrence of part until none is left, also those that a
// deletion brings together.
std::string RemoveAll(std::string text, const std::string &part);
std::string Replicate(const std::string &text, int count);
// Zeros in front up to width characters; a longer text keeps its rightmost ones.
std::string PadLeftZeros(const std::string &text, uint8_t width);
std::string CopyText(const std::string &text, int start, int count);

// ---- Numbers -------------------------------------------------------------------

// Blank texts are 0; anything else goes through StrToFloat / StrToCurr and
// their EConvertError.
double TextToFloat(const std::string &text);
Currency TextToCurr(const std::string &text);
Currency TextToCurrRounded(const std::string &text);
// base to the power of exponent; "Resultado potencia entera causa
// desbordamiento." when it does not fit in 32 bits.
int32_t IntPow(int32_t base, uint16_t exponent);
// Significant decimals of value, 0 to 6; EInvalidOp when its integer part
// does not fit in 32 bits.
int CountDecimals(double value);
// Round half away from zero / truncate toward zero to decimals (0 to 4).
// EInvalidOp when the rounded value leaves Currency's range.
Currency RoundToDecimals(uint8_t decimals, Currency value);
Currency TruncToDecimals(uint8_t decimals, Currency value);

// ---- The setup program's older build -------------------------------------------

// The setup program carries an older build of the message boxes: the same
// captions, language and busy cursor, but its period rule looks only at the
// last character ("." or "?"), and its confirmation asks " Continúa?".
namespace SetupRoutines
{
int ShowMessageBox(const std::string &text, int kind, int buttons);
bool AskYesNo(const std::string &text);
bool ConfirmContinue(const std::string &text);
} // namespace SetupRoutines

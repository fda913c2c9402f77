#pragma once
// Not public API: the run-time library's message texts, shared by its units.

inline constexpr const char *SInvalidOp = "Invalid floating point operation";
inline constexpr const char *SZeroDivide = "Floating point division by zero";
inline constexpr const char *SInvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char *SInvalidFloat = "'%s' is not a valid floating point value";
inline constexpr const char *SInvalidDate = "'%s' is not a valid date";
inline constexpr const char *SInvalidTime = "'%s' is not a valid time";
inline constexpr const char *SInvalidDateTime = "'%s' is not a valid date and time";
inline constexpr const char *SInvalidFormat = "Format '%s' invalid or incompatible with argument";
inline constexpr const char *SArgumentMissing = "No argument for format '%s'";
inline constexpr const char *SDateEncodeError = "Invalid argument to date encode";
inline constexpr const char *STimeEncodeError = "Invalid argument to time encode";
inline constexpr const char *SInvalidTimeStamp = "'%s.%s' is not a valid timestamp";

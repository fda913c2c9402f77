#pragma once

#include <string>
#include <string_view>

// UTF-8 text and its code points. Malformed bytes decode as U+FFFD one byte at
// a time, so no input can make a scanner stop or skip past its end.

std::u32string Utf8ToCodePoints(std::string_view text);
std::string CodePointsToUtf8(std::u32string_view codePoints);
std::string CodePointToUtf8(char32_t codePoint);

// Number of code points in text.
size_t Utf8Length(std::string_view text);

// Decodes the code point starting at byte offset pos and advances pos past it.
char32_t Utf8Next(std::string_view text, size_t &pos);

// UTF-16 as the Windows wide-character calls take it; code points above
// U+FFFF become surrogate pairs, and a lone surrogate decodes as U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

#pragma once

#include <string>
#include <string_view>

class TStrings;

// Token and list routines for the library's definition lines (items separated
// by ';' or TAB). Text is UTF-8; positions count characters from 1.

// Cuts the token that starts at position and moves position past the
// delimiter that ends it, or to -1 when the token runs to the end of the text.
// A one-character delimiter is matched as it stands; a longer one is a word:
// it must have a blank on each side and matches in any case. A position of 0
// or less gives an empty token and is left alone.
void qxNextToken(std::string_view text, std::string_view delimiter, int &position, std::string &token);

// Replaces the lines of list with the items of text between delimiters; the
// last item counts even when empty, so an empty text gives one empty line.
void qxSplitText(std::string_view text, std::string_view delimiter, TStrings &list);

// Removes from the end of text every character that occurs in characters.
void qxTrimRightChars(std::string &text, std::string_view characters);

std::string qxReplaceChar(std::string_view text, char32_t oldChar, char32_t newChar);
bool qxEqualText(std::string_view a, std::string_view b); // ignoring ASCII case
int qxCountChar(std::string_view text, char32_t c);
std::string qxTextAfterChar(std::string_view text, char32_t c); // after its first occurrence; empty if none

#pragma once

#include <string>

class TStrings;

// Lists of items in one text, as the engine's definition lines and registry
// values keep them ("C:\a;C:\b"), and the path-name helpers that go with them.

// The n-th item (from 1; below 1 counts as 1) of text cut at delimiter, which
// may be longer than one character. An item past the last is "", and so is an
// empty item between two delimiters.
std::string GetItem(const std::string &text, int n, const std::string &delimiter);

// The number of characters of text equal to delimiter, plus one when text is
// not empty and does not end in ';' (whatever the delimiter: lists of the
// engine end in ';' or in an item).
int CountItems(const std::string &text, const std::string &delimiter);

// Clears list and adds items 1 .. CountItems of text.
void SplitToList(const std::string &text, const std::string &delimiter, TStrings &list);

std::string AddTrailingBackslash(const std::string &path); // unless empty or already there
std::string RemoveTrailingBackslash(const std::string &path); // one only: "C:\" gives "C:"
std::string TextAfterColon(const std::string &text); // "" when there is no ':'

// A text made fit for a file name: '/' becomes '-', and \ : * ? " < > | are
// dropped; everything else, accented letters and control characters too, stays.
std::string FilterFileName(const std::string &text);

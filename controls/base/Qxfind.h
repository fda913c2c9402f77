#pragma once

#include <string>

class TDataSet;

// Finding the next record whose field matches a text: exactly (match type 0),
// at its start (1) or anywhere (2), as written (case flag) or ignoring case.
// On a table whose active index leads with the field it jumps with the index;
// otherwise it scans the records under the hour-glass, reading the field
// straight from the engine without moving the dataset, and moves only to a
// record found. On failure the dataset stays where the search began.

// From first: search from the first record, testing it too; else from the
// record after the current one.
bool FindMatch(bool fromFirst, TDataSet *dataset, const std::string &fieldName, bool caseSensitive,
    int matchType, const std::string &value);

// The text test: value arrives upper-cased when not case-sensitive.
bool qxMatchText(const std::string &fieldText, const std::string &value, int matchType, bool caseSensitive);

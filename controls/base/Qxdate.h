#pragma once

#include <string_view>

#include "platform/rtl/datetime.h"

// Date and time scanning after the user's regional settings (FormatSettings:
// ShortDateFormat, DateSeparator, TimeSeparator, TimeAMString, TimePMString,
// ShortMonthNames, DecimalSeparator), read at every call. Text is UTF-8;
// positions and carets count characters, positions from 1, carets from 0
// (the caret before the first character). Failures answer false or 0; none
// of these raises.

// The order of day, month and year in a date format.
enum TqxDateOrder {
    qxdoMDY = 0,
    qxdoDMY = 1,
    qxdoYMD = 2,
};

// The part of a date or time text that a caret is in.
enum TqxDateTimePart {
    qxdpDay = 0,
    qxdpMonth = 1,
    qxdpYear = 2,
    qxdpHour = 3,
    qxdpMinute = 4,
    qxdpSecond = 5,
    qxdpAmPm = 6,
};

// Scanning from position, which is left past what was read and the blanks
// after it. A two-digit year falls in the hundred years from epoch on; a date
// without a year is in the current year. A month may be written as its short
// name when that has three letters.
bool qxScanDate(std::string_view text, int &position, TDateTime &date, int epoch);
bool qxScanTime(std::string_view text, int &position, TDateTime &time);

// Whole texts, two-digit years from 1950 on.
bool qxTryScanDate(std::string_view text, TDateTime &date); // the rest of the text is ignored
bool qxIsDateText(std::string_view text);
TDateTime qxTextToDateTime(std::string_view text);
TDateTime qxTextToDate(std::string_view text); // the rest of the text is ignored
TDateTime qxTextToTime(std::string_view text);
bool qxIsFloatText(std::string_view text); // the empty text passes

bool qxTryEncodeDate(int year, int month, int day, TDateTime &date);
bool qxTryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime &time);

TqxDateOrder qxDateOrder(std::string_view format);
TqxDateTimePart qxDateTimePartAt(int caret, std::string_view text, bool timeOnly);
TqxDateTimePart qxTimePartAt(int caret, std::string_view text);

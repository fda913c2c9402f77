#pragma once

#include "platform/rich/richdoc.h"
#include "platform/rtl/exceptions.h"

#include <cstddef>
#include <string>
#include <string_view>

// Our own reader and writer of the Rich Text Format, for what the rich edit
// holds: fonts, colours, character formats, paragraphs with tabs, indents and
// spacing, bullets, hyperlinks, Unicode text through \u and through the code
// pages of \ansicpg and \fcharset, and pictures and objects kept as opaque
// groups. Destinations the control cannot show are skipped.
//
// The input is untrusted. Damaged or hostile data (deep nesting, huge
// numbers, truncation, bad hex, a \bin longer than what follows) gives
// ERtfError with the fault and its byte offset, or, where a reader of RTF is
// expected to carry on, a best-effort document; never more work than the
// input's size warrants.

ORVEX_EXCEPTION(ERtfError, Exception);

// Groups nested deeper than this are refused.
constexpr int kRtfMaxDepth = 512;

// Whether data starts like an RTF document ("{\rtf").
bool IsRtf(std::string_view data);

// Raises ERtfError when data is not RTF at all or is broken beyond repair.
TRichDocument ReadRtf(std::string_view data);

// RTF that ReadRtf reads back into the same document.
std::string WriteRtf(const TRichDocument &document);

// Decodes bytes of a Windows code page (1252, 1250, 932, ...) into UTF-8;
// bytes the code page does not map become U+FFFD.
std::string DecodeCodePage(std::string_view bytes, int codePage);
// The code page of an RTF \fcharset value, or 0 for none.
int CodePageOfCharset(int charset);

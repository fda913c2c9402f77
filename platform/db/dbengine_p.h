#pragma once
// Not public API: what the engine's own units share.

#include "platform/db/variants.h"

#include <string>

// SQLite's order of two values: null, then numbers, then texts (bytewise, or
// with ASCII letters folded), then blobs.
int CompareValues(const Variant &a, const Variant &b, bool caseInsensitive);

// The SQL text of a query-by-example text; EDBEngineError DBIERR_QBESYNTAX
// for what the translation does not cover.
std::string TranslateQbe(const std::string &text, bool blanksAsZero);

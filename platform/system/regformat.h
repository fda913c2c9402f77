#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"

// Registry errors, including a hive file that cannot be read.
ORVEX_EXCEPTION(ERegistryException, Exception);

// Value types as the registry stores them.
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_DWORD_BIG_ENDIAN = 5;
constexpr uint32_t REG_LINK = 6;
constexpr uint32_t REG_MULTI_SZ = 7;
constexpr uint32_t REG_QWORD = 11;

// One value. Data holds the bytes a caller reads: string types as the bytes
// written (UTF-8 text as a rule, but any bytes come back) without a
// terminating zero (REG_MULTI_SZ: each string followed by a zero, then one
// more zero), REG_DWORD as four little-endian bytes.
struct TRegValue {
    std::string Name; // "" is the key's default value
    uint32_t Type = REG_NONE;
    std::string Data;
};

struct TCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};
bool RegSameName(std::string_view a, std::string_view b); // names compare as Windows compares them

// One key and everything below it. Subkeys are listed in name order, values in
// the order they were created; names keep the case they were created with.
struct TRegKeyNode {
    std::string Name;
    std::vector<TRegValue> Values; // changed only through SetValue and DeleteValue
    std::map<std::string, std::unique_ptr<TRegKeyNode>, TCaseLess> SubKeys;
    // Where each value is in Values: a key of thousands of values is looked up
    // once per change.
    std::map<std::string, size_t, TCaseLess> ValueSlots;

    TRegKeyNode *SubKey(std::string_view name) const;
    TRegKeyNode &AddSubKey(std::string_view name); // the existing one when there is one
    const TRegValue *Value(std::string_view name) const;
    TRegValue &SetValue(std::string_view name, uint32_t type, std::string data);
    bool DeleteValue(std::string_view name);
};

// The registry editor's export format ("Windows Registry Editor Version 5.00"):
// one [HKEY_...\Key] section per key, "Name"="text" with \\ and \" escapes,
// @= for the default value, dword:, hex: and hex(n): data (string types in
// hex as UTF-16LE; a string that is not UTF-8 text on one line is always
// written so, its bytes that are no UTF-8 as U+DC00 + byte), long hex data
// continued with a trailing backslash.
//
// ParseRegFile reads the text of one hive file whose sections all lie below
// rootName; anything it does not understand raises ERegistryException
// "Damaged registry file <fileName>, line <n>: <what>".
std::unique_ptr<TRegKeyNode> ParseRegFile(
    std::string_view text, std::string_view fileName, std::string_view rootName);
std::string WriteRegFile(const TRegKeyNode &root, std::string_view rootName);

// Splits a key path at backslashes; empty components (doubled or leading
// backslashes) are dropped.
std::vector<std::string> SplitKeyPath(std::string_view path);

#pragma once

#include <functional>
#include <string>

#include "platform/system/registry.h"

// The engine's registry routines. Each one works with a registry object of its
// own; key paths starting with '\' are taken from the root.

// Root keys as the engine passes them. Values outside rkClassesRoot ..
// rkUsers stand for the registry object's default root key
// (HKEY_CURRENT_USER).
enum TRootKey : int {
    rkClassesRoot = 0,
    rkCurrentConfig = 1,
    rkCurrentUser = 2,
    rkDynData = 3,
    rkLocalMachine = 4,
    rkUsers = 5,
};

// Writes open key, creating it. Failures raise EIRCannotWriteValue: strings with
// "Cannot install into registry. Key: %s Ident: %s Value %s", integers with
// the key as the message.
void RegWriteString(TRootKey root, const std::string &key, const std::string &name, const std::string &value);
void RegWriteInteger(TRootKey root, const std::string &key, const std::string &name, int value);

// fallback unless key exists and holds name; a value that cannot be read
// gives fallback too.
std::string RegReadString(
    TRootKey root, const std::string &key, const std::string &name, const std::string &fallback);
// The same, with the fallback worked out only when it is needed.
std::string RegReadString(TRootKey root, const std::string &key, const std::string &name,
    const std::function<std::string()> &fallback);
int RegReadInteger(TRootKey root, const std::string &key, const std::string &name, int fallback);

// Deletes key with everything below it, or a value of it; nothing when they
// do not exist, and failures are ignored.
void RegDeleteKeyTree(TRootKey root, const std::string &key);
void RegDeleteValue(TRootKey root, const std::string &key, const std::string &name);

// The TRootKey of a root-key handle; fallback for any other handle.
TRootKey RootKeyIndex(HKEY handle, TRootKey fallback);

// Writes a string value into HKEY_LOCAL_MACHINE
// "\Software\Microsoft\Windows\CurrentVersion\RunOnce" (created when missing).
// With numbered, the value takes the first free name of name, name1, name2,
// ... False when the key cannot be opened or the value not written.
bool WriteRunOnce(const std::string &name, const std::string &value, bool numbered);

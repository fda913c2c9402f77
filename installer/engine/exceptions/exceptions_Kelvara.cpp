#include "installer/engine/exceptions/exceptions_Kelvara.h"

#include <mutex>

namespace
{

std::mutex hookLock;
TTranslateStringHook &Hook()
{
    static TTranslateStringHook hook;
    return hook;
}

} // namespace

void SetTranslateStringHook(TTranslateStringHook hook)
{
    std::lock_guard guard(hookLock);
    Hook() = std::move(hook);
}

std::string TranslateString(const std::string &text)
{
    TTranslateStringHook hook;
    {
        std::lock_guard guard(hookLock);
        hook = Hook();
    }
    return hook ? hook(text) : text;
}

std::string TranslateFormatArgs(const std::string &format, std::span<const TFormatArg> args)
{
    const std::string translated = TranslateString(format);
    try {
        return FormatArgs(translated, args);
    } catch (const EConvertError &) {
        if (translated == format)
            return format;
    }
    try {
        return FormatArgs(format, args);
    } catch (const EConvertError &) {
        return format;
    }
}

#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

// ---- Translation of messages ------------------------------------------------

// Every message of the toolkit is written in English and passes through
// TranslateString before it is raised or shown. The translator plugs its
// lookup in with SetTranslateStringHook; without one, a text stands as written.
using TTranslateStringHook = std::function<std::string(const std::string &text)>;
void SetTranslateStringHook(TTranslateStringHook hook); // an empty hook restores the English wording
std::string TranslateString(const std::string &text);

// Format with the translated format text. A translation whose specifiers do
// not fit the arguments must not turn one error into another, so the English
// format is used then (and the bare English text if even that does not fit).
std::string TranslateFormatArgs(const std::string &format, std::span<const TFormatArg> args);
template <typename... Args> std::string TranslateFormat(const std::string &format, const Args &...args)
{
    const std::array<TFormatArg, sizeof...(Args)> list { TFormatArg(args)... };
    return TranslateFormatArgs(format, list);
}

// ---- The toolkit's exceptions -------------------------------------------------

// Installer events.
ORVEX_EXCEPTION(EAI, Exception);
class EAIUserAbort : public EAI
{
public:
    EAIUserAbort()
        : EAI("Installation aborted by the user")
    {
    } // never translated
    const char *ClassName() const override { return "EAIUserAbort"; }
};
ORVEX_EXCEPTION(EAICannotExpandContainerDirMV, EAI);
ORVEX_EXCEPTION(EAICannotExpandInstallDirMV, EAI);

// Abnormal conditions of the toolkit; their messages are raised as written.
ORVEX_EXCEPTION(ECustomKelvaraAbnormal, Exception);
ORVEX_EXCEPTION(EKelvaraAbnormal, ECustomKelvaraAbnormal);
ORVEX_EXCEPTION(EKvraCompress, EKelvaraAbnormal);
ORVEX_EXCEPTION(EkcDiskFull, EKvraCompress);
ORVEX_EXCEPTION(EkcAborted, EKvraCompress);
ORVEX_EXCEPTION(EAPIRoutines, EKelvaraAbnormal);

// The translated exception: IException(Msg) carries the translation of Msg;
// IException(Fmt, args...) formats the translation of Fmt with args.
class IException : public ECustomKelvaraAbnormal
{
public:
    explicit IException(const std::string &message)
        : ECustomKelvaraAbnormal(TranslateString(message))
    {
    }
    template <typename A, typename... Args>
    IException(const std::string &format, const A &arg, const Args &...args)
        : ECustomKelvaraAbnormal(TranslateFormat(format, arg, args...))
    {
    }
    const char *ClassName() const override { return "IException"; }
};

// One translated exception per component family.
ORVEX_EXCEPTION(IEPathSpecifier, IException);
ORVEX_EXCEPTION(IEPathSpecifierList, IException);
ORVEX_EXCEPTION(IEInstallContainer, IException);
ORVEX_EXCEPTION(IEFileRelated, IException);
ORVEX_EXCEPTION(IEFileRel_NoNetLocation, IEFileRelated);
ORVEX_EXCEPTION(IEFileContainer, IException);
ORVEX_EXCEPTION(IEfcDuplicateFile, IEFileContainer);
ORVEX_EXCEPTION(IENoKelvaraPath, IException);
ORVEX_EXCEPTION(IECustomInstallFile, IException);
ORVEX_EXCEPTION(IECustomInstallFileList, IException);
ORVEX_EXCEPTION(IEContainerList, IException);
ORVEX_EXCEPTION(IEInstall, IException);
ORVEX_EXCEPTION(IEInstallNetLocNil, IEInstall);
ORVEX_EXCEPTION(IEUninstallEXE, IException);
ORVEX_EXCEPTION(IEInstallShellLink, IException);
ORVEX_EXCEPTION(IEShellLinkGroup, IException);
ORVEX_EXCEPTION(IEInstallShellLinkList, IException);
ORVEX_EXCEPTION(IEFileGroupSelectForm, IException);

// A value that could not be written into the registry.
ORVEX_EXCEPTION(EIRCannotWriteValue, Exception);

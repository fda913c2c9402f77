#include <gtest/gtest.h>

#include <map>

#include "installer/engine/exceptions/exceptions_Kelvara.h"

namespace
{

// A translator stand-in: a table of English texts and their translations.
class TranslationScope
{
public:
    explicit TranslationScope(std::map<std::string, std::string> table)
    {
        SetTranslateStringHook([table = std::move(table)](const std::string &text) {
            auto it = table.find(text);
            return it == table.end() ? text : it->second;
        });
    }
    ~TranslationScope() { SetTranslateStringHook(nullptr); }
};

template <typename Base> bool Is(const Exception &e)
{
    return dynamic_cast<const Base *>(&e) != nullptr;
}

TEST(ToolkitExceptions, FamiliesDescendAsTheToolkitArrangesThem)
{
    EXPECT_TRUE(Is<EKvraCompress>(EkcDiskFull("x")));
    EXPECT_TRUE(Is<EKelvaraAbnormal>(EkcAborted("x")));
    EXPECT_TRUE(Is<EKelvaraAbnormal>(EAPIRoutines("x")));
    EXPECT_TRUE(Is<ECustomKelvaraAbnormal>(IEInstall("x")));
    EXPECT_TRUE(Is<IEFileContainer>(IEfcDuplicateFile("x")));
    EXPECT_TRUE(Is<IEInstall>(IEInstallNetLocNil("x")));
    EXPECT_TRUE(Is<IEFileRelated>(IEFileRel_NoNetLocation("x")));
    EXPECT_TRUE(Is<EAI>(EAICannotExpandInstallDirMV("x")));
    EXPECT_TRUE(Is<EAI>(EAIUserAbort()));
    EXPECT_FALSE(Is<ECustomKelvaraAbnormal>(EAIUserAbort()));
    EXPECT_FALSE(Is<IException>(EAPIRoutines("x")));
    EXPECT_FALSE(Is<ECustomKelvaraAbnormal>(EIRCannotWriteValue("x")));
    EXPECT_STREQ(IEfcDuplicateFile("x").ClassName(), "IEfcDuplicateFile");
    EXPECT_STREQ(EAIUserAbort().ClassName(), "EAIUserAbort");
}

TEST(ToolkitExceptions, MessagesPassThroughTheTranslator)
{
    TranslationScope spanish({ { "Cannot find the file %s", "No se encuentra el archivo %s" },
        { "Aborted by user", "Cancelado por el usuario" },
        { "Installation aborted by the user", "Instalación cancelada" },
        { "Disk %d of %s", "Disco %s de %d" } });
    EXPECT_EQ(IEInstall("Aborted by user").Message(), "Cancelado por el usuario");
    EXPECT_EQ(
        IEInstall("Cannot find the file %s", "setup.1").Message(), "No se encuentra el archivo setup.1");
    EXPECT_EQ(IEInstall("No entry for this text").Message(), "No entry for this text");
    EXPECT_EQ(IEInstall("No entry %s for %d", "x", 3).Message(), "No entry x for 3");
    // a translation whose specifiers do not fit the arguments
    EXPECT_EQ(IEInstall("Disk %d of %s", 2, "A:").Message(), "Disk 2 of A:");
    // nor the English one: the text stands as written instead of a format error
    EXPECT_EQ(IEInstall("Bad %d", "text").Message(), "Bad %d");
    // the user's cancel is never translated
    EXPECT_EQ(EAIUserAbort().Message(), "Installation aborted by the user");
    // untranslated families
    EXPECT_EQ(EKvraCompress("Cannot find the file %s").Message(), "Cannot find the file %s");
}

TEST(ToolkitExceptions, WithoutATranslatorEnglishStands)
{
    EXPECT_EQ(TranslateString("Aborted by user"), "Aborted by user");
    EXPECT_EQ(IEPathSpecifier("%s must be a %s", "psSystem", "TInstallObject").Message(),
        "psSystem must be a TInstallObject");
}

} // namespace

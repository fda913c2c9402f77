// The translator's string tables: the input's lines as a language's table.
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzFolder();
    TStringList lines;
    lines.SetText(std::string(AsText(data, size)));
    TTranslator translator(nullptr);
    try {
        translator.lgSpanish()->SetStrings(&lines);
    } catch (const Exception &) {
        return 0; // a faulty table is refused, which is right
    }
    TLanguage *language = translator.lgSpanish();
    if (language->StringCount() > 0)
        ++FuzzReached();
    for (int i = 0; i < language->StringCount(); ++i)
        language->FindStringByGLID(language->StringItem(i)->GLID());
    for (int i = 0; i < language->MemoCount(); ++i)
        language->MemoItem(i);
    return 0;
}

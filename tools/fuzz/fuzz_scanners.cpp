// The string and date scanning routines over any text; the first byte picks
// the date order and epoch the scanners use.
#include "controls/base/Qxdate.h"
#include "controls/base/Qxstr.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int epoch = 1900 + data[0];
    auto [text, delimiter] = SplitAtNul(data + 1, size - 1);

    int position = 1;
    TDateTime value;
    qxScanDate(text, position, value, epoch);
    position = 1;
    qxScanTime(text, position, value);
    FuzzReached() += qxTryScanDate(text, value);
    qxIsDateText(text);
    qxIsFloatText(text);
    for (auto convert : { qxTextToDateTime, qxTextToDate, qxTextToTime }) {
        try {
            convert(text);
        } catch (const Exception &) {
            // refusing the text is what a scanner may do
        }
    }
    qxDateOrder(text);
    for (int caret = 0; caret <= static_cast<int>(text.size()) + 1; caret += 1 + static_cast<int>(text.size()) / 8) {
        qxDateTimePartAt(caret, text, false);
        qxTimePartAt(caret, text);
    }

    position = 1;
    std::string token;
    for (int round = 0; round < 64 && position <= static_cast<int>(text.size()); ++round)
        qxNextToken(text, delimiter, position, token);
    TStringList list;
    qxSplitText(text, delimiter, list);
    std::string trimmed = text;
    qxTrimRightChars(trimmed, delimiter);
    qxCountChar(text, U',');
    qxTextAfterChar(text, U'=');
    qxEqualText(text, delimiter);
    return 0;
}

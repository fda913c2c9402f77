// Picture masks: the input is a picture, a NUL and a text; both auto-fill
// settings are matched and checked.
#include "controls/base/Qxpict.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto [picture, text] = SplitAtNul(data, size);
    for (bool autoFill : { false, true }) {
        TqxPictureValidator validator(picture, autoFill);
        std::string input = text;
        validator.MatchPicture(input, autoFill);
        input = text;
        validator.CheckInput(input, false);
        FuzzReached() += validator.CheckValid(text);
    }
    return 0;
}

// The date/time picker's text engine under random keys: the input is a
// display format, a NUL, a byte of settings and then one byte per key (or
// per cut, paste or click). Whatever the keys, the selected part stays among
// the parts there are.
#include "controls/widgets/qxdttext.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/testing.h"
#include "tests/controls/widgets/dttext_host.h"
#include "tools/fuzz/fuzz_support.h"

#include <algorithm>

namespace
{

const uint16_t keys[] = { VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_BACK, VK_DELETE, VK_SPACE, VK_F2,
    VK_DIVIDE, VK_NUMPAD0 + 7, VK_ADD, VK_SUBTRACT, 'A', 'M', 'P', 'V', 'L', 'D' };

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto [format, rest] = SplitAtNul(data, size);
    if (rest.empty())
        return 0;
    SetClock([] { return EncodeDate(2026, 12, 9) + EncodeTime(14, 30, 15, 0); });
    BeepCounter beeps;
    const uint8_t settings = static_cast<uint8_t>(rest[0]);
    TFormatSettingsScope regional(settings & 1 ? EnglishFormatSettings() : SpanishFormatSettings());
    TDateTimeTextHost host;
    host.canEdit = !(settings & 2);
    host.field = static_cast<TqxDTFieldKind>((settings >> 2) & 3);
    TqxDateTimeText engine(host);
    engine.DisplayFormat = format;
    engine.UnboundDataType = static_cast<TqxDTEditDataType>(((settings >> 4) & 3) % 3);
    engine.DateFormat = settings & 64 ? dfLong : dfShort;
    engine.AutoAdvance = !(settings & 128);
    engine.Value = EncodeDate(2001, 1, 31) + EncodeTime(9, 5, 0, 0);
    engine.Cleared = false;
    engine.ShowText();
    engine.SelectCurrentPart();

    const int count = std::max(1, engine.CountParts(engine.ExpandDisplayFormat()));
    for (size_t i = 1; i < rest.size() && i < 256; ++i) {
        const uint8_t b = static_cast<uint8_t>(rest[i]);
        const TShiftState shift = b & 0x80 ? TShiftState { ssShift } : TShiftState {};
        const uint8_t action = b & 0x7F;
        if (action < 10) {
            uint16_t key = static_cast<uint16_t>('0' + action);
            engine.KeyDown(key, shift, qxKeyCharacter(key, shift));
        } else if (action < 10 + std::size(keys)) {
            uint16_t key = keys[action - 10];
            engine.KeyDown(key, shift, qxKeyCharacter(key, shift));
        } else if (action == 40) {
            engine.Cut();
        } else if (action == 41) {
            engine.Paste(host.text);
        } else if (action == 42) {
            engine.Paste("3/4/2005 10:11:12");
        } else if (action == 43) {
            engine.CommitTyping();
        } else if (action >= 64) {
            engine.SelectPartAt((action - 64) * 4, [](const std::string &text) { return 7 * static_cast<int>(text.size()); });
        }
        if (engine.Part < 1 || engine.Part > count)
            std::abort(); // the selected part is not one of the parts there are
        ++FuzzReached();
    }
    SetClock({});
    return 0;
}

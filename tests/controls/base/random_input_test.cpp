// Random pictures and texts against the validator and the scanners: nothing
// may crash or hang, and every answer must be one the callers know. The seed
// is fixed so that a failure can be replayed.
#include "controls/base/Qxdate.h"
#include "controls/base/Qxpict.h"
#include "controls/base/Qxstr.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/utf8.h"

namespace
{

class TRandom
{
public:
    explicit TRandom(uint32_t seed)
        : engine_(seed)
    {
    }

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
    bool OneIn(int n) { return Below(n) == 0; }

    // One character of a set given as UTF-8.
    std::string Pick(const std::u32string &set)
    {
        return CodePointToUtf8(set[Below(static_cast<int>(set.size()))]);
    }

private:
    std::mt19937 engine_;
};

const std::u32string kPictureChars = U"#?&~@!;*[]{},0123456789aAbZ -/.:é€ñ";
const std::u32string kTextChars = U"0123456789aZyesNO ñÉ€-/.:;,x(";

// A picture built from well-formed elements, together with a text that the
// picture was meant to accept (alternatives are not retried, so it may not).
class TPictureMaker
{
public:
    explicit TPictureMaker(TRandom &random)
        : r_(random)
    {
    }

    std::pair<std::string, std::string> Make(int depth)
    {
        picture_.clear();
        sample_.clear();
        Sequence(depth);
        if (r_.OneIn(4)) {
            picture_ += ',';
            Sequence(depth);
        }
        return { picture_, sample_ };
    }

private:
    void Sequence(int depth)
    {
        const int n = 1 + r_.Below(5);
        for (int k = 0; k < n; ++k)
            Element(depth);
    }

    void Element(int depth)
    {
        switch (depth > 0 ? r_.Below(10) : r_.Below(6)) {
        case 0:
            picture_ += '#';
            sample_ += static_cast<char>('0' + r_.Below(10));
            break;
        case 1:
            picture_ += r_.Pick(U"?&~");
            sample_ += r_.Pick(U"aZñÉ");
            break;
        case 2:
            picture_ += r_.Pick(U"@!");
            sample_ += r_.Pick(kTextChars);
            break;
        case 3: {
            const std::string literal = r_.Pick(U"-/ .:aBé€");
            picture_ += literal;
            sample_ += literal;
            break;
        }
        case 4: {
            const std::string literal = r_.Pick(U"#?*;,[]{}");
            picture_ += ";" + literal;
            sample_ += literal;
            break;
        }
        case 5:
            picture_ += r_.Pick(U"#?&");
            sample_ += r_.Pick(U"1a");
            break;
        case 6:
        case 7: {
            picture_ += '*';
            int count = r_.Below(4);
            if (r_.OneIn(20))
                count = 250 + r_.Below(100);
            if (count > 0)
                picture_ += std::to_string(count);
            const std::string saved = sample_;
            const int rounds = count > 0 ? count : r_.Below(4);
            // The element once in the picture, once per round in the sample.
            Element(depth - 1);
            const std::string once = sample_.substr(saved.size());
            sample_ = saved;
            for (int k = 0; k < rounds; ++k)
                sample_ += once;
            break;
        }
        case 8: {
            picture_ += '[';
            const size_t keep = sample_.size();
            Sequence(depth - 1);
            picture_ += ']';
            if (r_.OneIn(2))
                sample_.resize(keep);
            break;
        }
        default: {
            picture_ += '{';
            const int alternatives = 1 + r_.Below(3);
            const int chosen = r_.Below(alternatives);
            const size_t keep = sample_.size();
            std::string kept;
            for (int k = 0; k < alternatives; ++k) {
                if (k > 0)
                    picture_ += ',';
                Sequence(depth - 1);
                if (k == chosen)
                    kept = sample_.substr(keep);
                sample_.resize(keep);
            }
            sample_ += kept;
            picture_ += '}';
            break;
        }
        }
    }

    TRandom &r_;
    std::string picture_;
    std::string sample_;
};

std::string RandomText(TRandom &r, const std::u32string &set, int maxLength)
{
    std::string text;
    const int n = r.Below(maxLength + 1);
    for (int k = 0; k < n; ++k)
        text += r.Pick(set);
    return text;
}

// Variations of a text: itself, a prefix, one character changed, one added.
std::string Mutate(TRandom &r, const std::string &text)
{
    std::u32string chars = Utf8ToCodePoints(text);
    switch (r.Below(4)) {
    case 0:
        break;
    case 1:
        chars.resize(r.Below(static_cast<int>(chars.size()) + 1));
        break;
    case 2:
        if (!chars.empty())
            chars[r.Below(static_cast<int>(chars.size()))]
                = kTextChars[r.Below(static_cast<int>(kTextChars.size()))];
        break;
    default:
        chars.insert(chars.begin() + r.Below(static_cast<int>(chars.size()) + 1),
            kTextChars[r.Below(static_cast<int>(kTextChars.size()))]);
        break;
    }
    return CodePointsToUtf8(chars);
}

void CheckPicture(const std::string &picture, const std::string &input)
{
    for (const bool autoFill : { false, true }) {
        TqxPictureValidator validator(picture, autoFill);
        ASSERT_TRUE(validator.Status() == qxvsOk || validator.Status() == qxvsSyntax) << picture;
        std::string text = input;
        const int result = validator.MatchPicture(text, autoFill);
        ASSERT_GE(result, prComplete) << picture << " / " << input;
        ASSERT_LE(result, prSyntax) << picture << " / " << input;
        if (validator.Status() == qxvsSyntax) {
            ASSERT_EQ(result, prSyntax) << picture << " / " << input;
            continue;
        }
        ASSERT_EQ(result == prEmpty, input.empty()) << picture << " / " << input;
        // Matching rewrites characters in place and may only append.
        const std::u32string before = Utf8ToCodePoints(input);
        const std::u32string after = Utf8ToCodePoints(text);
        if (autoFill) {
            ASSERT_GE(after.size(), before.size()) << picture << " / " << input;
        } else {
            ASSERT_EQ(after.size(), before.size()) << picture << " / " << input;
            ASSERT_EQ(validator.CheckValid(input), result == prComplete || result == prEmpty) << picture;
        }
    }
}

TEST(RandomInput, PicturesNeverCrashOrAnswerOutsideTheCodes)
{
    TRandom r(20261209);
    TPictureMaker maker(r);
    for (int round = 0; round < 4000; ++round) {
        std::string picture;
        std::string sample;
        if (r.OneIn(4)) {
            picture = RandomText(r, kPictureChars, r.OneIn(20) ? 600 : 16);
            sample = RandomText(r, kTextChars, 12);
        } else {
            std::tie(picture, sample) = maker.Make(r.OneIn(50) ? 12 : 3);
        }
        CheckPicture(picture, sample);
        CheckPicture(picture, Mutate(r, sample));
        CheckPicture(picture, RandomText(r, kTextChars, r.OneIn(30) ? 1000 : 10));
        if (HasFatalFailure())
            return;
    }
}

TFormatSettings YearFirst()
{
    TFormatSettings fs = EnglishFormatSettings();
    fs.ShortDateFormat = "yyyy.mm.dd";
    fs.DateSeparator = U'.';
    fs.TimeAMString = "";
    return fs;
}

void CheckScanners(TRandom &r, const std::string &text)
{
    const int length = static_cast<int>(Utf8Length(text));
    TDateTime value = 0;

    int position = r.Below(length + 6) - 2;
    const int start = position;
    if (qxScanDate(text, position, value, r.Below(3000) - 500)) {
        ASSERT_GE(value, MinDateTime) << text;
        ASSERT_LE(value, MaxDateTime) << text;
        ASSERT_GT(position, start) << text;
        ASSERT_LE(position, length + 1) << text;
    }
    position = r.Below(length + 6) - 2;
    if (qxScanTime(text, position, value)) {
        ASSERT_GE(value, 0) << text;
        ASSERT_LT(value, 1) << text;
        ASSERT_LE(position, length + 1) << text;
    }
    if (qxIsDateText(text)) {
        ASSERT_TRUE(qxTryScanDate(text, value)) << text;
    }
    value = qxTextToDateTime(text);
    ASSERT_TRUE(value > MinDateTime - 1 && value < MaxDateTime + 1) << text;
    value = qxTextToDate(text);
    value = qxTextToTime(text);
    ASSERT_TRUE(value >= 0 && value < 1) << text;
    (void)qxIsFloatText(text);

    for (int k = 0; k < 3; ++k) {
        const int caret = r.Below(length + 6) - 2;
        const int part = qxDateTimePartAt(caret, text, r.OneIn(2));
        ASSERT_TRUE(part >= qxdpDay && part <= qxdpAmPm) << text << " @" << caret;
        const int timePart = qxTimePartAt(caret, text);
        ASSERT_TRUE(timePart >= qxdpHour && timePart <= qxdpAmPm) << text << " @" << caret;
    }

    // Tokens and lines put back together with their delimiter give the text.
    const std::string delimiter = r.Pick(U";:/ ñ");
    std::string joined;
    int from = 1;
    std::string token;
    for (int steps = 0; from > 0; ++steps) {
        ASSERT_LE(steps, length + 1) << text;
        const int was = from;
        qxNextToken(text, delimiter, from, token);
        if (from == -1 && token.empty() && was > length)
            break;
        joined += (steps > 0 ? delimiter : std::string()) + token;
        ASSERT_TRUE(from == -1 || from > was) << text;
    }
    if (!text.ends_with(delimiter)) {
        ASSERT_EQ(joined, text);
    }
    TStringList lines;
    qxSplitText(text, delimiter, lines);
    std::string rejoined;
    for (int k = 0; k < lines.Count(); ++k)
        rejoined += (k > 0 ? delimiter : std::string()) + lines[k];
    ASSERT_EQ(rejoined, text);
    from = 1;
    qxNextToken(text, "and", from, token);
}

TEST(RandomInput, ScannersNeverCrashOrAnswerOutsideTheirRanges)
{
    SetClock([] { return EncodeDate(2026, 12, 9) + 0.5; });
    TRandom r(1950);
    const std::u32string dateChars = U"0123456789///::..- AaPpMm";
    const TFormatSettings profiles[] = { SpanishFormatSettings(), EnglishFormatSettings(), YearFirst() };
    const char *words[] = { "Apr", "abr", "PM", "a. m.", "p. m.", "12", "1998", "ñ", "€", "\xFF" };
    for (int round = 0; round < 12000; ++round) {
        TFormatSettingsScope scope(profiles[round % 3]);
        std::string text;
        if (r.OneIn(3)) {
            const int parts = r.Below(8);
            for (int k = 0; k < parts; ++k)
                text += r.OneIn(2) ? words[r.Below(10)] : RandomText(r, dateChars, 3);
        } else {
            text = RandomText(r, r.OneIn(2) ? dateChars : kTextChars, r.OneIn(200) ? 2000 : 20);
        }
        CheckScanners(r, text);
        if (HasFatalFailure())
            break;
    }
    SetClock({});
}

} // namespace

#include "controls/base/Qxpict.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"

namespace
{

// Groups, optional parts and repetitions nest, and the matcher follows each
// level with a few calls of its own. No real picture nests more than a handful
// of levels; one nested deeper than this is a broken picture, refused by the
// syntax check before any matching, so the stack needed stays bounded.
constexpr size_t kMaxLevels = 200;

// A repetition count beyond any text length means the same as any larger one,
// so the count saturates instead of wrapping.
constexpr size_t kCountLimit = size_t(1) << 40;

bool IsDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

// Everything above the ASCII range counts as a letter, as the accented letters
// of every Latin alphabet must.
bool IsLetter(char32_t c)
{
    return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || c > 128;
}

char32_t AsciiUpper(char32_t c)
{
    return c >= U'a' && c <= U'z' ? c - 32 : c;
}

// Auto-fill writes literals up to the first of these.
bool IsSpecial(char32_t c)
{
    switch (c) {
    case 0:
    case U'!':
    case U'#':
    case U'&':
    case U'*':
    case U',':
    case U'?':
    case U'@':
    case U'[':
    case U']':
    case U'{':
    case U'}':
    case U'~':
        return true;
    default:
        return false;
    }
}

// The deepest nesting of the picture: each group, optional part and
// repetition is one level around the element it holds ("{[#]}" and "**#" have
// two, "*{#}" has two).
size_t NestingLevels(const std::u32string &pic)
{
    enum TLevel { lvGroup, lvRepetition };
    std::vector<TLevel> open;
    size_t deepest = 0;
    // A finished element also finishes the repetitions waiting for it.
    auto elementDone = [&open] {
        while (!open.empty() && open.back() == lvRepetition)
            open.pop_back();
    };
    for (size_t k = 0; k < pic.size(); ++k) {
        switch (pic[k]) {
        case U'*':
            while (k + 1 < pic.size() && IsDigit(pic[k + 1]))
                ++k;
            open.push_back(lvRepetition);
            break;
        case U'[':
        case U'{':
            open.push_back(lvGroup);
            break;
        case U']':
        case U'}':
            elementDone(); // a repetition with nothing left to repeat inside the group
            if (!open.empty())
                open.pop_back();
            elementDone();
            break;
        case U';':
            ++k;
            elementDone();
            break;
        default:
            elementDone();
            break;
        }
        deepest = std::max(deepest, open.size());
    }
    return deepest;
}

bool SyntaxOk(const std::u32string &pic)
{
    const size_t n = pic.size();
    if (n == 0 || pic[n - 1] == U';')
        return false;
    if (pic[n - 1] == U'*' && (n < 2 || pic[n - 2] != U';'))
        return false;
    long brackets = 0;
    long braces = 0;
    for (size_t k = 0; k < n; ++k) {
        switch (pic[k]) {
        case U';':
            ++k;
            break;
        case U'[':
            ++brackets;
            break;
        case U']':
            if (--brackets < 0)
                return false;
            break;
        case U'{':
            ++braces;
            break;
        case U'}':
            if (--braces < 0)
                return false;
            break;
        default:
            break;
        }
    }
    return brackets == 0 && braces == 0 && NestingLevels(pic) <= kMaxLevels;
}

// One match of a text against a picture. I walks the picture and J the text,
// both 0-based; an end mark is the picture position where a pass stops (the
// closing character of a group, or the picture's length).
class TMatcher
{
public:
    TMatcher(const std::u32string &pic, std::u32string &text)
        : pic_(pic)
        , text_(text)
    {
    }

    TqxPicResult Run(bool autoFill);
    bool Changed() const { return changed_; }

private:
    char32_t P(size_t k) const { return k < pic_.size() ? pic_[k] : 0; }
    void Consume(char32_t c);
    size_t SkipElement(size_t k, size_t end);
    bool SkipToComma(size_t end);
    int Whole();
    int Alternatives(size_t end);
    int Sequence(size_t end, bool &blankMatched);
    int Repetition(size_t end);
    int Group(size_t end);
    int OptionalRest(int r, size_t end);
    bool RestIsOptional(size_t p, size_t end);
    bool GroupIsOptional(size_t p, size_t end);

    const std::u32string &pic_;
    std::u32string &text_;
    size_t i_ = 0;
    size_t j_ = 0;
    bool changed_ = false;
};

void TMatcher::Consume(char32_t c)
{
    if (text_[j_] != c) {
        text_[j_] = c;
        changed_ = true;
    }
    ++j_;
    ++i_;
}

// Steps past one element: a character, a ;-escaped literal, a bracketed part
// or a repetition with its element.
size_t TMatcher::SkipElement(size_t k, size_t end)
{
    long brackets = 0;
    long braces = 0;
    do {
        if (k >= end)
            return end;
        switch (P(k)) {
        case U'[':
            ++brackets;
            break;
        case U']':
            --brackets;
            break;
        case U'{':
            ++braces;
            break;
        case U'}':
            --braces;
            break;
        case U';':
            ++k;
            break;
        case U'*':
            ++k;
            while (IsDigit(P(k)))
                ++k;
            k = SkipElement(k, end);
            continue;
        default:
            break;
        }
        ++k;
    } while (brackets != 0 || braces != 0);
    return std::min(k, end);
}

bool TMatcher::SkipToComma(size_t end)
{
    do
        i_ = SkipElement(i_, end);
    while (i_ < end && P(i_) != U',');
    if (i_ < end)
        ++i_;
    return i_ < end;
}

int TMatcher::Whole()
{
    i_ = 0;
    j_ = 0;
    int r = Alternatives(pic_.size());
    if (r != prError && r != prSyntax && j_ < text_.size())
        r = prError;
    return r;
}

TqxPicResult TMatcher::Run(bool autoFill)
{
    int r = Whole();
    if (r == prIncomplete && autoFill) {
        bool appended = false;
        while (i_ < pic_.size() && !IsSpecial(pic_[i_])) {
            if (pic_[i_] == U';')
                ++i_;
            text_.push_back(P(i_));
            ++i_;
            appended = true;
        }
        if (appended) {
            changed_ = true;
            r = Whole();
        }
    }
    if (r == prAmbiguous)
        return prComplete;
    if (r == prIncompNoFill)
        return prIncomplete;
    return static_cast<TqxPicResult>(r);
}

// Tries each comma-separated alternative from I in turn. The first one that
// is not an error or incomplete wins; an incomplete one is kept in case none
// does, and a later complete one counts only if it got at least as far.
int TMatcher::Alternatives(size_t end)
{
    size_t startI = i_;
    const size_t startJ = j_;
    bool incomplete = false;
    size_t incompleteI = 0;
    size_t incompleteJ = 0;
    bool blankMatched = false; // a trailing blank already stood for a literal blank
    for (;;) {
        int r = Sequence(end, blankMatched);
        if ((r == prComplete || r == prAmbiguous) && incomplete && j_ < incompleteJ) {
            r = prIncomplete;
            j_ = incompleteJ;
        }
        if (r != prIncomplete && r != prError)
            return r == prComplete && incomplete ? prAmbiguous : r;
        if (r == prIncomplete && !incomplete) {
            incomplete = true;
            incompleteI = i_;
            incompleteJ = j_;
        }
        i_ = startI;
        j_ = startJ;
        if (!SkipToComma(end)) {
            if (!incomplete)
                return r;
            i_ = incompleteI;
            j_ = incompleteJ;
            return prIncomplete;
        }
        startI = i_;
    }
}

// One alternative, element by element, until the end mark or a comma.
int TMatcher::Sequence(size_t end, bool &blankMatched)
{
    int r = prEmpty;
    while (i_ < end && P(i_) != U',') {
        if (j_ >= text_.size())
            return OptionalRest(r, end);
        const char32_t c = text_[j_];
        switch (P(i_)) {
        case U'#':
            if (!IsDigit(c))
                return prError;
            Consume(c);
            break;
        case U'?':
            if (!IsLetter(c))
                return prError;
            Consume(c);
            break;
        case U'&':
            if (!IsLetter(c))
                return prError;
            Consume(AnsiUpperChar(c));
            break;
        case U'~':
            if (!IsLetter(c))
                return prError;
            Consume(AnsiLowerChar(c));
            break;
        case U'!':
            Consume(AnsiUpperChar(c));
            break;
        case U'@':
            Consume(c);
            break;
        case U'*':
            r = Repetition(end);
            if (r != prComplete && r != prAmbiguous)
                return r;
            break;
        case U'{':
            r = Group(end);
            if (r != prComplete && r != prAmbiguous)
                return r;
            break;
        case U'[':
            r = Group(end);
            if (r == prIncomplete || r == prIncompNoFill)
                return r;
            if (r == prError)
                r = prAmbiguous; // the optional part is left out
            break;
        case U';':
            ++i_;
            [[fallthrough]];
        default: {
            // A blank typed last may stand for the next literal, so that the
            // space bar moves over a separator; only once per pass, so that it
            // cannot also stand for the literal after that.
            const char32_t literal = P(i_);
            const bool lastBlank = c == U' ' && j_ + 1 == text_.size();
            if (AsciiUpper(c) == AsciiUpper(literal)) {
                if (lastBlank)
                    blankMatched = true;
                Consume(literal);
            } else if (lastBlank && !blankMatched) {
                Consume(literal);
            } else {
                return prError;
            }
            break;
        }
        }
        r = r == prAmbiguous ? prIncompNoFill : prIncomplete;
    }
    return r == prIncompNoFill ? prAmbiguous : prComplete;
}

int TMatcher::Repetition(size_t end)
{
    size_t k = i_ + 1;
    size_t count = 0;
    while (IsDigit(P(k))) {
        count = std::min(count * 10 + (P(k) - U'0'), kCountLimit);
        ++k;
    }
    if (k > end)
        return prSyntax;
    const size_t elementEnd = SkipElement(k, end);
    int r = prComplete;
    if (count > 0) {
        for (size_t round = 0; round < count; ++round) {
            i_ = k;
            const size_t before = j_;
            r = Alternatives(elementEnd);
            if (r != prComplete && r != prAmbiguous) {
                if (r == prEmpty)
                    r = P(i_) == U'[' ? prComplete : prIncomplete;
                return r;
            }
            // A round that consumed nothing leaves everything as it was, so
            // every further round would end the same way.
            if (j_ == before)
                break;
        }
    } else {
        size_t before;
        do {
            i_ = k;
            before = j_;
            r = Alternatives(elementEnd);
        } while ((r == prComplete || r == prAmbiguous) && j_ > before);
        if (r == prEmpty || r == prError)
            r = prAmbiguous;
    }
    i_ = elementEnd;
    return r;
}

int TMatcher::Group(size_t end)
{
    const size_t groupEnd = SkipElement(i_, end);
    ++i_;
    const int r = Alternatives(groupEnd - 1);
    if (r != prIncomplete && r != prIncompNoFill)
        i_ = groupEnd;
    return r;
}

// The input has run out at I: an incomplete result is complete after all
// when everything left up to the end mark may be left out.
int TMatcher::OptionalRest(int r, size_t end)
{
    if (r != prIncomplete && r != prIncompNoFill)
        return r;
    return RestIsOptional(i_, end) ? prAmbiguous : r;
}

bool TMatcher::RestIsOptional(size_t p, size_t end)
{
    while (p < end) {
        switch (P(p)) {
        case U'*':
            if (!IsDigit(P(p + 1)))
                p = SkipElement(p + 1, end);
            else if (P(p + 2) == U'[')
                p = SkipElement(p + 2, end);
            else
                return false;
            break;
        case U',':
            return true; // this alternative is done; the others need not be
        case U'[':
            p = SkipElement(p, end);
            break;
        case U'{':
            if (!GroupIsOptional(p, end))
                return false;
            p = SkipElement(p, end);
            break;
        default:
            return false;
        }
    }
    return true;
}

// A group may be left out when one of its alternatives may be.
bool TMatcher::GroupIsOptional(size_t p, size_t end)
{
    const size_t inner = SkipElement(p, end) - 1;
    size_t q = p + 1;
    for (;;) {
        if (RestIsOptional(q, inner))
            return true;
        do
            q = SkipElement(q, inner);
        while (q < inner && P(q) != U',');
        if (q >= inner)
            return false;
        ++q;
    }
}

} // namespace

struct TqxPictureValidator::Impl {
    uint16_t status = qxvsOk;
    uint16_t options = qxvoPicture;
    std::string picture;
    std::u32string codePoints; // the picture, decoded once
    bool syntaxOk = false;
};

TqxPictureValidator::TqxPictureValidator(const std::string &picture, bool autoFill)
    : d(std::make_unique<Impl>())
{
    if (autoFill)
        d->options |= qxvoAutoFill;
    d->picture = picture;
    d->codePoints = Utf8ToCodePoints(picture);
    d->syntaxOk = SyntaxOk(d->codePoints);
    std::string empty;
    if (TqxPictureValidator::MatchPicture(empty, false) != prEmpty)
        d->status = qxvsSyntax;
}

TqxPictureValidator::~TqxPictureValidator() = default;

bool TqxPictureValidator::CheckInput(std::string &text, bool suppressFill)
{
    if (d->picture.empty())
        return true;
    return MatchPicture(text, (d->options & qxvoAutoFill) != 0 && !suppressFill) != prError;
}

bool TqxPictureValidator::CheckValid(const std::string &text)
{
    if (d->picture.empty())
        return true;
    std::string copy = text;
    const TqxPicResult r = MatchPicture(copy, false);
    return r == prComplete || r == prEmpty;
}

TqxPicResult TqxPictureValidator::MatchPicture(std::string &text, bool autoFill)
{
    if (!d->syntaxOk)
        return prSyntax;
    if (text.empty())
        return prEmpty;
    std::u32string input = Utf8ToCodePoints(text);
    TMatcher matcher(d->codePoints, input);
    const TqxPicResult r = matcher.Run(autoFill);
    // Text the matcher left alone keeps its bytes, malformed ones included.
    if (matcher.Changed())
        text = CodePointsToUtf8(input);
    return r;
}

uint16_t TqxPictureValidator::Status() const
{
    return d->status;
}

uint16_t TqxPictureValidator::Options() const
{
    return d->options;
}

const std::string &TqxPictureValidator::Picture() const
{
    return d->picture;
}

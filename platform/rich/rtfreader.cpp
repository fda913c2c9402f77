#include "platform/rich/rtf.h"

#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>

// The reader walks the bytes once. Each "{" saves the group state (character
// and paragraph attributes, destination, \uc count) and each "}" restores
// it; text goes wherever the current destination says. Bytes given through
// \'hh (or raw 8-bit bytes) are collected and decoded together, so that the
// two bytes of a double-byte code page meet. Groups the control cannot show
// are skipped by a raw scan that still honours \bin, and pictures and
// objects are cut out whole by the same scan.

namespace
{

enum class TDest : uint8_t {
    Text,
    FontTable,
    ColorTable,
    FieldInstruction,
    Numbering, // \*\pn: the paragraph's bullet
    Ignore, // content read for its control words only
};

struct TFont {
    std::string name;
    int charset = kRichDefaultCharset;
    int codePage = 0;
};

struct TGroupState {
    TDest dest = TDest::Text;
    int font = -1; // -1: the default font
    int size = 24;
    int color = 0; // colour table index, 0 automatic
    bool bold = false, italic = false, underline = false, strikeOut = false, protect = false;
    TRichVerticalOffset offset = rvoNone;
    int uc = 1;
    int field = -1; // the field whose result this group is, or -1
    int ownsField = -1; // the field that this group's \field began, or -1
    TRichParaFormat para;
    int sl = 0; // \sl and \slmult, turned into a rule when the paragraph ends
    bool slMult = false;
    TRichTabKind tabKind = rtkLeft;
    bool numberingBullet = false; // seen \pnlvlblt in a \pn group
};

struct TField {
    std::string instruction;
    std::string link;
};

constexpr int kMaxTabs = 32;
constexpr int kMaxTwips = 31680; // 22 inches

int Clamp(int value, int low, int high)
{
    return std::min(std::max(value, low), high);
}

bool IsLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}
int HexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr size_t kMaxFontName = 256; // bytes
constexpr size_t kMaxInstruction = 16384;
constexpr size_t kMaxLink = 4096;

// Appends the whole characters of utf8 that still fit below cap, leaving
// out control characters when asked.
void AppendCapped(std::string &to, std::string_view utf8, size_t cap, bool dropControls)
{
    for (size_t pos = 0; pos < utf8.size();) {
        size_t start = pos;
        Utf8Next(utf8, pos);
        if (dropControls && static_cast<unsigned char>(utf8[start]) < 0x20)
            continue;
        if (to.size() + (pos - start) > cap)
            return;
        to.append(utf8.substr(start, pos - start));
    }
}

// Destinations shown as nothing: their content is skipped whole.
bool IsSkippedDestination(std::string_view word)
{
    static const std::array<std::string_view, 24> skipped = { "info", "stylesheet", "header", "headerl",
        "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "footnote", "pntext", "listtext",
        "listtable", "listoverridetable", "rsidtbl", "xmlnstbl", "themedata", "colorschememapping",
        "latentstyles", "datastore", "generator", "filetbl", "revtbl" };
    return std::find(skipped.begin(), skipped.end(), word) != skipped.end();
}

// Groups kept byte for byte as one embedded object.
bool IsObjectDestination(std::string_view word)
{
    return word == "pict" || word == "object" || word == "shppict" || word == "nonshppict" || word == "shp";
}

// The target of a field instruction HYPERLINK "file" \\l "place" \\o "tip":
// the file, with "#place" when a place inside it is named; empty for any
// other field. In the instruction's text, a backslash inside quotes makes
// a following quote or backslash a plain character; before anything else it
// is itself.
std::string HyperlinkTarget(const std::string &instruction)
{
    struct TWord {
        std::string text;
        bool quoted;
    };
    std::vector<TWord> words;
    size_t pos = 0;
    while (pos < instruction.size()) {
        if (instruction[pos] == ' ') {
            ++pos;
        } else if (instruction[pos] == '"') {
            std::string word;
            for (++pos; pos < instruction.size() && instruction[pos] != '"'; ++pos) {
                if (instruction[pos] == '\\' && pos + 1 < instruction.size()
                    && (instruction[pos + 1] == '"' || instruction[pos + 1] == '\\'))
                    ++pos;
                word += instruction[pos];
            }
            words.push_back({ std::move(word), true });
            ++pos;
        } else {
            size_t end = instruction.find_first_of(" \"", pos + 1);
            if (end == std::string::npos)
                end = instruction.size();
            words.push_back({ instruction.substr(pos, end - pos), false });
            pos = end;
        }
    }
    if (words.empty() || words[0].text != "HYPERLINK" || words[0].quoted)
        return {};
    auto isSwitch = [&](size_t i, const char *name) { return !words[i].quoted && words[i].text == name; };
    std::string target, place;
    for (size_t i = 1; i < words.size(); ++i) {
        if (isSwitch(i, "\\l") && i + 1 < words.size())
            place = words[++i].text;
        else if ((isSwitch(i, "\\o") || isSwitch(i, "\\t")) && i + 1 < words.size())
            ++i;
        else if (words[i].quoted || words[i].text[0] != '\\')
            target = target.empty() ? words[i].text : target;
    }
    // Control characters are no part of a target (and RTF text cannot carry them).
    std::string link;
    AppendCapped(link, place.empty() ? target : target + "#" + place, kMaxLink, true);
    return link;
}

class TRtfReader
{
public:
    explicit TRtfReader(std::string_view data)
        : data_(data)
    {
    }

    TRichDocument Read();

private:
    [[noreturn]] void Fail(const std::string &fault, size_t at) const
    {
        throw ERtfError(Format("%s at byte %d", fault, static_cast<int64_t>(at)));
    }

    TGroupState &State() { return states_.back(); }
    void OpenGroup(size_t at);
    void CloseGroup();
    void ControlWord(std::string_view word, bool hasParam, int param, size_t wordStart);
    void ControlSymbol(unsigned char symbol);
    void TextByte(unsigned char byte);
    void CodePoint(char32_t c);
    void FlushBytes();
    void Emit(std::string_view utf8);
    void EndParagraph();
    // The attributes the paragraph being read gets when it ends now.
    TRichParaFormat ParagraphFormatNow() const;
    // Skips from pos_ (inside a group) to behind its closing brace; answers
    // how many groups were still open at the end of the data (0: none).
    // Data that ends on a backslash of a control symbol sets endsCut.
    int SkipGroup(bool *endsCut = nullptr);
    int CurrentCodePage() const;
    TRichCharFormat CurrentFormat() const;

    std::string_view data_;
    size_t pos_ = 0;
    std::vector<TGroupState> states_;
    std::vector<size_t> groupStarts_;
    bool firstInGroup_ = false; // no control word since the last "{"
    bool starred_ = false; // "\*" began this group
    int skipChars_ = 0; // fallback characters still to drop after \u
    char16_t highSurrogate_ = 0;
    std::string pendingBytes_;
    int pendingCodePage_ = 0;

    std::map<int, TFont> fonts_;
    int currentFontEntry_ = 0; // the entry being read in the font table
    std::string fontName_; // its name so far
    std::vector<int32_t> colors_;
    std::array<int, 3> rgb_ {};
    bool rgbSeen_ = false;
    std::vector<TField> fields_;
    int defaultFont_ = 0;
    int ansiCodePage_ = 1252;

    TRichDocument document_;
    TRichParagraph paragraph_;
    TRichParaFormat lastFormat_;
    bool formatDirty_ = true;
};

TRichDocument TRtfReader::Read()
{
    if (!IsRtf(data_))
        throw ERtfError("Not an RTF document");
    document_.paragraphs.clear();
    colors_.push_back(kRichAutoColor);
    states_.reserve(16); // most documents nest a few groups deep
    groupStarts_.reserve(16);
    while (pos_ < data_.size()) {
        auto c = static_cast<unsigned char>(data_[pos_]);
        size_t at = pos_++;
        if (c == '{') {
            FlushBytes();
            OpenGroup(at);
        } else if (c == '}') {
            FlushBytes();
            if (states_.size() == 1)
                lastFormat_ = ParagraphFormatNow(); // the last paragraph has no \par of its own
            CloseGroup();
            if (states_.empty())
                break; // the document's own group is closed; what follows is not part of it
        } else if (c == '\\') {
            if (pos_ >= data_.size())
                break;
            auto next = static_cast<unsigned char>(data_[pos_]);
            if (!IsLetter(next)) {
                ++pos_;
                ControlSymbol(next);
                continue;
            }
            size_t wordStart = pos_;
            while (pos_ < data_.size() && IsLetter(static_cast<unsigned char>(data_[pos_])))
                ++pos_;
            std::string_view word = data_.substr(wordStart, pos_ - wordStart);
            bool negative = pos_ < data_.size() && data_[pos_] == '-'
                && pos_ + 1 < data_.size() && IsDigit(static_cast<unsigned char>(data_[pos_ + 1]));
            if (negative)
                ++pos_;
            bool hasParam = false;
            int64_t value = 0;
            while (pos_ < data_.size() && IsDigit(static_cast<unsigned char>(data_[pos_]))) {
                hasParam = true;
                // Saturate: a parameter beyond 32 bits means the largest one.
                value = std::min<int64_t>(value * 10 + (data_[pos_] - '0'), int64_t(1) << 31);
                ++pos_;
            }
            if (negative)
                value = -value;
            value = std::clamp<int64_t>(value, INT32_MIN, INT32_MAX);
            if (pos_ < data_.size() && data_[pos_] == ' ')
                ++pos_;
            if (states_.empty())
                Fail("Control word outside any group", wordStart - 1);
            if (word != "u" && word != "bin" && word != "uc")
                FlushBytes();
            ControlWord(word, hasParam, static_cast<int>(value), wordStart - 1);
        } else if (c == '\r' || c == '\n' || c == 0) {
            continue;
        } else {
            if (states_.empty())
                Fail("Text outside any group", at);
            firstInGroup_ = false;
            if (c == ';' && State().dest == TDest::FontTable && skipChars_ == 0) {
                FlushBytes();
                fonts_[currentFontEntry_].name = Trim(fontName_);
                fontName_.clear();
            } else {
                TextByte(c);
            }
        }
    }
    FlushBytes();
    // A truncated document keeps what was read.
    if (!states_.empty())
        lastFormat_ = ParagraphFormatNow();
    while (!states_.empty())
        CloseGroup();
    paragraph_.format = std::move(lastFormat_);
    document_.paragraphs.push_back(std::move(paragraph_));
    return std::move(document_);
}

void TRtfReader::OpenGroup(size_t at)
{
    if (states_.size() >= static_cast<size_t>(kRtfMaxDepth))
        Fail(Format("RTF groups nested deeper than %d", kRtfMaxDepth), at);
    states_.push_back(states_.empty() ? TGroupState {} : states_.back());
    states_.back().ownsField = -1;
    groupStarts_.push_back(at);
    firstInGroup_ = true;
    starred_ = false;
    skipChars_ = 0;
}

void TRtfReader::CloseGroup()
{
    TGroupState closed = std::move(states_.back());
    states_.pop_back();
    groupStarts_.pop_back();
    firstInGroup_ = false;
    skipChars_ = 0;
    formatDirty_ = true;
    if (closed.dest == TDest::FieldInstruction && !fields_.empty()) {
        fields_.back().link = HyperlinkTarget(fields_.back().instruction);
    }
    if (states_.empty())
        return;
    if (closed.dest == TDest::Numbering && closed.numberingBullet)
        State().para.bullet = true;
    if (closed.dest == TDest::FontTable && State().dest != TDest::FontTable && !fontName_.empty()) {
        // An entry without its closing ";"
        fonts_[currentFontEntry_].name = Trim(fontName_);
        fontName_.clear();
    }
    if (closed.ownsField >= 0)
        fields_.resize(static_cast<size_t>(closed.ownsField));
}

int TRtfReader::SkipGroup(bool *endsCut)
{
    int depth = 1;
    if (endsCut)
        *endsCut = false;
    while (pos_ < data_.size()) {
        char c = data_[pos_++];
        if (c == '\\' && pos_ == data_.size() && endsCut)
            *endsCut = true;
        if (c == '{') {
            if (static_cast<int>(states_.size()) + depth >= kRtfMaxDepth)
                Fail(Format("RTF groups nested deeper than %d", kRtfMaxDepth), pos_ - 1);
            ++depth;
        } else if (c == '}') {
            if (--depth == 0)
                return 0;
        } else if (c == '\\' && pos_ < data_.size()) {
            if (!IsLetter(static_cast<unsigned char>(data_[pos_]))) {
                ++pos_;
                continue;
            }
            size_t wordStart = pos_;
            while (pos_ < data_.size() && IsLetter(static_cast<unsigned char>(data_[pos_])))
                ++pos_;
            if (data_.substr(wordStart, pos_ - wordStart) != "bin")
                continue;
            bool negative = pos_ < data_.size() && data_[pos_] == '-';
            if (negative)
                ++pos_;
            int64_t length = 0;
            while (pos_ < data_.size() && IsDigit(static_cast<unsigned char>(data_[pos_])))
                length = std::min<int64_t>(length * 10 + (data_[pos_++] - '0'), int64_t(1) << 40);
            if (negative && length > 0)
                Fail("\\bin with a negative length", wordStart - 1);
            if (pos_ < data_.size() && data_[pos_] == ' ')
                ++pos_;
            if (length > static_cast<int64_t>(data_.size() - pos_))
                Fail(Format("\\bin length %d runs past the end of the data", length), wordStart - 1);
            pos_ += static_cast<size_t>(length);
        }
    }
    return depth;
}

int TRtfReader::CurrentCodePage() const
{
    const TGroupState &state = states_.back();
    auto font = fonts_.find(state.font < 0 ? defaultFont_ : state.font);
    if (font != fonts_.end()) {
        if (font->second.codePage > 0)
            return font->second.codePage;
        if (int page = CodePageOfCharset(font->second.charset))
            return page;
    }
    return ansiCodePage_;
}

TRichCharFormat TRtfReader::CurrentFormat() const
{
    const TGroupState &state = states_.back();
    TRichCharFormat format;
    auto font = fonts_.find(state.font < 0 ? defaultFont_ : state.font);
    if (font != fonts_.end()) {
        format.fontName = font->second.name;
        format.charset = font->second.charset;
    }
    format.size = state.size;
    format.color = state.color >= 0 && state.color < static_cast<int>(colors_.size()) ? colors_[state.color]
                                                                                       : kRichAutoColor;
    format.bold = state.bold;
    format.italic = state.italic;
    format.underline = state.underline;
    format.strikeOut = state.strikeOut;
    format.protect = state.protect;
    format.offset = state.offset;
    if (state.field >= 0 && state.field < static_cast<int>(fields_.size()))
        format.link = fields_[state.field].link;
    return format;
}

void TRtfReader::Emit(std::string_view utf8)
{
    TGroupState &state = State();
    switch (state.dest) {
    case TDest::Text: {
        if (utf8.empty())
            return;
        if (std::any_of(utf8.begin(), utf8.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\v';
            })) {
            // Control characters other than tab and line break show nothing.
            std::string kept;
            for (char c : utf8)
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\v')
                    kept += c;
            if (kept.size() != utf8.size())
                return Emit(kept);
        }
        if (formatDirty_ || paragraph_.runs.empty() || paragraph_.runs.back().IsObject()) {
            TRichCharFormat format = CurrentFormat();
            if (paragraph_.runs.empty() || paragraph_.runs.back().IsObject()
                || !(paragraph_.runs.back().format == format))
                paragraph_.runs.push_back(TRichRun { {}, std::move(format), {} });
            formatDirty_ = false;
        }
        paragraph_.runs.back().text.append(utf8);
        return;
    }
    case TDest::FontTable:
        // Only a literal ";" ends an entry (see Read); one given as \\'3b is part of the name.
        AppendCapped(fontName_, utf8, kMaxFontName, true);
        return;
    case TDest::ColorTable:
        for (char c : utf8) {
            if (c != ';')
                continue;
            if (colors_.size() < 65536)
                colors_.push_back(rgbSeen_ ? rgb_[0] | (rgb_[1] << 8) | (rgb_[2] << 16) : kRichAutoColor);
            rgb_ = {};
            rgbSeen_ = false;
        }
        return;
    case TDest::FieldInstruction:
        if (!fields_.empty())
            AppendCapped(fields_.back().instruction, utf8, kMaxInstruction, false);
        return;
    case TDest::Numbering:
    case TDest::Ignore:
        return;
    }
}

void TRtfReader::CodePoint(char32_t c)
{
    if (c >= 0xD800 && c <= 0xDBFF) {
        highSurrogate_ = static_cast<char16_t>(c);
        return;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        c = highSurrogate_ ? 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (c - 0xDC00) : 0xFFFD;
        highSurrogate_ = 0;
    } else if (highSurrogate_) {
        highSurrogate_ = 0;
        Emit("\xEF\xBF\xBD");
    }
    if (c == 0)
        return;
    if (c == 0xFFFC || c == 0x2028 || c == 0x2029)
        c = 0xFFFD; // these stand for objects and paragraph marks inside the control
    Emit(CodePointToUtf8(c));
}

void TRtfReader::FlushBytes()
{
    if (pendingBytes_.empty())
        return;
    std::string text = DecodeCodePage(pendingBytes_, pendingCodePage_);
    pendingBytes_.clear();
    Emit(text);
}

void TRtfReader::TextByte(unsigned char byte)
{
    if (skipChars_ > 0) {
        --skipChars_;
        return;
    }
    if (byte < 0x20 && byte != '\t')
        return;
    if (byte < 0x80 && pendingBytes_.empty()) {
        if (highSurrogate_)
            CodePoint(byte);
        else
            Emit(std::string_view(reinterpret_cast<const char *>(&byte), 1));
        return;
    }
    int page = CurrentCodePage();
    if (!pendingBytes_.empty() && page != pendingCodePage_)
        FlushBytes();
    pendingCodePage_ = page;
    pendingBytes_ += static_cast<char>(byte);
}

void TRtfReader::ControlSymbol(unsigned char symbol)
{
    if (symbol == '*') {
        starred_ = firstInGroup_;
        return;
    }
    firstInGroup_ = false;
    if (symbol == '\'') {
        int value = 0, digits = 0;
        while (digits < 2 && pos_ < data_.size()) {
            int hex = HexValue(static_cast<unsigned char>(data_[pos_]));
            if (hex < 0)
                break;
            value = value * 16 + hex;
            ++digits, ++pos_;
        }
        if (digits == 2)
            TextByte(static_cast<unsigned char>(value));
        else if (skipChars_ > 0)
            --skipChars_; // a damaged escape still stands for one fallback character
        return;
    }
    FlushBytes();
    if (skipChars_ > 0) {
        --skipChars_;
        return;
    }
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        Emit(std::string(1, static_cast<char>(symbol)));
        return;
    case '~':
        Emit("\xC2\xA0");
        return;
    case '_':
        Emit("\xE2\x80\x91");
        return;
    case '\r':
    case '\n':
        EndParagraph();
        return;
    case '\t':
        Emit("\t");
        return;
    default:
        return; // \- and \| and \: show nothing
    }
}

void TRtfReader::EndParagraph()
{
    if (State().dest != TDest::Text)
        return;
    paragraph_.format = ParagraphFormatNow();
    document_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = {};
    formatDirty_ = true;
}

TRichParaFormat TRtfReader::ParagraphFormatNow() const
{
    const TGroupState &state = states_.back();
    TRichParaFormat format = state.para;
    if (state.sl == 0) {
        format.lineRule = rlrSingle;
        format.lineSpacing = 0;
    } else if (state.slMult) {
        // \sl counts 240ths of a line here, the control 20ths.
        int lines = (Clamp(std::abs(state.sl), 0, kMaxTwips) + 6) / 12;
        format.lineRule = lines == 0 || lines == 20 ? rlrSingle
            : lines == 30                           ? rlrOneAndHalf
            : lines == 40                           ? rlrDouble
                                                    : rlrMultiple;
        format.lineSpacing = format.lineRule == rlrMultiple ? lines : 0;
    } else {
        format.lineRule = state.sl > 0 ? rlrAtLeast : rlrExactly;
        format.lineSpacing = Clamp(std::abs(state.sl), 0, kMaxTwips);
    }
    std::stable_sort(format.tabs.begin(), format.tabs.end(),
        [](const TRichTab &a, const TRichTab &b) { return a.position < b.position; });
    format.tabs.erase(std::unique(format.tabs.begin(), format.tabs.end(),
                          [](const TRichTab &a, const TRichTab &b) { return a.position == b.position; }),
        format.tabs.end());
    return format;
}

void TRtfReader::ControlWord(std::string_view word, bool hasParam, int param, size_t wordStart)
{
    TGroupState &state = State();
    bool first = firstInGroup_;
    bool starred = starred_;
    firstInGroup_ = false;
    starred_ = false;
    int on = hasParam ? param : 1;

    if (word == "bin") {
        if (param < 0)
            Fail("\\bin with a negative length", wordStart);
        if (static_cast<size_t>(param) > data_.size() - pos_)
            Fail(Format("\\bin length %d runs past the end of the data", param), wordStart);
        pos_ += static_cast<size_t>(param); // binary data outside an object shows nothing
        return;
    }
    if (skipChars_ > 0 && word != "u") {
        --skipChars_;
        if (word != "par" && word != "line" && word != "tab")
            return;
    }

    // Destinations
    if (first && IsObjectDestination(word) && state.dest == TDest::Text) {
        size_t start = groupStarts_.back();
        bool endsCut = false;
        int open = SkipGroup(&endsCut);
        std::string object(data_.substr(start, pos_ - start));
        if (open > 0) {
            // A truncated object is closed; a backslash cut off from its
            // symbol is dropped, but not one that is a byte of \bin data.
            if (endsCut)
                object.pop_back();
            object.append(static_cast<size_t>(open), '}');
        }
        paragraph_.runs.push_back(TRichRun { {}, {}, std::move(object) });
        formatDirty_ = true;
        states_.pop_back();
        groupStarts_.pop_back();
        return;
    }
    if (first && (IsSkippedDestination(word) || (starred && word != "fldinst" && word != "pn"))) {
        SkipGroup();
        states_.pop_back();
        groupStarts_.pop_back();
        return;
    }
    if (word == "fonttbl") {
        state.dest = TDest::FontTable;
        currentFontEntry_ = 0;
        fontName_.clear();
        return;
    }
    if (word == "colortbl") {
        state.dest = TDest::ColorTable;
        colors_.clear();
        rgb_ = {};
        rgbSeen_ = false;
        return;
    }
    if (word == "field") {
        if (fields_.size() < 64 && state.ownsField < 0) {
            fields_.push_back({});
            state.ownsField = static_cast<int>(fields_.size()) - 1;
        }
        return;
    }
    if (word == "fldinst") {
        state.dest = fields_.empty() ? TDest::Ignore : TDest::FieldInstruction;
        return;
    }
    if (word == "fldrslt") {
        state.field = static_cast<int>(fields_.size()) - 1;
        formatDirty_ = true;
        return;
    }
    if (word == "pn") {
        state.dest = TDest::Numbering;
        return;
    }

    // Unicode, in every destination
    if (word == "uc") {
        state.uc = Clamp(param, 0, 16);
        return;
    }
    if (word == "u") {
        int value = param < 0 ? param + 65536 : param;
        CodePoint(value >= 0 && value <= 0xFFFF ? static_cast<char32_t>(value) : 0xFFFD);
        skipChars_ = state.uc;
        return;
    }

    switch (state.dest) {
    case TDest::FontTable:
        if (word == "f")
            currentFontEntry_ = param, fonts_[param];
        else if (word == "fcharset")
            fonts_[currentFontEntry_].charset = Clamp(param, 0, 255);
        else if (word == "cpg")
            fonts_[currentFontEntry_].codePage = Clamp(param, 0, 65535);
        return;
    case TDest::ColorTable:
        if (word == "red")
            rgb_[0] = Clamp(param, 0, 255), rgbSeen_ = true;
        else if (word == "green")
            rgb_[1] = Clamp(param, 0, 255), rgbSeen_ = true;
        else if (word == "blue")
            rgb_[2] = Clamp(param, 0, 255), rgbSeen_ = true;
        return;
    case TDest::Numbering:
        if (word == "pnlvlblt")
            state.numberingBullet = true;
        return;
    default:
        break;
    }

    // Document settings
    if (word == "ansicpg") {
        ansiCodePage_ = param > 0 ? Clamp(param, 1, 65535) : 1252;
    } else if (word == "ansi") {
        ansiCodePage_ = 1252;
    } else if (word == "mac") {
        ansiCodePage_ = 10000;
    } else if (word == "pc") {
        ansiCodePage_ = 437;
    } else if (word == "pca") {
        ansiCodePage_ = 850;
    } else if (word == "deff") {
        defaultFont_ = param;
    } else if (word == "deftab") {
        document_.defaultTab = hasParam && param > 0 ? Clamp(param, 1, kMaxTwips) : 720;
    }
    // Special characters
    else if (word == "par" || word == "sect" || word == "page" || word == "row") {
        EndParagraph();
    } else if (word == "line") {
        Emit("\v");
    } else if (word == "tab" || word == "cell") {
        Emit("\t");
    } else if (word == "emdash") {
        Emit("\xE2\x80\x94");
    } else if (word == "endash") {
        Emit("\xE2\x80\x93");
    } else if (word == "bullet") {
        Emit("\xE2\x80\xA2");
    } else if (word == "lquote") {
        Emit("\xE2\x80\x98");
    } else if (word == "rquote") {
        Emit("\xE2\x80\x99");
    } else if (word == "ldblquote") {
        Emit("\xE2\x80\x9C");
    } else if (word == "rdblquote") {
        Emit("\xE2\x80\x9D");
    } else if (word == "emspace") {
        Emit("\xE2\x80\x83");
    } else if (word == "enspace") {
        Emit("\xE2\x80\x82");
    }
    // Character attributes
    else if (word == "plain") {
        state.font = -1, state.size = 24, state.color = 0;
        state.bold = state.italic = state.underline = state.strikeOut = state.protect = false;
        state.offset = rvoNone;
        formatDirty_ = true;
    } else if (word == "f") {
        state.font = param, formatDirty_ = true;
    } else if (word == "fs") {
        state.size = hasParam ? Clamp(param, 2, 3276) : 24, formatDirty_ = true;
    } else if (word == "cf") {
        state.color = param, formatDirty_ = true;
    } else if (word == "b") {
        state.bold = on != 0, formatDirty_ = true;
    } else if (word == "i") {
        state.italic = on != 0, formatDirty_ = true;
    } else if (word == "ul" || word == "uld" || word == "uldb" || word == "uldash" || word == "ulw"
        || word == "ulth" || word == "ulwave" || word == "uldashd" || word == "uldashdd") {
        state.underline = on != 0, formatDirty_ = true;
    } else if (word == "ulnone") {
        state.underline = false, formatDirty_ = true;
    } else if (word == "strike") {
        state.strikeOut = on != 0, formatDirty_ = true;
    } else if (word == "protect") {
        state.protect = on != 0, formatDirty_ = true;
    } else if (word == "super") {
        state.offset = on ? rvoSuperscript : rvoNone, formatDirty_ = true;
    } else if (word == "sub") {
        state.offset = on ? rvoSubscript : rvoNone, formatDirty_ = true;
    } else if (word == "nosupersub") {
        state.offset = rvoNone, formatDirty_ = true;
    }
    // Paragraph attributes
    else if (word == "pard") {
        state.para = {};
        state.sl = 0, state.slMult = false, state.tabKind = rtkLeft;
    } else if (word == "ql") {
        state.para.alignment = raLeft;
    } else if (word == "qr") {
        state.para.alignment = raRight;
    } else if (word == "qc") {
        state.para.alignment = raCenter;
    } else if (word == "qj") {
        state.para.alignment = raJustify;
    } else if (word == "li") {
        state.para.leftIndent = Clamp(param, -kMaxTwips, kMaxTwips);
    } else if (word == "ri") {
        state.para.rightIndent = Clamp(param, -kMaxTwips, kMaxTwips);
    } else if (word == "fi") {
        state.para.firstIndent = Clamp(param, -kMaxTwips, kMaxTwips);
    } else if (word == "sb") {
        state.para.spaceBefore = Clamp(param, 0, kMaxTwips);
    } else if (word == "sa") {
        state.para.spaceAfter = Clamp(param, 0, kMaxTwips);
    } else if (word == "sl") {
        state.sl = Clamp(param, -kMaxTwips, kMaxTwips);
    } else if (word == "slmult") {
        state.slMult = param != 0;
    } else if (word == "tqr") {
        state.tabKind = rtkRight;
    } else if (word == "tqc") {
        state.tabKind = rtkCenter;
    } else if (word == "tqdec") {
        state.tabKind = rtkDecimal;
    } else if (word == "tx" || word == "tb") {
        if (state.para.tabs.size() < static_cast<size_t>(kMaxTabs))
            state.para.tabs.push_back({ Clamp(param, 0, kMaxTwips), state.tabKind });
        state.tabKind = rtkLeft;
    } else if (word == "pnlvlblt") {
        state.para.bullet = true;
    }
}

} // namespace

bool IsRtf(std::string_view data)
{
    return data.substr(0, 5) == "{\\rtf";
}

TRichDocument ReadRtf(std::string_view data)
{
    return TRtfReader(data).Read();
}

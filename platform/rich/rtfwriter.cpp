#include "platform/rich/rtf.h"

#include "platform/rtl/utf8.h"

#include <map>

// Every run is written as a group of its own that names all of its
// attributes, so the runs never depend on one another and the writer needs
// no state beyond the font and colour tables.

namespace
{

struct TFontKey {
    std::string name;
    int charset;
    auto operator<=>(const TFontKey &) const = default;
};

class TRtfWriter
{
public:
    explicit TRtfWriter(const TRichDocument &document)
        : document_(document)
    {
    }
    std::string Write();

private:
    void CollectTables();
    void WriteParagraphFormat(const TRichParaFormat &format);
    void WriteCharFormat(const TRichCharFormat &format);
    void WriteText(std::string_view text, bool ansiFallback);
    void Number(const char *word, int value)
    {
        out_ += word;
        out_ += std::to_string(value);
    }

    const TRichDocument &document_;
    std::map<TFontKey, int> fonts_;
    std::map<int32_t, int> colors_;
    std::string out_;
};

void TRtfWriter::CollectTables()
{
    for (const TRichParagraph &paragraph : document_.paragraphs)
        for (const TRichRun &run : paragraph.runs) {
            TFontKey key { run.format.fontName, run.format.charset };
            if (!fonts_.count(key))
                fonts_.emplace(key, static_cast<int>(fonts_.size()));
            if (run.format.color != kRichAutoColor && !colors_.count(run.format.color))
                colors_.emplace(run.format.color, static_cast<int>(colors_.size()) + 1);
        }
    if (fonts_.empty())
        fonts_.emplace(TFontKey { "", kRichDefaultCharset }, 0);
}

std::string TRtfWriter::Write()
{
    CollectTables();
    out_ = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1";
    out_ += "{\\fonttbl";
    std::vector<const TFontKey *> byNumber(fonts_.size());
    for (const auto &[key, number] : fonts_)
        byNumber[number] = &key;
    for (size_t i = 0; i < byNumber.size(); ++i) {
        out_ += "{";
        Number("\\f", static_cast<int>(i));
        Number("\\fnil\\fcharset", byNumber[i]->charset);
        out_ += ' ';
        // A literal ";" ends the name: one inside it goes as a hex escape.
        std::string_view name = byNumber[i]->name;
        for (size_t semicolon; (semicolon = name.find(';')) != std::string_view::npos;) {
            WriteText(name.substr(0, semicolon), true);
            out_ += "\\'3B";
            name.remove_prefix(semicolon + 1);
        }
        WriteText(name, true);
        out_ += ";}";
    }
    out_ += "}\r\n";
    if (!colors_.empty()) {
        std::vector<int32_t> byIndex(colors_.size() + 1);
        for (const auto &[color, index] : colors_)
            byIndex[index] = color;
        out_ += "{\\colortbl ;";
        for (size_t i = 1; i < byIndex.size(); ++i) {
            Number("\\red", byIndex[i] & 0xFF);
            Number("\\green", (byIndex[i] >> 8) & 0xFF);
            Number("\\blue", (byIndex[i] >> 16) & 0xFF);
            out_ += ';';
        }
        out_ += "}\r\n";
    }
    Number("\\deftab", document_.defaultTab);
    out_ += "\r\n";
    for (size_t p = 0; p < document_.paragraphs.size(); ++p) {
        const TRichParagraph &paragraph = document_.paragraphs[p];
        WriteParagraphFormat(paragraph.format);
        for (const TRichRun &run : paragraph.runs) {
            if (run.IsObject()) {
                out_ += run.object;
                continue;
            }
            if (run.text.empty())
                continue;
            if (!run.format.link.empty()) {
                out_ += "{\\field{\\*\\fldinst{HYPERLINK \"";
                // The field's own quoting: \" and \\ inside the quotes.
                std::string quoted;
                for (char c : run.format.link) {
                    if (c == '"' || c == '\\')
                        quoted += '\\';
                    quoted += c;
                }
                WriteText(quoted, true);
                out_ += "\"}}{\\fldrslt";
            }
            out_ += '{';
            WriteCharFormat(run.format);
            out_ += ' ';
            WriteText(run.text, run.format.charset == 0 || run.format.charset == kRichDefaultCharset);
            out_ += '}';
            if (!run.format.link.empty())
                out_ += "}}";
        }
        if (p + 1 < document_.paragraphs.size())
            out_ += "\\par\r\n";
    }
    out_ += "}\r\n";
    return std::move(out_);
}

void TRtfWriter::WriteParagraphFormat(const TRichParaFormat &format)
{
    out_ += "\\pard";
    static const char *const alignments[] = { "", "\\qr", "\\qc", "\\qj" };
    out_ += alignments[format.alignment];
    if (format.leftIndent)
        Number("\\li", format.leftIndent);
    if (format.rightIndent)
        Number("\\ri", format.rightIndent);
    if (format.firstIndent)
        Number("\\fi", format.firstIndent);
    if (format.spaceBefore)
        Number("\\sb", format.spaceBefore);
    if (format.spaceAfter)
        Number("\\sa", format.spaceAfter);
    switch (format.lineRule) {
    case rlrSingle:
        break;
    case rlrOneAndHalf:
        out_ += "\\sl360\\slmult1";
        break;
    case rlrDouble:
        out_ += "\\sl480\\slmult1";
        break;
    case rlrAtLeast:
        Number("\\sl", format.lineSpacing);
        out_ += "\\slmult0";
        break;
    case rlrExactly:
        Number("\\sl", -format.lineSpacing);
        out_ += "\\slmult0";
        break;
    case rlrMultiple:
        Number("\\sl", format.lineSpacing * 12);
        out_ += "\\slmult1";
        break;
    }
    static const char *const kinds[] = { "", "\\tqc", "\\tqr", "\\tqdec" };
    for (const TRichTab &tab : format.tabs) {
        out_ += kinds[tab.kind];
        Number("\\tx", tab.position);
    }
    if (format.bullet)
        out_ += "{\\*\\pn\\pnlvlblt\\pnindent0{\\pntxtb\\'B7}}";
    else
        out_ += ' ';
}

void TRtfWriter::WriteCharFormat(const TRichCharFormat &format)
{
    Number("\\f", fonts_.at(TFontKey { format.fontName, format.charset }));
    Number("\\fs", format.size);
    if (format.color != kRichAutoColor)
        Number("\\cf", colors_.at(format.color));
    if (format.bold)
        out_ += "\\b";
    if (format.italic)
        out_ += "\\i";
    if (format.underline)
        out_ += "\\ul";
    if (format.strikeOut)
        out_ += "\\strike";
    if (format.protect)
        out_ += "\\protect";
    if (format.offset == rvoSuperscript)
        out_ += "\\super";
    else if (format.offset == rvoSubscript)
        out_ += "\\sub";
}

// The byte a reader without \u support shows instead: Windows-1252 where the
// character is in it, else '?'.
char AnsiFallback(char32_t c)
{
    if (c >= 0xA0 && c <= 0xFF)
        return static_cast<char>(c);
    static const char32_t high[32] = { 0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6,
        0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
        0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178 };
    for (int i = 0; i < 32; ++i)
        if (high[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

void TRtfWriter::WriteText(std::string_view text, bool ansiFallback)
{
    static const char hex[] = "0123456789ABCDEF";
    size_t pos = 0;
    while (pos < text.size()) {
        auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            ++pos;
            if (byte == '\\' || byte == '{' || byte == '}') {
                out_ += '\\';
                out_ += static_cast<char>(byte);
            } else if (byte == '\t') {
                out_ += "\\tab ";
            } else if (byte == '\v') {
                out_ += "\\line ";
            } else if (byte >= 0x20) {
                out_ += static_cast<char>(byte);
            }
            continue;
        }
        char32_t c = Utf8Next(text, pos);
        auto unicode = [&](char32_t unit) {
            Number("\\u", unit > 0x7FFF ? static_cast<int>(unit) - 0x10000 : static_cast<int>(unit));
        };
        // The fallback is always a hex escape: some readers drop a space
        // that follows a literal fallback character.
        auto fallback = [&](char byte) {
            out_ += "\\'";
            out_ += hex[static_cast<unsigned char>(byte) >> 4];
            out_ += hex[static_cast<unsigned char>(byte) & 15];
        };
        if (c > 0xFFFF) {
            unicode(0xD800 + ((c - 0x10000) >> 10));
            fallback('?');
            unicode(0xDC00 + ((c - 0x10000) & 0x3FF));
            fallback('?');
            continue;
        }
        unicode(c);
        fallback(ansiFallback ? AnsiFallback(c) : '?');
    }
}

} // namespace

std::string WriteRtf(const TRichDocument &document)
{
    return TRtfWriter(document).Write();
}

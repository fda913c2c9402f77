#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The content of a rich edit as plain data: paragraphs of runs, each run with
// resolved character attributes. The RTF reader fills it, the RTF writer
// writes it, and the control moves it into and out of its native document.
// Measurements are twips (1/1440 inch) and font sizes half-points, as in RTF.

constexpr int32_t kRichAutoColor = -1; // the reader's default text colour
constexpr int kRichDefaultCharset = 1; // DEFAULT_CHARSET: no code page of its own

enum TRichVerticalOffset : uint8_t { rvoNone, rvoSuperscript, rvoSubscript };

struct TRichCharFormat {
    std::string fontName; // empty: the control's default font
    int charset = kRichDefaultCharset;
    int size = 24; // half-points
    int32_t color = kRichAutoColor; // $00BBGGRR or kRichAutoColor
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool protect = false;
    TRichVerticalOffset offset = rvoNone;
    std::string link; // the target of a hyperlink field, empty for plain text

    bool operator==(const TRichCharFormat &) const = default;
};

enum TRichAlignment : uint8_t { raLeft, raRight, raCenter, raJustify };
enum TRichTabKind : uint8_t { rtkLeft, rtkCenter, rtkRight, rtkDecimal };

struct TRichTab {
    int position = 0; // twips from the left margin
    TRichTabKind kind = rtkLeft;
    bool operator==(const TRichTab &) const = default;
};

// Line spacing rules as the control's paragraph format numbers them.
enum TRichLineRule : uint8_t {
    rlrSingle,
    rlrOneAndHalf,
    rlrDouble,
    rlrAtLeast, // lineSpacing twips at least
    rlrExactly, // lineSpacing twips exactly
    rlrMultiple // lineSpacing / 20 lines
};

struct TRichParaFormat {
    TRichAlignment alignment = raLeft;
    int leftIndent = 0; // every line but the first, twips
    int rightIndent = 0;
    int firstIndent = 0; // the first line relative to leftIndent, negative for a hanging indent
    int spaceBefore = 0;
    int spaceAfter = 0;
    TRichLineRule lineRule = rlrSingle;
    int lineSpacing = 0;
    bool bullet = false;
    std::vector<TRichTab> tabs; // ascending positions

    bool operator==(const TRichParaFormat &) const = default;
};

// A run of text in one format, or one embedded object (picture, OLE object)
// kept as its RTF group, byte for byte, so that no document is damaged by
// passing through the control. An object counts as one character.
struct TRichRun {
    std::string text; // UTF-8; '\t' tab, '\v' line break inside the paragraph
    TRichCharFormat format;
    std::string object; // the whole "{...}" group of an object, empty for text

    bool IsObject() const { return !object.empty(); }
    bool operator==(const TRichRun &) const = default;
};

struct TRichParagraph {
    TRichParaFormat format;
    std::vector<TRichRun> runs;

    std::string Text() const; // objects as U+FFFC
    bool operator==(const TRichParagraph &) const = default;
};

// A document always has at least one paragraph; the last one has no
// paragraph mark of its own.
struct TRichDocument {
    std::vector<TRichParagraph> paragraphs { TRichParagraph {} };
    int defaultTab = 720;

    // The paragraphs' texts joined by CR LF.
    std::string PlainText() const;
    bool operator==(const TRichDocument &) const = default;
};

// A document holding text split at CR LF, LF or a lone CR into paragraphs,
// all in one format.
TRichDocument RichDocumentFromText(const std::string &text, const TRichCharFormat &format = {});

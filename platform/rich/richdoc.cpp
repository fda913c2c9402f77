#include "platform/rich/richdoc.h"

std::string TRichParagraph::Text() const
{
    std::string text;
    for (const TRichRun &run : runs)
        text += run.IsObject() ? "\xEF\xBF\xBC" : run.text;
    return text;
}

std::string TRichDocument::PlainText() const
{
    std::string text;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        if (i)
            text += "\r\n";
        text += paragraphs[i].Text();
    }
    return text;
}

TRichDocument RichDocumentFromText(const std::string &text, const TRichCharFormat &format)
{
    TRichDocument document;
    document.paragraphs.clear();
    size_t start = 0;
    auto addParagraph = [&](size_t end) {
        TRichParagraph paragraph;
        if (end > start)
            paragraph.runs.push_back(TRichRun { text.substr(start, end - start), format, {} });
        document.paragraphs.push_back(std::move(paragraph));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        addParagraph(i);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    addParagraph(text.size());
    return document;
}

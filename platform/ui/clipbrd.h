#pragma once

#include <cstdint>
#include <string>

// The system clipboard.

constexpr uint16_t CF_TEXT = 1;
constexpr uint16_t CF_BITMAP = 2;
constexpr uint16_t CF_UNICODETEXT = 13;

class TBitmap;

class TClipboard
{
public:
    // Plain text, UTF-8; empty when the clipboard holds no text.
    std::string AsText() const;
    void SetAsText(const std::string &text);
    bool HasFormat(uint16_t format) const;
    void Clear();
    void Assign(const TBitmap &bitmap);
};

// The one clipboard object of the program.
TClipboard *Clipboard();

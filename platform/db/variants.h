#pragma once

#include <cstdint>
#include <cstddef>
#include <string>

// A value of any of the kinds a field, a parameter or a key holds: null, a
// whole number, a float, or a text (UTF-8, or raw bytes for a blob).
// Booleans are whole numbers (0 false, anything else true); dates and times
// are floats in TDateTime units.
class Variant
{
public:
    enum TKind : uint8_t { vkNull, vkInteger, vkFloat, vkText };

    Variant() = default;
    Variant(int value) : kind_(vkInteger), int_(value) {}
    Variant(int64_t value) : kind_(vkInteger), int_(value) {}
    Variant(bool value) : kind_(vkInteger), int_(value ? 1 : 0) {}
    Variant(double value) : kind_(vkFloat), float_(value) {}
    Variant(const char *value) : kind_(vkText), text_(value) {}
    Variant(std::string value) : kind_(vkText), text_(std::move(value)) {}

    TKind Kind() const { return kind_; }
    bool IsNull() const { return kind_ == vkNull; }
    // Conversions; a null gives 0 or the empty text. A text that is no
    // number raises EConvertError.
    int64_t AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    std::string AsString() const;
    const std::string &Text() const { return text_; } // the text of a vkText value
    // Makes this a text, reusing its storage (for reading many rows).
    void AssignText(const char *text, size_t size)
    {
        kind_ = vkText;
        text_.assign(text, size);
    }

    // Same kind and value (an integer and a float of the same value are equal).
    bool operator==(const Variant &other) const;

private:
    TKind kind_ = vkNull;
    int64_t int_ = 0;
    double float_ = 0;
    std::string text_;
};

// The null value, for calls that read better with a name.
inline const Variant Null;

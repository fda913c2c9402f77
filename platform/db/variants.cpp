#include "platform/db/variants.h"

#include "platform/rtl/sysutils.h"

int64_t Variant::AsInteger() const
{
    switch (kind_) {
    case vkInteger: return int_;
    case vkFloat: return Round(float_);
    case vkText: return StrToInt64(Trim(text_));
    default: return 0;
    }
}

double Variant::AsFloat() const
{
    switch (kind_) {
    case vkInteger: return static_cast<double>(int_);
    case vkFloat: return float_;
    case vkText: return StrToFloat(Trim(text_));
    default: return 0;
    }
}

bool Variant::AsBoolean() const
{
    if (kind_ == vkText) {
        if (SameText(text_, "True") || text_ == "T" || text_ == "t")
            return true;
        if (SameText(text_, "False") || text_.empty() || text_ == "F" || text_ == "f")
            return false;
    }
    return AsInteger() != 0;
}

std::string Variant::AsString() const
{
    switch (kind_) {
    case vkInteger: return IntToStr(int_);
    case vkFloat: return FloatToStr(float_);
    case vkText: return text_;
    default: return {};
    }
}

bool Variant::operator==(const Variant &other) const
{
    if (kind_ == vkNull || other.kind_ == vkNull)
        return kind_ == other.kind_;
    if (kind_ == vkText || other.kind_ == vkText)
        return kind_ == other.kind_ && text_ == other.text_;
    if (kind_ == vkInteger && other.kind_ == vkInteger)
        return int_ == other.int_;
    return AsFloat() == other.AsFloat();
}

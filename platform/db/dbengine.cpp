#include "platform/db/dbengine.h"
#include "platform/db/dbengine_p.h"

#include "platform/rtl/sysutils.h"

#include <cmath>
#include <map>

std::string DbiErrorText(DBIResult code)
{
    static const std::map<DBIResult, std::string> texts = {
        {DBIERR_NONE, ""},
        {DBIERR_HEADERCORRUPT, "The file is not a database, or its header is corrupt."},
        {DBIERR_BOF, "At beginning of table."},
        {DBIERR_EOF, "At end of table."},
        {DBIERR_KEYORRECDELETED, "Record/Key deleted."},
        {DBIERR_NOCURRREC, "No current record."},
        {DBIERR_RECNOTFOUND, "Could not find record."},
        {DBIERR_OPENFAILED, "Cannot open the database file."},
        {DBIERR_INVALIDHNDL, "Invalid handle to the function."},
        {DBIERR_INVALIDFILTER, "Invalid filter expression."},
        {DBIERR_NOSUCHINDEX, "Index does not exist."},
        {DBIERR_NOSUCHFILE, "The database file does not exist."},
        {DBIERR_NOSUCHTABLE, "Table does not exist."},
        {DBIERR_UNKNOWNDB, "Unknown database."},
        {DBIERR_LOCKED, "The database is locked by another user."},
        {DBIERR_NOTSUFFFIELDRIGHTS, "Insufficient field rights for operation."},
        {DBIERR_NOTSUFFTABLERIGHTS, "Insufficient table rights for operation."},
        {DBIERR_INVALIDPASSWORD, "Invalid password given."},
        {DBIERR_TABLEREADONLY, "Table is read only."},
        {DBIERR_KEYVIOL, "Key violation."},
        {DBIERR_REQDERR, "Field value required."},
        {DBIERR_TABLEEXISTS, "Table already exists."},
        {DBIERR_QBESYNTAX, "Query by example: syntax not supported."},
        {DBIERR_SQLERROR, "General SQL error."},
        {DBIERR_NOTSUPPORTED, "Capability not supported."},
    };
    auto it = texts.find(code);
    return it == texts.end() ? std::string() : it->second;
}

EDBEngineError::EDBEngineError(DBIResult code, const std::string &detail)
    : Exception(DbiErrorText(code).empty() ? "Engine error " + IntToHex(code, 4) + (detail.empty() ? "" : "\n" + detail)
                                           : DbiErrorText(code) + (detail.empty() ? "" : "\n" + detail))
    , code_(code)
{
}

std::vector<TEngineAlias> &EngineAliases()
{
    static std::vector<TEngineAlias> aliases;
    return aliases;
}

const TEngineAlias *FindEngineAlias(const std::string &name)
{
    for (const TEngineAlias &a : EngineAliases())
        if (SameText(a.Name, name))
            return &a;
    return nullptr;
}

std::vector<std::pair<std::string, std::string>> OpenCfgInfoList(const std::string &path)
{
    // "\Databases\<alias>\db info" is the one list an alias has.
    std::string p = StringReplace(path, "/", "\\", true);
    const std::string head = "\\DATABASES\\", tail = "\\DB INFO";
    std::string upper = UpperCase(p);
    if (upper.size() > head.size() + tail.size() && upper.compare(0, head.size(), head) == 0
        && upper.compare(upper.size() - tail.size(), tail.size(), tail) == 0) {
        std::string alias = p.substr(head.size(), p.size() - head.size() - tail.size());
        if (const TEngineAlias *a = FindEngineAlias(alias))
            return {{"TYPE", a->Driver}, {"PATH", a->Path}};
    }
    throw EDBEngineError(DBIERR_UNKNOWNDB, "Configuration list: " + path);
}

FMTBcd FloatToBCD(double value, int precision, int places)
{
    FMTBcd bcd;
    if (precision < 1 || precision > 64 || places < 0 || places > precision || !std::isfinite(value))
        throw EDBEngineError(DBIERR_SQLERROR, "BCD conversion of " + FloatToStr(value));
    bcd.iPrecision = static_cast<uint8_t>(precision);
    bool negative = value < 0;
    // The digits as text, rounded to the places, so that 0.1 stays 0.1.
    std::string digits = FormatFloat(places > 0 ? "0." + std::string(places, '0') : "0", std::fabs(value),
        [] {
            TFormatSettings s;
            s.DecimalSeparator = U'.';
            s.ThousandSeparator = 0;
            return s;
        }());
    std::string whole = digits.substr(0, digits.find('.'));
    std::string frac = digits.find('.') == std::string::npos ? "" : digits.substr(digits.find('.') + 1);
    if (whole == "0")
        whole.clear();
    if (static_cast<int>(whole.size()) > precision - places)
        throw EDBEngineError(DBIERR_SQLERROR, "BCD conversion of " + FloatToStr(value));
    std::string all = std::string(precision - places - whole.size(), '0') + whole + frac;
    for (size_t i = 0; i < all.size(); ++i) {
        uint8_t d = static_cast<uint8_t>(all[i] - '0');
        bcd.iFraction[i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? d << 4 : d);
    }
    bool zero = all.find_first_not_of('0') == std::string::npos;
    bcd.iSignSpecialPlaces = static_cast<uint8_t>((negative && !zero ? 0x80 : 0) | places);
    return bcd;
}

double BCDToFloat(const FMTBcd &bcd)
{
    int places = bcd.iSignSpecialPlaces & 0x3F;
    double v = 0;
    for (int i = 0; i < bcd.iPrecision && i < 64; ++i)
        v = v * 10 + ((i % 2 == 0 ? bcd.iFraction[i / 2] >> 4 : bcd.iFraction[i / 2]) & 0x0F);
    v /= std::pow(10.0, places);
    return (bcd.iSignSpecialPlaces & 0x80) ? -v : v;
}

int CompareValues(const Variant &a, const Variant &b, bool caseInsensitive)
{
    auto rank = [](const Variant &v) { return v.IsNull() ? 0 : v.Kind() == Variant::vkText ? 2 : 1; };
    int ra = rank(a), rb = rank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra == 0)
        return 0;
    if (ra == 1) {
        if (a.Kind() == Variant::vkInteger && b.Kind() == Variant::vkInteger)
            return a.AsInteger() < b.AsInteger() ? -1 : a.AsInteger() > b.AsInteger() ? 1 : 0;
        double x = a.AsFloat(), y = b.AsFloat();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    int c = caseInsensitive ? CompareText(a.Text(), b.Text()) : a.Text().compare(b.Text());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

#include "platform/classes/filer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>

#include "platform/classes/typinfo.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/utf8.h"

struct TLoadSession;
struct TWriteSession;

namespace
{

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return AsciiUpper(x) == AsciiUpper(y);
    });
}

bool IsIdentStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsIdentChar(char c)
{
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// ---- Tokens ----
//
// The resource text is a sequence of identifiers (dotted ones in one token:
// Font.Name, Form2.Edit1), strings (quoted runs and #nnn codes, adjacent),
// numbers (decimal, $hex, floats with an optional s/c/d suffix) and single
// character symbols. Positions are 1-based lines and columns counted in code
// points. Binary data between { and } is one token holding its bytes.

struct Token {
    enum Kind { End, Ident, String, Integer, Float, Symbol, Binary } kind = End;
    std::string text; // identifier, decoded string, number as written, symbol, binary bytes
    int64_t integer = 0;
    double real = 0;
    int line = 1;
    int column = 1;
};

std::string Describe(const Token &t)
{
    switch (t.kind) {
    case Token::End:
        return "end of file";
    case Token::String:
        return "string";
    case Token::Binary:
        return "binary data";
    case Token::Symbol:
        return "'" + t.text + "'";
    default:
        return t.text;
    }
}

} // namespace

EFormResourceError::EFormResourceError(std::string fileName, int line, int column, std::string fault)
    : EReadError(fileName + "(" + std::to_string(line) + "," + std::to_string(column) + "): " + fault)
    , fileName_(std::move(fileName))
    , line_(line)
    , column_(column)
    , fault_(std::move(fault))
{
}

namespace
{

class Lexer
{
public:
    Lexer(std::string_view text, std::string fileName)
        : text_(text)
        , file_(std::move(fileName))
    {
        // A UTF-8 byte order mark is not part of the text.
        if (text_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
        Advance();
    }

    const Token &Peek() const { return current_; }
    Token Next()
    {
        Token t = std::move(current_);
        Advance();
        return t;
    }
    [[noreturn]] void Fail(int line, int column, const std::string &fault) const
    {
        throw EFormResourceError(file_, line, column, fault);
    }
    [[noreturn]] void Fail(const Token &at, const std::string &fault) const
    {
        Fail(at.line, at.column, fault);
    }
    const std::string &FileName() const { return file_; }

private:
    void Step()
    {
        // Columns count code points: continuation bytes do not move them.
        const auto b = static_cast<unsigned char>(text_[pos_++]);
        if (b == '\n') {
            ++line_;
            column_ = 1;
        } else if ((b & 0xC0) != 0x80) {
            ++column_;
        }
    }
    void SkipBlanks()
    {
        while (pos_ < text_.size()
            && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' || text_[pos_] == '\n'))
            Step();
    }

    void Advance()
    {
        SkipBlanks();
        Token t;
        t.line = line_;
        t.column = column_;
        if (pos_ >= text_.size()) {
            t.kind = Token::End;
            current_ = std::move(t);
            return;
        }
        const char c = text_[pos_];
        if (IsIdentStart(c))
            ReadIdent(t);
        else if (c == '\'' || c == '#')
            ReadString(t);
        else if (IsDigit(c) || c == '$'
            || (c == '-' && pos_ + 1 < text_.size() && (IsDigit(text_[pos_ + 1]) || text_[pos_ + 1] == '$')))
            ReadNumber(t);
        else if (c == '{')
            ReadBinary(t);
        else if (std::string_view("=:[](),<>}+").find(c) != std::string_view::npos) {
            t.kind = Token::Symbol;
            t.text = std::string(1, c);
            Step();
        } else {
            size_t p = pos_;
            Fail(t, "Invalid character " + CodePointToUtf8(Utf8Next(text_, p)));
        }
        current_ = std::move(t);
    }

    // Hexadecimal digits between { and }, blanks and line breaks allowed.
    void ReadBinary(Token &t)
    {
        t.kind = Token::Binary;
        Step();
        int high = -1;
        for (;;) {
            SkipBlanks();
            if (pos_ >= text_.size())
                Fail(t, "Unterminated binary data");
            const char c = text_[pos_];
            if (c == '}') {
                if (high >= 0)
                    Fail(line_, column_, "Odd number of hexadecimal digits in binary data");
                Step();
                return;
            }
            const int v = HexValue(c);
            if (v < 0)
                Fail(line_, column_, "Invalid character in binary data");
            Step();
            if (high < 0) {
                high = v;
            } else {
                t.text += static_cast<char>(high * 16 + v);
                high = -1;
            }
        }
    }

    void ReadIdent(Token &t)
    {
        t.kind = Token::Ident;
        for (;;) {
            while (pos_ < text_.size() && IsIdentChar(text_[pos_])) {
                t.text += text_[pos_];
                Step();
            }
            if (pos_ + 1 < text_.size() && text_[pos_] == '.' && IsIdentStart(text_[pos_ + 1])) {
                t.text += '.';
                Step();
                continue;
            }
            break;
        }
    }

    void ReadString(Token &t)
    {
        t.kind = Token::String;
        while (pos_ < text_.size() && (text_[pos_] == '\'' || text_[pos_] == '#')) {
            if (text_[pos_] == '\'') {
                const int line = line_, column = column_;
                Step();
                std::string raw;
                for (;;) {
                    if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r')
                        Fail(line, column, "Unterminated string");
                    if (text_[pos_] == '\'') {
                        Step();
                        if (pos_ < text_.size() && text_[pos_] == '\'') {
                            raw += '\'';
                            Step();
                            continue;
                        }
                        break;
                    }
                    raw += text_[pos_];
                    Step();
                }
                // Malformed bytes become U+FFFD rather than travel on.
                t.text += CodePointsToUtf8(Utf8ToCodePoints(raw));
            } else {
                const int line = line_, column = column_;
                Step();
                uint32_t code = 0;
                bool any = false;
                const bool hex = pos_ < text_.size() && text_[pos_] == '$';
                if (hex)
                    Step();
                while (pos_ < text_.size() && (hex ? HexValue(text_[pos_]) >= 0 : IsDigit(text_[pos_]))) {
                    code = code * (hex ? 16 : 10) + static_cast<uint32_t>(HexValue(text_[pos_]));
                    any = true;
                    if (code > 0x10FFFF)
                        Fail(line, column, "Invalid character code");
                    Step();
                }
                if (!any || (code >= 0xD800 && code <= 0xDFFF))
                    Fail(line, column, "Invalid character code");
                t.text += CodePointToUtf8(static_cast<char32_t>(code));
            }
        }
    }

    void ReadNumber(Token &t)
    {
        const size_t start = pos_;
        bool negative = false;
        if (text_[pos_] == '-') {
            negative = true;
            Step();
        }
        if (pos_ < text_.size() && text_[pos_] == '$') {
            Step();
            uint64_t v = 0;
            size_t digits = 0;
            while (pos_ < text_.size() && HexValue(text_[pos_]) >= 0) {
                if (v >> 60)
                    Fail(t, "Number out of range");
                v = v * 16 + static_cast<uint64_t>(HexValue(text_[pos_]));
                ++digits;
                Step();
            }
            if (!digits)
                Fail(t, "Invalid number");
            t.kind = Token::Integer;
            // $FFFFFFFF style constants are bit patterns: they keep their
            // value (a 32-bit colour, a mask) rather than overflow.
            if (v > static_cast<uint64_t>(INT64_MAX) && !(negative && v == uint64_t(INT64_MAX) + 1))
                Fail(t, "Number out of range");
            t.integer = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
        } else {
            while (pos_ < text_.size() && IsDigit(text_[pos_]))
                Step();
            bool real = false;
            if (pos_ + 1 < text_.size() && text_[pos_] == '.' && IsDigit(text_[pos_ + 1])) {
                real = true;
                Step();
                while (pos_ < text_.size() && IsDigit(text_[pos_]))
                    Step();
            }
            if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
                size_t p = pos_ + 1;
                if (p < text_.size() && (text_[p] == '+' || text_[p] == '-'))
                    ++p;
                if (p < text_.size() && IsDigit(text_[p])) {
                    real = true;
                    while (pos_ < p)
                        Step();
                    while (pos_ < text_.size() && IsDigit(text_[pos_]))
                        Step();
                }
            }
            const std::string_view literal = text_.substr(start, pos_ - start);
            if (real) {
                t.kind = Token::Float;
                auto r = std::from_chars(literal.data(), literal.data() + literal.size(), t.real);
                if (r.ec != std::errc() || !std::isfinite(t.real))
                    Fail(t, "Number out of range");
            } else {
                t.kind = Token::Integer;
                auto r = std::from_chars(literal.data(), literal.data() + literal.size(), t.integer);
                if (r.ec != std::errc())
                    Fail(t, "Number out of range");
                t.real = static_cast<double>(t.integer);
            }
            // Single, currency and date markers of typed floats.
            if (pos_ < text_.size() && (text_[pos_] == 's' || text_[pos_] == 'c' || text_[pos_] == 'd')
                && !(pos_ + 1 < text_.size() && IsIdentChar(text_[pos_ + 1]))) {
                t.kind = Token::Float;
                Step();
            }
        }
        if (pos_ < text_.size() && IsIdentChar(text_[pos_]))
            Fail(t, "Invalid number");
        t.text = std::string(text_.substr(start, pos_ - start));
    }

    std::string_view text_;
    std::string file_;
    size_t pos_ = 0;
    int line_ = 1;
    int column_ = 1;
    Token current_;
};

// Parses a decimal literal exactly into ten-thousandths (half to even beyond
// four decimals); exponents go through double.
std::optional<int64_t> ParseCurrency(const Token &t)
{
    std::string s = t.text;
    if (!s.empty() && (s.back() == 'c' || s.back() == 's' || s.back() == 'd'))
        s.pop_back();
    if (s.find_first_of("eE$") != std::string::npos) {
        const double v = t.kind == Token::Integer ? static_cast<double>(t.integer) : t.real;
        Currency c;
        if (!TryFloatToCurr(v, c))
            return std::nullopt;
        return c.Value;
    }
    const bool negative = !s.empty() && s[0] == '-';
    if (negative)
        s.erase(0, 1);
    const size_t dot = s.find('.');
    const std::string whole = s.substr(0, dot);
    std::string frac = dot == std::string::npos ? std::string() : s.substr(dot + 1);
    __int128 raw = 0;
    for (char c : whole) {
        raw = raw * 10 + (c - '0');
        if (raw > (__int128(INT64_MAX) + 1) / 10000)
            return std::nullopt;
    }
    raw *= 10000;
    std::string four = frac.substr(0, std::min<size_t>(4, frac.size()));
    four.resize(4, '0');
    raw += std::stoi(four);
    if (frac.size() > 4) {
        const std::string rest = frac.substr(4);
        const bool aboveHalf
            = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
        const bool half = rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
        if (aboveHalf || (half && (raw % 2) != 0))
            ++raw;
    }
    if (negative)
        raw = -raw;
    if (raw > INT64_MAX || raw < INT64_MIN)
        return std::nullopt;
    return static_cast<int64_t>(raw);
}

std::string CurrencyText(int64_t raw)
{
    const bool negative = raw < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(raw) : static_cast<uint64_t>(raw);
    std::string text = std::to_string(magnitude / 10000);
    std::string frac = std::to_string(magnitude % 10000);
    frac.insert(0, 4 - frac.size(), '0');
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    if (!frac.empty())
        text += "." + frac;
    return negative ? "-" + text : text;
}

std::string FloatText(double value)
{
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

// A string as resource text: printable runs quoted, control characters as #n.
std::string QuotedString(const std::string &value)
{
    if (value.empty())
        return "''";
    std::string out;
    bool open = false;
    for (unsigned char c : value) {
        if (c < 32 || c == 127) {
            if (open)
                out += '\'';
            open = false;
            out += "#" + std::to_string(c);
        } else {
            if (!open)
                out += '\'';
            open = true;
            if (c == '\'')
                out += '\'';
            out += static_cast<char>(c);
        }
    }
    if (open)
        out += '\'';
    return out;
}

const char HexDigits[] = "0123456789ABCDEF";

struct ResourceRegistry {
    std::mutex lock;
    std::map<std::string, TFormResource> resources; // by upper-cased name
    std::vector<std::string> conflicts;
};
ResourceRegistry &Resources()
{
    static ResourceRegistry registry;
    return registry;
}

std::string UpperName(std::string s)
{
    for (char &c : s)
        c = AsciiUpper(c);
    return s;
}

} // namespace

// ---- Loading ----

struct TReader::Impl {
    TLoadSession &session;
    std::string pendingName; // the defined property being looked for
    bool handled = false;
    // The component whose ReadState this reader was handed to
    TComponent *body = nullptr;
    TComponent *bodyOwner = nullptr; // where its nested objects are looked up and created
    std::string bodyName;
    bool bodyRead = false;
};

// One load of one or more resource layers onto a root.
namespace
{

// Hears of the destruction of every component a load touches, so that the
// load's lists never hold a freed component: a Loaded, a setter or a
// destructor may free others.
class TLoadWatcher : public TComponent
{
public:
    explicit TLoadWatcher(std::vector<TComponent *> &created, std::vector<TComponent *> &loaded)
        : TComponent(nullptr)
        , created_(created)
        , loaded_(loaded)
    {
    }

protected:
    void Notification(TComponent *component, TOperation operation) override
    {
        TComponent::Notification(component, operation);
        if (operation != opRemove)
            return;
        created_.erase(std::remove(created_.begin(), created_.end(), component), created_.end());
        loaded_.erase(std::remove(loaded_.begin(), loaded_.end(), component), loaded_.end());
    }

private:
    std::vector<TComponent *> &created_;
    std::vector<TComponent *> &loaded_;
};

// Nesting deeper than this is not a form; it would only exhaust the stack.
constexpr int MaxNesting = 256;

} // namespace

struct TLoadSession {
    struct Fixup {
        TObject *instance;
        const TPropInfo *prop;
        std::string reference;
        Token at;
    };
    struct Context {
        TComponent *owner; // where nested objects are looked up and created
    };

    TComponent *root;
    std::vector<TComponent *> created; // by this load, in creation order
    std::vector<TComponent *> loaded; // read by this load, in creation order, root first
    std::vector<const TFieldInfo *> fieldsSet;
    std::vector<Fixup> fixups;
    Lexer *lex = nullptr;
    int depth = 0;
    TLoadWatcher watcher { created, loaded };

    explicit TLoadSession(TComponent *r)
        : root(r)
    {
    }
    ~TLoadSession()
    {
        for (TComponent *c : loaded)
            c->RemoveFreeNotification(&watcher);
    }

    // ---- the parts of the text ----

    Token Expect(const char *symbol)
    {
        const Token &t = lex->Peek();
        if (t.kind != Token::Symbol || t.text != symbol)
            lex->Fail(t, std::string("Expected '") + symbol + "' but found " + Describe(t));
        return lex->Next();
    }
    bool AtSymbol(const char *symbol) const
    {
        const Token &t = lex->Peek();
        return t.kind == Token::Symbol && t.text == symbol;
    }
    bool AtKeyword(const char *word) const
    {
        const Token &t = lex->Peek();
        return t.kind == Token::Ident && SameName(t.text, word);
    }
    Token ExpectIdent(const char *what)
    {
        const Token &t = lex->Peek();
        if (t.kind != Token::Ident || t.text.find('.') != std::string::npos)
            lex->Fail(t, std::string("Expected ") + what + " but found " + Describe(t));
        return lex->Next();
    }
    // An index "[n]" that only orders a child or an item among its siblings:
    // read and ignored, the order of the text is kept.
    void SkipOrderIndex()
    {
        if (!AtSymbol("["))
            return;
        lex->Next();
        if (lex->Peek().kind != Token::Integer)
            lex->Fail(lex->Peek(), "Expected an integer but found " + Describe(lex->Peek()));
        lex->Next();
        Expect("]");
    }

    struct Header {
        Token keyword, name, className;
        bool hasName = false;
    };
    Header ReadHeader()
    {
        Header h;
        h.keyword = lex->Next();
        Token first = ExpectIdent("a component name or class name");
        if (AtSymbol(":")) {
            lex->Next();
            h.name = first;
            h.hasName = true;
            h.className = ExpectIdent("a class name");
        } else {
            h.className = first;
            h.name = first;
            h.name.text.clear();
        }
        SkipOrderIndex(); // orders inherited children
        return h;
    }

    static bool ClassChainHas(const TMetaClass *c, const std::string &name)
    {
        for (; c; c = c->ClassParent())
            if (SameName(c->ClassName(), name))
                return true;
        return false;
    }

    void Track(TComponent *c)
    {
        if (std::find(loaded.begin(), loaded.end(), c) == loaded.end()) {
            loaded.push_back(c);
            c->FreeNotification(&watcher);
        }
        c->SetState(csLoading, true);
        c->SetState(csReading, true);
    }

    void ReadLayer(std::string_view text, const std::string &fileName)
    {
        Lexer lexer(text, fileName);
        lex = &lexer;
        fixups.clear();
        const Token &first = lex->Peek();
        if (!(AtKeyword("object") || AtKeyword("inherited") || AtKeyword("inline")))
            lex->Fail(first, "Expected object but found " + Describe(first));
        Header h = ReadHeader();
        if (!ClassChainHas(root->ClassType(), h.className.text))
            lex->Fail(h.className,
                "Resource of class " + h.className.text + " cannot be read into a " + root->ClassName());
        Track(root);
        if (h.hasName && !SameName(root->Name(), h.name.text))
            NameRoot(h.name);
        ReadState(root, root, h.name.text.empty() ? h.className.text : h.name.text, h.keyword);
        if (lex->Peek().kind != Token::End)
            lex->Fail(lex->Peek(), "Unexpected " + Describe(lex->Peek()) + " after the end of the resource");
        ResolveFixups();
        root->SetState(csReading, false);
        lex = nullptr;
    }

    // A second form of one class gets Name_1, Name_2, ... as the class
    // library does, instead of failing on the duplicate.
    void NameRoot(const Token &name)
    {
        std::string candidate = name.text;
        TComponent *owner = root->Owner();
        for (int n = 1; owner && owner->FindComponent(candidate) && owner->FindComponent(candidate) != root;
             ++n)
            candidate = name.text + "_" + std::to_string(n);
        Guard(name, [&] { root->SetName(candidate); });
    }

    template <typename F> void Guard(const Token &at, F &&action)
    {
        try {
            action();
        } catch (const EFormResourceError &) {
            throw;
        } catch (const Exception &e) {
            lex->Fail(at, e.Message());
        }
    }

    // Properties and nested objects up to the object's "end".
    void ReadBody(TPersistent *object, TComponent *component, Context context, const std::string &objectName)
    {
        if (++depth > MaxNesting)
            lex->Fail(lex->Peek(), "Objects nested too deeply");
        struct Leave {
            int &depth;
            ~Leave() { --depth; }
        } leave { depth };
        for (;;) {
            const Token &t = lex->Peek();
            if (t.kind == Token::End)
                lex->Fail(t, "Missing end of object " + objectName);
            if (t.kind != Token::Ident)
                lex->Fail(t, "Expected a property name, object or end but found " + Describe(t));
            if (SameName(t.text, "end")) {
                lex->Next();
                return;
            }
            if (SameName(t.text, "object") || SameName(t.text, "inherited") || SameName(t.text, "inline")) {
                if (!component)
                    lex->Fail(t, "Objects cannot be nested inside " + objectName);
                ReadObject(component, context);
                continue;
            }
            ReadProperty(object);
        }
    }

    void ReadObject(TComponent *parent, Context context)
    {
        if (depth >= MaxNesting)
            lex->Fail(lex->Peek(), "Objects nested too deeply");
        Header h = ReadHeader();
        const std::string keyword = h.keyword.text;
        TComponent *c = nullptr;
        if (SameName(keyword, "inherited")) {
            c = context.owner->FindComponent(h.name.text);
            if (!c)
                lex->Fail(h.name, "Ancestor component " + h.name.text + " does not exist");
            if (!ClassChainHas(c->ClassType(), h.className.text))
                lex->Fail(h.className,
                    "Component " + h.name.text + " is a " + c->ClassName() + ", not a " + h.className.text);
            Track(c);
        } else {
            const TMetaClass *meta = GetClass(h.className.text);
            if (!meta)
                lex->Fail(h.className, "Class " + h.className.text + " not found");
            Guard(h.className, [&] { c = CreateComponent(*meta, context.owner); });
            created.push_back(c);
            Track(c);
            if (SameName(keyword, "inline"))
                c->SetState(csInline, true);
            Guard(h.name, [&] { c->SetName(h.name.text); });
            BindField(h, c);
            Guard(h.keyword, [&] { c->SetParentComponent(parent); });
        }
        const Context inner { SameName(keyword, "inline") ? c : context.owner };
        ReadState(c, inner.owner, h.name.text.empty() ? h.className.text : h.name.text, h.keyword);
        c->SetState(csReading, false);
    }

    // The component reads its own part through ReadState, so that a class
    // can prepare before its properties and children are read and finish
    // after; TComponent::ReadState comes back to ReadBody.
    void ReadState(TComponent *c, TComponent *owner, const std::string &name, const Token &at)
    {
        TReader::Impl impl { *this, {}, false, c, owner, name, false };
        TReader reader(impl);
        Guard(at, [&] { c->ReadState(reader); });
        if (!impl.bodyRead)
            lex->Fail(at, std::string("ReadState of ") + c->ClassName() + " did not read " + name);
    }

    void BindField(const Header &h, TComponent *c)
    {
        if (h.name.text.empty())
            return;
        const TFieldInfo *field = FindField(*root->ClassType(), h.name.text);
        if (!field)
            return;
        if (!c->InheritsFrom(*field->FieldClass))
            lex->Fail(h.className,
                "Field " + field->Name + " of " + root->ClassName() + " is a "
                    + field->FieldClass->ClassName() + ", not a " + c->ClassName());
        field->Set(root, c);
        fieldsSet.push_back(field);
    }

    void ReadProperty(TPersistent *object)
    {
        const Token path = lex->Next();
        Expect("=");
        TObject *target = object;
        std::vector<std::string> parts;
        for (size_t start = 0;;) {
            const size_t dot = path.text.find('.', start);
            parts.push_back(
                path.text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
            if (dot == std::string::npos)
                break;
            start = dot + 1;
        }
        auto missing = [&]() { lex->Fail(path, "Property " + path.text + " does not exist"); };
        for (size_t i = 0; i + 1 < parts.size(); ++i) {
            const TPropInfo *p = GetPropInfo(target, parts[i]);
            if (!p)
                missing();
            if (p->Kind == pkStrings && i + 2 == parts.size() && SameName(parts[i + 1], "Strings")) {
                ReadStrings(static_cast<TStrings *>(p->GetObject(target)), path);
                return;
            }
            if (p->Kind != pkPersistent && p->Kind != pkCollection)
                missing();
            TObject *next = p->GetObject(target);
            if (!next)
                lex->Fail(path, "Property " + parts[i] + " is nil");
            target = next;
        }
        const std::string &last = parts.back();
        if (const TPropInfo *p = GetPropInfo(target, last)) {
            ReadValue(target, *p, path);
            return;
        }
        auto *persistent = dynamic_cast<TPersistent *>(target);
        bool handled = false;
        if (persistent)
            Guard(path, [&] { handled = ReadDefined(persistent, last); });
        if (!handled)
            missing();
    }

    bool ReadDefined(TPersistent *object, const std::string &name)
    {
        TReader::Impl impl { *this, name, false, nullptr, nullptr, {}, false };
        TReader reader(impl);
        object->DefineProperties(reader);
        return impl.handled;
    }

    [[noreturn]] void BadValue(const Token &at, const TPropInfo &p)
    {
        lex->Fail(at,
            "Invalid value " + (at.kind == Token::String ? QuotedString(at.text) : Describe(at))
                + " for property " + p.Name);
    }

    std::string ReadStringValue()
    {
        const Token first = lex->Next();
        std::string value = first.text;
        while (AtSymbol("+")) {
            lex->Next();
            if (lex->Peek().kind != Token::String)
                lex->Fail(lex->Peek(), "Expected a string after '+' but found " + Describe(lex->Peek()));
            value += lex->Next().text;
        }
        return value;
    }

    void ReadStrings(TStrings *strings, const Token &path)
    {
        if (!strings)
            lex->Fail(path, "Property " + path.text + " is nil");
        const Token open = lex->Peek();
        if (!AtSymbol("("))
            lex->Fail(open, "Expected '(' but found " + Describe(open));
        lex->Next();
        std::vector<std::string> lines;
        while (!AtSymbol(")")) {
            const Token &t = lex->Peek();
            if (t.kind == Token::End)
                lex->Fail(open, "Missing ')' of the list");
            if (t.kind != Token::String)
                lex->Fail(t, "Expected a string but found " + Describe(t));
            lines.push_back(ReadStringValue());
        }
        lex->Next();
        Guard(open, [&] {
            strings->BeginUpdate();
            try {
                strings->Clear();
                for (const std::string &line : lines)
                    strings->Add(line);
            } catch (...) {
                strings->EndUpdate();
                throw;
            }
            strings->EndUpdate();
        });
    }

    void ReadValue(TObject *target, const TPropInfo &p, const Token &path)
    {
        const Token t = lex->Peek();
        auto setter = [&](auto &f) -> decltype(f) & {
            if (!f)
                lex->Fail(path, "Property " + path.text + " is read-only");
            return f;
        };
        switch (p.Kind) {
        case pkInteger: {
            int64_t v = 0;
            if (t.kind == Token::Integer) {
                v = t.integer;
            } else if (t.kind == Token::Ident && p.Idents) {
                auto it = std::find_if(p.Idents->begin(), p.Idents->end(),
                    [&](const auto &e) { return SameName(e.first, t.text); });
                if (it == p.Idents->end())
                    BadValue(t, p);
                v = it->second;
            } else {
                BadValue(t, p);
            }
            lex->Next();
            if (v < p.MinValue || v > p.MaxValue)
                lex->Fail(t, "Value " + t.text + " is out of range for property " + p.Name);
            Guard(t, [&] { setter(p.SetOrd)(target, v); });
            return;
        }
        case pkBoolean:
        case pkEnumeration: {
            const int v = t.kind == Token::Ident ? GetEnumValue(p, t.text) : -1;
            if (v < 0)
                BadValue(t, p);
            lex->Next();
            Guard(t, [&] { setter(p.SetOrd)(target, v); });
            return;
        }
        case pkSet: {
            if (!AtSymbol("["))
                BadValue(t, p);
            lex->Next();
            uint64_t bits = 0;
            while (!AtSymbol("]")) {
                const Token e = lex->Peek();
                const int v = e.kind == Token::Ident ? GetEnumValue(p, e.text) : -1;
                if (v < 0)
                    BadValue(e, p);
                bits |= uint64_t(1) << v;
                lex->Next();
                if (AtSymbol(","))
                    lex->Next();
                else if (!AtSymbol("]"))
                    lex->Fail(lex->Peek(), "Expected ',' or ']' but found " + Describe(lex->Peek()));
            }
            lex->Next();
            Guard(t, [&] { setter(p.SetOrd)(target, static_cast<int64_t>(bits)); });
            return;
        }
        case pkString: {
            if (t.kind != Token::String)
                BadValue(t, p);
            const std::string v = ReadStringValue();
            Guard(t, [&] { setter(p.SetStr)(target, v); });
            return;
        }
        case pkFloat:
        case pkDate: {
            if (t.kind != Token::Integer && t.kind != Token::Float)
                BadValue(t, p);
            lex->Next();
            Guard(t, [&] { setter(p.SetFloat)(target, t.real); });
            return;
        }
        case pkCurrency: {
            std::optional<int64_t> raw;
            if (t.kind == Token::Integer || t.kind == Token::Float)
                raw = ParseCurrency(t);
            if (!raw)
                BadValue(t, p);
            lex->Next();
            Guard(t, [&] { setter(p.SetOrd)(target, *raw); });
            return;
        }
        case pkStrings:
            ReadStrings(static_cast<TStrings *>(p.GetObject(target)), path);
            return;
        case pkCollection:
            if (AtSymbol("<")) {
                ReadCollection(dynamic_cast<TCollection *>(p.GetObject(target)), path);
                return;
            }
            BadValue(t, p);
        case pkPersistent:
            BadValue(t, p);
        case pkComponent: {
            if (t.kind != Token::Ident)
                BadValue(t, p);
            lex->Next();
            setter(p.SetObject);
            if (SameName(t.text, "nil"))
                Guard(t, [&] { p.SetObject(target, nullptr); });
            else
                fixups.push_back({ target, &p, t.text, t });
            return;
        }
        case pkEvent: {
            if (t.kind != Token::Ident || t.text.find('.') != std::string::npos)
                BadValue(t, p);
            lex->Next();
            if (SameName(t.text, "nil")) {
                p.BindHandler(target, nullptr, root);
                return;
            }
            const THandlerInfo *h = FindHandler(*root->ClassType(), t.text);
            if (!h)
                lex->Fail(t, "Handler " + t.text + " does not exist in " + root->ClassName());
            if (*h->Signature != *p.EventSignature)
                lex->Fail(t, "Handler " + t.text + " does not fit event " + p.Name);
            Guard(t, [&] { p.BindHandler(target, h, root); });
            return;
        }
        }
    }

    void ReadCollection(TCollection *collection, const Token &path)
    {
        if (!collection)
            lex->Fail(path, "Property " + path.text + " is nil");
        const Token open = lex->Next();
        collection->BeginUpdate();
        struct EndUpdate {
            TCollection *c;
            ~EndUpdate() { c->EndUpdate(); }
        } guard { collection };
        collection->Clear();
        while (!AtSymbol(">")) {
            const Token &t = lex->Peek();
            if (t.kind == Token::End)
                lex->Fail(open, "Missing '>' of collection " + path.text);
            if (!AtKeyword("item"))
                lex->Fail(t, "Expected item but found " + Describe(t));
            const Token item = lex->Next();
            SkipOrderIndex(); // the class library may write one after "item"
            TCollectionItem *added = nullptr;
            Guard(item, [&] { added = collection->Add(); });
            ReadBody(added, nullptr, Context { nullptr }, "item");
        }
        lex->Next();
    }

    TComponent *Resolve(const std::string &reference) const
    {
        std::vector<std::string> parts;
        for (size_t start = 0;;) {
            const size_t dot = reference.find('.', start);
            parts.push_back(
                reference.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
            if (dot == std::string::npos)
                break;
            start = dot + 1;
        }
        TComponent *c = nullptr;
        if (SameName(parts[0], root->Name()))
            c = root;
        else if (!(c = root->FindComponent(parts[0])))
            c = FindGlobalComponent(parts[0]);
        for (size_t i = 1; c && i < parts.size(); ++i)
            c = c->FindComponent(parts[i]);
        return c;
    }

    void ResolveFixups()
    {
        for (const Fixup &f : fixups) {
            TComponent *c = Resolve(f.reference);
            if (!c)
                lex->Fail(
                    f.at, "Component " + f.reference + " referenced by " + f.prop->Name + " does not exist");
            if (f.prop->ObjectClass && !c->InheritsFrom(*f.prop->ObjectClass))
                lex->Fail(f.at,
                    "Component " + f.reference + " is a " + c->ClassName() + ", not a "
                        + f.prop->ObjectClass->ClassName());
            Guard(f.at, [&] { f.prop->SetObject(f.instance, c); });
        }
        fixups.clear();
    }

    void Finish()
    {
        for (TComponent *c : loaded)
            c->SetState(csReading, false);
        // A Loaded may free components of the list (the watcher takes them
        // out); each is called only while it is still there.
        const std::vector<TComponent *> order = loaded;
        for (TComponent *c : order)
            if (std::find(loaded.begin(), loaded.end(), c) != loaded.end())
                c->Loaded();
        for (TComponent *c : loaded)
            c->SetState(csLoading, false);
    }

    // Undoes what the load created; the root and components that existed
    // before stay, with their state flags cleared.
    void Rollback()
    {
        for (TComponent *c : loaded)
            if (std::find(created.begin(), created.end(), c) == created.end()) {
                c->SetState(csLoading, false);
                c->SetState(csReading, false);
            }
        for (const TFieldInfo *field : fieldsSet)
            field->Set(root, nullptr);
        // Newest first: a component created inside an inline one goes before
        // its owner. Whatever a destructor frees besides leaves the list
        // through the watcher.
        while (!created.empty()) {
            TComponent *c = created.back();
            created.pop_back();
            delete c;
        }
    }

    static TComponent *FindGlobalComponent(const std::string &name);
};

namespace
{
std::mutex globalFinderLock;
std::function<TComponent *(const std::string &)> globalFinder;
} // namespace

void SetFindGlobalComponent(std::function<TComponent *(const std::string &name)> finder)
{
    std::lock_guard guard(globalFinderLock);
    globalFinder = std::move(finder);
}

TComponent *TLoadSession::FindGlobalComponent(const std::string &name)
{
    std::function<TComponent *(const std::string &)> finder;
    {
        std::lock_guard guard(globalFinderLock);
        finder = globalFinder;
    }
    return finder ? finder(name) : nullptr;
}

namespace
{

struct Layer {
    std::string_view text;
    std::string fileName;
};

void Load(TComponent *root, const std::vector<Layer> &layers)
{
    if (!root)
        throw EReadError("No component to read the resource into");
    TLoadSession session(root);
    try {
        for (const Layer &layer : layers)
            session.ReadLayer(layer.text, layer.fileName);
        session.Finish();
    } catch (...) {
        session.Rollback();
        throw;
    }
}

} // namespace

// ---- TReader ----

void TReader::DefineProperty(const std::string &name, const TReaderProc &readData, const TWriterProc &, bool)
{
    if (d.handled || !readData || !SameName(name, d.pendingName))
        return;
    d.handled = true;
    readData(*this);
}

void TReader::DefineBinaryProperty(
    const std::string &name, const TStreamProc &readData, const TStreamProc &, bool)
{
    if (d.handled || !readData || !SameName(name, d.pendingName))
        return;
    d.handled = true;
    Lexer &lex = *d.session.lex;
    const Token open = lex.Peek();
    if (open.kind != Token::Binary)
        lex.Fail(open, "Expected binary data but found " + Describe(open));
    lex.Next();
    TMemoryStream stream;
    if (!open.text.empty())
        stream.WriteBuffer(open.text.data(), static_cast<int64_t>(open.text.size()));
    stream.SetPosition(0);
    d.session.Guard(open, [&] { readData(stream); });
}

TComponent *TReader::Root() const
{
    return d.session.root;
}

TValueType TReader::NextValue()
{
    const Token &t = d.session.lex->Peek();
    switch (t.kind) {
    case Token::Integer:
        return vaInt;
    case Token::Float:
        return vaFloat;
    case Token::String:
        return vaString;
    case Token::Binary:
        return vaBinary;
    case Token::Ident:
        if (SameName(t.text, "True"))
            return vaTrue;
        if (SameName(t.text, "False"))
            return vaFalse;
        return vaIdent;
    case Token::Symbol:
        if (t.text == "(")
            return vaList;
        if (t.text == "[")
            return vaSet;
        if (t.text == "<")
            return vaCollection;
        return vaNull;
    case Token::End:
        return vaNull;
    }
    return vaNull;
}

void TReader::Error(const std::string &fault)
{
    d.session.lex->Fail(d.session.lex->Peek(), fault);
}

int64_t TReader::ReadInteger()
{
    const Token &t = d.session.lex->Peek();
    if (t.kind != Token::Integer)
        Error("Expected an integer but found " + Describe(t));
    return d.session.lex->Next().integer;
}

bool TReader::ReadBoolean()
{
    const TValueType v = NextValue();
    if (v != vaTrue && v != vaFalse)
        Error("Expected True or False but found " + Describe(d.session.lex->Peek()));
    d.session.lex->Next();
    return v == vaTrue;
}

double TReader::ReadFloat()
{
    const Token &t = d.session.lex->Peek();
    if (t.kind != Token::Integer && t.kind != Token::Float)
        Error("Expected a number but found " + Describe(t));
    return d.session.lex->Next().real;
}

std::string TReader::ReadString()
{
    if (d.session.lex->Peek().kind != Token::String)
        Error("Expected a string but found " + Describe(d.session.lex->Peek()));
    return d.session.ReadStringValue();
}

std::string TReader::ReadIdent()
{
    if (d.session.lex->Peek().kind != Token::Ident)
        Error("Expected an identifier but found " + Describe(d.session.lex->Peek()));
    return d.session.lex->Next().text;
}

void TReader::ReadListBegin()
{
    d.session.Expect("(");
}

bool TReader::EndOfList()
{
    if (d.session.lex->Peek().kind == Token::End)
        Error("Missing ')' of the list");
    return d.session.AtSymbol(")");
}

void TReader::ReadListEnd()
{
    d.session.Expect(")");
}

// ---- Writing ----

struct TWriter::Impl {
    TWriteSession &session;
    std::string prefix; // the dotted path of the object being written
    int indent;
    int listDepth = 0;
    bool listEmpty = true;
    // The component whose WriteState this writer was handed to
    TComponent *body = nullptr;
    const char *childKeyword = "object";
    TComponent *childOwner = nullptr;
    bool bodyWritten = false;
};

struct TWriteSession {
    TComponent *root;
    std::string out;

    void Line(int indent, const std::string &text)
    {
        out.append(static_cast<size_t>(indent), ' ');
        out += text;
        out += '\n';
    }
    // Appends to the line just written (closing brackets of lists).
    void Append(const std::string &text)
    {
        if (!out.empty() && out.back() == '\n')
            out.pop_back();
        out += text;
        out += '\n';
    }

    std::string ReferenceName(TComponent *c) const
    {
        if (c == root)
            return root->Name();
        std::string path = c->Name();
        for (TComponent *o = c->Owner(); o && o != root && !o->Name().empty(); o = o->Owner())
            path = o->Name() + "." + path;
        return path;
    }

    // Children of an inline component (a frame) are its own: they are
    // written as "inherited" blocks that override what the frame made.
    void WriteComponent(TComponent *c, int indent, const char *keyword, TComponent *owner)
    {
        c->SetState(csWriting, true);
        struct Clear {
            TComponent *c;
            ~Clear() { c->SetState(csWriting, false); }
        } clear { c };
        const bool isInline = c->ComponentState().Contains(csInline);
        if (isInline)
            keyword = "inline";
        Line(indent,
            keyword + std::string(" ") + (c->Name().empty() ? std::string() : c->Name() + ": ")
                + c->ClassName());
        TWriter::Impl impl { *this, {}, indent + 2 };
        impl.body = c;
        impl.childOwner = isInline ? c : owner;
        impl.childKeyword = isInline ? "inherited" : keyword;
        TWriter writer(impl);
        c->WriteState(writer);
        if (!impl.bodyWritten)
            throw EWriteError(std::string("WriteState of ") + c->ClassName() + " did not write " + c->Name());
        Line(indent, "end");
    }

    void WriteBody(TWriter::Impl &d, TComponent *c)
    {
        WriteProperties(c, "", d.indent);
        c->GetChildren(
            [&](TComponent *child) { WriteComponent(child, d.indent, d.childKeyword, d.childOwner); },
            d.childOwner);
    }

    void WriteProperties(TObject *object, const std::string &prefix, int indent)
    {
        const bool isComponent = dynamic_cast<TComponent *>(object) != nullptr;
        for (const TPropInfo *p : GetPropList(object)) {
            if (isComponent && p->Name == "Name")
                continue;
            if (p->Kind == pkPersistent) {
                if (p->Stored.Rule == TStored::Never
                    || (p->Stored.Rule == TStored::Predicate && !p->Stored.Proc(object)))
                    continue;
                if (TObject *nested = p->GetObject(object))
                    WriteProperties(nested, prefix + p->Name + ".", indent);
                continue;
            }
            if (!IsStoredProp(object, *p))
                continue;
            WriteProperty(object, *p, prefix + p->Name, indent);
        }
        if (auto *persistent = dynamic_cast<TPersistent *>(object)) {
            TWriter::Impl impl { *this, prefix, indent };
            TWriter writer(impl);
            persistent->DefineProperties(writer);
        }
    }

    void WriteProperty(TObject *object, const TPropInfo &p, const std::string &path, int indent)
    {
        const std::string head = path + " = ";
        switch (p.Kind) {
        case pkInteger: {
            const int64_t v = p.GetOrd(object);
            if (p.Idents) {
                auto it = std::find_if(
                    p.Idents->begin(), p.Idents->end(), [&](const auto &e) { return e.second == v; });
                if (it != p.Idents->end()) {
                    Line(indent, head + it->first);
                    return;
                }
            }
            Line(indent, head + std::to_string(v));
            return;
        }
        case pkBoolean:
        case pkEnumeration: {
            const int64_t v = p.GetOrd(object);
            const std::string name = GetEnumName(p, v);
            Line(indent, head + (name.empty() ? std::to_string(v) : name));
            return;
        }
        case pkSet: {
            const auto bits = static_cast<uint64_t>(p.GetOrd(object));
            std::string text;
            for (size_t i = 0; i < p.Names->size() && i < 64; ++i)
                if (bits & (uint64_t(1) << i))
                    text += (text.empty() ? "" : ", ") + (*p.Names)[i];
            Line(indent, head + "[" + text + "]");
            return;
        }
        case pkString:
            Line(indent, head + QuotedString(p.GetStr(object)));
            return;
        case pkFloat:
        case pkDate:
            Line(indent, head + FloatText(p.GetFloat(object)));
            return;
        case pkCurrency:
            Line(indent, head + CurrencyText(p.GetOrd(object)));
            return;
        case pkStrings: {
            const auto *strings = static_cast<const TStrings *>(p.GetObject(object));
            Line(indent, path + ".Strings = (");
            for (int i = 0; i < strings->Count(); ++i)
                Line(indent + 2, QuotedString(strings->Strings(i)));
            Append(")");
            return;
        }
        case pkCollection: {
            auto *collection = dynamic_cast<TCollection *>(p.GetObject(object));
            Line(indent, head + "<");
            for (int i = 0; i < collection->Count(); ++i) {
                Line(indent + 2, "item");
                WriteProperties(collection->Items(i), "", indent + 4);
                Line(indent + 2, "end");
            }
            Append(">");
            return;
        }
        case pkComponent:
            Line(indent, head + ReferenceName(static_cast<TComponent *>(p.GetObject(object))));
            return;
        case pkEvent:
            Line(indent, head + p.GetHandlerName(object));
            return;
        case pkPersistent:
            return;
        }
    }

    static void WriteValue(TWriter::Impl &d, const std::string &text)
    {
        std::string &out = d.session.out;
        if (d.listDepth > 0) {
            if (!out.empty() && out.back() != '\n')
                out += '\n';
            out.append(static_cast<size_t>(d.indent + 2 * d.listDepth), ' ');
            out += text;
            d.listEmpty = false;
        } else {
            out += text;
        }
    }
};

void TWriter::DefineProperty(
    const std::string &name, const TReaderProc &, const TWriterProc &writeData, bool hasData)
{
    if (!hasData || !writeData)
        return;
    d.session.Line(d.indent, d.prefix + name + " = ");
    d.session.out.pop_back(); // the value follows on the same line
    writeData(*this);
    if (d.session.out.empty() || d.session.out.back() != '\n')
        d.session.out += '\n';
}

void TWriter::DefineBinaryProperty(
    const std::string &name, const TStreamProc &, const TStreamProc &writeData, bool hasData)
{
    if (!hasData || !writeData)
        return;
    TMemoryStream stream;
    writeData(stream);
    const auto *bytes = static_cast<const uint8_t *>(stream.Memory());
    const auto size = static_cast<size_t>(stream.Size());
    d.session.Line(d.indent, d.prefix + name + " = {");
    // 32 bytes a line, as the class library lays binary data out.
    for (size_t i = 0; i < size; i += 32) {
        std::string line;
        for (size_t j = i; j < size && j < i + 32; ++j) {
            line += HexDigits[bytes[j] >> 4];
            line += HexDigits[bytes[j] & 15];
        }
        d.session.Line(d.indent + 2, line);
    }
    d.session.Append("}");
}

TComponent *TWriter::Root() const
{
    return d.session.root;
}

void TWriter::WriteInteger(int64_t value)
{
    TWriteSession::WriteValue(d, std::to_string(value));
}
void TWriter::WriteBoolean(bool value)
{
    TWriteSession::WriteValue(d, value ? "True" : "False");
}
void TWriter::WriteFloat(double value)
{
    TWriteSession::WriteValue(d, FloatText(value));
}
void TWriter::WriteString(const std::string &value)
{
    TWriteSession::WriteValue(d, QuotedString(value));
}
void TWriter::WriteIdent(const std::string &ident)
{
    TWriteSession::WriteValue(d, ident);
}

void TWriter::WriteListBegin()
{
    TWriteSession::WriteValue(d, "(");
    ++d.listDepth;
    d.listEmpty = true;
}

void TWriter::WriteListEnd()
{
    if (d.listDepth > 0)
        --d.listDepth;
    d.session.out += ")";
}

// ---- Entry points ----

void ReadComponentText(TComponent *root, std::string_view text, const std::string &fileName)
{
    Load(root, { { text, fileName } });
}

bool InitInheritedComponent(TComponent *instance, const TMetaClass &rootAncestor)
{
    if (!instance)
        return false;
    std::vector<const TFormResource *> found;
    for (const TMetaClass *c = instance->ClassType(); c && c != &rootAncestor; c = c->ClassParent())
        if (const TFormResource *r = FindFormResource(c->ClassName()))
            found.push_back(r);
    if (found.empty())
        return false;
    std::vector<Layer> layers;
    for (auto it = found.rbegin(); it != found.rend(); ++it)
        layers.push_back({ (*it)->Text, (*it)->FileName });
    Load(instance, layers);
    return true;
}

void ReadComponentRes(const std::string &resourceName, TComponent *root)
{
    const TFormResource *r = FindFormResource(resourceName);
    if (!r)
        throw EResNotFound("Resource " + resourceName + " not found");
    Load(root, { { r->Text, r->FileName } });
}

std::string WriteComponentText(TComponent *root)
{
    if (!root)
        throw EWriteError("No component to write");
    TWriteSession session { root, {} };
    session.WriteComponent(root, 0, "object", root);
    return session.out;
}

const TFormResource *FindFormResource(const std::string &name)
{
    ResourceRegistry &r = Resources();
    std::lock_guard guard(r.lock);
    const std::string key = UpperName(name);
    if (std::find(r.conflicts.begin(), r.conflicts.end(), key) != r.conflicts.end())
        throw EResNotFound("Resource " + name + " is compiled in twice with different texts");
    auto it = r.resources.find(key);
    return it == r.resources.end() ? nullptr : &it->second;
}

TFormResourceRegistrar::TFormResourceRegistrar(const char *name, const char *fileName, std::string_view text)
{
    ResourceRegistry &r = Resources();
    std::lock_guard guard(r.lock);
    const std::string key = UpperName(name);
    auto [it, inserted] = r.resources.emplace(key, TFormResource { name, fileName, std::string(text) });
    // The same resource linked twice is harmless; two different texts under
    // one class name cannot be told apart, so the lookup refuses them.
    if (!inserted && it->second.Text != text)
        r.conflicts.push_back(key);
}

// ---- The bodies ReadState and WriteState come back for ----

void TReader::ReadBody(TComponent *component)
{
    if (component != d.body || d.bodyRead)
        throw EReadError("A reader reads only the component it was handed to, once");
    d.bodyRead = true;
    d.session.ReadBody(component, component, TLoadSession::Context { d.bodyOwner }, d.bodyName);
}

void TWriter::WriteBody(TComponent *component)
{
    if (component != d.body || d.bodyWritten)
        throw EWriteError("A writer writes only the component it was handed to, once");
    d.bodyWritten = true;
    d.session.WriteBody(d, component);
}

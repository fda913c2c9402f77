// Query-by-example texts translated to SQL. The text is "Query", optional
// "ANSWER:" lines, one block per table and "EndQuery":
//
//   Query
//   ANSWER: :PRIV:ANSWER.DB
//
//   customer | CustNo       | Name  | City        |
//            | Check _cust  | Check | Check > "M" |
//
//   orders   | OrderNo | CustNo |
//            | Check   | _cust  |
//
//   EndQuery
//
// A block's first line names the table and its fields, the next line holds a
// condition per field, conditions separated by commas: "Check" (the field goes
// into the answer, duplicates removed and the answer sorted by the checked
// fields), "CheckPlus" (kept with duplicates, unsorted), an example element
// "_name" (every field with the same element must be equal: this joins
// tables), a comparison "= v", "<> v", "< v", "> v", "<= v", ">= v" or a bare
// value (equal), "blank" (no value). Numbers stand as written, texts bare or
// in double quotes. With blanks as zero a blank number compares as 0. A text
// without any check mark asks nothing and gives no answer. Anything else is
// refused with the engine's syntax error naming it.
#include "platform/db/dbengine.h"
#include "platform/db/dbengine_p.h"

#include "platform/rtl/sysutils.h"

#include <cstring>
#include <map>

namespace {

[[noreturn]] void Refuse(const std::string &what)
{
    throw EDBEngineError(DBIERR_QBESYNTAX, what);
}

std::string QuoteIdent(const std::string &ident) { return "\"" + StringReplace(ident, "\"", "\"\"", true) + "\""; }

std::vector<std::string> Cells(const std::string &line)
{
    std::vector<std::string> cells;
    size_t start = 0;
    for (;;) {
        size_t bar = line.find('|', start);
        cells.push_back(Trim(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    if (cells.size() > 1 && cells.back().empty())
        cells.pop_back();
    return cells;
}

// Splits a cell at commas outside double quotes.
std::vector<std::string> Conditions(const std::string &cell)
{
    std::vector<std::string> parts;
    std::string cur;
    bool quoted = false;
    for (char c : cell) {
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted) {
            parts.push_back(Trim(cur));
            cur.clear();
        } else
            cur += c;
    }
    if (quoted)
        Refuse("Unclosed quote in \"" + cell + "\"");
    parts.push_back(Trim(cur));
    return parts;
}

bool StartsWithWord(const std::string &text, const std::string &word)
{
    return text.size() >= word.size() && SameText(text.substr(0, word.size()), word)
        && (text.size() == word.size() || text[word.size()] == ' ' || text[word.size()] == '_');
}

std::string Literal(const std::string &value, bool &numeric)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        numeric = false;
        return "'" + StringReplace(value.substr(1, value.size() - 2), "'", "''", true) + "'";
    }
    double x;
    TFormatSettings dot;
    dot.DecimalSeparator = U'.';
    if (TryStrToFloat(value, x, dot) && value.find_first_of("eE") == std::string::npos) {
        numeric = true;
        return value;
    }
    if (value.empty() || value.find_first_of("\"()*+/;|!@") != std::string::npos)
        Refuse("Value \"" + value + "\"");
    numeric = false;
    return "'" + StringReplace(value, "'", "''", true) + "'";
}

} // namespace

std::string TranslateQbe(const std::string &text, bool blanksAsZero)
{
    std::vector<std::string> lines;
    {
        std::string t = StringReplace(text, "\r", "", true);
        size_t start = 0;
        for (;;) {
            size_t nl = t.find('\n', start);
            lines.push_back(TrimRight(t.substr(start, nl == std::string::npos ? std::string::npos : nl - start)));
            if (nl == std::string::npos)
                break;
            start = nl + 1;
        }
    }
    size_t i = 0;
    while (i < lines.size() && Trim(lines[i]).empty())
        ++i;
    if (i == lines.size() || !SameText(Trim(lines[i]), "Query"))
        Refuse("The text does not begin with Query");
    ++i;

    struct TColumn {
        std::string Expr, Name;
    };
    std::vector<TColumn> checked;
    std::vector<std::string> tables, where;
    std::map<std::string, std::string> elements; // example element -> the first field holding it
    bool plus = false, ended = false;
    int alias = 0;
    while (i < lines.size()) {
        std::string line = Trim(lines[i]);
        if (line.empty()) {
            ++i;
            continue;
        }
        if (SameText(line, "EndQuery")) {
            ended = true;
            break;
        }
        if (StartsWithWord(line, "ANSWER:") || (line.size() > 7 && SameText(line.substr(0, 7), "ANSWER:"))) {
            ++i;
            continue;
        }
        if (line.find('|') == std::string::npos)
            Refuse("Line \"" + line + "\"");
        std::vector<std::string> head = Cells(lines[i]);
        if (head[0].empty())
            Refuse("A condition line without its table: \"" + line + "\"");
        const std::string q = "q" + IntToStr(++alias);
        tables.push_back(QuoteIdent(head[0]) + " AS " + q);
        ++i;
        int rows = 0;
        while (i < lines.size() && lines[i].find('|') != std::string::npos && Cells(lines[i])[0].empty()) {
            if (++rows > 1)
                Refuse("More than one condition line for table " + head[0]);
            std::vector<std::string> cells = Cells(lines[i]);
            if (cells.size() > head.size())
                Refuse("More conditions than fields for table " + head[0]);
            for (size_t c = 1; c < cells.size(); ++c) {
                const std::string column = q + "." + QuoteIdent(head[c]);
                for (std::string cond : Conditions(cells[c])) {
                    if (cond.empty())
                        continue;
                    if (StartsWithWord(cond, "CheckPlus")) {
                        plus = true;
                        checked.push_back({column, head[c]});
                        cond = Trim(cond.substr(9));
                    } else if (StartsWithWord(cond, "CheckDescending") || StartsWithWord(cond, "CheckGroup"))
                        Refuse("\"" + cond + "\"");
                    else if (StartsWithWord(cond, "Check")) {
                        checked.push_back({column, head[c]});
                        cond = Trim(cond.substr(5));
                    }
                    if (cond.empty())
                        continue;
                    std::string op = "=";
                    for (const char *o : {"<=", ">=", "<>", "<", ">", "="})
                        if (cond.compare(0, strlen(o), o) == 0) {
                            op = o;
                            cond = Trim(cond.substr(strlen(o)));
                            break;
                        }
                    if (cond.empty())
                        Refuse("A comparison without its value for field " + head[c]);
                    if (cond[0] == '_') {
                        std::string name = UpperCase(cond);
                        if (name.find_first_of(" ,") != std::string::npos)
                            Refuse("Example element \"" + cond + "\"");
                        auto it = elements.find(name);
                        if (it == elements.end()) {
                            if (op != "=")
                                Refuse("Example element " + cond + " compared before it is given");
                            elements.emplace(name, column);
                        } else
                            where.push_back(column + " " + op + " " + it->second);
                        continue;
                    }
                    if (op == "=" && SameText(cond, "blank")) {
                        where.push_back(column + " IS NULL");
                        continue;
                    }
                    if (StartsWithWord(cond, "not") || StartsWithWord(cond, "like") || StartsWithWord(cond, "calc")
                        || StartsWithWord(cond, "set") || StartsWithWord(cond, "count") || StartsWithWord(cond, "sum")
                        || StartsWithWord(cond, "today") || cond.find("..") != std::string::npos)
                        Refuse("\"" + cond + "\"");
                    bool numeric = false;
                    std::string lit = Literal(cond, numeric);
                    where.push_back((numeric && blanksAsZero ? "ifnull(" + column + ", 0)" : column) + " " + op + " " + lit);
                }
            }
            ++i;
        }
        if (rows == 0)
            Refuse("Table " + head[0] + " has no condition line");
    }
    if (!ended)
        Refuse("The text does not end with EndQuery");
    if (tables.empty())
        Refuse("No table");
    if (checked.empty())
        return {};
    std::string sql = std::string("SELECT ") + (plus ? "" : "DISTINCT ");
    for (size_t c = 0; c < checked.size(); ++c)
        sql += (c ? ", " : "") + checked[c].Expr + " AS " + QuoteIdent(checked[c].Name);
    sql += " FROM ";
    for (size_t t = 0; t < tables.size(); ++t)
        sql += (t ? ", " : "") + tables[t];
    for (size_t w = 0; w < where.size(); ++w)
        sql += (w ? " AND " : " WHERE ") + where[w];
    if (!plus) {
        sql += " ORDER BY ";
        for (size_t c = 0; c < checked.size(); ++c)
            sql += (c ? ", " : "") + IntToStr(static_cast<int64_t>(c) + 1);
    }
    return sql;
}

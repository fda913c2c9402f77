#include "platform/rtl/strings.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace
{

using Lines = std::vector<std::string>;

Lines LinesOf(const TStrings &list)
{
    Lines lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

void Fill(TStrings &list, const Lines &lines)
{
    for (const auto &line : lines)
        list.Add(line);
}

std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Exception &e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "no error";
}

} // namespace

TEST(StringList, SortedListKeepsOrderOnEveryAdd)
{
    struct Case {
        const char *name;
        bool caseSensitive;
        Lines added;
        Lines expected;
    } cases[] = {
        { "ignoring case", false, { "pera", "Manzana", "banana", "Uva" },
            { "banana", "Manzana", "pera", "Uva" } },
        { "case sensitive puts capitals first", true, { "b", "B", "a", "A" }, { "A", "B", "a", "b" } },
        { "empty string first", false, { "x", "", "a" }, { "", "a", "x" } },
    };
    for (const auto &c : cases) {
        TStringList list;
        list.SetCaseSensitive(c.caseSensitive);
        list.SetSorted(true);
        Fill(list, c.added);
        EXPECT_EQ(LinesOf(list), c.expected) << c.name;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            int index = -1;
            EXPECT_TRUE(list.Find(c.expected[i], index)) << c.name;
            EXPECT_EQ(index, static_cast<int>(i)) << c.name;
        }
    }
}

TEST(StringList, DuplicatesModes)
{
    struct Case {
        const char *name;
        bool sorted;
        TDuplicates duplicates;
        Lines expected;
        std::string error;
    } cases[] = {
        { "ignore keeps one", true, dupIgnore, { "a", "b" }, "no error" },
        { "accept keeps both", true, dupAccept, { "a", "B", "b" }, "no error" },
        { "error refuses", true, dupError, { "a", "b" },
            "EStringListError: String list does not allow duplicates" },
        { "unsorted list accepts anything", false, dupError, { "b", "a", "B" }, "no error" },
    };
    for (const auto &c : cases) {
        TStringList list;
        list.SetDuplicates(c.duplicates);
        list.SetSorted(c.sorted);
        list.Add("b");
        list.Add("a");
        EXPECT_EQ(ErrorOf([&] { list.Add("B"); }), c.error) << c.name;
        EXPECT_EQ(LinesOf(list), c.expected) << c.name;
    }

    TStringList list;
    list.SetSorted(true);
    list.Add("x");
    EXPECT_EQ(list.Add("X"), 0) << "dupIgnore answers the index of the line already there";

    TStringList run;
    run.SetDuplicates(dupAccept);
    run.SetSorted(true);
    Fill(run, { "m", "z", "M", "a", "m" });
    int index = -1;
    EXPECT_TRUE(run.Find("m", index));
    EXPECT_EQ(index, 1) << "Find lands on the first of equal lines";
    EXPECT_EQ(run.IndexOf("M"), 1);
}

TEST(StringList, RefusesWhatWouldBreakItsOrderOrBounds)
{
    TStringList sorted;
    sorted.SetSorted(true);
    Fill(sorted, { "a", "c" });
    TStringList plain;
    Fill(plain, { "a", "b" });
    struct Case {
        const char *name;
        std::function<void()> action;
        std::string error;
    } cases[] = {
        { "insert into sorted", [&] { sorted.Insert(0, "z"); },
            "EStringListError: Operation not allowed on sorted list" },
        { "replace in sorted", [&] { sorted.SetStrings(0, "z"); },
            "EStringListError: Operation not allowed on sorted list" },
        { "read past the end", [&] { (void)plain[2]; }, "EStringListError: List index out of bounds (2)" },
        { "read before the start", [&] { (void)plain.Strings(-1); },
            "EStringListError: List index out of bounds (-1)" },
        { "delete past the end", [&] { plain.Delete(5); }, "EStringListError: List index out of bounds (5)" },
        { "insert two past the end", [&] { plain.Insert(3, "x"); },
            "EStringListError: List index out of bounds (3)" },
        { "object past the end", [&] { plain.SetObjects(2, nullptr); },
            "EStringListError: List index out of bounds (2)" },
        { "exchange past the end", [&] { plain.Exchange(0, 9); },
            "EStringListError: List index out of bounds (9)" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ErrorOf(c.action), c.error) << c.name;
    EXPECT_EQ(LinesOf(sorted), (Lines { "a", "c" }));
    EXPECT_EQ(LinesOf(plain), (Lines { "a", "b" }));
}

TEST(StringList, NameValueLines)
{
    TStringList list;
    Fill(list, { "Path=C:\\Program Files", "flag", "Expr=a=b", "=anonymous", "path=second" });

    EXPECT_EQ(list.Names(0), "Path");
    EXPECT_EQ(list.Names(1), "") << "a line without '=' has no name";
    EXPECT_EQ(list.ValueFromIndex(1), "") << "nor a value";
    EXPECT_EQ(list.Values("PATH"), "C:\\Program Files") << "names ignore case; the first wins";
    EXPECT_EQ(list.Values("expr"), "a=b") << "the value runs from the first '='";
    EXPECT_EQ(list.Values(""), "anonymous");
    EXPECT_EQ(list.Values("missing"), "");
    EXPECT_EQ(list.IndexOfName("flag"), -1);

    list.SetValues("Expr", "c");
    EXPECT_EQ(list[2], "Expr=c") << "replaced in place";
    list.SetValues("New", "1");
    EXPECT_EQ(list[5], "New=1") << "added at the end";
    list.SetValues("path", "");
    EXPECT_EQ(LinesOf(list), (Lines { "flag", "Expr=c", "=anonymous", "path=second", "New=1" }))
        << "an empty value deletes the first line of that name";
    list.SetValues("absent", "");
    EXPECT_EQ(list.Count(), 5);
}

TEST(StringList, TextSplitsEveryLineBreak)
{
    struct Case {
        const char *name;
        std::string text;
        Lines expected;
    } cases[] = {
        { "CR LF", "a\r\nb\r\n", { "a", "b" } },
        { "LF", "a\nb", { "a", "b" } },
        { "lone CR", "a\rb\r", { "a", "b" } },
        { "mixed with empty lines", "a\r\n\r\nb\n\nc", { "a", "", "b", "", "c" } },
        { "LF then CR is two breaks", "a\n\rb", { "a", "", "b" } },
        { "only a break", "\r\n", { "" } },
        { "empty", "", {} },
        { "trailing blank kept", "a \r\n  ", { "a ", "  " } },
    };
    for (const auto &c : cases) {
        TStringList list;
        list.SetText(c.text);
        EXPECT_EQ(LinesOf(list), c.expected) << c.name;
    }

    TStringList list;
    Fill(list, { "uno", "", "tres" });
    EXPECT_EQ(list.Text(), "uno\r\n\r\ntres\r\n");
    list.SetLineBreak("\n");
    EXPECT_EQ(list.Text(), "uno\n\ntres\n");
}

TEST(StringList, CommaTextQuotesWhatWouldNotReadBack)
{
    struct Case {
        const char *name;
        Lines lines;
        std::string text;
    } cases[] = {
        { "plain", { "a", "b" }, "a,b" },
        { "blank inside", { "a b", "c" }, "\"a b\",c" },
        { "quote inside", { "say \"hi\"" }, "\"say \"\"hi\"\"\"" },
        { "comma inside", { "1,5" }, "\"1,5\"" },
        { "single empty line", { "" }, "\"\"" },
        { "two empty lines", { "", "" }, "," },
        { "empty in the middle", { "a", "", "b" }, "a,,b" },
        { "empty at the end", { "a", "" }, "a," },
        { "non-ASCII stays bare", { "ñandú", "€" }, "ñandú,€" },
        { "tab", { "a\tb" }, "\"a\tb\"" },
        { "NUL inside", { std::string("a\0b", 3), "c" }, std::string("\"a\0b\",c", 7) },
        { "no lines", {}, "" },
    };
    for (const auto &c : cases) {
        TStringList list;
        Fill(list, c.lines);
        EXPECT_EQ(list.CommaText(), c.text) << c.name;
        TStringList back;
        back.SetCommaText(c.text);
        EXPECT_EQ(LinesOf(back), c.lines) << c.name;
    }
}

TEST(StringList, CommaTextReadsLooseInput)
{
    struct Case {
        const char *name;
        std::string text;
        Lines expected;
    } cases[] = {
        { "blanks around items", "  a , b ,c  ", { "a", "b", "c" } },
        { "blanks separate too", "a b", { "a", "b" } },
        { "quoted keeps blanks", "\" a \",b", { " a ", "b" } },
        { "unclosed quote takes the rest", "x,\"open, still", { "x", "open, still" } },
        { "doubled quotes", "\"a\"\"b\"", { "a\"b" } },
        { "only blanks", "   ", {} },
        { "quote mid item is literal", "ab\"c", { "ab\"c" } },
    };
    for (const auto &c : cases) {
        TStringList list;
        list.SetCommaText(c.text);
        EXPECT_EQ(LinesOf(list), c.expected) << c.name;
    }
}

TEST(StringList, DelimitedTextUsesItsOwnDelimiterAndQuote)
{
    TStringList list;
    list.SetDelimiter(';');
    list.SetQuoteChar('\'');
    list.SetDelimitedText("GLID;'it''s';'a;b';x,y");
    EXPECT_EQ(LinesOf(list), (Lines { "GLID", "it's", "a;b", "x,y" }));
    EXPECT_EQ(list.DelimitedText(), "GLID;'it''s';'a;b';x,y");
    EXPECT_EQ(list.CommaText(), "GLID,it's,a;b,\"x,y\"") << "CommaText keeps to ',' and '\"'";
}

namespace
{

struct EventCounter {
    int changing = 0;
    int changed = 0;
    void Attach(TStringList &list)
    {
        list.OnChanging = [this](TObject *) { ++changing; };
        list.OnChange = [this](TObject *) { ++changed; };
    }
};

} // namespace

TEST(StringList, ChangeEventsFireOnlyOutsideUpdates)
{
    TStringList list;
    EventCounter events;
    events.Attach(list);

    list.Add("a");
    EXPECT_EQ(events.changing, 1);
    EXPECT_EQ(events.changed, 1);

    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("b");
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(events.changed, 1) << "the inner EndUpdate is silent";
    list.EndUpdate();
    EXPECT_EQ(events.changing, 2) << "one OnChanging for the whole update";
    EXPECT_EQ(events.changed, 2) << "one OnChange for the whole update";

    list.EndUpdate();
    EXPECT_EQ(events.changed, 2) << "an unmatched EndUpdate does nothing";

    list.SetText("x\ny\nz");
    EXPECT_EQ(events.changed, 3) << "SetText is one change";

    list.Clear();
    list.Clear();
    EXPECT_EQ(events.changed, 4) << "clearing an empty list changes nothing";
}

namespace
{

// A list that looks at itself on every change, as the translator's tables do.
class WatchingList : public TStringList
{
public:
    int changes = 0;
    std::string lastSeen;

protected:
    void Changed() override
    {
        ++changes;
        lastSeen = Text();
        TStringList::Changed();
    }
};

} // namespace

TEST(StringList, SubclassHookSeesEveryMutation)
{
    TStringList other;
    Fill(other, { "m", "n" });
    TObject marker;
    struct Case {
        const char *name;
        std::function<void(WatchingList &)> action;
    } cases[] = {
        { "Add", [](WatchingList &l) { l.Add("d"); } },
        { "AddObject", [&](WatchingList &l) { l.AddObject("d", &marker); } },
        { "Insert", [](WatchingList &l) { l.Insert(1, "d"); } },
        { "InsertObject", [&](WatchingList &l) { l.InsertObject(0, "d", &marker); } },
        { "Delete", [](WatchingList &l) { l.Delete(1); } },
        { "SetStrings", [](WatchingList &l) { l.SetStrings(2, "z"); } },
        { "SetObjects", [&](WatchingList &l) { l.SetObjects(2, &marker); } },
        { "Exchange", [](WatchingList &l) { l.Exchange(0, 2); } },
        { "Move", [](WatchingList &l) { l.Move(0, 2); } },
        { "Sort", [](WatchingList &l) { l.Sort(); } },
        { "SetSorted", [](WatchingList &l) { l.SetSorted(true); } },
        { "CustomSort",
            [](WatchingList &l) { l.CustomSort([](TStringList *, int a, int b) { return b - a; }); } },
        { "Clear", [](WatchingList &l) { l.Clear(); } },
        { "SetText", [](WatchingList &l) { l.SetText("p\r\nq"); } },
        { "SetCommaText", [](WatchingList &l) { l.SetCommaText("p,q"); } },
        { "SetValues add", [](WatchingList &l) { l.SetValues("k", "v"); } },
        { "SetValues delete", [](WatchingList &l) { l.SetValues("b", ""); } },
        { "AddStrings", [&](WatchingList &l) { l.AddStrings(other); } },
        { "Assign", [&](WatchingList &l) { l.Assign(other); } },
        { "LoadFromStream",
            [](WatchingList &l) {
                TStringStream stream("r\r\ns");
                l.LoadFromStream(stream);
            } },
    };
    for (const auto &c : cases) {
        WatchingList list;
        Fill(list, { "c", "b=1", "a" });
        list.changes = 0;
        c.action(list);
        EXPECT_GT(list.changes, 0) << c.name;
        EXPECT_EQ(list.lastSeen, list.Text()) << c.name << ": the last change saw the final contents";
    }
}

TEST(StringList, CaseSensitivityChangeResortsASortedList)
{
    TStringList list;
    list.SetDuplicates(dupAccept);
    list.SetSorted(true);
    Fill(list, { "b", "B", "a", "A" });
    list.SetCaseSensitive(true);
    EXPECT_EQ(LinesOf(list), (Lines { "A", "B", "a", "b" }));
    int index = -1;
    EXPECT_TRUE(list.Find("a", index));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(list.IndexOf("B"), 1);
}

TEST(StringList, ObjectsTravelWithTheirLines)
{
    TObject one, two;
    TStringList list;
    list.AddObject("one", &one);
    list.AddObject("two", &two);
    list.Insert(0, "zero");
    list.Move(2, 0);
    EXPECT_EQ(LinesOf(list), (Lines { "two", "zero", "one" }));
    EXPECT_EQ(list.Objects(0), &two);
    EXPECT_EQ(list.IndexOfObject(&one), 2);

    TStringList copy;
    copy.Assign(list);
    EXPECT_EQ(copy.Objects(0), &two);
    list.AddStrings(list);
    EXPECT_EQ(list.Count(), 6) << "a list added to itself doubles once";

    TStringList sorted;
    sorted.SetDuplicates(dupAccept);
    sorted.SetSorted(true);
    Fill(sorted, { "b", "a" });
    sorted.AddStrings(sorted);
    EXPECT_EQ(LinesOf(sorted), (Lines { "a", "a", "b", "b" }));
}

TEST(StringList, FilesAreUtf8WithOrWithoutMark)
{
    const std::string path = std::string(getenv("WINROOT")) + "/strings-test.txt";
    TStringList list;
    Fill(list, { "4;< Anterior", "ñandú" });
    list.SaveToFile(path);
    EXPECT_EQ(TFileStream(path, fmOpenRead).Size(), 23)
        << "no byte order mark is written; lines end in CR LF";

    const std::string marked = std::string("\xEF\xBB\xBF") + "a\nb";
    TFileStream(path, fmCreate).WriteBuffer(marked.data(), 6);
    list.LoadFromFile(path);
    EXPECT_EQ(LinesOf(list), (Lines { "a", "b" }));

    EXPECT_EQ(ErrorOf([&] { list.LoadFromFile(path + ".missing"); }),
        "EFOpenError: Cannot open file \"" + path + ".missing\". No such file or directory");
    EXPECT_EQ(LinesOf(list), (Lines { "a", "b" })) << "a failed load keeps the lines";
}

#include "platform/rtl/strings.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace
{

const char *const ListIndexError = "List index out of bounds (%d)";
const char *const SortedListError = "Operation not allowed on sorted list";
const char *const DuplicateString = "String list does not allow duplicates";

// Blanks and control characters (NUL included) separate delimited items.
bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// Bytes that force a line of DelimitedText into quotes. Bytes of UTF-8
// sequences are all above ' ', so multi-byte characters never do.
bool NeedsQuotes(const std::string &s, char delimiter, char quoteChar)
{
    return std::any_of(
        s.begin(), s.end(), [&](char c) { return IsBlank(c) || c == quoteChar || c == delimiter; });
}

std::string Quoted(const std::string &s, char quoteChar)
{
    std::string result(1, quoteChar);
    for (char c : s) {
        result += c;
        if (c == quoteChar)
            result += c;
    }
    result += quoteChar;
    return result;
}

} // namespace

// ---- TStrings --------------------------------------------------------------

const TMetaClass TStrings::Class { "TStrings", &TObject::Class };

TStrings::TStrings() = default;
TStrings::~TStrings() = default;

int TStrings::Add(const std::string &s)
{
    const int index = GetCount();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const std::string &s, TObject *object)
{
    const int index = Add(s);
    PutObject(index, object);
    return index;
}

void TStrings::Append(const std::string &s)
{
    Add(s);
}

void TStrings::AddStrings(const TStrings &strings)
{
    BeginUpdate();
    try {
        if (&strings == this) {
            // Adding a list to itself takes the lines as they were: a sorted
            // list would otherwise shift them under the loop.
            std::vector<std::pair<std::string, TObject *>> lines;
            for (int i = 0; i < GetCount(); ++i)
                lines.emplace_back(Get(i), GetObject(i));
            for (const auto &[s, object] : lines)
                AddObject(s, object);
        } else {
            const int count = strings.Count();
            for (int i = 0; i < count; ++i)
                AddObject(strings.Get(i), strings.GetObject(i));
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::InsertObject(int index, const std::string &s, TObject *object)
{
    Insert(index, s);
    PutObject(index, object);
}

void TStrings::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    // Checked first: the line must not be lost between Delete and Insert.
    if (newIndex < 0 || newIndex >= GetCount())
        Error(ListIndexError, newIndex);
    BeginUpdate();
    try {
        const std::string s = Get(curIndex);
        TObject *object = GetObject(curIndex);
        Delete(curIndex);
        InsertObject(newIndex, s, object);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Exchange(int index1, int index2)
{
    BeginUpdate();
    try {
        const std::string s = Get(index1);
        TObject *object = GetObject(index1);
        Put(index1, Get(index2));
        PutObject(index1, GetObject(index2));
        Put(index2, s);
        PutObject(index2, object);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(const TStrings &source)
{
    if (&source == this)
        return;
    BeginUpdate();
    try {
        Clear();
        lineBreak_ = source.lineBreak_;
        delimiter_ = source.delimiter_;
        quoteChar_ = source.quoteChar_;
        nameValueSeparator_ = source.nameValueSeparator_;
        AddStrings(source);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStrings::IndexOf(const std::string &s) const
{
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        if (CompareStrings(Get(i), s) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfName(const std::string &name) const
{
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        const std::string s = Get(i);
        const size_t separator = s.find(nameValueSeparator_);
        if (separator != std::string::npos && CompareStrings(s.substr(0, separator), name) == 0)
            return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const TObject *object) const
{
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        if (GetObject(i) == object)
            return i;
    return -1;
}

bool TStrings::Equals(const TStrings &strings) const
{
    const int count = GetCount();
    if (count != strings.GetCount())
        return false;
    for (int i = 0; i < count; ++i)
        if (Get(i) != strings.Get(i))
            return false;
    return true;
}

std::string TStrings::Names(int index) const
{
    const std::string s = Get(index);
    const size_t separator = s.find(nameValueSeparator_);
    return separator == std::string::npos ? std::string() : s.substr(0, separator);
}

std::string TStrings::Values(const std::string &name) const
{
    const int index = IndexOfName(name);
    return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStrings::SetValues(const std::string &name, const std::string &value)
{
    const int index = IndexOfName(name);
    if (!value.empty()) {
        if (index < 0)
            Add(name + nameValueSeparator_ + value);
        else
            Put(index, name + nameValueSeparator_ + value);
    } else if (index >= 0) {
        Delete(index);
    }
}

std::string TStrings::ValueFromIndex(int index) const
{
    if (index < 0)
        return {};
    const std::string s = Get(index);
    const size_t separator = s.find(nameValueSeparator_);
    return separator == std::string::npos ? std::string() : s.substr(separator + 1);
}

std::string TStrings::Text() const
{
    std::string result;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        result += Get(i);
        result += lineBreak_;
    }
    return result;
}

void TStrings::SetText(const std::string &text)
{
    BeginUpdate();
    try {
        Clear();
        size_t start = 0;
        const size_t length = text.size();
        while (start < length) {
            size_t end = start;
            while (end < length && text[end] != '\n' && text[end] != '\r')
                ++end;
            Add(text.substr(start, end - start));
            if (end < length && text[end] == '\r')
                ++end;
            if (end < length && text[end] == '\n')
                ++end;
            start = end;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::string TStrings::CommaText() const
{
    return JoinDelimited(',', '"');
}

void TStrings::SetCommaText(const std::string &text)
{
    SplitDelimited(text, ',', '"');
}

std::string TStrings::DelimitedText() const
{
    return JoinDelimited(delimiter_, quoteChar_);
}

void TStrings::SetDelimitedText(const std::string &text)
{
    SplitDelimited(text, delimiter_, quoteChar_);
}

std::string TStrings::JoinDelimited(char delimiter, char quoteChar) const
{
    const int count = GetCount();
    // A single empty line must not read back as no line at all.
    if (count == 1 && Get(0).empty())
        return std::string(2, quoteChar);
    std::string result;
    for (int i = 0; i < count; ++i) {
        const std::string s = Get(i);
        if (i > 0)
            result += delimiter;
        result += NeedsQuotes(s, delimiter, quoteChar) ? Quoted(s, quoteChar) : s;
    }
    return result;
}

// Items are separated by the delimiter or by blanks; a quoted item runs to
// its closing quote with doubled quotes standing for one (an unclosed quote
// takes the rest of the text). A delimiter at the very end adds an empty item.
void TStrings::SplitDelimited(const std::string &text, char delimiter, char quoteChar)
{
    BeginUpdate();
    try {
        Clear();
        const size_t length = text.size();
        size_t p = 0;
        while (p < length && IsBlank(text[p]))
            ++p;
        while (p < length) {
            std::string item;
            if (text[p] == quoteChar) {
                ++p;
                while (p < length) {
                    if (text[p] == quoteChar) {
                        if (p + 1 < length && text[p + 1] == quoteChar) {
                            item += quoteChar;
                            p += 2;
                            continue;
                        }
                        ++p;
                        break;
                    }
                    item += text[p++];
                }
            } else {
                const size_t start = p;
                while (p < length && !IsBlank(text[p]) && text[p] != delimiter)
                    ++p;
                item = text.substr(start, p - start);
            }
            Add(item);
            while (p < length && IsBlank(text[p]))
                ++p;
            if (p < length && text[p] == delimiter) {
                if (p + 1 == length)
                    Add(std::string());
                do
                    ++p;
                while (p < length && IsBlank(text[p]));
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::LoadFromFile(const std::string &fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TStrings::LoadFromStream(TStream &stream)
{
    const int64_t size = stream.Size() - stream.Position();
    std::string text;
    if (size > 0) {
        text.resize(static_cast<size_t>(size));
        text.resize(static_cast<size_t>(stream.Read(text.data(), size)));
    }
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    SetText(text);
}

void TStrings::SaveToFile(const std::string &fileName) const
{
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

void TStrings::SaveToStream(TStream &stream) const
{
    const std::string text = Text();
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStrings::BeginUpdate()
{
    if (updateCount_ == 0)
        SetUpdateState(true);
    ++updateCount_;
}

void TStrings::EndUpdate()
{
    if (updateCount_ == 0)
        return;
    if (--updateCount_ == 0)
        SetUpdateState(false);
}

TObject *TStrings::GetObject(int) const
{
    return nullptr;
}

void TStrings::Put(int index, const std::string &s)
{
    TObject *object = GetObject(index);
    BeginUpdate();
    try {
        Delete(index);
        InsertObject(index, s, object);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::PutObject(int, TObject *) { }

void TStrings::SetUpdateState(bool) { }

int TStrings::CompareStrings(const std::string &s1, const std::string &s2) const
{
    return AnsiCompareText(s1, s2);
}

void TStrings::Error(const std::string &message, int index) const
{
    throw EStringListError(Format(message, index));
}

// ---- TStringList -------------------------------------------------------------

struct TStringList::Impl {
    struct Item {
        std::string string;
        TObject *object = nullptr;
    };
    std::vector<Item> items;
};

const TMetaClass TStringList::Class { "TStringList", &TStrings::Class };

TStringList::TStringList()
    : d(std::make_unique<Impl>())
{
}

TStringList::~TStringList() = default;

int TStringList::Add(const std::string &s)
{
    return AddObject(s, nullptr);
}

int TStringList::AddObject(const std::string &s, TObject *object)
{
    int index;
    if (!sorted_) {
        index = GetCount();
    } else if (Find(s, index)) {
        switch (duplicates_) {
        case dupIgnore:
            return index;
        case dupError:
            throw EStringListError(DuplicateString);
        case dupAccept:
            break;
        }
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::Insert(int index, const std::string &s)
{
    if (sorted_)
        throw EStringListError(SortedListError);
    if (index < 0 || index > GetCount())
        Error(ListIndexError, index);
    InsertItem(index, s, nullptr);
}

void TStringList::Delete(int index)
{
    if (index < 0 || index >= GetCount())
        Error(ListIndexError, index);
    Changing();
    d->items.erase(d->items.begin() + index);
    Changed();
}

void TStringList::Clear()
{
    if (d->items.empty())
        return;
    Changing();
    d->items.clear();
    Changed();
}

// Moving lines of a sorted list would break the order its searches rely on.
void TStringList::Move(int curIndex, int newIndex)
{
    if (sorted_ && curIndex != newIndex)
        throw EStringListError(SortedListError);
    TStrings::Move(curIndex, newIndex);
}

void TStringList::Exchange(int index1, int index2)
{
    if (sorted_)
        throw EStringListError(SortedListError);
    const int count = GetCount();
    if (index1 < 0 || index1 >= count)
        Error(ListIndexError, index1);
    if (index2 < 0 || index2 >= count)
        Error(ListIndexError, index2);
    Changing();
    ExchangeItems(index1, index2);
    Changed();
}

int TStringList::IndexOf(const std::string &s) const
{
    if (!sorted_)
        return TStrings::IndexOf(s);
    int index;
    return Find(s, index) ? index : -1;
}

// Finds the first line equal to s when duplicates are accepted, any equal
// line otherwise; index is where s belongs when it is missing.
bool TStringList::Find(const std::string &s, int &index) const
{
    bool found = false;
    int low = 0, high = GetCount() - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        const int c = CompareStrings(d->items[static_cast<size_t>(middle)].string, s);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                if (duplicates_ != dupAccept)
                    low = middle;
            }
        }
    }
    index = low;
    return found;
}

void TStringList::Sort()
{
    CustomSort([](TStringList *list, int index1, int index2) {
        return list->CompareStrings(list->d->items[static_cast<size_t>(index1)].string,
            list->d->items[static_cast<size_t>(index2)].string);
    });
}

// The comparison sees the list as it was before sorting; the new order is
// put in place at the end, in one change.
void TStringList::CustomSort(TStringListSortCompare compare)
{
    if (sorted_ || GetCount() <= 1 || !compare)
        return;
    const int count = GetCount();
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(this, a, b) < 0; });
    Changing();
    std::vector<Impl::Item> sortedItems;
    sortedItems.reserve(order.size());
    for (int i : order)
        sortedItems.push_back(std::move(d->items[static_cast<size_t>(i)]));
    d->items = std::move(sortedItems);
    Changed();
}

void TStringList::SetSorted(bool sorted)
{
    if (sorted == sorted_)
        return;
    if (sorted)
        Sort();
    sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive)
{
    if (caseSensitive == caseSensitive_)
        return;
    caseSensitive_ = caseSensitive;
    if (sorted_) {
        sorted_ = false;
        Sort();
        sorted_ = true;
    }
}

void TStringList::Changed()
{
    if (UpdateCount() == 0)
        OnChange(this);
}

void TStringList::Changing()
{
    if (UpdateCount() == 0)
        OnChanging(this);
}

std::string TStringList::Get(int index) const
{
    if (index < 0 || index >= GetCount())
        Error(ListIndexError, index);
    return d->items[static_cast<size_t>(index)].string;
}

int TStringList::GetCount() const
{
    return static_cast<int>(d->items.size());
}

TObject *TStringList::GetObject(int index) const
{
    if (index < 0 || index >= GetCount())
        Error(ListIndexError, index);
    return d->items[static_cast<size_t>(index)].object;
}

void TStringList::Put(int index, const std::string &s)
{
    if (sorted_)
        throw EStringListError(SortedListError);
    if (index < 0 || index >= GetCount())
        Error(ListIndexError, index);
    Changing();
    d->items[static_cast<size_t>(index)].string = s;
    Changed();
}

void TStringList::PutObject(int index, TObject *object)
{
    if (index < 0 || index >= GetCount())
        Error(ListIndexError, index);
    Changing();
    d->items[static_cast<size_t>(index)].object = object;
    Changed();
}

void TStringList::SetUpdateState(bool updating)
{
    if (updating)
        Changing();
    else
        Changed();
}

int TStringList::CompareStrings(const std::string &s1, const std::string &s2) const
{
    return caseSensitive_ ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}

void TStringList::InsertItem(int index, const std::string &s, TObject *object)
{
    Changing();
    d->items.insert(d->items.begin() + index, Impl::Item { s, object });
    Changed();
}

void TStringList::ExchangeItems(int index1, int index2)
{
    std::swap(d->items[static_cast<size_t>(index1)], d->items[static_cast<size_t>(index2)]);
}

#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/events.h"
#include "platform/rtl/object.h"

class TStream;
class TStringList;

enum TDuplicates { dupIgnore, dupAccept, dupError };

// A list of strings, each with an object pointer beside it (never owned).
// TStrings is the interface: descendants store the lines (TStringList in
// memory, a control over its native lines) and implement the primitives Get,
// GetCount, Insert, Delete and Clear, and where they keep objects GetObject
// and PutObject (Put defaults to Delete and Insert). Everything else is built
// on those, so a descendant sees every change through them.
class TStrings : public TObject
{
public:
    TStrings();
    ~TStrings() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Adding and removing
    virtual int Add(const std::string &s);
    virtual int AddObject(const std::string &s, TObject *object);
    void Append(const std::string &s);
    virtual void AddStrings(const TStrings &strings);
    virtual void Insert(int index, const std::string &s) = 0;
    void InsertObject(int index, const std::string &s, TObject *object);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual void Move(int curIndex, int newIndex);
    virtual void Exchange(int index1, int index2);
    virtual void Assign(const TStrings &source);

    // Lines and their objects
    int Count() const { return GetCount(); }
    std::string Strings(int index) const { return Get(index); }
    void SetStrings(int index, const std::string &s) { Put(index, s); }
    std::string operator[](int index) const { return Get(index); }
    TObject *Objects(int index) const { return GetObject(index); }
    void SetObjects(int index, TObject *object) { PutObject(index, object); }

    // Searching
    virtual int IndexOf(const std::string &s) const;
    int IndexOfName(const std::string &name) const;
    int IndexOfObject(const TObject *object) const;
    bool Equals(const TStrings &strings) const;

    // Lines of the form name=value
    std::string Names(int index) const;
    std::string Values(const std::string &name) const;
    void SetValues(const std::string &name, const std::string &value); // "" deletes the line
    std::string ValueFromIndex(int index) const;
    char NameValueSeparator() const { return nameValueSeparator_; }
    void SetNameValueSeparator(char separator) { nameValueSeparator_ = separator; }

    // The whole list as one text
    virtual std::string Text() const;
    virtual void SetText(const std::string &text); // splits on CR LF, LF and a lone CR
    const std::string &LineBreak() const { return lineBreak_; }
    void SetLineBreak(const std::string &lineBreak) { lineBreak_ = lineBreak; }
    std::string CommaText() const;
    void SetCommaText(const std::string &text);
    std::string DelimitedText() const;
    void SetDelimitedText(const std::string &text);
    char Delimiter() const { return delimiter_; }
    void SetDelimiter(char delimiter) { delimiter_ = delimiter; }
    char QuoteChar() const { return quoteChar_; }
    void SetQuoteChar(char quoteChar) { quoteChar_ = quoteChar; }

    // Files and streams, as UTF-8 text (a byte order mark is skipped on loading)
    virtual void LoadFromFile(const std::string &fileName);
    virtual void LoadFromStream(TStream &stream);
    virtual void SaveToFile(const std::string &fileName) const;
    virtual void SaveToStream(TStream &stream) const;

    // Batching changes: nested pairs, descendants hear only the outermost
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

protected:
    virtual std::string Get(int index) const = 0;
    virtual int GetCount() const = 0;
    virtual TObject *GetObject(int index) const;
    virtual void Put(int index, const std::string &s);
    virtual void PutObject(int index, TObject *object);
    virtual void SetUpdateState(bool updating);
    // Compares two lines the way IndexOf and IndexOfName do.
    virtual int CompareStrings(const std::string &s1, const std::string &s2) const;
    [[noreturn]] void Error(const std::string &message, int index) const;

private:
    std::string JoinDelimited(char delimiter, char quoteChar) const;
    void SplitDelimited(const std::string &text, char delimiter, char quoteChar);

    std::string lineBreak_ = "\r\n";
    char delimiter_ = ',';
    char quoteChar_ = '"';
    char nameValueSeparator_ = '=';
    int updateCount_ = 0;
};

// The order of two lines for CustomSort: negative, zero or positive.
using TStringListSortCompare = std::function<int(TStringList *list, int index1, int index2)>;

// The string list kept in memory, optionally sorted. A sorted list places
// what is added itself and refuses Insert, SetStrings, Move and Exchange
// ("Operation not allowed on sorted list").
class TStringList : public TStrings
{
public:
    TStringList();
    ~TStringList() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Lines
    void Insert(int index, const std::string &s) override;
    void Delete(int index) override;
    void Clear() override;
    void Move(int curIndex, int newIndex) override;
    void Exchange(int index1, int index2) override;
    int Add(const std::string &s) override;
    int AddObject(const std::string &s, TObject *object) override;
    int IndexOf(const std::string &s) const override;

    // Order
    bool Find(const std::string &s, int &index) const; // binary search of a sorted list
    virtual void Sort();
    virtual void CustomSort(TStringListSortCompare compare);
    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool caseSensitive);

    // Events, fired only outside BeginUpdate/EndUpdate
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    // Called around every change, also inside an update; the events fire
    // from here when no update is open.
    virtual void Changed();
    virtual void Changing();
    std::string Get(int index) const override;
    int GetCount() const override;
    TObject *GetObject(int index) const override;
    void Put(int index, const std::string &s) override;
    void PutObject(int index, TObject *object) override;
    void SetUpdateState(bool updating) override;
    int CompareStrings(const std::string &s1, const std::string &s2) const override;
    virtual void InsertItem(int index, const std::string &s, TObject *object);

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    TDuplicates duplicates_ = dupIgnore;

    void ExchangeItems(int index1, int index2);
};

#include "platform/classes/typinfo.h"

#include <algorithm>

namespace
{

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool SameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return AsciiUpper(x) == AsciiUpper(y);
    });
}

const TPropInfo &Need(const TObject *instance, const std::string &name)
{
    const TPropInfo *p = instance ? GetPropInfo(instance, name) : nullptr;
    if (!p)
        throw EPropertyError("Property " + name + " does not exist");
    return *p;
}

[[noreturn]] void WrongType(const TPropInfo &p)
{
    throw EPropertyError(std::string("Invalid property type: ") + PropKindName(p.Kind));
}

const TPropInfo &NeedKind(
    const TObject *instance, const std::string &name, std::initializer_list<TPropKind> kinds)
{
    const TPropInfo &p = Need(instance, name);
    if (std::find(kinds.begin(), kinds.end(), p.Kind) == kinds.end())
        WrongType(p);
    return p;
}

template <typename F> const F &Writable(const TPropInfo &p, const F &setter)
{
    if (!setter)
        throw EPropertyError("Property " + p.Name + " is read-only");
    return setter;
}

} // namespace

const char *PropKindName(TPropKind kind)
{
    switch (kind) {
    case pkInteger:
        return "Integer";
    case pkBoolean:
        return "Boolean";
    case pkEnumeration:
        return "Enumeration";
    case pkSet:
        return "Set";
    case pkString:
        return "String";
    case pkFloat:
        return "Float";
    case pkCurrency:
        return "Currency";
    case pkDate:
        return "Date";
    case pkStrings:
        return "Strings";
    case pkPersistent:
        return "Persistent";
    case pkCollection:
        return "Collection";
    case pkComponent:
        return "Component";
    case pkEvent:
        return "Event";
    }
    return "Unknown";
}

const TPropInfo *GetPropInfo(const TMetaClass &metaClass, const std::string &name)
{
    for (const TMetaClass *c = &metaClass; c; c = c->ClassParent())
        if (const TClassTable *t = c->Table())
            for (const TPropInfo &p : t->Props)
                if (SameName(p.Name, name))
                    return &p;
    return nullptr;
}

const TPropInfo *GetPropInfo(const TObject *instance, const std::string &name)
{
    return instance ? GetPropInfo(*instance->ClassType(), name) : nullptr;
}

std::vector<const TPropInfo *> GetPropList(const TMetaClass &metaClass)
{
    std::vector<const TMetaClass *> chain;
    for (const TMetaClass *c = &metaClass; c; c = c->ClassParent())
        chain.push_back(c);
    std::vector<const TPropInfo *> list;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if (const TClassTable *t = (*it)->Table())
            for (const TPropInfo &p : t->Props) {
                // A descendant may publish a property again with another
                // default: it takes the ancestor's place.
                auto same = std::find_if(
                    list.begin(), list.end(), [&](const TPropInfo *q) { return SameName(q->Name, p.Name); });
                if (same != list.end())
                    *same = &p;
                else
                    list.push_back(&p);
            }
    return list;
}

std::vector<const TPropInfo *> GetPropList(const TObject *instance)
{
    return instance ? GetPropList(*instance->ClassType()) : std::vector<const TPropInfo *> {};
}

bool IsPublishedProp(const TObject *instance, const std::string &name)
{
    return GetPropInfo(instance, name);
}

bool PropIsType(const TObject *instance, const std::string &name, TPropKind kind)
{
    const TPropInfo *p = GetPropInfo(instance, name);
    return p && p->Kind == kind;
}

bool IsStoredProp(const TObject *instance, const TPropInfo &p)
{
    switch (p.Stored.Rule) {
    case TStored::Always:
        return true;
    case TStored::Never:
        return false;
    case TStored::Predicate:
        if (!p.Stored.Proc(instance))
            return false;
        break;
    case TStored::ByDefault:
        break;
    }
    switch (p.Kind) {
    case pkInteger:
    case pkBoolean:
    case pkEnumeration:
    case pkSet:
    case pkCurrency:
        return !p.Default.Has || p.GetOrd(instance) != p.Default.Ord;
    case pkString:
        return p.GetStr(instance) != p.Default.Str;
    case pkFloat:
    case pkDate:
        return !p.Default.Has || p.GetFloat(instance) != p.Default.Float;
    case pkStrings: {
        const auto *s = static_cast<const TStrings *>(p.GetObject(instance));
        return s && s->Count() > 0;
    }
    case pkCollection: {
        const auto *c = dynamic_cast<const TCollection *>(p.GetObject(instance));
        return c && c->Count() > 0;
    }
    case pkPersistent:
        return p.GetObject(instance) != nullptr;
    case pkComponent:
        return p.GetObject(instance) != nullptr;
    case pkEvent:
        return !p.GetHandlerName(instance).empty();
    }
    return true;
}

bool IsStoredProp(const TObject *instance, const std::string &name)
{
    return IsStoredProp(instance, Need(instance, name));
}

int64_t GetOrdProp(const TObject *instance, const std::string &name)
{
    return NeedKind(instance, name, { pkInteger, pkBoolean, pkEnumeration, pkSet, pkCurrency })
        .GetOrd(instance);
}

void SetOrdProp(TObject *instance, const std::string &name, int64_t value)
{
    const TPropInfo &p = NeedKind(instance, name, { pkInteger, pkBoolean, pkEnumeration, pkSet, pkCurrency });
    if (value < p.MinValue || value > p.MaxValue
        || (p.Kind == pkEnumeration && (value < 0 || value >= static_cast<int64_t>(p.Names->size())))
        || (p.Kind == pkBoolean && value != 0 && value != 1))
        throw ERangeError("Value " + std::to_string(value) + " is out of range for property " + p.Name);
    Writable(p, p.SetOrd)(instance, value);
}

std::string GetEnumName(const TPropInfo &prop, int64_t value)
{
    if (prop.Kind == pkBoolean)
        return value ? "True" : "False";
    if (!prop.Names || value < 0 || value >= static_cast<int64_t>(prop.Names->size()))
        return {};
    return (*prop.Names)[static_cast<size_t>(value)];
}

int GetEnumValue(const TPropInfo &prop, const std::string &name)
{
    if (prop.Kind == pkBoolean)
        return SameName(name, "True") ? 1 : SameName(name, "False") ? 0 : -1;
    if (!prop.Names)
        return -1;
    for (size_t i = 0; i < prop.Names->size(); ++i)
        if (SameName((*prop.Names)[i], name))
            return static_cast<int>(i);
    return -1;
}

std::string GetEnumProp(const TObject *instance, const std::string &name)
{
    const TPropInfo &p = NeedKind(instance, name, { pkEnumeration, pkBoolean });
    return GetEnumName(p, p.GetOrd(instance));
}

void SetEnumProp(TObject *instance, const std::string &name, const std::string &value)
{
    const TPropInfo &p = NeedKind(instance, name, { pkEnumeration, pkBoolean });
    const int v = GetEnumValue(p, value);
    if (v < 0)
        throw EPropertyError("Invalid value " + value + " for property " + p.Name);
    Writable(p, p.SetOrd)(instance, v);
}

std::string GetSetProp(const TObject *instance, const std::string &name)
{
    const TPropInfo &p = NeedKind(instance, name, { pkSet });
    const auto bits = static_cast<uint64_t>(p.GetOrd(instance));
    std::string text = "[";
    for (size_t i = 0; i < p.Names->size() && i < 64; ++i)
        if (bits & (uint64_t(1) << i)) {
            if (text.size() > 1)
                text += ',';
            text += (*p.Names)[i];
        }
    return text + "]";
}

void SetSetProp(TObject *instance, const std::string &name, const std::string &value)
{
    const TPropInfo &p = NeedKind(instance, name, { pkSet });
    auto trim = [](std::string s) {
        const auto b = s.find_first_not_of(" \t");
        const auto e = s.find_last_not_of(" \t");
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    };
    std::string body = trim(value);
    if (body.size() >= 2 && body.front() == '[' && body.back() == ']')
        body = body.substr(1, body.size() - 2);
    uint64_t bits = 0;
    size_t start = 0;
    while (start <= body.size()) {
        size_t comma = body.find(',', start);
        if (comma == std::string::npos)
            comma = body.size();
        const std::string element = trim(body.substr(start, comma - start));
        if (!element.empty()) {
            const int v = GetEnumValue(p, element);
            if (v < 0)
                throw EPropertyError("Invalid value " + element + " for property " + p.Name);
            bits |= uint64_t(1) << v;
        } else if (comma < body.size()) {
            throw EPropertyError("Invalid value " + value + " for property " + p.Name);
        }
        start = comma + 1;
    }
    Writable(p, p.SetOrd)(instance, static_cast<int64_t>(bits));
}

std::string GetStrProp(const TObject *instance, const std::string &name)
{
    return NeedKind(instance, name, { pkString }).GetStr(instance);
}

void SetStrProp(TObject *instance, const std::string &name, const std::string &value)
{
    const TPropInfo &p = NeedKind(instance, name, { pkString });
    Writable(p, p.SetStr)(instance, value);
}

double GetFloatProp(const TObject *instance, const std::string &name)
{
    return NeedKind(instance, name, { pkFloat, pkDate, pkCurrency }).GetFloat(instance);
}

void SetFloatProp(TObject *instance, const std::string &name, double value)
{
    const TPropInfo &p = NeedKind(instance, name, { pkFloat, pkDate, pkCurrency });
    Writable(p, p.SetFloat)(instance, value);
}

TObject *GetObjectProp(const TObject *instance, const std::string &name)
{
    return NeedKind(instance, name, { pkStrings, pkPersistent, pkCollection, pkComponent })
        .GetObject(instance);
}

void SetObjectProp(TObject *instance, const std::string &name, TObject *value)
{
    const TPropInfo &p = NeedKind(instance, name, { pkPersistent, pkCollection, pkComponent });
    if (value && p.ObjectClass && !value->InheritsFrom(*p.ObjectClass))
        throw EPropertyError(std::string("Property ") + p.Name + " takes a " + p.ObjectClass->ClassName()
            + ", not a " + value->ClassName());
    Writable(p, p.SetObject)(instance, value);
}

std::string GetMethodName(const TObject *instance, const std::string &name)
{
    return NeedKind(instance, name, { pkEvent }).GetHandlerName(instance);
}

std::any GetEventValue(const TObject *instance, const std::string &name, const std::type_info &signature)
{
    const TPropInfo *prop = instance ? GetPropInfo(instance, name) : nullptr;
    if (!prop || prop->Kind != pkEvent || !prop->EventSignature || *prop->EventSignature != signature || !prop->GetEvent)
        return {};
    return prop->GetEvent(instance);
}

const THandlerInfo *FindHandler(const TMetaClass &metaClass, const std::string &name)
{
    for (const TMetaClass *c = &metaClass; c; c = c->ClassParent())
        if (const TClassTable *t = c->Table())
            for (const THandlerInfo &h : t->Handlers)
                if (SameName(h.Name, name))
                    return &h;
    return nullptr;
}

const TFieldInfo *FindField(const TMetaClass &metaClass, const std::string &name)
{
    for (const TMetaClass *c = &metaClass; c; c = c->ClassParent())
        if (const TClassTable *t = c->Table())
            for (const TFieldInfo &f : t->Fields)
                if (SameName(f.Name, name))
                    return &f;
    return nullptr;
}

void SetMethodProp(TObject *instance, const std::string &name, TObject *root, const std::string &handlerName)
{
    const TPropInfo &p = NeedKind(instance, name, { pkEvent });
    if (handlerName.empty()) {
        p.BindHandler(instance, nullptr, root);
        return;
    }
    const THandlerInfo *h = root ? FindHandler(*root->ClassType(), handlerName) : nullptr;
    if (!h)
        throw EPropertyError("Handler " + handlerName + " does not exist in "
            + (root ? root->ClassName() : std::string("nil")));
    if (*h->Signature != *p.EventSignature)
        throw EPropertyError("Handler " + handlerName + " does not fit event " + p.Name);
    p.BindHandler(instance, h, root);
}

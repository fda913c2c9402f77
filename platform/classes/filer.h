#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/classes/classes.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

// Form resources: the text syntax of the class library's form files.
//
//     object Calculadora: TCalculadora
//       Caption = 'ORVEX Tabulo'
//       Font.Name = 'MS Sans Serif'
//       OnCreate = FormCreate
//       object rgDecimales: TRadioGroup
//         Items.Strings = (
//           '0'
//           '1')
//       end
//     end

using TReaderProc = std::function<void(TReader &reader)>;
using TWriterProc = std::function<void(TWriter &writer)>;
using TStreamProc = std::function<void(TStream &stream)>;

// What DefineProperties sees: a class names the properties it streams itself
// and gives the procedures that read and write their values.
class TFiler
{
public:
    virtual ~TFiler() = default;

    // hasData: whether the writer should write the property at all.
    virtual void DefineProperty(
        const std::string &name, const TReaderProc &readData, const TWriterProc &writeData, bool hasData)
        = 0;
    // Binary data, written as { hex }; the procedures get a memory stream.
    virtual void DefineBinaryProperty(
        const std::string &name, const TStreamProc &readData, const TStreamProc &writeData, bool hasData)
        = 0;
    // The component whose resource is being read or written.
    virtual TComponent *Root() const = 0;
};

// The value kinds a defined property's reader may meet next.
enum TValueType {
    vaNull,
    vaList,
    vaInt,
    vaFloat,
    vaString,
    vaIdent,
    vaFalse,
    vaTrue,
    vaBinary,
    vaSet,
    vaCollection
};

// Reads values of defined properties from the resource text. Every fault
// raises EFormResourceError with the position of the offending value.
class TReader : public TFiler
{
public:
    void DefineProperty(const std::string &name, const TReaderProc &readData, const TWriterProc &writeData,
        bool hasData) override;
    void DefineBinaryProperty(const std::string &name, const TStreamProc &readData,
        const TStreamProc &writeData, bool hasData) override;
    TComponent *Root() const override;

    TValueType NextValue();
    int64_t ReadInteger();
    bool ReadBoolean();
    double ReadFloat();
    std::string ReadString();
    std::string ReadIdent();
    void ReadListBegin(); // (
    bool EndOfList(); // the next token is )
    void ReadListEnd(); // )
    // Raises EFormResourceError at the current value.
    [[noreturn]] void Error(const std::string &fault);

private:
    friend struct TLoadSession;
    friend class TComponent;
    struct Impl;
    // The properties and children of component, up to its "end".
    void ReadBody(TComponent *component);
    explicit TReader(Impl &impl)
        : d(impl)
    {
    }
    Impl &d;
};

// Writes values of defined properties into the resource text.
class TWriter : public TFiler
{
public:
    void DefineProperty(const std::string &name, const TReaderProc &readData, const TWriterProc &writeData,
        bool hasData) override;
    void DefineBinaryProperty(const std::string &name, const TStreamProc &readData,
        const TStreamProc &writeData, bool hasData) override;
    TComponent *Root() const override;

    void WriteInteger(int64_t value);
    void WriteBoolean(bool value);
    void WriteFloat(double value);
    void WriteString(const std::string &value);
    void WriteIdent(const std::string &ident);
    void WriteListBegin();
    void WriteListEnd();

private:
    friend struct TWriteSession;
    friend class TComponent;
    struct Impl;
    void WriteBody(TComponent *component);
    explicit TWriter(Impl &impl)
        : d(impl)
    {
    }
    Impl &d;
};

// A fault in a form resource: "calcula01.dfm(12,5): Property Captio does not exist".
class EFormResourceError : public EReadError
{
public:
    EFormResourceError(std::string fileName, int line, int column, std::string fault);
    const char *ClassName() const override { return "EFormResourceError"; }

    const std::string &FileName() const { return fileName_; }
    int Line() const { return line_; }
    int Column() const { return column_; }
    const std::string &Fault() const { return fault_; }

private:
    std::string fileName_;
    int line_;
    int column_;
    std::string fault_;
};

ORVEX_EXCEPTION(EResNotFound, Exception);

// Reads one resource text onto root: the text's top object is root itself
// (its class must be root's class or an ancestor of it), nested objects are
// created owned by root, references are resolved and Loaded runs for every
// component read, in creation order. On any fault every component this load
// created is freed again and the error is raised; properties already set on
// root and on components that existed before stay as they were set.
void ReadComponentText(TComponent *root, std::string_view text, const std::string &fileName);

// Applies the form resources of instance's class and of its ancestors below
// rootAncestor (exclusive), the most distant ancestor first, as one load.
// Answers false when none of those classes has a resource.
bool InitInheritedComponent(TComponent *instance, const TMetaClass &rootAncestor);

// Applies the resource registered under resourceName; EResNotFound
// "Resource %s not found" when there is none.
void ReadComponentRes(const std::string &resourceName, TComponent *root);

// Finds a component named in a dotted reference ("Form2.Edit1") that is not
// root's own: the user interface installs one that looks through its forms
// and data modules. Without one, such references are errors.
void SetFindGlobalComponent(std::function<TComponent *(const std::string &name)> finder);

// The resource text of root and everything it owns: stored, non-default
// properties only, children as GetChildren gives them.
std::string WriteComponentText(TComponent *root);

// Resources compiled into the program (cmake/Resources.cmake). A resource
// is registered under the class name of its top object.
struct TFormResource {
    std::string Name; // TCalculadora
    std::string FileName; // calcula01.dfm, for error messages
    std::string Text;
};
const TFormResource *FindFormResource(const std::string &name); // null when none; case-insensitive

// One static instance per compiled resource registers it; the generated
// sources of orvex_add_form_resources hold them.
class TFormResourceRegistrar
{
public:
    TFormResourceRegistrar(const char *name, const char *fileName, std::string_view text);
};

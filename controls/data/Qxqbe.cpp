#include "controls/data/Qxdbsets_p.h"

#include "platform/rtl/sysutils.h"

const TMetaClass TqxQBE::Class { "TqxQBE", &TDBDataSet::Class };

// clang-format off
namespace {

using P = TPublish<TqxQBE>;
const TClassRegistrar<TqxQBE> qbeRegistrar({
    //          name                 getter                      setter                        default
    P::Strings ("ControlType",       &TqxQBE::ControlType),
    P::Strings ("LookupFields",      &TqxQBE::LookupFields),
    P::Strings ("LookupLinks",       &TqxQBE::LookupLinks),
    P::Strings ("PictureMasks",      &TqxQBE::PictureMasks),
    qxFilterEventProperty(&TqxQBE::OnFilter, &TqxQBE::SetOnFilter),
    P::Event   ("OnFilterEscape",    &TqxQBE::OnFilterEscape),
    P::Set     ("OnFilterOptions",   qxFilterOptionNames, &TqxQBE::OnFilterOptions, &TqxQBE::SetOnFilterOptions, 3),
    P::Event   ("OnInvalidValue",    &TqxQBE::OnInvalidValue),
    P::Strings ("QBE",               &TqxQBE::QBE),
    P::String  ("AnswerTable",       &TqxQBE::AnswerTable,       &TqxQBE::SetAnswerTable,      ""),
    P::Boolean ("AuxiliaryTables",   &TqxQBE::AuxiliaryTables,   &TqxQBE::SetAuxiliaryTables,  true),
    P::Boolean ("BlankAsZero",       &TqxQBE::BlankAsZero,       &TqxQBE::SetBlankAsZero,      true),
});

// ASCII lower case: the places found stay the places in the original text.
std::string Lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool IsParamChar(char c) { return c == '#' || c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); }

// Puts value in place of every "~name" (ignoring case), the value and the
// rest of the line whole.
void Substitute(std::string &line, const std::string &name, const std::string &value)
{
    const std::string key = "~" + Lower(name);
    for (size_t at = Lower(line).find(key); at != std::string::npos; at = Lower(line).find(key, at + value.size()))
        line.replace(at, key.size(), value);
}

} // namespace
// clang-format on

TqxQBE::TqxQBE(TComponent *owner)
    : TqxExtendedDataSet(owner, false, qxQBEFilterRefused)
    , qbe_(std::make_unique<TStringList>())
    , paramNames_(std::make_unique<TStringList>())
    , paramValues_(std::make_unique<TStringList>())
{
}

TqxQBE::~TqxQBE() { CloseOnDestroy(); }

// ---- TqxQBE: the text -------------------------------------------------------------------

void TqxQBE::SetQBE(const TStrings *lines)
{
    qbe_->Assign(*lines);
    if (Active()) {
        Close();
        Open();
    }
}

std::string TqxQBE::SubstitutedText() const
{
    std::string text;
    for (int i = 0; i < qbe_->Count(); ++i) {
        std::string line = qbe_->Strings(i);
        if (line.find('~') != std::string::npos) {
            for (int p = paramNames_->Count() - 1; p >= 0; --p)
                if (!paramNames_->Strings(p).empty())
                    Substitute(line, paramNames_->Strings(p), p < paramValues_->Count() ? paramValues_->Strings(p) : "");
            // A placeholder no parameter names becomes one blank.
            for (size_t at = line.find('~'); at != std::string::npos; at = line.find('~', at + 1)) {
                size_t end = at + 1;
                while (end < line.size() && IsParamChar(Lower(line.substr(end, 1))[0]))
                    ++end;
                line.replace(at, end - at, " ");
            }
        }
        text += (i ? "\r\n" : "") + line;
    }
    return text;
}

std::unique_ptr<TEngineCursor> TqxQBE::RunQBE()
{
    std::unique_ptr<TEngineStatement> statement = DBHandle()->AllocStatement();
    statement->SetProp(stmtAUXTBLS, auxiliaryTables_ ? 1 : 0);
    if (blankAsZero_)
        statement->SetProp(stmtBLANKS, 1);
    statement->Prepare(qryLangQBE, SubstitutedText());
    TqxStatementCursor busy;
    return statement->Execute();
}

std::unique_ptr<TEngineCursor> TqxQBE::CreateHandle()
{
    if (made_)
        return std::move(made_);
    noAnswer_ = false;
    failure_.clear();
    if (qbe_->Count() == 0 || qbe_->Strings(0).empty())
        return nullptr;
    // The engine has no access rights to ask for, so every error ends as no
    // cursor here; opening reports it.
    try {
        std::unique_ptr<TEngineCursor> cursor = RunQBE();
        if (!cursor) {
            noAnswer_ = true;
            return nullptr;
        }
        qxSaveAnswerTable(this, cursor.get(), answerTable_);
        cursor->SetToBegin();
        return cursor;
    } catch (const Exception &e) {
        failure_ = e.Message();
    }
    return nullptr;
}

void TqxQBE::OpenCursor(bool infoQuery)
{
    OpenDatabase();
    std::unique_ptr<TEngineCursor> cursor = CreateHandle();
    if (!cursor) {
        TDBDataSet::CloseCursor();
        if (noAnswer_)
            return; // nothing to show: the dataset stays closed
        // The class library's words, and the engine's reason under them.
        DatabaseError(failure_.empty() ? "Error creating cursor handle" : "Error creating cursor handle\n" + failure_);
    }
    made_ = std::move(cursor);
    TDBDataSet::OpenCursor(infoQuery);
}

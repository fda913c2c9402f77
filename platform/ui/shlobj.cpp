#include "platform/ui/shlobj.h"

#include <vector>

#include "platform/rtl/files.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

namespace
{

// The shell's own texts follow the user's language, as Windows' do.
bool SpanishUser()
{
    return (GetUserDefaultLangID() & 0x3FF) == LANG_SPANISH;
}

std::string WithoutTrailingBackslash(const std::string &path)
{
    // A drive keeps its backslash: "C:\".
    if (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        return path.substr(0, path.size() - 1);
    return path;
}

class TBrowseForm : public TForm
{
public:
    explicit TBrowseForm(BROWSEINFO &info);

    TLabel *Title = nullptr;
    TTreeView *Tree = nullptr;
    TButton *OkButton = nullptr;
    TButton *CancelButton = nullptr;

    std::string SelectedPath() const;

protected:
    void Dispatch(TMessage &message) override;

private:
    TTreeNode *AddFolder(TTreeNode *parent, const std::string &text, const std::string &path);
    void Fill(TTreeNode *node); // reads the node's folders the first time it opens
    bool Select(const std::string &path);
    const std::string *PathOf(const TTreeNode *node) const;
    void SelectionChanged(TTreeNode *node);

    BROWSEINFO &info_;
    std::vector<std::unique_ptr<std::string>> paths_;
    bool okAllowed_ = true;
};

TBrowseForm::TBrowseForm(BROWSEINFO &info)
    : TForm(Application)
    , info_(info)
{
    const bool spanish = SpanishUser();
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(spanish ? "Buscar carpeta" : "Browse For Folder");
    SetClientWidth(320);
    SetClientHeight(340);

    Title = new TLabel(this);
    Title->SetParent(this);
    Title->SetAutoSize(false);
    Title->SetWordWrap(true);
    Title->SetBounds(14, 10, 292, 30);
    Title->SetCaption(info.lpszTitle);

    Tree = new TTreeView(this);
    Tree->SetParent(this);
    Tree->SetBounds(14, 46, 292, 232);
    Tree->SetHideSelection(false);
    Tree->SetReadOnly(true);

    OkButton = new TButton(this);
    OkButton->SetParent(this);
    OkButton->SetBounds(146, 298, 75, 23);
    OkButton->SetCaption(spanish ? "Aceptar" : "OK");
    OkButton->SetDefault(true);
    OkButton->SetModalResult(mrOk);

    CancelButton = new TButton(this);
    CancelButton->SetParent(this);
    CancelButton->SetBounds(227, 298, 75, 23);
    CancelButton->SetCaption(spanish ? "Cancelar" : "Cancel");
    CancelButton->SetCancel(true);
    CancelButton->SetModalResult(mrCancel);

    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (DirectoryExists(root))
            AddFolder(nullptr, std::string(1, letter) + ":", root);
    }
    Tree->OnExpanded = [this](TObject *, TTreeNode *node) { Fill(node); };
    Tree->OnChange = [this](TObject *, TTreeNode *node) { SelectionChanged(node); };
    OkButton->SetEnabled(false);
    SetActiveControl(Tree);
}

TTreeNode *TBrowseForm::AddFolder(TTreeNode *parent, const std::string &text, const std::string &path)
{
    paths_.push_back(std::make_unique<std::string>(path));
    TTreeNode *node = Tree->Items()->AddChildObject(parent, text, paths_.back().get());
    // A placeholder, so the node can be opened before its folders are read.
    Tree->Items()->AddChildObject(node, "", nullptr);
    return node;
}

const std::string *TBrowseForm::PathOf(const TTreeNode *node) const
{
    return node ? static_cast<const std::string *>(node->Data()) : nullptr;
}

void TBrowseForm::Fill(TTreeNode *node)
{
    TTreeNode *first = node->GetFirstChild();
    if (!first || first->Data())
        return;
    first->Delete();
    const std::string path = *PathOf(node);
    TSearchRec rec;
    for (int found = FindFirst(IncludeTrailingBackslash(path) + "*.*", faDirectory, rec); found == 0;
         found = FindNext(rec))
        if ((rec.Attr & faDirectory) && !(rec.Attr & faHidden))
            AddFolder(node, rec.Name, IncludeTrailingBackslash(path) + rec.Name);
    FindClose(rec);
}

bool TBrowseForm::Select(const std::string &path)
{
    std::string rest = path;
    for (char &c : rest)
        if (c == '/')
            c = '\\';
    if (rest.size() < 2 || rest[1] != ':')
        return false;
    TTreeNode *node = nullptr;
    for (TTreeNode *drive = Tree->Items()->GetFirstNode(); drive; drive = drive->GetNextSibling())
        if (AnsiSameText(drive->Text(), rest.substr(0, 2)))
            node = drive;
    if (!node)
        return false;
    size_t at = 2;
    while (at < rest.size()) {
        while (at < rest.size() && rest[at] == '\\')
            ++at;
        if (at >= rest.size())
            break;
        const size_t end = std::min(rest.find('\\', at), rest.size());
        const std::string name = rest.substr(at, end - at);
        at = end;
        Fill(node);
        TTreeNode *match = nullptr;
        for (TTreeNode *child = node->GetFirstChild(); child && !match; child = child->GetNextSibling())
            if (AnsiSameText(child->Text(), name))
                match = child;
        if (!match)
            return false;
        node = match;
    }
    node->MakeVisible();
    Tree->SetSelected(node);
    return true;
}

void TBrowseForm::SelectionChanged(TTreeNode *node)
{
    OkButton->SetEnabled(node && okAllowed_);
    if (!node || !info_.lpfn)
        return;
    ITEMIDLIST item { *PathOf(node) };
    info_.lpfn(Handle(), BFFM_SELCHANGED, reinterpret_cast<LPARAM>(&item), info_.lParam);
}

std::string TBrowseForm::SelectedPath() const
{
    const std::string *path = PathOf(Tree->Selected());
    return path ? *path : std::string();
}

void TBrowseForm::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case BFFM_SETSELECTION:
        message.Result = message.LParam && Select(reinterpret_cast<const char *>(message.LParam)) ? 1 : 0;
        return;
    case BFFM_ENABLEOK:
        okAllowed_ = message.LParam != 0;
        OkButton->SetEnabled(okAllowed_ && Tree->Selected());
        return;
    default:
        TForm::Dispatch(message);
    }
}

} // namespace

PIDLIST_ABSOLUTE SHBrowseForFolder(BROWSEINFO &info)
{
    auto form = std::make_unique<TBrowseForm>(info);
    form->HandleNeeded();
    if (info.lpfn)
        info.lpfn(form->Handle(), BFFM_INITIALIZED, 0, info.lParam);
    if (form->ShowModal() != mrOk || !form->Tree->Selected())
        return nullptr;
    info.DisplayName = form->Tree->Selected()->Text();
    return new ITEMIDLIST { WithoutTrailingBackslash(form->SelectedPath()) };
}

bool SHGetPathFromIDList(const ITEMIDLIST *pidl, std::string &path)
{
    if (!pidl)
        return false;
    path = pidl->Path;
    return true;
}

void ILFree(PIDLIST_ABSOLUTE pidl)
{
    delete pidl;
}

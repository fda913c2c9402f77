#include "installer/dialogs/cmp_TOpenFolderDialog.h"

#include <cctype>

#include "calculator/zrutinas.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/process.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"
#include "platform/ui/shlobj.h"

namespace
{

constexpr int CreateButtonShift = 22; // the create button sits this far above OK
constexpr int PathEditRoom = 60; // what the tree gives up for the path edit

// A folder name the create button may make below the current folder: one
// name, nothing that climbs or names a drive.
bool IsPlainFolderName(const std::string &name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

} // namespace

std::string LoadSystemString(const std::string &library, uint32_t id)
{
    HMODULE module = LoadLibrary(library);
    if (!module)
        return {};
    std::string text;
    LoadString(module, id, text, 4096);
    FreeLibrary(module);
    return text;
}

bool IsAbsoluteMachinePath(const std::string &path)
{
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':'
        && (path[2] == '\\' || path[2] == '/');
}

TOpenFolderDialog::TOpenFolderDialog(TComponent *owner)
    : TComponent(owner)
{
}

TOpenFolderDialog::~TOpenFolderDialog() = default;

bool TOpenFolderDialog::Execute()
{
    // Creating a folder closes the shell's window; the browse then goes on in
    // a new one that shows the folder. A refused path does the same.
    bool again = true;
    bool result = false;
    while (again)
        result = ExecuteOnce(again);
    return result;
}

bool TOpenFolderDialog::ExecuteOnce(bool &again)
{
    again = false;
    created_ = false;
    dialog_ = nullptr;
    tree_ = nullptr;
    okButton_ = cancelButton_ = nullptr;
    currentPath_.clear();

    BROWSEINFO info;
    if (TCustomForm *active = Screen->ActiveForm())
        info.hwndOwner = active->Handle();
    info.lpszTitle = Format(LoadSystemString("shell32.dll", 9248), std::string());
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = [this](HWND window, uint32_t msg, LPARAM lParam, LPARAM) { return Callback(window, msg, lParam); };
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolder(info);
    // The shell's window is gone; the added controls stay ours.
    dialog_ = nullptr;
    tree_ = nullptr;
    okButton_ = cancelButton_ = nullptr;

    if (created_) {
        ILFree(chosen);
        directory_ = currentPath_;
        again = true;
        return false;
    }
    if (!chosen)
        return false;
    std::string path;
    SHGetPathFromIDList(chosen, path);
    ILFree(chosen);
    if (!showPathEdit_) {
        directory_ = path;
        return true;
    }
    // A typed folder must name its drive: a relative one would land
    // wherever the program's current folder happens to be.
    if (!IsAbsoluteMachinePath(currentPath_)) {
        ShowRefusal(TranslateFormat(
            "%s is not a complete folder name. Type the folder with its drive, for example C:\\Folder", currentPath_));
        again = true;
        return false;
    }
    if (!ForceDirectories(currentPath_)) {
        ShowRefusal(TranslateFormat("The folder %s cannot be created", currentPath_));
        again = true;
        return false;
    }
    directory_ = currentPath_;
    return true;
}

void TOpenFolderDialog::ShowRefusal(const std::string &message)
{
    SetupRoutines::ShowMessageBox(message, MB_ICONERROR, MB_OK);
}

int TOpenFolderDialog::Callback(HWND window, uint32_t msg, LPARAM lParam)
{
    switch (msg) {
    case BFFM_INITIALIZED:
        dialog_ = window;
        FindParts();
        if (showCreateButton_)
            AddCreateButton();
        if (showPathEdit_)
            AddPathEdit();
        if (tree_)
            tree_->SetHideSelection(false);
        SelectFolder(directory_);
        break;
    case BFFM_SELCHANGED: {
        std::string path;
        SHGetPathFromIDList(reinterpret_cast<const ITEMIDLIST *>(lParam), path);
        currentPath_ = path;
        if (pathEdit_ && pathEdit_->Parent() && !editTyping_)
            pathEdit_->SetText(path);
        if (createButton_ && createButton_->Parent() && okButton_)
            createButton_->SetVisible(okButton_->Enabled());
        break;
    }
    default:
        break;
    }
    return 0;
}

void TOpenFolderDialog::FindParts()
{
    auto *window = dynamic_cast<TWinControl *>(FindControl(dialog_));
    if (!window)
        return;
    for (int i = 0; i < window->ControlCount(); ++i) {
        TControl *control = window->Controls(i);
        if (auto *tree = dynamic_cast<TCustomTreeView *>(control); tree && !tree_)
            tree_ = tree;
        else if (auto *button = dynamic_cast<TButton *>(control); button && !dynamic_cast<TOFDCreateButton *>(button)) {
            if (!okButton_)
                okButton_ = button;
            else if (!cancelButton_)
                cancelButton_ = button;
        }
    }
    if (okButton_)
        okRect_ = okButton_->BoundsRect();
    if (cancelButton_)
        cancelRect_ = cancelButton_->BoundsRect();
    if (tree_)
        treeRect_ = tree_->BoundsRect();
}

void TOpenFolderDialog::AddCreateButton()
{
    auto *window = dynamic_cast<TWinControl *>(FindControl(dialog_));
    if (!window)
        return;
    TRect rect { 20, 230, 140, 253 };
    if (okButton_ && cancelButton_) {
        // The OK button's place, moved left by the distance from OK to Cancel and up.
        const int step = cancelRect_.Left - okRect_.Left;
        rect = { okRect_.Left - step, okRect_.Top - CreateButtonShift, okRect_.Right - step,
            okRect_.Bottom - CreateButtonShift };
    }
    if (!createButton_) {
        createButton_ = new TOFDCreateButton(this);
        createButton_->OnClick = [this](TObject *sender) { CreateButtonClick(sender); };
    }
    const int left = tree_ ? treeRect_.Left : rect.Left;
    createButton_->SetParent(window);
    createButton_->SetCaption(LoadSystemString("comdlg32.dll", 703));
    createButton_->SetBounds(left, rect.Top, rect.Right - left, rect.Bottom - rect.Top);
    createButton_->SetVisible(true);
}

void TOpenFolderDialog::AddPathEdit()
{
    auto *window = dynamic_cast<TWinControl *>(FindControl(dialog_));
    if (!window)
        return;
    TRect rect { 20, 230, 140, 253 };
    if (tree_) {
        treeRect_.Bottom -= PathEditRoom;
        tree_->SetBoundsRect(treeRect_);
        if (okButton_)
            rect = { treeRect_.Left, treeRect_.Bottom + 15, treeRect_.Right, treeRect_.Bottom + 28 };
    }
    if (!pathEdit_) {
        pathEdit_ = new TOFDPathEdit(this);
        pathEdit_->OnKeyUp = [this](TObject *sender, uint16_t &key, TShiftState shift) {
            PathEditKeyUp(sender, key, shift);
        };
    }
    pathEdit_->SetParent(window);
    pathEdit_->SetText("");
    pathEdit_->SetBounds(rect.Left, rect.Top, rect.Right - rect.Left, pathEdit_->Height());
    pathEdit_->SetVisible(true);
}

void TOpenFolderDialog::SelectFolder(const std::string &path)
{
    if (!dialog_)
        return;
    selecting_ = true;
    // The deepest folder of the path that exists.
    std::string existing = path;
    while (!existing.empty() && !DirectoryExists(existing)) {
        const size_t cut = existing.find_last_of("\\/");
        existing = cut == std::string::npos ? std::string() : existing.substr(0, cut);
    }
    if (existing.size() > 3)
        existing = ExcludeTrailingBackslash(existing);
    else if (!existing.empty())
        existing = IncludeTrailingBackslash(existing);
    if (!existing.empty())
        SendMessage(dialog_, BFFM_SETSELECTION, 1, reinterpret_cast<LPARAM>(existing.c_str()));
    selecting_ = false;
}

void TOpenFolderDialog::PathEditKeyUp(TObject *, uint16_t &, TShiftState)
{
    if (selecting_ || !dialog_)
        return;
    editTyping_ = true;
    const std::string text = pathEdit_->Text();
    SendMessage(dialog_, BFFM_SETSELECTION, 1, reinterpret_cast<LPARAM>(text.c_str()));
    currentPath_ = text;
    editTyping_ = false;
}

void TOpenFolderDialog::CreateButtonClick(TObject *sender)
{
    bool allow = true;
    OnCreateFolder(sender, allow);
    if (!allow)
        return;
    std::string target;
    if (!pathEdit_ || !pathEdit_->Parent() || DirectoryExists(pathEdit_->Text())) {
        const std::string caption = LoadSystemString("comdlg32.dll", 703);
        std::string name;
        if (!InputQuery(caption, LoadSystemString("shell32.dll", 8977), name))
            return;
        name = Trim(name);
        if (!IsPlainFolderName(name)) {
            ShowRefusal(TranslateFormat("%s is not a valid folder name", name));
            return;
        }
        target = IncludeTrailingBackslash(currentPath_) + name;
    } else {
        // The edit names a folder that does not exist yet: it is made as it stands.
        target = pathEdit_->Text();
    }
    if (!IsAbsoluteMachinePath(target)) {
        ShowRefusal(TranslateFormat(
            "%s is not a complete folder name. Type the folder with its drive, for example C:\\Folder", target));
        return;
    }
    if (!ForceDirectories(target)) {
        ShowRefusal(TranslateFormat("The folder %s cannot be created", target));
        return;
    }
    currentPath_ = target;
    created_ = true;
    if (okButton_)
        SendMessage(okButton_->Handle(), BM_CLICK, 0, 0);
}

#pragma once

#include <memory>
#include <string>

#include "platform/rtl/events.h"
#include "platform/ui/geometry.h"
#include "platform/ui/stdctrls.h"

// The folder browser of the setup: the shell's browser with two controls of
// its own added to the shell's window, a button that creates a folder and
// an edit in which the user types a folder, existing or new. Its texts are
// the system's, so they follow the Windows language.

class TCustomTreeView;

using TCreateFolderEvent = TEvent<TObject *, bool & /*Allow*/>;

class TOFDCreateButton : public TButton
{
public:
    using TButton::TButton;
};

class TOFDPathEdit : public TEdit
{
public:
    using TEdit::TEdit;
};

class TOpenFolderDialog : public TComponent
{
public:
    explicit TOpenFolderDialog(TComponent *owner);
    ~TOpenFolderDialog() override;

    // The start folder before Execute, the chosen folder after it
    const std::string &Directory() const { return directory_; }
    void SetDirectory(const std::string &value) { directory_ = value; }
    // The added controls
    bool ShowCreateButton() const { return showCreateButton_; }
    void SetShowCreateButton(bool value) { showCreateButton_ = value; }
    bool ShowPathEdit() const { return showPathEdit_; }
    void SetShowPathEdit(bool value) { showPathEdit_ = value; }

    // Runs the browser; true when a folder was chosen (it then exists).
    bool Execute();

    // While the browser shows: its window and the controls added to it
    HWND DialogWindow() const { return dialog_; }
    TOFDCreateButton *CreateButton() const { return createButton_; }
    TOFDPathEdit *PathEdit() const { return pathEdit_; }
    TCustomTreeView *Tree() const { return tree_; }
    TButton *OkButton() const { return okButton_; }
    TButton *CancelButton() const { return cancelButton_; }
    const std::string &CurrentPath() const { return currentPath_; }

    // Before a folder is made; Allow false keeps it from being made.
    TCreateFolderEvent OnCreateFolder;

private:
    bool ExecuteOnce(bool &again);
    int Callback(HWND window, uint32_t msg, LPARAM lParam);
    void FindParts();
    void AddCreateButton();
    void AddPathEdit();
    void SelectFolder(const std::string &path);
    void PathEditKeyUp(TObject *sender, uint16_t &key, TShiftState shift);
    void CreateButtonClick(TObject *sender);
    void ShowRefusal(const std::string &message); // already translated

    std::string directory_;
    bool showCreateButton_ = true;
    bool showPathEdit_ = true;
    std::string currentPath_;
    bool created_ = false;
    bool selecting_ = false;
    bool editTyping_ = false;
    HWND dialog_ = nullptr;
    TCustomTreeView *tree_ = nullptr;
    TButton *okButton_ = nullptr;
    TButton *cancelButton_ = nullptr;
    TRect okRect_, cancelRect_, treeRect_;
    TOFDCreateButton *createButton_ = nullptr; // owned by the component
    TOFDPathEdit *pathEdit_ = nullptr; // owned by the component
};

// A text of a system library (LoadLibrary, LoadString, FreeLibrary); empty
// when the library or the string is missing.
std::string LoadSystemString(const std::string &library, uint32_t id);

// Whether path names a folder of the machine from its drive ("C:\...").
bool IsAbsoluteMachinePath(const std::string &path);

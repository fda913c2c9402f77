#pragma once

#include "platform/classes/classes.h"
#include "platform/ui/graphics.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TButton;
class TCustomForm;

// The library's localisation component: every caption, hint and message of
// the library's dialogs and controls, and a few global settings. One global
// instance always exists (qxIntl); the controls read it when they show a text.
// A TqxIntl placed on a form with Connected copies all of its values into the
// global instance, once each time Connected becomes true.

enum TqxCheckBoxInGridStyle { cbStyleAuto, cbStyleCheckmark, cbStyleXmark };

// A sub-object of texts. Its published string properties, their order and
// their defaults come from one table; nested sub-objects are owned.
class TqxIntlTexts : public TPersistent
{
public:
    ~TqxIntlTexts() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // A text by its property name (EPropertyError for a name the class lacks).
    const std::string &Text(std::string_view name) const;
    void SetText(std::string_view name, const std::string &value);
    // From a sub-object of the same class: every text, nested ones included.
    void Assign(const TPersistent *source) override;

    // Access by row, for the published tables.
    const std::string &Value(int row) const { return values_.at(row); }
    void SetValue(int row, const std::string &value) { values_.at(row) = value; }

protected:
    explicit TqxIntlTexts(const TMetaClass &cls);
    void Own(TqxIntlTexts *sub) { subs_.emplace_back(sub); }

private:
    int RowOf(std::string_view name) const;
    const TMetaClass &class_;
    std::vector<int> rows_; // rows of the table that belong to this class
    std::vector<std::string> values_;
    std::vector<std::unique_ptr<TqxIntlTexts>> subs_;
};

#define QX_INTL_TEXTS_CLASS(Name)                                                                            \
    class Name : public TqxIntlTexts                                                                         \
    {                                                                                                        \
    public:                                                                                                  \
        Name();                                                                                              \
        static const TMetaClass Class;                                                                       \
        const TMetaClass *ClassType() const override { return &Class; }                                      \
    }
QX_INTL_TEXTS_CLASS(TqxFilterDialogIntl);
QX_INTL_TEXTS_CLASS(TqxRichEditMenuLabels);
QX_INTL_TEXTS_CLASS(TqxRichEditPopupMenuLabels);
QX_INTL_TEXTS_CLASS(TqxRichEditParagraphDlg);
QX_INTL_TEXTS_CLASS(TqxRichEditTabDlg);
QX_INTL_TEXTS_CLASS(TqxMonthCalendarIntl);
QX_INTL_TEXTS_CLASS(TqxSearchDialogIntl);
QX_INTL_TEXTS_CLASS(TqxLocateDialogIntl);
QX_INTL_TEXTS_CLASS(TqxUserMessagesIntl);
QX_INTL_TEXTS_CLASS(TqxDBNavigatorIntlHints);
#undef QX_INTL_TEXTS_CLASS

class TqxDBRichEditIntl : public TqxIntlTexts
{
public:
    TqxDBRichEditIntl();
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TqxRichEditMenuLabels *MenuLabels() const { return menu_; }
    TqxRichEditPopupMenuLabels *PopupMenuLabels() const { return popup_; }
    TqxRichEditParagraphDlg *ParagraphDialog() const { return paragraph_; }
    TqxRichEditTabDlg *TabDialog() const { return tab_; }

private:
    TqxRichEditMenuLabels *menu_;
    TqxRichEditPopupMenuLabels *popup_;
    TqxRichEditParagraphDlg *paragraph_;
    TqxRichEditTabDlg *tab_;
};

class TqxDBNavigatorIntl : public TqxIntlTexts
{
public:
    TqxDBNavigatorIntl();
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TqxDBNavigatorIntlHints *Hints() const { return hints_; }

private:
    TqxDBNavigatorIntlHints *hints_;
};

class TqxIntl : public TComponent
{
public:
    explicit TqxIntl(TComponent *owner);
    ~TqxIntl() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Texts
    TqxDBNavigatorIntl *Navigator() const { return navigator_.get(); }
    TqxSearchDialogIntl *SearchDialog() const { return search_.get(); }
    TqxLocateDialogIntl *LocateDialog() const { return locate_.get(); }
    TqxMonthCalendarIntl *MonthCalendar() const { return calendar_.get(); }
    TqxFilterDialogIntl *FilterDialog() const { return filter_.get(); }
    TqxDBRichEditIntl *RichEdit() const { return richEdit_.get(); }
    TqxUserMessagesIntl *UserMessages() const { return messages_.get(); }

    // Buttons of the library's dialogs
    bool OKCancelBitmapped() const { return okCancelBitmapped_; }
    void SetOKCancelBitmapped(bool on) { okCancelBitmapped_ = on; }
    const std::string &BtnOKCaption() const { return btnOK_; }
    void SetBtnOKCaption(const std::string &caption) { btnOK_ = caption; }
    const std::string &BtnCancelCaption() const { return btnCancel_; }
    void SetBtnCancelCaption(const std::string &caption) { btnCancel_ = caption; }
    TFontStyles DialogFontStyle() const { return dialogFontStyle_; }
    void SetDialogFontStyle(TFontStyles style) { dialogFontStyle_ = style; }

    // Settings
    TqxCheckBoxInGridStyle CheckBoxInGridStyle() const { return checkBoxStyle_; }
    void SetCheckBoxInGridStyle(TqxCheckBoxInGridStyle style);
    const std::string &VersionLumino() const { return version_; }
    void SetVersionLumino(const std::string &) {} // the version is the library's own
    int FilterMemoSize() const { return filterMemoSize_; }
    void SetFilterMemoSize(int size) { filterMemoSize_ = size; }
    bool UseLocateMethodForSearch() const { return useLocate_; }
    void SetUseLocateMethodForSearch(bool on) { useLocate_ = on; }
    int DefaultEpochYear() const { return epochYear_; }
    void SetDefaultEpochYear(int year) { epochYear_ = year; }

    bool Connected() const { return connected_; }
    void SetConnected(bool connected);

protected:
    void Loaded() override;

private:
    void CopyToGlobal() const;
    std::unique_ptr<TqxDBNavigatorIntl> navigator_;
    std::unique_ptr<TqxSearchDialogIntl> search_;
    std::unique_ptr<TqxLocateDialogIntl> locate_;
    std::unique_ptr<TqxMonthCalendarIntl> calendar_;
    std::unique_ptr<TqxFilterDialogIntl> filter_;
    std::unique_ptr<TqxDBRichEditIntl> richEdit_;
    std::unique_ptr<TqxUserMessagesIntl> messages_;
    bool okCancelBitmapped_ = true;
    std::string btnOK_ = "&OK", btnCancel_ = "Cancel";
    TqxCheckBoxInGridStyle checkBoxStyle_ = cbStyleAuto;
    std::string version_ = "4.04";
    int filterMemoSize_ = 65536;
    bool useLocate_ = true;
    TFontStyles dialogFontStyle_;
    int epochYear_ = 1950;
    bool connected_ = false;
};

// The global instance: made on first use, owned by the application object.
// Freeing it clears the reference; the next use makes a fresh one.
TqxIntl *qxIntl();
// Whether a global instance exists now (without making one).
bool qxIntlExists();

int qxGetFilterMemoSize();

// A button of a library dialog, in the style the global instance says: kind 1
// OK, 2 Cancel, 3 Help. Parented on the dialog and hidden.
TButton *qxCreateDialogButton(TCustomForm *dialog, int kind);

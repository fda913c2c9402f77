#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/rtl/strings.h"
#include "platform/ui/controls.h"

// The common controls' month calendar, window class "SysMonthCal32": a
// window that a TWinControl gets by naming the class in CreateParams once
// the date classes are initialised (CheckCommonControl(ICC_DATE_CLASSES)).
// The control talks to it as to the native one: MCM_ messages in, MCN_
// notifications back to the control as CN_NOTIFY.

// Common-control classes to initialise.
constexpr uint32_t ICC_DATE_CLASSES = 0x00000100;
// Makes the classes known to CreateParams; raises EComponentError when a
// class cannot be had here.
void CheckCommonControl(uint32_t classes);

// The first day of the week in the user's regional settings (the POSIX
// locale of LC_ALL, LC_TIME or LANG): 0 = Monday .. 6 = Sunday.
int LocaleFirstDayOfWeek();

struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0; // 0 = Sunday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};
SYSTEMTIME DateTimeToSystemTime(TDateTime dateTime);
// The date and time a SYSTEMTIME names; false when it names none.
bool TrySystemTimeToDateTime(const SYSTEMTIME &st, TDateTime &dateTime);

struct NMHDR {
    HWND hwndFrom = nullptr;
    uintptr_t idFrom = 0;
    int32_t code = 0;
};
constexpr uint32_t WM_NOTIFY = 0x004E;
constexpr uint32_t CN_NOTIFY = CN_BASE + WM_NOTIFY;

using MONTHDAYSTATE = uint32_t; // bit d - 1: day d is bold

// Messages (WParam, LParam).
constexpr uint32_t MCM_FIRST = 0x1000;
constexpr uint32_t MCM_GETCURSEL = MCM_FIRST + 1;          // 0, SYSTEMTIME *
constexpr uint32_t MCM_SETCURSEL = MCM_FIRST + 2;          // 0, const SYSTEMTIME *
constexpr uint32_t MCM_GETMAXSELCOUNT = MCM_FIRST + 3;
constexpr uint32_t MCM_SETMAXSELCOUNT = MCM_FIRST + 4;     // count, 0
constexpr uint32_t MCM_GETSELRANGE = MCM_FIRST + 5;        // 0, SYSTEMTIME[2]
constexpr uint32_t MCM_SETSELRANGE = MCM_FIRST + 6;        // 0, const SYSTEMTIME[2]
constexpr uint32_t MCM_GETMONTHRANGE = MCM_FIRST + 7;      // GMR_*, SYSTEMTIME[2]; answers the count of months
constexpr uint32_t MCM_SETDAYSTATE = MCM_FIRST + 8;        // count, const MONTHDAYSTATE *
constexpr uint32_t MCM_GETMINREQRECT = MCM_FIRST + 9;      // 0, TRect *
constexpr uint32_t MCM_SETCOLOR = MCM_FIRST + 10;          // MCSC_*, colour; answers the old one
constexpr uint32_t MCM_GETCOLOR = MCM_FIRST + 11;          // MCSC_*, 0
constexpr uint32_t MCM_SETTODAY = MCM_FIRST + 12;          // 0, const SYSTEMTIME * (null: the clock's)
constexpr uint32_t MCM_GETTODAY = MCM_FIRST + 13;          // 0, SYSTEMTIME *
constexpr uint32_t MCM_HITTEST = MCM_FIRST + 14;           // 0, MCHITTESTINFO *
constexpr uint32_t MCM_SETFIRSTDAYOFWEEK = MCM_FIRST + 15; // 0, 0 = Monday .. 6 = Sunday
constexpr uint32_t MCM_GETFIRSTDAYOFWEEK = MCM_FIRST + 16;
constexpr uint32_t MCM_GETRANGE = MCM_FIRST + 17;          // 0, SYSTEMTIME[2]; answers GDTR_ flags
constexpr uint32_t MCM_SETRANGE = MCM_FIRST + 18;          // GDTR_ flags, const SYSTEMTIME[2]
constexpr uint32_t MCM_GETMONTHDELTA = MCM_FIRST + 19;
constexpr uint32_t MCM_SETMONTHDELTA = MCM_FIRST + 20;     // months, 0 (0: the visible months)

constexpr WPARAM GMR_VISIBLE = 0;  // whole months shown
constexpr WPARAM GMR_DAYSTATE = 1; // with the months whose days trail at the edges
constexpr WPARAM GDTR_MIN = 1;
constexpr WPARAM GDTR_MAX = 2;

// Colours.
constexpr WPARAM MCSC_BACKGROUND = 0;
constexpr WPARAM MCSC_TEXT = 1;
constexpr WPARAM MCSC_TITLEBK = 2;
constexpr WPARAM MCSC_TITLETEXT = 3;
constexpr WPARAM MCSC_MONTHBK = 4;
constexpr WPARAM MCSC_TRAILINGTEXT = 5;

// Styles.
constexpr uint32_t MCS_DAYSTATE = 0x0001;
constexpr uint32_t MCS_MULTISELECT = 0x0002;
constexpr uint32_t MCS_WEEKNUMBERS = 0x0004;
constexpr uint32_t MCS_NOTODAYCIRCLE = 0x0008;
constexpr uint32_t MCS_NOTODAY = 0x0010;

// Hit-test codes.
constexpr uint32_t MCHT_NOWHERE = 0x00000000;
constexpr uint32_t MCHT_TITLE = 0x00010000;
constexpr uint32_t MCHT_CALENDAR = 0x00020000;
constexpr uint32_t MCHT_TODAYLINK = 0x00030000;
constexpr uint32_t MCHT_NEXT = 0x01000000;
constexpr uint32_t MCHT_PREV = 0x02000000;
constexpr uint32_t MCHT_TITLEBK = MCHT_TITLE;
constexpr uint32_t MCHT_TITLEMONTH = MCHT_TITLE | 0x0001;
constexpr uint32_t MCHT_TITLEYEAR = MCHT_TITLE | 0x0002;
constexpr uint32_t MCHT_TITLEBTNNEXT = MCHT_TITLE | MCHT_NEXT | 0x0003;
constexpr uint32_t MCHT_TITLEBTNPREV = MCHT_TITLE | MCHT_PREV | 0x0003;
constexpr uint32_t MCHT_CALENDARBK = MCHT_CALENDAR;
constexpr uint32_t MCHT_CALENDARDATE = MCHT_CALENDAR | 0x0001;
constexpr uint32_t MCHT_CALENDARDATENEXT = MCHT_CALENDARDATE | MCHT_NEXT;
constexpr uint32_t MCHT_CALENDARDATEPREV = MCHT_CALENDARDATE | MCHT_PREV;
constexpr uint32_t MCHT_CALENDARDAY = MCHT_CALENDAR | 0x0002;
constexpr uint32_t MCHT_CALENDARWEEKNUM = MCHT_CALENDAR | 0x0003;

struct MCHITTESTINFO {
    uint32_t cbSize = sizeof(MCHITTESTINFO);
    TPoint pt;
    uint32_t uHit = MCHT_NOWHERE;
    SYSTEMTIME st; // the date under the point: the day, or the month and year of a title
};

// Notifications.
constexpr int32_t MCN_FIRST = -750;
constexpr int32_t MCN_SELCHANGE = MCN_FIRST + 1;
constexpr int32_t MCN_GETDAYSTATE = MCN_FIRST + 3;
constexpr int32_t MCN_SELECT = MCN_FIRST + 4;

struct NMSELCHANGE {
    NMHDR nmhdr;
    SYSTEMTIME stSelStart;
    SYSTEMTIME stSelEnd;
};
using NMSELECT = NMSELCHANGE;

// The control asks for the bold days of cDayState months from stStart on
// and reads them from prgDayState, which the answerer keeps alive.
struct NMDAYSTATE {
    NMHDR nmhdr;
    SYSTEMTIME stStart;
    int cDayState = 0;
    MONTHDAYSTATE *prgDayState = nullptr;
};

// ---- Tab control ------------------------------------------------------------------

using TTabChangingEvent = TEvent<TObject *, bool & /*AllowChange*/>;

// A row of tabs over a page area. Choosing a tab asks OnChanging, then runs
// OnChange; setting TabIndex from code runs neither.
class TTabControl : public TWinControl
{
public:
    explicit TTabControl(TComponent *owner);
    ~TTabControl() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStrings *Tabs() const;
    void SetTabs(TStrings *tabs);
    int TabIndex() const { return tabIndex_; } // -1: none
    void SetTabIndex(int index);

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

protected:
    void CreateWindowHandle(const TCreateParams &params) override;
    virtual bool CanChange();
    virtual void Change();

private:
    void TabsChanged();
    void ApplyTabs();
    void UserChose(int index);
    std::unique_ptr<TStringList> tabs_;
    int tabIndex_ = -1;
    bool applying_ = false;
};

// ---- Page control -------------------------------------------------------------------

class TPageControl;

// One page of a page control: a window that fills the control's page area
// while it is the active page. A sheet whose TabVisible is false keeps its
// place among the pages but has no tab.
class TTabSheet : public TWinControl
{
public:
    explicit TTabSheet(TComponent *owner);
    ~TTabSheet() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TPageControl *PageControl() const { return pageControl_; }
    void SetPageControl(TPageControl *control);
    int PageIndex() const;
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool value);
    int TabIndex() const; // among the visible tabs; -1 without a tab

    void SetParent(TWinControl *parent) override;

protected:
    void CMTextChanged(TMessage &message) override;

private:
    TPageControl *pageControl_ = nullptr;
    bool tabVisible_ = true;
};

// Pages with a row of tabs on top. Choosing a tab asks OnChanging, then
// makes its sheet the active page and runs OnChange; setting ActivePage from
// code runs neither.
class TPageControl : public TWinControl
{
public:
    explicit TPageControl(TComponent *owner);
    ~TPageControl() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Pages
    int PageCount() const;
    TTabSheet *Pages(int index) const;
    TTabSheet *ActivePage() const { return activePage_; }
    void SetActivePage(TTabSheet *page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // The visible tab (or page, with goForward) after or before current.
    TTabSheet *FindNextPage(TTabSheet *current, bool goForward, bool checkTabVisible) const;
    // Where a visible tab lies in the control's client coordinates.
    TRect TabRect(int tabIndex) const;

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

protected:
    void CreateWindowHandle(const TCreateParams &params) override;
    void AdjustClientRect(TRect &rect) const override;
    void AlignControls(TControl *control, TRect &rect) override;
    void Loaded() override;
    virtual bool CanChange();
    virtual void Change();

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet *page);
    void RemovePage(TTabSheet *page);
    void TabsChanged();
    void ShowActivePage();
    void UserChose(int tabIndex);
    int TabBarHeight() const;
    std::vector<TTabSheet *> pages_;
    TTabSheet *activePage_ = nullptr;
    bool applying_ = false;
};

// ---- Tree view ----------------------------------------------------------------------

class TCustomTreeView;
class TTreeNodes;
class TCustomImageList;

// One node of a tree view. Besides its text (the tree column), a node holds a
// text for every further column of its view, and a check box when the view
// shows them; both are cells of the node's own row, so they scroll with it.
class TTreeNode
{
public:
    ~TTreeNode();
    TTreeNode(const TTreeNode &) = delete;
    TTreeNode &operator=(const TTreeNode &) = delete;

    // Content
    std::string Text() const;
    void SetText(const std::string &text);
    void *Data() const { return data_; }
    void SetData(void *data) { data_ = data; }
    std::string ColumnText(int column) const;
    void SetColumnText(int column, const std::string &text);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);

    // Check box
    bool Checked() const;
    void SetChecked(bool checked);
    bool CheckEnabled() const { return checkEnabled_; }
    void SetCheckEnabled(bool enabled);

    // Place
    TTreeNodes *Owner() const { return owner_; }
    TCustomTreeView *TreeView() const;
    TTreeNode *Parent() const { return parent_; }
    int Count() const { return static_cast<int>(children_.size()); }
    TTreeNode *Item(int index) const;
    bool HasChildren() const { return !children_.empty(); }
    int Index() const; // among its siblings
    int AbsoluteIndex() const; // in the whole tree, depth first
    int Level() const;
    TTreeNode *GetFirstChild() const;
    TTreeNode *GetNextSibling() const;
    TTreeNode *GetNext() const; // depth first; null after the last node

    // State
    bool Expanded() const;
    void SetExpanded(bool expanded);
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    void SetSelected(bool selected);
    bool Focused() const { return Selected(); }
    // Every parent is expanded.
    bool IsVisible() const;
    // Where the node's row lies in the tree's client area (textOnly: its text cell).
    TRect DisplayRect(bool textOnly) const;
    void MakeVisible();
    void Delete();

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;
    TTreeNode(TTreeNodes *owner, TTreeNode *parent);
    struct Impl;
    std::unique_ptr<Impl> const n;
    TTreeNodes *owner_;
    TTreeNode *parent_;
    std::vector<TTreeNode *> children_; // owned
    void *data_ = nullptr;
    int imageIndex_ = -1;
    bool checkEnabled_ = true;
};

// The nodes of a tree view.
class TTreeNodes
{
public:
    explicit TTreeNodes(TCustomTreeView *owner);
    ~TTreeNodes();
    TTreeNodes(const TTreeNodes &) = delete;
    TTreeNodes &operator=(const TTreeNodes &) = delete;

    TCustomTreeView *Owner() const { return owner_; }
    int Count() const; // every node of the tree
    TTreeNode *Item(int absoluteIndex) const;
    TTreeNode *GetFirstNode() const;

    // A node after the last sibling of sibling (a root node without one).
    TTreeNode *Add(TTreeNode *sibling, const std::string &text);
    TTreeNode *AddObject(TTreeNode *sibling, const std::string &text, void *data);
    // A node after the last child of parent (a root node without one).
    TTreeNode *AddChild(TTreeNode *parent, const std::string &text);
    TTreeNode *AddChildObject(TTreeNode *parent, const std::string &text, void *data);
    void Delete(TTreeNode *node);
    void Clear();
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TCustomTreeView;
    TTreeNode *Insert(TTreeNode *parent, const std::string &text, void *data);
    TCustomTreeView *owner_;
    std::vector<TTreeNode *> roots_; // owned
    int updating_ = 0;
};

using TTVChangedEvent = TEvent<TObject *, TTreeNode *>;
using TTVExpandedEvent = TEvent<TObject *, TTreeNode *>;

// A column of a tree view with columns: its heading, its width (-1 takes
// what the others leave) and the alignment of its cells.
struct TTreeColumn {
    std::string Caption;
    int Width = -1;
    TAlignment Alignment = taLeftJustify;
};

// A tree of nodes. Columns: without any the view is one column, the tree;
// with columns the tree is drawn in TreeColumn and the other columns show
// each node's ColumnText. Check boxes, when shown, sit in CheckColumn.
class TCustomTreeView : public TWinControl
{
public:
    explicit TCustomTreeView(TComponent *owner);
    ~TCustomTreeView() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TTreeNodes *Items() const { return items_.get(); }
    TTreeNode *Selected() const;
    void SetSelected(TTreeNode *node);
    TTreeNode *TopItem() const; // the first row shown
    void SetTopItem(TTreeNode *node);
    TTreeNode *GetNodeAt(int x, int y) const;
    void FullExpand();
    void FullCollapse();
    // Rows whose whole height fits in the client area.
    int VisibleCount() const;

    // Look
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    bool ShowButtons() const { return showButtons_; }
    void SetShowButtons(bool value);
    bool ShowLines() const { return showLines_; }
    void SetShowLines(bool value) { showLines_ = value; }
    bool ShowRoot() const { return showRoot_; }
    void SetShowRoot(bool value);
    int Indent() const { return indent_; }
    void SetIndent(int value);
    TCustomImageList *Images() const { return images_; }
    void SetImages(TCustomImageList *images);

    // Columns and check boxes
    int AddColumn(const std::string &caption, int width, TAlignment alignment = taLeftJustify);
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const TTreeColumn &Column(int index) const;
    void SetColumn(int index, const TTreeColumn &column);
    int TreeColumn() const { return treeColumn_; }
    void SetTreeColumn(int column);
    bool ShowColumnHeaders() const { return showHeaders_; }
    void SetShowColumnHeaders(bool value);
    bool CheckBoxes() const { return checkBoxes_; }
    void SetCheckBoxes(bool value);
    int CheckColumn() const { return checkColumn_ < 0 ? treeColumn_ : checkColumn_; }
    void SetCheckColumn(int column);

    TTVChangedEvent OnChange;
    TTVExpandedEvent OnExpanded;
    TTVExpandedEvent OnCollapsed;
    // The user ticked or cleared a node's check box (a program's SetChecked is silent).
    TTVChangedEvent OnCheckStateChanged;

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;
    void DestroyWnd() override;
    void KeyDown(uint16_t &key, TShiftState shift) override;
    bool WantsKey(uint16_t key) const override;
    void Notification(TComponent *component, TOperation operation) override;
    virtual void Change(TTreeNode *node);
    virtual void Expanded(TTreeNode *node);
    virtual void Collapsed(TTreeNode *node);
    virtual void CheckStateChanged(TTreeNode *node);

public:
    struct TreeImpl;

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    void ApplyColumns();
    void ApplyImages();
    void NodeAdded(TTreeNode *node);
    void NodeRemoving(TTreeNode *node);
    void ToggleCheck(TTreeNode *node);
    std::unique_ptr<TTreeNodes> items_;
    std::unique_ptr<TreeImpl> const t;
    std::vector<TTreeColumn> columns_;
    TCustomImageList *images_ = nullptr;
    TTreeNode *selected_ = nullptr;
    TBorderStyle borderStyle_ = bsSingle;
    int treeColumn_ = 0;
    int checkColumn_ = -1;
    int indent_ = 19;
    bool hideSelection_ = true;
    bool readOnly_ = false;
    bool showButtons_ = true;
    bool showLines_ = true;
    bool showRoot_ = true;
    bool showHeaders_ = false;
    bool checkBoxes_ = false;
};

class TTreeView : public TCustomTreeView
{
public:
    explicit TTreeView(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// ---- List view ----------------------------------------------------------------------

class TCustomListView;
class TListItems;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TIconArrangement { iaTop, iaLeft };

// One row of a list view: its caption (the first column), the texts of the
// further columns, its small image and its state image (-1: none).
class TListItem
{
public:
    std::string Caption() const { return caption_; }
    void SetCaption(const std::string &caption);
    TStrings *SubItems() const { return subItems_.get(); }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    int StateIndex() const { return stateIndex_; }
    void SetStateIndex(int index);
    void *Data() const { return data_; }
    void SetData(void *data) { data_ = data; }
    int Index() const;
    TListItems *Owner() const { return owner_; }
    ~TListItem();

private:
    friend class TListItems;
    explicit TListItem(TListItems *owner);
    void Changed();
    TListItems *owner_;
    std::string caption_;
    std::unique_ptr<TStringList> subItems_;
    int imageIndex_ = -1;
    int stateIndex_ = -1;
    void *data_ = nullptr;
};

class TListItems
{
public:
    explicit TListItems(TCustomListView *owner);
    ~TListItems();
    TListItems(const TListItems &) = delete;
    TListItems &operator=(const TListItems &) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    TListItem *Item(int index) const;
    TListItem *Add();
    void Delete(int index);
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    TCustomListView *Owner() const { return owner_; }

private:
    friend class TListItem;
    void Changed();
    TCustomListView *owner_;
    std::vector<std::unique_ptr<TListItem>> items_;
    int updating_ = 0;
};

struct TListColumn {
    std::string Caption;
    int Width = 50;
    TAlignment Alignment = taLeftJustify;
};

// A list of items; this library draws the report style (rows with columns
// under a header), which is the style its programs use.
class TCustomListView : public TWinControl
{
public:
    explicit TCustomListView(TComponent *owner);
    ~TCustomListView() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TListItems *Items() const { return items_.get(); }
    int AddColumn(const std::string &caption, int width, TAlignment alignment = taLeftJustify);
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const TListColumn &Column(int index) const;
    void SetColumn(int index, const TListColumn &column);
    void ClearColumns();
    TViewStyle ViewStyle() const { return viewStyle_; }
    void SetViewStyle(TViewStyle style) { viewStyle_ = style; }
    TCustomImageList *SmallImages() const { return smallImages_; }
    void SetSmallImages(TCustomImageList *images);
    TCustomImageList *StateImages() const { return stateImages_; }
    void SetStateImages(TCustomImageList *images);
    bool ColumnClick() const { return columnClick_; }
    void SetColumnClick(bool value) { columnClick_ = value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value) { readOnly_ = value; }
    TIconArrangement IconArrangement() const { return arrangement_; }
    void SetIconArrangement(TIconArrangement value) { arrangement_ = value; }
    bool WrapText() const { return wrapText_; }
    void SetWrapText(bool value) { wrapText_ = value; }
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    // Where an item's row lies in the client area (below the header).
    TRect ItemRect(int index) const;
    int TopIndex() const;

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;
    void Notification(TComponent *component, TOperation operation) override;
    bool WantsKey(uint16_t key) const override;

public:
    struct ListViewImpl;

private:
    friend class TListItems;
    void ItemsChanged();
    void ApplyColumns();
    std::unique_ptr<TListItems> items_;
    std::unique_ptr<ListViewImpl> const l;
    std::vector<TListColumn> columns_;
    TCustomImageList *smallImages_ = nullptr;
    TCustomImageList *stateImages_ = nullptr;
    TViewStyle viewStyle_ = vsIcon;
    TIconArrangement arrangement_ = iaTop;
    TBorderStyle borderStyle_ = bsSingle;
    bool columnClick_ = true;
    bool readOnly_ = false;
    bool wrapText_ = true;
};

class TListView : public TCustomListView
{
public:
    explicit TListView(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// ---- Progress bar -----------------------------------------------------------------

// A bar that fills from Min to Max as Position grows, window class
// "msctls_progress32". Position stays within Min..Max.
class TProgressBar : public TWinControl
{
public:
    explicit TProgressBar(TComponent *owner);
    ~TProgressBar() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Range and place
    int Min() const { return min_; }
    void SetMin(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    int Position() const { return position_; }
    void SetPosition(int value);

    // Stepping
    int Step() const { return step_; }
    void SetStep(int value) { step_ = value; }
    void StepIt(); // Position + Step, back to Min past Max, as the native bar wraps
    void StepBy(int delta);

protected:
    void CreateParams(TCreateParams &params) override;
    void CreateWindowHandle(const TCreateParams &params) override;

private:
    void ApplyRange();
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int step_ = 10;
};

// ---- Status bar --------------------------------------------------------------------------

enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };

class TStatusBar;

// One field of a status bar; a Width of -1 takes what is left.
class TStatusPanel : public TCollectionItem
{
public:
    explicit TStatusPanel(TCollection *collection);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    std::string Text() const { return text_; }
    void SetText(const std::string &text);
    int Width() const { return width_; }
    void SetWidth(int width);
    TStatusPanelBevel Bevel() const { return bevel_; }
    void SetBevel(TStatusPanelBevel bevel);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

private:
    std::string text_;
    int width_ = 50;
    TStatusPanelBevel bevel_ = pbLowered;
    TAlignment alignment_ = taLeftJustify;
};

class TStatusPanels : public TCollection
{
public:
    explicit TStatusPanels(TStatusBar *statusBar);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TStatusPanel *Add() { return static_cast<TStatusPanel *>(TCollection::Add()); }
    TStatusPanel *Items(int index) const { return static_cast<TStatusPanel *>(TCollection::Items(index)); }

protected:
    void Update(TCollectionItem *item) override;

private:
    TStatusBar *statusBar_;
};

// The bar at the bottom of a form: its panels side by side, or with
// SimplePanel one text over the whole width.
class TStatusBar : public TCustomControl
{
public:
    explicit TStatusBar(TComponent *owner);
    ~TStatusBar() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStatusPanels *Panels() const;
    void SetPanels(TStatusPanels *panels);
    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool simple);
    std::string SimpleText() const { return simpleText_; }
    void SetSimpleText(const std::string &text);
    bool SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(bool sizeGrip);
    // Where panel index is drawn (client coordinates).
    TRect PanelRect(int index) const;

protected:
    void Paint() override;

private:
    std::unique_ptr<TStatusPanels> panels_;
    bool simplePanel_ = false;
    std::string simpleText_;
    bool sizeGrip_ = true;
};

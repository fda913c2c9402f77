#include "platform/rich/comctrls.h"

#include "platform/classes/typinfo.h"
#include "platform/rich/richole.h"
#include "platform/rich/rtf.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/printers.h"
#include "platform/ui/printers_p.h"
#include "platform/ui/qtbridge_p.h"
#include "platform/ui/services.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTextList>
#include <QTextObjectInterface>

#include <algorithm>
#include <cmath>
#include <cstring>

const TMetaClass TTextAttributes::Class { "TTextAttributes", &TPersistent::Class };
const TMetaClass TParaAttributes::Class { "TParaAttributes", &TPersistent::Class };
const TMetaClass TCustomRichEdit::Class { "TCustomRichEdit", &TCustomMemo::Class };
const TMetaClass TRichEdit::Class { "TRichEdit", &TCustomRichEdit::Class };

// clang-format off
namespace {
using PR = TPublish<TRichEdit>;
const TClassRegistrar<TCustomRichEdit> customRichEditRegistrar({});
const TClassRegistrar<TRichEdit> richEditRegistrar({
    //           name               getter                          setter                             default
    PR::Boolean ("HideScrollBars",  &TRichEdit::HideScrollBars,     &TRichEdit::SetHideScrollBars,     true),
    PR::Boolean ("PlainText",       &TRichEdit::PlainText,          &TRichEdit::SetPlainText,          false),
    PR::Strings ("Lines",           &TRichEdit::Lines),
    PR::Event   ("OnSelectionChange", &TRichEdit::OnSelectionChange),
    PR::Event   ("OnProtectChange", &TRichEdit::OnProtectChange),
    PR::Event   ("OnResizeRequest", &TRichEdit::OnResizeRequest),
    PR::Event   ("OnSaveClipboard", &TRichEdit::OnSaveClipboard),
});
} // namespace
// clang-format on

// ---- The document on the Qt side ------------------------------------------------------------------
//
// Positions are those of QTextDocument: a paragraph mark and an embedded
// object count one each, as in the rich edit window. Document units are
// pixels at 96 per inch, so 15 twips make one.

namespace
{

constexpr int kPropProtected = QTextFormat::UserProperty + 1;
constexpr int kPropCharset = QTextFormat::UserProperty + 2;
constexpr int kPropObjectRtf = QTextFormat::UserProperty + 3;
constexpr int kPropHangingIndent = QTextFormat::UserProperty + 5; // a bullet paragraph's first line
constexpr int kObjectType = QTextFormat::UserObject + 1;
constexpr double kTwipsPerUnit = 15.0;
const QChar kObjectChar = QChar::ObjectReplacementCharacter;

double Units(int twips)
{
    return twips / kTwipsPerUnit;
}
int Twips(double units)
{
    return static_cast<int>(std::lround(units * kTwipsPerUnit));
}

QColor ColorOf(int32_t color)
{
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}
int32_t ColorFrom(const QColor &color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QTextCharFormat ToQt(const TRichCharFormat &format)
{
    QTextCharFormat qt;
    if (!format.fontName.empty())
        qt.setFontFamilies(QStringList { QString::fromStdString(format.fontName) });
    qt.setFontPointSize(format.size / 2.0);
    qt.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    qt.setFontItalic(format.italic);
    qt.setFontUnderline(format.underline);
    qt.setFontStrikeOut(format.strikeOut);
    if (format.color != kRichAutoColor)
        qt.setForeground(ColorOf(format.color));
    qt.setProperty(kPropCharset, format.charset);
    if (format.protect)
        qt.setProperty(kPropProtected, true);
    qt.setVerticalAlignment(format.offset == rvoSuperscript ? QTextCharFormat::AlignSuperScript
            : format.offset == rvoSubscript                ? QTextCharFormat::AlignSubScript
                                                           : QTextCharFormat::AlignNormal);
    if (!format.link.empty()) {
        qt.setAnchor(true);
        qt.setAnchorHref(QString::fromStdString(format.link));
    }
    return qt;
}

TRichCharFormat FromQt(const QTextCharFormat &qt, const QFont &defaultFont)
{
    TRichCharFormat format;
    QStringList families = qt.fontFamilies().toStringList();
    format.fontName = (families.isEmpty() ? defaultFont.family() : families.first()).toStdString();
    double points = qt.hasProperty(QTextFormat::FontPointSize) ? qt.fontPointSize() : defaultFont.pointSizeF();
    format.size = std::clamp(static_cast<int>(std::lround(points * 2)), 2, 3276);
    format.bold = qt.fontWeight() >= QFont::DemiBold;
    format.italic = qt.fontItalic();
    format.underline = qt.fontUnderline();
    format.strikeOut = qt.fontStrikeOut();
    format.color = qt.hasProperty(QTextFormat::ForegroundBrush) ? ColorFrom(qt.foreground().color()) : kRichAutoColor;
    format.charset = qt.hasProperty(kPropCharset) ? qt.intProperty(kPropCharset) : kRichDefaultCharset;
    format.protect = qt.boolProperty(kPropProtected);
    format.offset = qt.verticalAlignment() == QTextCharFormat::AlignSuperScript ? rvoSuperscript
        : qt.verticalAlignment() == QTextCharFormat::AlignSubScript             ? rvoSubscript
                                                                                : rvoNone;
    if (qt.isAnchor())
        format.link = qt.anchorHref().toStdString();
    return format;
}

QTextBlockFormat ToQt(const TRichParaFormat &format)
{
    QTextBlockFormat qt;
    static const Qt::Alignment alignments[] = { Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter, Qt::AlignJustify };
    qt.setAlignment(alignments[format.alignment] | Qt::AlignAbsolute);
    qt.setLeftMargin(Units(format.leftIndent));
    qt.setRightMargin(Units(format.rightIndent));
    // The bullet stands where the first line would start; the text of a
    // bulleted first line lines up with the others.
    qt.setTextIndent(format.bullet ? 0 : Units(format.firstIndent));
    if (format.bullet)
        qt.setProperty(kPropHangingIndent, format.firstIndent);
    qt.setTopMargin(Units(format.spaceBefore));
    qt.setBottomMargin(Units(format.spaceAfter));
    switch (format.lineRule) {
    case rlrSingle:
        break;
    case rlrOneAndHalf:
        qt.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
        break;
    case rlrDouble:
        qt.setLineHeight(200, QTextBlockFormat::ProportionalHeight);
        break;
    case rlrAtLeast:
        qt.setLineHeight(Units(format.lineSpacing), QTextBlockFormat::MinimumHeight);
        break;
    case rlrExactly:
        qt.setLineHeight(Units(format.lineSpacing), QTextBlockFormat::FixedHeight);
        break;
    case rlrMultiple:
        qt.setLineHeight(format.lineSpacing * 5.0, QTextBlockFormat::ProportionalHeight);
        break;
    }
    QList<QTextOption::Tab> tabs;
    for (const TRichTab &tab : format.tabs) {
        static const QTextOption::TabType types[]
            = { QTextOption::LeftTab, QTextOption::CenterTab, QTextOption::RightTab, QTextOption::DelimiterTab };
        tabs.append(QTextOption::Tab(Units(tab.position), types[tab.kind], tab.kind == rtkDecimal ? QChar('.') : QChar()));
    }
    qt.setTabPositions(tabs);
    return qt;
}

TRichParaFormat FromQt(const QTextBlock &block)
{
    QTextBlockFormat qt = block.blockFormat();
    TRichParaFormat format;
    Qt::Alignment alignment = qt.alignment() & Qt::AlignHorizontal_Mask;
    format.alignment = alignment & Qt::AlignRight ? raRight
        : alignment & Qt::AlignHCenter            ? raCenter
        : alignment & Qt::AlignJustify            ? raJustify
                                                  : raLeft;
    format.leftIndent = Twips(qt.leftMargin());
    format.rightIndent = Twips(qt.rightMargin());
    format.firstIndent = Twips(qt.textIndent());
    format.spaceBefore = Twips(qt.topMargin());
    format.spaceAfter = Twips(qt.bottomMargin());
    switch (qt.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight: {
        int percent = static_cast<int>(std::lround(qt.lineHeight()));
        format.lineRule = percent == 100 ? rlrSingle : percent == 150 ? rlrOneAndHalf : percent == 200 ? rlrDouble : rlrMultiple;
        format.lineSpacing = format.lineRule == rlrMultiple ? percent / 5 : 0;
        break;
    }
    case QTextBlockFormat::MinimumHeight:
        format.lineRule = rlrAtLeast;
        format.lineSpacing = Twips(qt.lineHeight());
        break;
    case QTextBlockFormat::FixedHeight:
        format.lineRule = rlrExactly;
        format.lineSpacing = Twips(qt.lineHeight());
        break;
    default:
        break;
    }
    for (const QTextOption::Tab &tab : qt.tabPositions()) {
        TRichTabKind kind = tab.type == QTextOption::CenterTab ? rtkCenter
            : tab.type == QTextOption::RightTab                ? rtkRight
            : tab.type == QTextOption::DelimiterTab            ? rtkDecimal
                                                               : rtkLeft;
        format.tabs.push_back({ Twips(tab.position), kind });
    }
    format.bullet = block.textList() != nullptr;
    if (format.bullet && qt.hasProperty(kPropHangingIndent))
        format.firstIndent = qt.intProperty(kPropHangingIndent);
    return format;
}

// Text from a document run for Qt: tabs stay, a line break inside the
// paragraph becomes Qt's line separator.
QString QtText(const std::string &text)
{
    QString qt = QString::fromStdString(text);
    qt.replace(QChar('\v'), QChar::LineSeparator);
    return qt;
}

void SetBullet(QTextCursor &cursor, bool bullet)
{
    QTextBlock block = cursor.block();
    QTextList *list = block.textList();
    if (!bullet) {
        if (list)
            list->remove(block);
        return;
    }
    if (list)
        return;
    QTextBlock previous = block.previous();
    if (previous.isValid() && previous.textList())
        previous.textList()->add(block);
    else {
        QTextListFormat format;
        format.setStyle(QTextListFormat::ListDisc);
        format.setIndent(0);
        cursor.createList(format);
    }
}

// Inserts a document at the cursor: its first paragraph joins the one the
// cursor is in and takes its format only when the whole document goes in.
void InsertDocument(QTextCursor &cursor, const TRichDocument &document, bool takeFirstFormat)
{
    // Documents use a few character formats over and over; the same Qt
    // format object keeps the hash the document's format table looks it up by.
    std::vector<std::pair<const TRichCharFormat *, QTextCharFormat>> formats;
    auto qtFormat = [&formats](const TRichCharFormat &format) -> const QTextCharFormat & {
        for (const auto &[known, qt] : formats)
            if (*known == format)
                return qt;
        if (formats.size() == 16)
            formats.erase(formats.begin());
        return formats.emplace_back(&format, ToQt(format)).second;
    };
    bool first = true;
    for (const TRichParagraph &paragraph : document.paragraphs) {
        if (!first)
            cursor.insertBlock(ToQt(paragraph.format), QTextCharFormat());
        else if (takeFirstFormat)
            cursor.setBlockFormat(ToQt(paragraph.format));
        if (!first || takeFirstFormat)
            SetBullet(cursor, paragraph.format.bullet);
        first = false;
        for (const TRichRun &run : paragraph.runs) {
            if (run.IsObject()) {
                QTextCharFormat format;
                format.setObjectType(kObjectType);
                format.setProperty(kPropObjectRtf, QByteArray::fromStdString(run.object));
                cursor.insertText(QString(kObjectChar), format);
            } else if (!run.text.empty()) {
                cursor.insertText(QtText(run.text), qtFormat(run.format));
            }
        }
    }
}

// The part of the document between two positions as plain data.
TRichDocument ExtractDocument(const QTextDocument &qt, int from, int to)
{
    TRichDocument document;
    document.paragraphs.clear();
    QFont defaultFont = qt.defaultFont();
    for (QTextBlock block = qt.findBlock(from); block.isValid() && block.position() <= to; block = block.next()) {
        TRichParagraph paragraph;
        paragraph.format = FromQt(block);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment fragment = it.fragment();
            int start = std::max(fragment.position(), from);
            int end = std::min(fragment.position() + fragment.length(), to);
            if (start >= end)
                continue;
            QString text = fragment.text().mid(start - fragment.position(), end - start);
            QTextCharFormat format = fragment.charFormat();
            if (format.objectType() == kObjectType) {
                std::string object = format.property(kPropObjectRtf).toByteArray().toStdString();
                for (int i = 0; i < text.size(); ++i)
                    paragraph.runs.push_back(TRichRun { {}, {}, object });
                continue;
            }
            text.replace(QChar::LineSeparator, QChar('\v'));
            text.remove(kObjectChar);
            TRichCharFormat richFormat = FromQt(format, defaultFont);
            if (!paragraph.runs.empty() && !paragraph.runs.back().IsObject()
                && paragraph.runs.back().format == richFormat)
                paragraph.runs.back().text += text.toStdString();
            else
                paragraph.runs.push_back(TRichRun { text.toStdString(), richFormat, {} });
        }
        document.paragraphs.push_back(std::move(paragraph));
    }
    if (document.paragraphs.empty())
        document.paragraphs.emplace_back();
    return document;
}

// Embedded objects show as a framed box: this machine has no server to draw them.
class TObjectBox : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &) override { return QSizeF(32, 32); }
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *, int, const QTextFormat &) override
    {
        painter->save();
        painter->setPen(QColor(128, 128, 128));
        painter->setBrush(QColor(224, 224, 224));
        painter->drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        painter->restore();
    }
};

bool IsUtf8(std::string_view bytes)
{
    size_t pos = 0;
    while (pos < bytes.size())
        if (Utf8Next(bytes, pos) == 0xFFFD)
            return false;
    return true;
}

// Plain text from a stream: UTF-8 when it is valid UTF-8, else Windows-1252.
std::string TextFromBytes(std::string bytes)
{
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    return IsUtf8(bytes) ? bytes : DecodeCodePage(bytes, 1252);
}

// The rich edit's answer to EM_GETOLEINTERFACE.
class TRichEditOle : public TInterfacedObject<IRichEditOle>
{
public:
    explicit TRichEditOle(TCustomRichEdit *edit)
        : edit_(edit)
    {
    }
    HRESULT GetClientSite(IOleClientSite **site) override;
    int32_t GetObjectCount() override;
    HRESULT GetObject(int32_t index, REOBJECT &object, uint32_t flags) override;
    HRESULT InsertObject(const REOBJECT &object) override;
    TCustomRichEdit *edit_;
};

class TClientSite : public TInterfacedObject<IOleClientSite>
{
public:
    HRESULT SaveObject() override { return S_OK; }
};

} // namespace

// ---- The control's private side ---------------------------------------------------------------------

struct TCustomRichEdit::RichImpl {
    std::unique_ptr<QTextDocument> document;
    std::unique_ptr<TObjectBox> objectBox = std::make_unique<TObjectBox>();
    QTextCursor cursor; // the selection while there is no window
    std::unique_ptr<TStrings> lines;
    std::unique_ptr<TTextAttributes> defAttributes, selAttributes;
    std::unique_ptr<TParaAttributes> paragraph;
    TRichCharFormat defaultFormat;
    int defaultTab = 720; // twips, as the last whole document loaded gave it
    bool plainText = false;
    bool hideScrollBars = true;
    bool autoUrlDetect = false;
    bool loading = false; // changes made by the control itself
    bool makingWindow = false;
    uint32_t eventMask = ENM_CHANGE | ENM_SELCHANGE | ENM_PROTECTED | ENM_REQUESTRESIZE;
    TRect pageRect;
    TRect formatRect;
    TComPtr<IRichEditOleCallback> callback;
    TComPtr<IRichEditOle> ole;
    std::map<int, TComPtr<IOleObject>> objects; // objects inserted through IRichEditOle, by id
    int nextObjectId = 1;
    std::unique_ptr<QTextDocument> formatCache; // laid out for EM_FORMATRANGE
    QSizeF formatCacheSize;
    CHARRANGE lastSelection { -1, -1 };
};

// What the widget, the lines and the message handlers share.
struct TRichAccess {
    static TCustomRichEdit::RichImpl &R(TCustomRichEdit *edit) { return *edit->r; }
    static IRichEditOleCallback *Callback(TCustomRichEdit *edit) { return edit->r->callback.Get(); }
    static QTextEdit *Widget(const TCustomRichEdit *edit)
    {
        return qobject_cast<QTextEdit *>(TQtBoundary::Widget(edit));
    }
    static QTextCursor Cursor(const TCustomRichEdit *edit);
    static void SetCursor(TCustomRichEdit *edit, const QTextCursor &cursor);
    static LRESULT Notify(TCustomRichEdit *edit, int32_t code, NMHDR &header);
    static bool AllowChange(TCustomRichEdit *edit, int start, int end, uint32_t msg);
    static void InsertMime(TCustomRichEdit *edit, const QMimeData *source);
    static QMimeData *SelectionMime(TCustomRichEdit *edit);
    static bool LoadContent(TCustomRichEdit *edit, const std::string &bytes, WPARAM format, bool selection);
    // The characters from..to as a document of this control's.
    static TRichDocument Extract(const TCustomRichEdit *edit, int from, int to);
    static void InsertText(TCustomRichEdit *edit, QTextCursor &cursor, const QString &text);
    static void SelectionChanged(TCustomRichEdit *edit);
};

// The widget: a Qt text edit showing the control's document. Typing and
// clipboard keys come to the control as messages, so a descendant may
// change or refuse them; drops and the drag effect ask the control's OLE
// callback.
class TRichBridge : public TBridge<QTextEdit>
{
public:
    TRichBridge(TCustomRichEdit *edit, QWidget *parent)
        : TBridge<QTextEdit>(edit, parent)
        , edit_(edit)
    {
    }
    void NativeDefault(TMessage &m) override
    {
        if (m.Msg == WM_KEYDOWN && current && current->type() == QEvent::KeyPress) {
            auto *e = static_cast<QKeyEvent *>(current);
            if (!e->text().isEmpty() && e->key() != Qt::Key_Delete)
                return;
            if (e->matches(QKeySequence::Paste))
                return void(control->Perform(WM_PASTE, 0, 0));
            if (e->matches(QKeySequence::Copy))
                return void(control->Perform(WM_COPY, 0, 0));
            if (e->matches(QKeySequence::Cut))
                return void(control->Perform(WM_CUT, 0, 0));
            if (e->key() == Qt::Key_Delete) {
                QTextCursor cursor = textCursor();
                if (!cursor.hasSelection())
                    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
                if (isReadOnly() || !TRichAccess::AllowChange(edit_, cursor.selectionStart(), cursor.selectionEnd(), WM_KEYDOWN))
                    return;
            }
            QTextEdit::keyPressEvent(e);
            return;
        }
        TBridge<QTextEdit>::NativeDefault(m);
    }
    void SetMargins(const QMargins &margins) { setViewportMargins(margins); }

protected:
    bool canInsertFromMimeData(const QMimeData *source) const override
    {
        return source->hasText() || source->hasFormat("text/rtf") || source->hasFormat("application/rtf");
    }
    void insertFromMimeData(const QMimeData *source) override
    {
        GuardedCall(control, [&] { TRichAccess::InsertMime(edit_, source); });
    }
    QMimeData *createMimeDataFromSelection() const override { return TRichAccess::SelectionMime(edit_); }
    void dragEnterEvent(QDragEnterEvent *e) override
    {
        QTextEdit::dragEnterEvent(e);
        ApplyDropEffect(e);
    }
    void dragMoveEvent(QDragMoveEvent *e) override
    {
        QTextEdit::dragMoveEvent(e);
        ApplyDropEffect(e);
    }

private:
    // The callback picks the effect from the keys held and the effects offered.
    void ApplyDropEffect(QDropEvent *e)
    {
        if (!e->isAccepted() || !control)
            return;
        uint32_t offered = (e->possibleActions() & Qt::CopyAction ? DROPEFFECT_COPY : 0)
            | (e->possibleActions() & Qt::MoveAction ? DROPEFFECT_MOVE : 0)
            | (e->possibleActions() & Qt::LinkAction ? DROPEFFECT_LINK : 0);
        uint32_t keys = (e->modifiers() & Qt::ControlModifier ? MK_CONTROL : 0)
            | (e->modifiers() & Qt::ShiftModifier ? MK_SHIFT : 0);
        uint32_t effect = EffectForDrop(edit_, keys, offered);
        Qt::DropAction action = effect & DROPEFFECT_MOVE ? Qt::MoveAction
            : effect & DROPEFFECT_COPY                   ? Qt::CopyAction
            : effect & DROPEFFECT_LINK                   ? Qt::LinkAction
                                                         : Qt::IgnoreAction;
        if (action == Qt::IgnoreAction)
            e->ignore();
        else
            e->setDropAction(action);
    }

public:
    static uint32_t EffectForDrop(TCustomRichEdit *edit, uint32_t keys, uint32_t offered)
    {
        uint32_t effect = offered;
        if (IRichEditOleCallback *callback = TRichAccess::Callback(edit))
            callback->GetDragDropEffect(false, keys, &effect);
        return effect;
    }

private:
    TCustomRichEdit *edit_;
};

std::string InstalledFaceName(const std::string &name)
{
    if (name != "MS Sans Serif" && name != "System")
        return name;
    TFont font;
    font.SetName(name);
    return QFontInfo(TFontAccess::ToQFont(font)).family().toStdString();
}

// ---- Lines: the paragraphs, streamed as RTF unless PlainText -------------------------------------

class TRichEditStrings : public TStrings
{
public:
    explicit TRichEditStrings(TCustomRichEdit *edit)
        : edit_(edit)
    {
    }
    void Insert(int index, const std::string &s) override
    {
        QTextDocument &doc = *TRichAccess::R(edit_).document;
        int count = GetCount();
        if (index < 0 || index > count)
            Error("List index out of bounds (%d)", index);
        QTextCursor cursor(&doc);
        TRichDocument text = RichDocumentFromText(s, TRichAccess::R(edit_).defaultFormat);
        if (index < count) {
            cursor.setPosition(doc.findBlockByNumber(index).position());
            InsertDocument(cursor, text, false);
            cursor.insertBlock();
        } else {
            cursor.movePosition(QTextCursor::End);
            // The last paragraph has no mark: a new last line needs one before it.
            if (count > 0)
                cursor.insertBlock();
            InsertDocument(cursor, text, false);
        }
    }
    void Delete(int index) override
    {
        QTextDocument &doc = *TRichAccess::R(edit_).document;
        if (index < 0 || index >= GetCount())
            Error("List index out of bounds (%d)", index);
        QTextBlock block = doc.findBlockByNumber(index);
        QTextCursor cursor(&doc);
        if (block.next().isValid()) {
            cursor.setPosition(block.position());
            cursor.setPosition(block.next().position(), QTextCursor::KeepAnchor);
        } else if (block.previous().isValid()) {
            cursor.setPosition(block.previous().position() + block.previous().length() - 1);
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        } else {
            cursor.select(QTextCursor::Document);
        }
        cursor.removeSelectedText();
    }
    void Clear() override { edit_->Clear(); }
    void LoadFromStream(TStream &stream) override
    {
        std::string bytes;
        bytes.reserve(static_cast<size_t>(std::max<int64_t>(0, stream.Size() - stream.Position())));
        char buffer[65536];
        for (int64_t n; (n = stream.Read(buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<size_t>(n));
        // As the window's own stream-in: what is not RTF loads as text.
        bool plain = TRichAccess::R(edit_).plainText;
        if (!TRichAccess::LoadContent(edit_, bytes, plain ? SF_TEXT : SF_RTF, false)
            && (plain || !TRichAccess::LoadContent(edit_, bytes, SF_TEXT, false)))
            throw EOutOfResources("Failed to Load Stream");
    }
    void SaveToStream(TStream &stream) const override
    {
        std::string bytes = TRichAccess::R(edit_).plainText ? edit_->Text() : WriteRtf(edit_->Document());
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }

protected:
    std::string Get(int index) const override
    {
        if (index < 0 || index >= GetCount())
            Error("List index out of bounds (%d)", index);
        QString text = TRichAccess::R(edit_).document->findBlockByNumber(index).text();
        text.replace(QChar::LineSeparator, QChar('\v'));
        return text.toStdString();
    }
    int GetCount() const override
    {
        const QTextDocument &doc = *TRichAccess::R(edit_).document;
        int count = doc.blockCount();
        // An empty last line is no line, as in the rich edit window.
        return doc.lastBlock().length() <= 1 ? count - 1 : count;
    }
    void Put(int index, const std::string &s) override
    {
        QTextDocument &doc = *TRichAccess::R(edit_).document;
        if (index < 0 || index >= GetCount())
            Error("List index out of bounds (%d)", index);
        QTextBlock block = doc.findBlockByNumber(index);
        QTextCursor cursor(&doc);
        cursor.setPosition(block.position());
        cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        QTextCharFormat format = cursor.charFormat();
        cursor.insertText(QtText(s), format);
    }

private:
    TCustomRichEdit *edit_;
};

// ---- Shared work --------------------------------------------------------------------------------

QTextCursor TRichAccess::Cursor(const TCustomRichEdit *edit)
{
    if (QTextEdit *widget = Widget(edit))
        return widget->textCursor();
    return edit->r->cursor;
}

void TRichAccess::SetCursor(TCustomRichEdit *edit, const QTextCursor &cursor)
{
    edit->r->cursor = cursor;
    if (QTextEdit *widget = Widget(edit))
        widget->setTextCursor(cursor); // the widget's signal reports the change
    else
        SelectionChanged(edit);
}

void TRichAccess::SelectionChanged(TCustomRichEdit *edit)
{
    QTextCursor cursor = Cursor(edit);
    CHARRANGE range { cursor.selectionStart(), cursor.selectionEnd() };
    CHARRANGE &last = edit->r->lastSelection;
    if (range.cpMin == last.cpMin && range.cpMax == last.cpMax)
        return;
    last = range;
    if (!(edit->r->eventMask & ENM_SELCHANGE))
        return;
    SELCHANGE change;
    change.chrg = range;
    change.seltyp = range.cpMin == range.cpMax ? SEL_EMPTY : SEL_TEXT;
    Notify(edit, EN_SELCHANGE, change.nmhdr);
}

LRESULT TRichAccess::Notify(TCustomRichEdit *edit, int32_t code, NMHDR &header)
{
    header.hwndFrom = edit->HandleAllocated() ? edit->Handle() : nullptr;
    header.code = code;
    return edit->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

bool TRichAccess::AllowChange(TCustomRichEdit *edit, int start, int end, uint32_t msg)
{
    if (edit->r->loading)
        return true;
    const QTextDocument &doc = *edit->r->document;
    bool touchesProtected = false;
    for (QTextBlock block = doc.findBlock(start); block.isValid() && block.position() <= end && !touchesProtected;
         block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment fragment = it.fragment();
            int from = fragment.position(), to = from + fragment.length();
            bool inside = start == end ? from < start && start < to : from < end && start < to;
            if (inside && fragment.charFormat().boolProperty(kPropProtected)) {
                touchesProtected = true;
                break;
            }
        }
    if (!touchesProtected || !(edit->r->eventMask & ENM_PROTECTED))
        return true;
    ENPROTECTED notice;
    notice.msg = msg;
    notice.chrg = { start, end };
    return Notify(edit, EN_PROTECTED, notice.nmhdr) == 0;
}

void TRichAccess::InsertText(TCustomRichEdit *edit, QTextCursor &cursor, const QString &text)
{
    QString kept = text;
    int limit = edit->MaxLength();
    if (limit > 0) {
        int room = limit - (edit->r->document->characterCount() - 1) + (cursor.selectionEnd() - cursor.selectionStart());
        if (room <= 0) {
            MessageBeep(0);
            return;
        }
        kept.truncate(room);
    }
    kept.replace("\r\n", QString(QChar::ParagraphSeparator)).replace('\r', QChar::ParagraphSeparator);
    kept.replace('\n', QChar::ParagraphSeparator).replace('\v', QChar::LineSeparator);
    cursor.insertText(kept);
}

bool TRichAccess::LoadContent(TCustomRichEdit *edit, const std::string &bytes, WPARAM format, bool selection)
{
    TRichDocument document;
    if (format & SF_RTF) {
        try {
            document = ReadRtf(bytes);
        } catch (const ERtfError &) {
            return false;
        }
    } else {
        document = RichDocumentFromText(TextFromBytes(bytes), edit->r->defaultFormat);
    }
    QTextDocument &doc = *edit->r->document;
    QTextCursor cursor = selection ? Cursor(edit) : QTextCursor(&doc);
    if (selection && !AllowChange(edit, cursor.selectionStart(), cursor.selectionEnd(), EM_STREAMIN))
        return true;
    bool wasLoading = std::exchange(edit->r->loading, true);
    // A whole new content is laid out afterwards, from the start and a piece
    // at a time, as Qt lays out a new document; laid out while it goes in,
    // each insertion would lay out everything behind it again. It keeps no
    // undo steps either: they are cleared at the end.
    const QSizeF pageSize = doc.pageSize();
    const bool undo = doc.isUndoRedoEnabled();
    if (!selection) {
        edit->r->defaultTab = document.defaultTab;
        doc.setUndoRedoEnabled(false);
        doc.setPageSize(QSizeF(0, 0)); // a null size: no layout
    }
    cursor.beginEditBlock();
    if (!selection) {
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        cursor.setBlockFormat(QTextBlockFormat());
        cursor.setBlockCharFormat(ToQt(edit->r->defaultFormat));
        SetBullet(cursor, false);
    } else {
        cursor.removeSelectedText();
    }
    InsertDocument(cursor, document, !selection);
    cursor.endEditBlock();
    edit->r->loading = wasLoading;
    if (!selection) {
        doc.setPageSize(pageSize);
        doc.setUndoRedoEnabled(undo);
        doc.clearUndoRedoStacks();
        QTextCursor start(&doc);
        SetCursor(edit, start);
    } else {
        SetCursor(edit, cursor);
    }
    edit->Change();
    return true;
}

TRichDocument TRichAccess::Extract(const TCustomRichEdit *edit, int from, int to)
{
    TRichDocument document = ExtractDocument(*edit->r->document, from, to);
    document.defaultTab = edit->r->defaultTab;
    return document;
}

QMimeData *TRichAccess::SelectionMime(TCustomRichEdit *edit)
{
    QTextCursor cursor = Cursor(edit);
    auto *mime = new QMimeData;
    TRichDocument part = Extract(edit, cursor.selectionStart(), cursor.selectionEnd());
    std::string rtf = WriteRtf(part);
    mime->setData("text/rtf", QByteArray::fromStdString(rtf));
    mime->setData("application/x-qt-windows-mime;value=\"Rich Text Format\"", QByteArray::fromStdString(rtf));
    mime->setText(QString::fromStdString(part.PlainText()));
    return mime;
}

void TRichAccess::InsertMime(TCustomRichEdit *edit, const QMimeData *source)
{
    if (!source || edit->ReadOnly())
        return;
    if (IRichEditOleCallback *callback = edit->r->callback.Get()) {
        CLIPFORMAT format = 0;
        if (callback->QueryAcceptData(nullptr, &format, RECO_PASTE, true, nullptr) != S_OK)
            return;
    }
    QTextCursor cursor = Cursor(edit);
    if (!AllowChange(edit, cursor.selectionStart(), cursor.selectionEnd(), WM_PASTE))
        return;
    QByteArray rtf = source->hasFormat("text/rtf") ? source->data("text/rtf")
        : source->hasFormat("application/rtf")     ? source->data("application/rtf")
                                                    : QByteArray();
    if (!rtf.isEmpty() && !edit->r->plainText) {
        try {
            TRichDocument document = ReadRtf(rtf.toStdString());
            cursor.beginEditBlock();
            cursor.removeSelectedText();
            InsertDocument(cursor, document, false);
            cursor.endEditBlock();
            SetCursor(edit, cursor);
            return;
        } catch (const ERtfError &) {
            // fall back to the plain text
        }
    }
    if (source->hasText()) {
        InsertText(edit, cursor, source->text());
        SetCursor(edit, cursor);
    }
}

HRESULT TRichEditOle::GetClientSite(IOleClientSite **site)
{
    if (!site)
        return E_POINTER;
    *site = new TClientSite;
    (*site)->AddRef();
    return S_OK;
}

int32_t TRichEditOle::GetObjectCount()
{
    return static_cast<int32_t>(TRichAccess::R(edit_).document->toRawText().count(kObjectChar));
}

HRESULT TRichEditOle::GetObject(int32_t index, REOBJECT &object, uint32_t flags)
{
    QTextDocument &doc = *TRichAccess::R(edit_).document;
    int cp = -1;
    if (index == REO_IOB_SELECTION) {
        QTextCursor cursor = TRichAccess::Cursor(edit_);
        if (cursor.selectionEnd() - cursor.selectionStart() == 1
            && doc.characterAt(cursor.selectionStart()) == kObjectChar)
            cp = cursor.selectionStart();
    } else if (index == REO_IOB_USE_CP) {
        cp = doc.characterAt(object.cp) == kObjectChar ? object.cp : -1;
    } else {
        QString raw = doc.toRawText();
        for (int i = 0, seen = 0; i < raw.size(); ++i)
            if (raw[i] == kObjectChar && seen++ == index) {
                cp = i;
                break;
            }
    }
    if (cp < 0)
        return E_INVALIDARG;
    QTextCursor at(&doc);
    at.setPosition(cp + 1);
    int id = at.charFormat().intProperty(kPropObjectRtf + 1);
    object.cp = cp;
    object.poleobj = nullptr;
    auto found = TRichAccess::R(edit_).objects.find(id);
    if (found == TRichAccess::R(edit_).objects.end())
        return E_FAIL; // an object kept as RTF only: no server holds it
    if (flags & REO_GETOBJ_POLEOBJ) {
        object.poleobj = found->second.Get();
        object.poleobj->AddRef();
    }
    return S_OK;
}

HRESULT TRichEditOle::InsertObject(const REOBJECT &object)
{
    if (!object.poleobj)
        return E_INVALIDARG;
    auto &r = TRichAccess::R(edit_);
    int id = r.nextObjectId++;
    r.objects[id] = TComPtr<IOleObject>(object.poleobj);
    std::string type;
    char16_t *name = nullptr;
    if (Succeeded(object.poleobj->GetUserType(USERCLASSTYPE_SHORT, &name)) && name) {
        type = QString::fromUtf16(name).toStdString();
        CoTaskMemFree(name);
    }
    QTextCharFormat format;
    format.setObjectType(kObjectType);
    format.setProperty(kPropObjectRtf, QByteArray::fromStdString("{\\object\\objemb{\\*\\objclass " + type + "}}"));
    format.setProperty(kPropObjectRtf + 1, id);
    QTextCursor cursor = TRichAccess::Cursor(edit_);
    cursor.insertText(QString(kObjectChar), format);
    TRichAccess::SetCursor(edit_, cursor);
    return S_OK;
}

// ---- The control ----------------------------------------------------------------------------------

TCustomRichEdit::TCustomRichEdit(TComponent *owner)
    : TCustomMemo(owner)
    , r(std::make_unique<RichImpl>())
{
    r->document = std::make_unique<QTextDocument>();
    r->document->setUndoRedoEnabled(true);
    r->document->documentLayout()->registerHandler(kObjectType, r->objectBox.get());
    r->document->setDefaultFont(TFontAccess::ToQFont(*Font()));
    r->defaultFormat = FromQt(QTextCharFormat(), r->document->defaultFont());
    r->cursor = QTextCursor(r->document.get());
    r->lines = std::make_unique<TRichEditStrings>(this);
    r->defAttributes = std::make_unique<TTextAttributes>(this, atDefaultText);
    r->selAttributes = std::make_unique<TTextAttributes>(this, atSelected);
    r->paragraph = std::make_unique<TParaAttributes>(this);
    r->ole = TComPtr<IRichEditOle>(new TRichEditOle(this));
    QObject::connect(r->document.get(), &QTextDocument::contentsChanged, r->document.get(), [this] {
        GuardedCall(this, [this] {
            if (!r->loading)
                Change();
        });
    });
}

TCustomRichEdit::~TCustomRichEdit()
{
    // The widget goes first: it must not reach a document that is gone.
    if (HandleAllocated())
        DestroyHandle();
    QObject::disconnect(r->document.get(), nullptr, nullptr, nullptr);
}

TStrings *TCustomRichEdit::Lines() const
{
    return r->lines.get();
}
void TCustomRichEdit::SetLines(TStrings *lines)
{
    r->lines->Assign(*lines);
}
bool TCustomRichEdit::PlainText() const
{
    return r->plainText;
}
void TCustomRichEdit::SetPlainText(bool plainText)
{
    r->plainText = plainText;
}

TRichDocument TCustomRichEdit::Document() const
{
    return TRichAccess::Extract(this, 0, r->document->characterCount() - 1);
}

void TCustomRichEdit::SetDocument(const TRichDocument &document)
{
    std::string rtf = WriteRtf(document);
    TRichAccess::LoadContent(this, rtf, SF_RTF, false);
}

void TCustomRichEdit::Clear()
{
    TRichAccess::LoadContent(this, "", SF_TEXT, false);
}

TTextAttributes *TCustomRichEdit::DefAttributes() const
{
    return r->defAttributes.get();
}
void TCustomRichEdit::SetDefAttributes(TTextAttributes *attributes)
{
    r->defAttributes->Assign(attributes);
}
TTextAttributes *TCustomRichEdit::SelAttributes() const
{
    return r->selAttributes.get();
}
void TCustomRichEdit::SetSelAttributes(TTextAttributes *attributes)
{
    r->selAttributes->Assign(attributes);
}
TParaAttributes *TCustomRichEdit::Paragraph() const
{
    return r->paragraph.get();
}

bool TCustomRichEdit::HideScrollBars() const
{
    return r->hideScrollBars;
}
void TCustomRichEdit::SetHideScrollBars(bool hide)
{
    r->hideScrollBars = hide;
    RecreateWnd();
}
TRect TCustomRichEdit::PageRect() const
{
    return r->pageRect;
}
void TCustomRichEdit::SetPageRect(const TRect &rect)
{
    r->pageRect = rect;
}

int TCustomRichEdit::FindText(const std::string &searchText, int startPos, int length, WPARAM options)
{
    FINDTEXT find;
    find.chrg = { startPos, startPos + length };
    find.lpstrText = searchText.c_str();
    return static_cast<int>(Perform(EM_FINDTEXT, options, reinterpret_cast<LPARAM>(&find)));
}

void TCustomRichEdit::Print(const std::string &caption)
{
    TPrinter *printer = Printer();
    printer->SetTitle(caption);
    printer->BeginDoc();
    HDC dc = printer->Handle();
    FORMATRANGE range;
    range.hdc = range.hdcTarget = dc;
    int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    TRect page = r->pageRect;
    if (page.Right <= page.Left || page.Bottom <= page.Top)
        page = Rect(0, 0, printer->PageWidth(), printer->PageHeight());
    range.rc = Rect(page.Left * 1440 / dpiX, page.Top * 1440 / dpiY, page.Right * 1440 / dpiX,
        page.Bottom * 1440 / dpiY);
    range.rcPage = range.rc;
    int length = r->document->characterCount() - 1;
    range.chrg = { 0, -1 };
    try {
        while (true) {
            int next = static_cast<int>(Perform(EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&range)));
            if (next <= range.chrg.cpMin || next >= length)
                break;
            printer->NewPage();
            range.chrg.cpMin = next;
        }
    } catch (...) {
        Perform(EM_FORMATRANGE, 0, 0);
        printer->Abort();
        throw;
    }
    Perform(EM_FORMATRANGE, 0, 0);
    printer->EndDoc();
}

int TCustomRichEdit::PixelsToTwips(int pixels)
{
    return pixels * 1440 / Screen->PixelsPerInch();
}
int TCustomRichEdit::TwipsToPixels(int twips)
{
    return twips * Screen->PixelsPerInch() / 1440;
}

void TCustomRichEdit::SelectionChange()
{
    OnSelectionChange(this);
}

void TCustomRichEdit::RequestSize(const TRect &rect)
{
    OnResizeRequest(this, rect);
}

void TCustomRichEdit::Change()
{
    if (r->eventMask & ENM_CHANGE)
        OnChange(this);
}

void TCustomRichEdit::CMTextChanged(TMessage &message)
{
    // The document reports its own changes, window or not.
    TWinControl::CMTextChanged(message);
}

std::string TCustomRichEdit::GetText() const
{
    QString text = r->document->toRawText();
    text.replace(QChar::ParagraphSeparator, "\r\n").replace(QChar::LineSeparator, QChar('\v'));
    return text.toStdString();
}

void TCustomRichEdit::SetTextValue(const std::string &text)
{
    // A new window is given the text the control kept: the document has it already.
    if (r->makingWindow || text == GetText())
        return;
    TRichAccess::LoadContent(this, text, SF_TEXT, false);
}

void TCustomRichEdit::CreateParams(TCreateParams &params)
{
    TCustomMemo::CreateParams(params);
    params.WinClassName = "RICHEDIT";
}

void TCustomRichEdit::CreateWindowHandle(const TCreateParams &params)
{
    auto *widget = new TRichBridge(this, TQtBoundary::ParentWidgetFor(this));
    widget->setDocument(r->document.get());
    widget->setTextCursor(r->cursor);
    widget->setFrameShape(params.ExStyle & WS_EX_CLIENTEDGE || params.Style & WS_BORDER ? QFrame::StyledPanel
                                                                                          : QFrame::NoFrame);
    widget->setLineWrapMode(params.Style & ES_AUTOHSCROLL ? QTextEdit::NoWrap : QTextEdit::WidgetWidth);
    Qt::ScrollBarPolicy shown = r->hideScrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
    widget->setVerticalScrollBarPolicy(params.Style & WS_VSCROLL ? shown : Qt::ScrollBarAlwaysOff);
    widget->setHorizontalScrollBarPolicy(params.Style & WS_HSCROLL ? shown : Qt::ScrollBarAlwaysOff);
    widget->setReadOnly(params.Style & ES_READONLY);
    widget->setTabChangesFocus(!WantTabs());
    widget->setUndoRedoEnabled(true);
    TQtBoundary::SetWidget(this, widget);
    ConnectGuarded(*widget, widget, &QTextEdit::cursorPositionChanged, [this] { TRichAccess::SelectionChanged(this); });
    ConnectGuarded(*widget, widget, &QTextEdit::selectionChanged, [this] { TRichAccess::SelectionChanged(this); });
}

void TCustomRichEdit::CreateWnd()
{
    r->makingWindow = true;
    try {
        TCustomMemo::CreateWnd();
    } catch (...) {
        r->makingWindow = false;
        throw;
    }
    r->makingWindow = false;
    if (r->formatRect.Right > r->formatRect.Left)
        Perform(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&r->formatRect));
}

void TCustomRichEdit::DestroyWnd()
{
    if (QTextEdit *widget = TRichAccess::Widget(this)) {
        r->cursor = widget->textCursor();
        // The widget must not take the document with it.
        QObject::disconnect(widget, nullptr, nullptr, nullptr);
        auto *spare = new QTextDocument(widget);
        widget->setDocument(spare);
    }
    TCustomMemo::DestroyWnd();
}

void TCustomRichEdit::Dispatch(TMessage &message)
{
    if (message.Msg == CN_NOTIFY)
        return CNNotify(message);
    TCustomMemo::Dispatch(message);
}

void TCustomRichEdit::CNNotify(TMessage &message)
{
    auto *header = reinterpret_cast<NMHDR *>(message.LParam);
    if (!header)
        return;
    switch (header->code) {
    case EN_SELCHANGE:
        SelectionChange();
        break;
    case EN_PROTECTED: {
        auto *notice = reinterpret_cast<ENPROTECTED *>(header);
        bool allow = true;
        OnProtectChange(this, notice->chrg.cpMin, notice->chrg.cpMax, allow);
        message.Result = allow ? 0 : 1;
        break;
    }
    case EN_REQUESTRESIZE:
        RequestSize(reinterpret_cast<REQRESIZE *>(header)->rc);
        break;
    default:
        break;
    }
}

// ---- The window's handling of the messages ---------------------------------------------------------

namespace
{

void FillCharFormat(CHARFORMAT &cf, const TRichCharFormat &format)
{
    cf.dwEffects = (format.bold ? CFE_BOLD : 0) | (format.italic ? CFE_ITALIC : 0)
        | (format.underline ? CFE_UNDERLINE : 0) | (format.strikeOut ? CFE_STRIKEOUT : 0)
        | (format.protect ? CFE_PROTECTED : 0) | (format.link.empty() ? 0 : CFE_LINK)
        | (format.color == kRichAutoColor ? CFE_AUTOCOLOR : 0)
        | (format.offset == rvoSuperscript ? CFE_SUPERSCRIPT : format.offset == rvoSubscript ? CFE_SUBSCRIPT : 0);
    cf.yHeight = format.size * 10;
    cf.crTextColor = format.color == kRichAutoColor ? 0 : static_cast<uint32_t>(format.color);
    cf.bCharSet = static_cast<uint8_t>(format.charset);
    std::memset(cf.szFaceName, 0, sizeof cf.szFaceName);
    // Cut at a character boundary so that the name stays valid UTF-8.
    size_t length = std::min(format.fontName.size(), sizeof cf.szFaceName - 1);
    while (length > 0 && length < format.fontName.size() && (format.fontName[length] & 0xC0) == 0x80)
        --length;
    std::memcpy(cf.szFaceName, format.fontName.data(), length);
}

// The bits of the mask on which two formats agree.
uint32_t AgreeingMask(const TRichCharFormat &a, const TRichCharFormat &b)
{
    uint32_t mask = 0xFFFFFFFF;
    auto drop = [&](bool differs, uint32_t bits) {
        if (differs)
            mask &= ~bits;
    };
    drop(a.bold != b.bold, CFM_BOLD);
    drop(a.italic != b.italic, CFM_ITALIC);
    drop(a.underline != b.underline, CFM_UNDERLINE);
    drop(a.strikeOut != b.strikeOut, CFM_STRIKEOUT);
    drop(a.protect != b.protect, CFM_PROTECTED);
    drop(a.link.empty() != b.link.empty(), CFM_LINK);
    drop(a.offset != b.offset, CFM_SUPERSCRIPT);
    drop(a.size != b.size, CFM_SIZE);
    drop(a.color != b.color, CFM_COLOR);
    drop(a.fontName != b.fontName, CFM_FACE);
    drop(a.charset != b.charset, CFM_CHARSET);
    return mask;
}

// The format changes a CHARFORMAT asks for, as a Qt merge.
QTextCharFormat MergeOf(const CHARFORMAT &cf)
{
    QTextCharFormat qt;
    if (cf.dwMask & CFM_BOLD)
        qt.setFontWeight(cf.dwEffects & CFE_BOLD ? QFont::Bold : QFont::Normal);
    if (cf.dwMask & CFM_ITALIC)
        qt.setFontItalic(cf.dwEffects & CFE_ITALIC);
    if (cf.dwMask & CFM_UNDERLINE)
        qt.setFontUnderline(cf.dwEffects & CFE_UNDERLINE);
    if (cf.dwMask & CFM_STRIKEOUT)
        qt.setFontStrikeOut(cf.dwEffects & CFE_STRIKEOUT);
    if (cf.dwMask & CFM_PROTECTED)
        qt.setProperty(kPropProtected, (cf.dwEffects & CFE_PROTECTED) != 0);
    if (cf.dwMask & CFM_SIZE && cf.yHeight > 0)
        qt.setFontPointSize(std::clamp(cf.yHeight, 40, 32760) / 20.0);
    if (cf.dwMask & CFM_COLOR) {
        if (cf.dwEffects & CFE_AUTOCOLOR)
            qt.setForeground(QBrush());
        else
            qt.setForeground(ColorOf(static_cast<int32_t>(cf.crTextColor & 0xFFFFFF)));
    }
    if (cf.dwMask & CFM_FACE) {
        std::string face(cf.szFaceName, strnlen(cf.szFaceName, sizeof cf.szFaceName));
        qt.setFontFamilies(QStringList { QString::fromStdString(face) });
    }
    if (cf.dwMask & CFM_CHARSET)
        qt.setProperty(kPropCharset, cf.bCharSet);
    if (cf.dwMask & CFM_SUPERSCRIPT)
        qt.setVerticalAlignment(cf.dwEffects & CFE_SUPERSCRIPT ? QTextCharFormat::AlignSuperScript
                : cf.dwEffects & CFE_SUBSCRIPT                 ? QTextCharFormat::AlignSubScript
                                                               : QTextCharFormat::AlignNormal);
    return qt;
}

// The auto colour is no foreground at all; a merge cannot remove one, so
// the formats it touches lose it here.
void ClearForegroundWhereAuto(QTextCursor &cursor, const CHARFORMAT &cf)
{
    if (!(cf.dwMask & CFM_COLOR) || !(cf.dwEffects & CFE_AUTOCOLOR) || !cursor.hasSelection())
        return;
    QTextDocument *doc = cursor.document();
    int start = cursor.selectionStart(), end = cursor.selectionEnd();
    for (QTextBlock block = doc->findBlock(start); block.isValid() && block.position() < end; block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment fragment = it.fragment();
            int from = std::max(start, fragment.position()), to = std::min(end, fragment.position() + fragment.length());
            if (from >= to)
                continue;
            QTextCharFormat format = fragment.charFormat();
            format.clearForeground();
            QTextCursor part(doc);
            part.setPosition(from);
            part.setPosition(to, QTextCursor::KeepAnchor);
            part.setCharFormat(format);
        }
}

QString TextOfRange(const QTextDocument &doc, int from, int to)
{
    QString raw = doc.toRawText();
    from = std::clamp(from, 0, static_cast<int>(raw.size()));
    to = to < 0 ? static_cast<int>(raw.size()) : std::clamp(to, from, static_cast<int>(raw.size()));
    QString text = raw.mid(from, to - from);
    text.replace(QChar::ParagraphSeparator, "\r\n").replace(QChar::LineSeparator, QChar('\v'));
    return text;
}

int CopyOut(const QString &text, char *buffer, size_t size)
{
    std::string utf8 = text.toStdString();
    size_t n = std::min(utf8.size(), size ? size - 1 : 0);
    while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(buffer, utf8.data(), n);
    if (size)
        buffer[n] = 0;
    return static_cast<int>(n);
}

} // namespace

void TCustomRichEdit::DefaultHandler(TMessage &m)
{
    QTextDocument &doc = *r->document;
    QTextCursor cursor = TRichAccess::Cursor(this);
    int last = doc.characterCount() - 1; // the final paragraph mark is no character
    bool readOnly = WindowStyle() & ES_READONLY || TCustomEdit::ReadOnly();
    auto clampPosition = [last](intptr_t pos) { return static_cast<int>(std::clamp<intptr_t>(pos, 0, last)); };
    auto select = [&](intptr_t start, intptr_t end) {
        if (start < 0) {
            cursor.clearSelection();
        } else {
            cursor.setPosition(clampPosition(start));
            cursor.setPosition(end < 0 ? last : clampPosition(end), QTextCursor::KeepAnchor);
        }
        TRichAccess::SetCursor(this, cursor);
    };
    auto editable = [&](uint32_t msg) {
        return !readOnly && TRichAccess::AllowChange(this, cursor.selectionStart(), cursor.selectionEnd(), msg);
    };

    switch (m.Msg) {
    case WM_CHAR: {
        auto c = static_cast<char32_t>(m.WParam);
        switch (c) {
        case 1:
            return select(0, -1);
        case 3:
            return void(Perform(WM_COPY, 0, 0));
        case 22:
            return void(Perform(WM_PASTE, 0, 0));
        case 24:
            return void(Perform(WM_CUT, 0, 0));
        case 26:
            return void(Perform(WM_UNDO, 0, 0));
        case 25:
            return void(Perform(EM_REDO, 0, 0));
        default:
            break;
        }
        if (c == VK_BACK) {
            QTextCursor probe = cursor;
            if (!probe.hasSelection())
                probe.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
            if (!readOnly && TRichAccess::AllowChange(this, probe.selectionStart(), probe.selectionEnd(), WM_CHAR)) {
                cursor.deletePreviousChar();
                TRichAccess::SetCursor(this, cursor);
            }
            return;
        }
        bool typed = c >= 32 || (c == VK_RETURN && (WindowStyle() & ES_WANTRETURN)) || (c == VK_TAB && WantTabs());
        if (!typed || c == 0x7F || !editable(WM_CHAR))
            return;
        TRichAccess::InsertText(this, cursor, c == VK_RETURN ? QString("\n") : QString::fromUcs4(&c, 1));
        TRichAccess::SetCursor(this, cursor);
        return;
    }
    case WM_COPY:
        if (cursor.hasSelection())
            QApplication::clipboard()->setMimeData(TRichAccess::SelectionMime(this));
        return;
    case WM_CUT:
        if (cursor.hasSelection() && editable(WM_CUT)) {
            QApplication::clipboard()->setMimeData(TRichAccess::SelectionMime(this));
            cursor.removeSelectedText();
            TRichAccess::SetCursor(this, cursor);
        }
        return;
    case WM_PASTE:
        if (!readOnly)
            TRichAccess::InsertMime(this, QApplication::clipboard()->mimeData());
        return;
    case WM_CLEAR:
        if (cursor.hasSelection() && editable(WM_CLEAR)) {
            cursor.removeSelectedText();
            TRichAccess::SetCursor(this, cursor);
        }
        return;
    case WM_UNDO:
    case EM_UNDO:
        m.Result = doc.isUndoAvailable();
        if (!readOnly)
            doc.undo(&cursor), TRichAccess::SetCursor(this, cursor);
        return;
    case EM_CANUNDO:
        m.Result = doc.isUndoAvailable();
        return;
    case EM_REDO:
        m.Result = doc.isRedoAvailable();
        if (!readOnly)
            doc.redo(&cursor), TRichAccess::SetCursor(this, cursor);
        return;
    case EM_CANREDO:
        m.Result = doc.isRedoAvailable();
        return;
    case EM_CANPASTE: {
        const QMimeData *mime = QApplication::clipboard()->mimeData();
        m.Result = mime && (mime->hasText() || mime->hasFormat("text/rtf") || mime->hasFormat("application/rtf"));
        return;
    }
    case WM_GETTEXTLENGTH:
        m.Result = static_cast<LRESULT>(Utf8Length(GetText()));
        return;
    case EM_SETREADONLY: {
        bool on = m.WParam != 0;
        SetWindowStyle(on ? WindowStyle() | ES_READONLY : WindowStyle() & ~ES_READONLY, WindowExStyle());
        if (QTextEdit *widget = TRichAccess::Widget(this))
            widget->setReadOnly(on);
        m.Result = 1;
        return;
    }
    case EM_GETMODIFY:
        m.Result = doc.isModified();
        return;
    case EM_SETMODIFY:
        doc.setModified(m.WParam != 0);
        return;
    case EM_GETSEL: {
        auto start = static_cast<uint32_t>(cursor.selectionStart()), end = static_cast<uint32_t>(cursor.selectionEnd());
        if (m.WParam)
            *reinterpret_cast<uint32_t *>(m.WParam) = start;
        if (m.LParam)
            *reinterpret_cast<uint32_t *>(m.LParam) = end;
        m.Result = static_cast<LRESULT>((std::min(end, 0xFFFFu) << 16) | std::min(start, 0xFFFFu));
        return;
    }
    case EM_SETSEL:
        return select(static_cast<intptr_t>(m.WParam), m.LParam);
    case EM_EXGETSEL:
        if (auto *range = reinterpret_cast<CHARRANGE *>(m.LParam))
            *range = { cursor.selectionStart(), cursor.selectionEnd() };
        return;
    case EM_EXSETSEL:
        if (auto *range = reinterpret_cast<CHARRANGE *>(m.LParam)) {
            select(range->cpMin, range->cpMax);
            m.Result = TRichAccess::Cursor(this).selectionEnd();
        }
        return;
    case EM_HIDESELECTION:
        return;
    case EM_SELECTIONTYPE:
        m.Result = !cursor.hasSelection() ? SEL_EMPTY
            : cursor.selectedText() == QString(kObjectChar) ? SEL_OBJECT
                                                            : SEL_TEXT;
        return;
    case EM_REPLACESEL:
        if (m.LParam && editable(EM_REPLACESEL)) {
            TRichAccess::InsertText(this, cursor, QString::fromUtf8(reinterpret_cast<const char *>(m.LParam)));
            TRichAccess::SetCursor(this, cursor);
        }
        return;
    case EM_GETSELTEXT:
        if (m.LParam) {
            QString text = TextOfRange(doc, cursor.selectionStart(), cursor.selectionEnd());
            CopyOut(text, reinterpret_cast<char *>(m.LParam), static_cast<size_t>(text.toStdString().size()) + 1);
            m.Result = cursor.selectionEnd() - cursor.selectionStart();
        }
        return;
    case EM_GETTEXTRANGE:
        if (auto *range = reinterpret_cast<TEXTRANGE *>(m.LParam); range && range->lpstrText) {
            QString text = TextOfRange(doc, range->chrg.cpMin, range->chrg.cpMax);
            CopyOut(text, range->lpstrText, text.toStdString().size() + 1);
            m.Result = static_cast<LRESULT>(text.size());
        }
        return;
    case EM_GETLINECOUNT:
        m.Result = doc.blockCount();
        return;
    case EM_LINEINDEX: {
        auto line = static_cast<intptr_t>(m.WParam);
        QTextBlock block = line < 0 ? cursor.block() : doc.findBlockByNumber(static_cast<int>(line));
        m.Result = block.isValid() ? block.position() : -1;
        return;
    }
    case EM_LINELENGTH: {
        auto at = static_cast<intptr_t>(m.WParam);
        QTextBlock block = at < 0 ? cursor.block() : doc.findBlock(clampPosition(at));
        m.Result = block.isValid() ? block.length() - 1 : 0;
        return;
    }
    case EM_LINEFROMCHAR:
    case EM_EXLINEFROMCHAR: {
        auto at = static_cast<intptr_t>(m.Msg == EM_EXLINEFROMCHAR ? m.LParam : static_cast<intptr_t>(m.WParam));
        m.Result = doc.findBlock(at < 0 ? cursor.position() : clampPosition(at)).blockNumber();
        return;
    }
    case EM_GETLINE: {
        // The buffer's first four bytes give its size; the line is copied
        // without a terminator and the result is the bytes copied.
        QTextBlock block = doc.findBlockByNumber(static_cast<int>(m.WParam));
        if (!block.isValid() || !m.LParam) {
            m.Result = 0;
            return;
        }
        auto *buffer = reinterpret_cast<char *>(m.LParam);
        uint32_t size;
        std::memcpy(&size, buffer, sizeof size);
        QString text = block.text();
        text.replace(QChar::LineSeparator, QChar('\v'));
        std::string utf8 = text.toStdString();
        size_t n = std::min<size_t>(utf8.size(), size);
        while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
            --n;
        std::memcpy(buffer, utf8.data(), n);
        m.Result = static_cast<LRESULT>(n);
        return;
    }
    case EM_GETEVENTMASK:
        m.Result = r->eventMask;
        return;
    case EM_SETEVENTMASK:
        m.Result = std::exchange(r->eventMask, static_cast<uint32_t>(m.LParam));
        return;
    case EM_EXLIMITTEXT:
    case EM_LIMITTEXT:
        SetMaxLength(static_cast<int>(m.Msg == EM_EXLIMITTEXT ? m.LParam : static_cast<LPARAM>(m.WParam)));
        return;
    case EM_AUTOURLDETECT:
        r->autoUrlDetect = m.WParam != 0;
        return;
    case EM_SETOLECALLBACK:
        r->callback = TComPtr<IRichEditOleCallback>(reinterpret_cast<IRichEditOleCallback *>(m.LParam));
        m.Result = 1;
        return;
    case EM_GETOLEINTERFACE:
        if (auto **out = reinterpret_cast<IRichEditOle **>(m.LParam)) {
            *out = r->ole.Get();
            (*out)->AddRef();
            m.Result = 1;
        }
        return;
    case EM_FINDTEXT:
    case EM_FINDTEXTEX: {
        auto *find = reinterpret_cast<FINDTEXTEX *>(m.LParam);
        m.Result = -1;
        if (!find || !find->lpstrText || !*find->lpstrText)
            return;
        QTextDocument::FindFlags flags;
        if (m.WParam & FR_MATCHCASE)
            flags |= QTextDocument::FindCaseSensitively;
        if (m.WParam & FR_WHOLEWORD)
            flags |= QTextDocument::FindWholeWords;
        bool down = m.WParam & FR_DOWN;
        int from = clampPosition(find->chrg.cpMin);
        int to = find->chrg.cpMax < 0 ? last : clampPosition(find->chrg.cpMax);
        if (!down)
            std::swap(from, to), flags |= QTextDocument::FindBackward;
        QTextCursor start(&doc);
        start.setPosition(down ? from : std::max(from, to));
        QTextCursor hit = doc.find(QString::fromUtf8(find->lpstrText), start, flags);
        if (hit.isNull() || (down && hit.selectionEnd() > to) || (!down && hit.selectionStart() < std::min(from, to)))
            return;
        m.Result = hit.selectionStart();
        if (m.Msg == EM_FINDTEXTEX)
            find->chrgText = { hit.selectionStart(), hit.selectionEnd() };
        return;
    }
    case EM_GETCHARFORMAT: {
        auto *cf = reinterpret_cast<CHARFORMAT *>(m.LParam);
        if (!cf)
            return;
        if (m.WParam == SCF_DEFAULT) {
            FillCharFormat(*cf, r->defaultFormat);
            cf->dwMask = 0xFFFFFFFF;
            return;
        }
        // The selection's attributes: those of the text typed next when
        // nothing is selected, else those all of it shares.
        QFont font = doc.defaultFont();
        TRichCharFormat first = FromQt(cursor.charFormat(), font);
        uint32_t mask = 0xFFFFFFFF;
        if (cursor.hasSelection()) {
            TRichDocument part = ExtractDocument(doc, cursor.selectionStart(), cursor.selectionEnd());
            bool seen = false;
            for (const TRichParagraph &paragraph : part.paragraphs)
                for (const TRichRun &run : paragraph.runs) {
                    if (run.IsObject())
                        continue;
                    if (!seen)
                        first = run.format, seen = true;
                    else
                        mask &= AgreeingMask(first, run.format);
                }
        }
        FillCharFormat(*cf, first);
        cf->dwMask = mask;
        m.Result = mask;
        return;
    }
    case EM_SETCHARFORMAT: {
        auto *cf = reinterpret_cast<const CHARFORMAT *>(m.LParam);
        if (!cf)
            return;
        QTextCharFormat merge = MergeOf(*cf);
        if (m.WParam & SCF_ALL || m.WParam == SCF_DEFAULT) {
            if (m.WParam == SCF_DEFAULT) {
                QTextCharFormat format = ToQt(r->defaultFormat);
                format.merge(merge);
                r->defaultFormat = FromQt(format, doc.defaultFont());
                if (last > 0)
                    return void(m.Result = 1);
            }
            QTextCursor all(&doc);
            all.select(QTextCursor::Document);
            all.mergeCharFormat(merge);
            ClearForegroundWhereAuto(all, *cf);
            all.mergeBlockCharFormat(merge);
            if (!cursor.hasSelection()) {
                cursor.mergeCharFormat(merge);
                TRichAccess::SetCursor(this, cursor);
            }
        } else {
            if (m.WParam & SCF_WORD && !cursor.hasSelection())
                cursor.select(QTextCursor::WordUnderCursor);
            cursor.mergeCharFormat(merge);
            ClearForegroundWhereAuto(cursor, *cf);
            if (!cursor.hasSelection() && cf->dwMask & CFM_COLOR && cf->dwEffects & CFE_AUTOCOLOR) {
                QTextCharFormat format = cursor.charFormat();
                format.clearForeground();
                cursor.setCharFormat(format);
            }
            TRichAccess::SetCursor(this, cursor);
        }
        m.Result = 1;
        return;
    }
    case EM_GETPARAFORMAT: {
        auto *pf = reinterpret_cast<PARAFORMAT *>(m.LParam);
        if (!pf)
            return;
        TRichParaFormat format = FromQt(cursor.block());
        pf->dwMask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_NUMBERING;
        pf->wNumbering = format.bullet ? PFN_BULLET : 0;
        pf->dxStartIndent = format.leftIndent + format.firstIndent;
        pf->dxOffset = -format.firstIndent;
        pf->dxRightIndent = format.rightIndent;
        static const uint16_t alignments[] = { PFA_LEFT, PFA_RIGHT, PFA_CENTER, PFA_JUSTIFY };
        pf->wAlignment = alignments[format.alignment];
        pf->cTabCount = static_cast<int16_t>(std::min<size_t>(format.tabs.size(), MAX_TAB_STOPS));
        for (int i = 0; i < pf->cTabCount; ++i)
            pf->rgxTabs[i] = (format.tabs[i].position & 0xFFFFFF) | (static_cast<int32_t>(format.tabs[i].kind) << 24);
        if (pf->cbSize >= sizeof(PARAFORMAT2)) {
            auto *pf2 = static_cast<PARAFORMAT2 *>(pf);
            pf2->dwMask |= PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING;
            pf2->dySpaceBefore = format.spaceBefore;
            pf2->dySpaceAfter = format.spaceAfter;
            pf2->bLineSpacingRule = format.lineRule;
            pf2->dyLineSpacing = format.lineRule == rlrOneAndHalf ? 30
                : format.lineRule == rlrDouble                    ? 40
                : format.lineRule == rlrSingle                    ? 0
                                                                  : format.lineSpacing;
        }
        m.Result = pf->dwMask;
        return;
    }
    case EM_SETPARAFORMAT: {
        auto *pf = reinterpret_cast<const PARAFORMAT *>(m.LParam);
        if (!pf)
            return;
        const PARAFORMAT2 *pf2 = pf->cbSize >= sizeof(PARAFORMAT2) ? static_cast<const PARAFORMAT2 *>(pf) : nullptr;
        int start = cursor.selectionStart(), end = cursor.selectionEnd();
        QTextCursor each(&doc);
        each.beginEditBlock();
        for (QTextBlock block = doc.findBlock(start); block.isValid() && block.position() <= end; block = block.next()) {
            TRichParaFormat format = FromQt(block);
            int startIndent = format.leftIndent + format.firstIndent, offset = -format.firstIndent;
            if (pf->dwMask & PFM_STARTINDENT)
                startIndent = pf->dxStartIndent;
            if (pf->dwMask & PFM_OFFSETINDENT)
                startIndent += pf->dxStartIndent;
            if (pf->dwMask & PFM_OFFSET)
                offset = pf->dxOffset;
            format.leftIndent = std::clamp(startIndent + offset, -31680, 31680);
            format.firstIndent = std::clamp(-offset, -31680, 31680);
            if (pf->dwMask & PFM_RIGHTINDENT)
                format.rightIndent = std::clamp(pf->dxRightIndent, -31680, 31680);
            if (pf->dwMask & PFM_ALIGNMENT)
                format.alignment = pf->wAlignment == PFA_RIGHT ? raRight
                    : pf->wAlignment == PFA_CENTER             ? raCenter
                    : pf->wAlignment == PFA_JUSTIFY            ? raJustify
                                                               : raLeft;
            if (pf->dwMask & PFM_NUMBERING)
                format.bullet = pf->wNumbering == PFN_BULLET;
            if (pf->dwMask & PFM_TABSTOPS) {
                format.tabs.clear();
                for (int i = 0; i < std::clamp<int>(pf->cTabCount, 0, MAX_TAB_STOPS); ++i) {
                    int kind = (pf->rgxTabs[i] >> 24) & 0xF;
                    format.tabs.push_back({ std::clamp(pf->rgxTabs[i] & 0xFFFFFF, 0, 31680),
                        kind <= rtkDecimal ? static_cast<TRichTabKind>(kind) : rtkLeft });
                }
            }
            if (pf2 && pf->dwMask & PFM_SPACEBEFORE)
                format.spaceBefore = std::clamp(pf2->dySpaceBefore, 0, 31680);
            if (pf2 && pf->dwMask & PFM_SPACEAFTER)
                format.spaceAfter = std::clamp(pf2->dySpaceAfter, 0, 31680);
            if (pf2 && pf->dwMask & PFM_LINESPACING) {
                int rule = pf2->bLineSpacingRule <= rlrMultiple ? pf2->bLineSpacingRule : 0;
                int spacing = std::clamp(pf2->dyLineSpacing, 0, 31680);
                // A multiple of one, one and a half or two lines is that rule.
                if (rule == rlrMultiple && (spacing == 20 || spacing == 30 || spacing == 40))
                    rule = spacing / 10 - 2, spacing = 0;
                format.lineRule = static_cast<TRichLineRule>(rule);
                format.lineSpacing = rule >= rlrAtLeast ? spacing : 0;
            }
            each.setPosition(block.position());
            each.setBlockFormat(ToQt(format));
            SetBullet(each, format.bullet);
        }
        each.endEditBlock();
        m.Result = 1;
        return;
    }
    case EM_STREAMIN: {
        auto *stream = reinterpret_cast<EDITSTREAM *>(m.LParam);
        if (!stream || !stream->pfnCallback)
            return;
        std::string bytes;
        uint8_t buffer[4096];
        stream->dwError = 0;
        while (true) {
            int32_t got = 0;
            uint32_t error = stream->pfnCallback(stream->dwCookie, buffer, sizeof buffer, &got);
            if (error) {
                stream->dwError = error;
                break;
            }
            if (got <= 0)
                break;
            bytes.append(reinterpret_cast<const char *>(buffer), static_cast<size_t>(std::min<int32_t>(got, sizeof buffer)));
        }
        if (stream->dwError)
            return void(m.Result = 0);
        bool selection = m.WParam & SFF_SELECTION;
        if (!TRichAccess::LoadContent(this, bytes, m.WParam & (SF_RTF | SF_TEXT), selection)) {
            stream->dwError = static_cast<uint32_t>(-16); // not valid RTF
            return void(m.Result = 0);
        }
        m.Result = static_cast<LRESULT>(Utf8Length(GetText()));
        return;
    }
    case EM_STREAMOUT: {
        auto *stream = reinterpret_cast<EDITSTREAM *>(m.LParam);
        if (!stream || !stream->pfnCallback)
            return;
        bool selection = m.WParam & SFF_SELECTION;
        int from = selection ? cursor.selectionStart() : 0, to = selection ? cursor.selectionEnd() : last;
        std::string bytes = m.WParam & SF_RTF ? WriteRtf(TRichAccess::Extract(this, from, to))
                                              : TextOfRange(doc, from, to).toStdString();
        stream->dwError = 0;
        size_t done = 0;
        while (done < bytes.size()) {
            auto chunk = static_cast<int32_t>(std::min<size_t>(bytes.size() - done, 4096));
            int32_t moved = 0;
            uint32_t error = stream->pfnCallback(
                stream->dwCookie, reinterpret_cast<uint8_t *>(bytes.data() + done), chunk, &moved);
            if (error || moved <= 0) {
                stream->dwError = error;
                break;
            }
            done += static_cast<size_t>(std::min(moved, chunk));
        }
        m.Result = static_cast<LRESULT>(done);
        return;
    }
    case EM_SETRECT:
    case EM_SETRECTNP:
        if (auto *rect = reinterpret_cast<const TRect *>(m.LParam)) {
            r->formatRect = *rect;
            if (auto *widget = dynamic_cast<TRichBridge *>(TRichAccess::Widget(this)))
                widget->SetMargins(QMargins(std::max(0, rect->Left), std::max(0, rect->Top),
                    std::max(0, Width() - rect->Right), std::max(0, Height() - rect->Bottom)));
        }
        return;
    case EM_GETRECT:
        if (auto *rect = reinterpret_cast<TRect *>(m.LParam))
            *rect = r->formatRect.Right > r->formatRect.Left ? r->formatRect : ClientRect();
        return;
    case EM_CHARFROMPOS: {
        auto *point = reinterpret_cast<const TPoint *>(m.LParam);
        QTextEdit *widget = TRichAccess::Widget(this);
        m.Result = point && widget ? widget->cursorForPosition(QPoint(point->X, point->Y)).position() : 0;
        return;
    }
    case EM_POSFROMCHAR: {
        auto *point = reinterpret_cast<TPoint *>(m.WParam);
        QTextEdit *widget = TRichAccess::Widget(this);
        if (point && widget) {
            QTextCursor at(&doc);
            at.setPosition(clampPosition(m.LParam));
            QRect rect = widget->cursorRect(at);
            *point = TPoint { rect.left(), rect.top() };
        }
        return;
    }
    case EM_SCROLLCARET:
        if (QTextEdit *widget = TRichAccess::Widget(this))
            widget->ensureCursorVisible();
        return;
    case EM_REQUESTRESIZE: {
        REQRESIZE request;
        request.rc = Rect(0, 0, Width(), static_cast<int>(std::ceil(doc.size().height())));
        TRichAccess::Notify(this, EN_REQUESTRESIZE, request.nmhdr);
        return;
    }
    case EM_FORMATRANGE:
        m.Result = FormatRange(m.WParam != 0, reinterpret_cast<FORMATRANGE *>(m.LParam));
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        if (r->eventMask & ENM_LINK && LinkNotify(m))
            return;
        break;
    default:
        break;
    }
    TCustomMemo::DefaultHandler(m);
}

// Renders (or only measures) the characters from chrg.cpMin that fit in
// rc, on a copy of the document laid out in pages of rc's size, and answers
// the first character of the next page.
LRESULT TCustomRichEdit::FormatRange(bool render, FORMATRANGE *range)
{
    if (!range) {
        r->formatCache.reset();
        return 0;
    }
    QSizeF size(Units(range->rc.Right - range->rc.Left), Units(range->rc.Bottom - range->rc.Top));
    int last = r->document->characterCount() - 1;
    if (size.width() <= 0 || size.height() <= 0)
        return last;
    if (!r->formatCache || r->formatCacheSize != size) {
        r->formatCache.reset(r->document->clone());
        r->formatCache->documentLayout()->registerHandler(kObjectType, r->objectBox.get());
        r->formatCache->setDocumentMargin(0);
        r->formatCache->setPageSize(size);
        r->formatCacheSize = size;
    }
    QTextDocument &pages = *r->formatCache;
    QAbstractTextDocumentLayout *layout = pages.documentLayout();
    int from = std::clamp(range->chrg.cpMin, 0, last);
    // The page of the line that holds the first character.
    QTextBlock block = pages.findBlock(from);
    double top = 0;
    if (block.isValid()) {
        QRectF blockRect = layout->blockBoundingRect(block);
        QTextLine line = block.layout()->lineForTextPosition(from - block.position());
        top = blockRect.top() + (line.isValid() ? line.y() : 0);
    }
    // The page holds the lines that fit whole below the first one; the
    // first line that does not is where the next page starts (a line taller
    // than the page gets a page of its own, cut).
    double pageEnd = top + size.height();
    int next = last;
    for (QTextBlock each = block; each.isValid(); each = each.next()) {
        QRectF blockRect = layout->blockBoundingRect(each);
        QTextLayout *lines = each.layout();
        bool found = false;
        for (int i = 0; i < lines->lineCount(); ++i) {
            QTextLine line = lines->lineAt(i);
            double lineTop = blockRect.top() + line.y();
            if (lineTop + line.height() > pageEnd + 1e-6 && each.position() + line.textStart() > from) {
                next = each.position() + line.textStart();
                pageEnd = lineTop;
                found = true;
                break;
            }
        }
        if (found)
            break;
    }
    if (render && range->hdc && range->hdc->painter) {
        QPainter *painter = range->hdc->painter;
        QPaintDevice *device = range->hdc->device;
        double scaleX = device->logicalDpiX() / 96.0, scaleY = device->logicalDpiY() / 96.0;
        painter->save();
        painter->translate(range->rc.Left * device->logicalDpiX() / 1440.0, range->rc.Top * device->logicalDpiY() / 1440.0);
        painter->scale(scaleX, scaleY);
        QRectF visible(0, top, size.width(), pageEnd - top);
        painter->translate(0, -top);
        painter->setClipRect(visible);
        // Only the lines of this page. The layout draws every line that
        // touches its clip, and a clipped line's text still goes into a PDF:
        // the lines just above and below must not touch it.
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = visible.adjusted(0, 0.25, 0, -0.25);
        context.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(painter, context);
        painter->restore();
    }
    return next;
}

// EN_LINK for a mouse message over a link; answers whether it was taken.
bool TCustomRichEdit::LinkNotify(TMessage &m)
{
    QTextEdit *widget = TRichAccess::Widget(this);
    if (!widget)
        return false;
    QTextCursor at = widget->cursorForPosition(QPoint(LoWordSigned(m.LParam), HiWordSigned(m.LParam)));
    QTextBlock block = at.block();
    CHARRANGE range { -1, -1 };
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        QTextFragment fragment = it.fragment();
        if (fragment.position() <= at.position() && at.position() < fragment.position() + fragment.length()
            && fragment.charFormat().isAnchor()) {
            range = { fragment.position(), fragment.position() + fragment.length() };
            break;
        }
    }
    if (range.cpMin < 0 && r->autoUrlDetect) {
        static const QRegularExpression url(R"((https?://|ftp://|mailto:|www\.)[^\s<>"]+)");
        QString text = block.text();
        for (auto match = url.globalMatch(text); match.hasNext();) {
            QRegularExpressionMatch hit = match.next();
            int start = block.position() + static_cast<int>(hit.capturedStart());
            if (start <= at.position() && at.position() < start + hit.capturedLength()) {
                range = { start, start + static_cast<int>(hit.capturedLength()) };
                break;
            }
        }
    }
    if (range.cpMin < 0)
        return false;
    ENLINK link;
    link.msg = m.Msg;
    link.wParam = m.WParam;
    link.lParam = m.LParam;
    link.chrg = range;
    return TRichAccess::Notify(this, EN_LINK, link.nmhdr) != 0;
}

TRichEdit::TRichEdit(TComponent *owner)
    : TCustomRichEdit(owner)
{
}

// ---- Attributes ------------------------------------------------------------------------------------

TTextAttributes::TTextAttributes(TCustomRichEdit *richEdit, TAttributeType type)
    : richEdit_(richEdit)
    , type_(type)
{
}

CHARFORMAT TTextAttributes::Get() const
{
    CHARFORMAT format;
    richEdit_->Perform(EM_GETCHARFORMAT, type_ == atSelected ? SCF_SELECTION : SCF_DEFAULT,
        reinterpret_cast<LPARAM>(&format));
    return format;
}

void TTextAttributes::Set(const CHARFORMAT &format)
{
    richEdit_->Perform(EM_SETCHARFORMAT, type_ == atSelected ? SCF_SELECTION : SCF_DEFAULT,
        reinterpret_cast<LPARAM>(&format));
}

std::string TTextAttributes::Name() const
{
    CHARFORMAT format = Get();
    return std::string(format.szFaceName, strnlen(format.szFaceName, sizeof format.szFaceName));
}
void TTextAttributes::SetName(const std::string &name)
{
    CHARFORMAT format;
    format.dwMask = CFM_FACE;
    size_t length = std::min(name.size(), sizeof format.szFaceName - 1);
    while (length > 0 && length < name.size() && (name[length] & 0xC0) == 0x80)
        --length;
    std::memcpy(format.szFaceName, name.data(), length);
    Set(format);
}
int TTextAttributes::Size() const
{
    return Get().yHeight / 20;
}
void TTextAttributes::SetSize(int size)
{
    CHARFORMAT format;
    format.dwMask = CFM_SIZE;
    format.yHeight = size * 20;
    Set(format);
}
int TTextAttributes::Height() const
{
    return Size() * Screen->PixelsPerInch() / 72;
}
void TTextAttributes::SetHeight(int height)
{
    SetSize(height * 72 / Screen->PixelsPerInch());
}
TFontStyles TTextAttributes::Style() const
{
    CHARFORMAT format = Get();
    TFontStyles style;
    if (format.dwEffects & CFE_BOLD)
        style.Include(fsBold);
    if (format.dwEffects & CFE_ITALIC)
        style.Include(fsItalic);
    if (format.dwEffects & CFE_UNDERLINE)
        style.Include(fsUnderline);
    if (format.dwEffects & CFE_STRIKEOUT)
        style.Include(fsStrikeOut);
    return style;
}
void TTextAttributes::SetStyle(TFontStyles style)
{
    CHARFORMAT format;
    format.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    format.dwEffects = (style.Contains(fsBold) ? CFE_BOLD : 0) | (style.Contains(fsItalic) ? CFE_ITALIC : 0)
        | (style.Contains(fsUnderline) ? CFE_UNDERLINE : 0) | (style.Contains(fsStrikeOut) ? CFE_STRIKEOUT : 0);
    Set(format);
}
TColor TTextAttributes::Color() const
{
    CHARFORMAT format = Get();
    return format.dwEffects & CFE_AUTOCOLOR ? clWindowText : static_cast<TColor>(format.crTextColor);
}
void TTextAttributes::SetColor(TColor color)
{
    CHARFORMAT format;
    format.dwMask = CFM_COLOR;
    if (color == clWindowText)
        format.dwEffects = CFE_AUTOCOLOR;
    else
        format.crTextColor = static_cast<uint32_t>(ColorFrom(ToQColor(color)));
    Set(format);
}
int TTextAttributes::Charset() const
{
    return Get().bCharSet;
}
void TTextAttributes::SetCharset(int charset)
{
    CHARFORMAT format;
    format.dwMask = CFM_CHARSET;
    format.bCharSet = static_cast<uint8_t>(charset);
    Set(format);
}
TFontPitch TTextAttributes::Pitch() const
{
    return static_cast<TFontPitch>(Get().bPitchAndFamily & 3);
}
void TTextAttributes::SetPitch(TFontPitch)
{
    // Qt chooses the pitch from the face; there is nothing to keep.
}
bool TTextAttributes::Protected() const
{
    return Get().dwEffects & CFE_PROTECTED;
}
void TTextAttributes::SetProtected(bool value)
{
    CHARFORMAT format;
    format.dwMask = CFM_PROTECTED;
    format.dwEffects = value ? CFE_PROTECTED : 0;
    Set(format);
}
int TTextAttributes::ConsistentAttributes() const
{
    return static_cast<int>(Get().dwMask);
}

void TTextAttributes::Assign(const TPersistent *source)
{
    if (const auto *font = dynamic_cast<const TFont *>(source)) {
        CHARFORMAT format;
        format.dwMask = CFM_FACE | CFM_SIZE | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_CHARSET;
        std::string name = font->Name();
        size_t length = std::min(name.size(), sizeof format.szFaceName - 1);
        std::memcpy(format.szFaceName, name.data(), length);
        format.yHeight = font->Size() * 20;
        TFontStyles style = font->Style();
        format.dwEffects = (style.Contains(fsBold) ? CFE_BOLD : 0) | (style.Contains(fsItalic) ? CFE_ITALIC : 0)
            | (style.Contains(fsUnderline) ? CFE_UNDERLINE : 0) | (style.Contains(fsStrikeOut) ? CFE_STRIKEOUT : 0);
        if (font->Color() == clWindowText)
            format.dwEffects |= CFE_AUTOCOLOR;
        else
            format.crTextColor = static_cast<uint32_t>(ColorFrom(ToQColor(font->Color())));
        format.bCharSet = font->Charset();
        Set(format);
        return;
    }
    if (const auto *other = dynamic_cast<const TTextAttributes *>(source)) {
        CHARFORMAT format = other->Get();
        Set(format);
        return;
    }
    TPersistent::Assign(source);
}

TParaAttributes::TParaAttributes(TCustomRichEdit *richEdit)
    : richEdit_(richEdit)
{
}

PARAFORMAT2 TParaAttributes::Get() const
{
    PARAFORMAT2 format;
    richEdit_->Perform(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    return format;
}

void TParaAttributes::Set(PARAFORMAT2 &format)
{
    richEdit_->Perform(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
}

TAlignment TParaAttributes::Alignment() const
{
    uint16_t alignment = Get().wAlignment;
    return alignment == PFA_RIGHT ? taRightJustify : alignment == PFA_CENTER ? taCenter : taLeftJustify;
}
void TParaAttributes::SetAlignment(TAlignment alignment)
{
    PARAFORMAT2 format;
    format.dwMask = PFM_ALIGNMENT;
    format.wAlignment = alignment == taRightJustify ? PFA_RIGHT : alignment == taCenter ? PFA_CENTER : PFA_LEFT;
    Set(format);
}
int TParaAttributes::FirstIndent() const
{
    return TCustomRichEdit::TwipsToPixels(Get().dxStartIndent);
}
void TParaAttributes::SetFirstIndent(int value)
{
    PARAFORMAT2 format;
    format.dwMask = PFM_STARTINDENT;
    format.dxStartIndent = TCustomRichEdit::PixelsToTwips(value);
    Set(format);
}
int TParaAttributes::LeftIndent() const
{
    return TCustomRichEdit::TwipsToPixels(Get().dxOffset);
}
void TParaAttributes::SetLeftIndent(int value)
{
    PARAFORMAT2 format;
    format.dwMask = PFM_OFFSET;
    format.dxOffset = TCustomRichEdit::PixelsToTwips(value);
    Set(format);
}
int TParaAttributes::RightIndent() const
{
    return TCustomRichEdit::TwipsToPixels(Get().dxRightIndent);
}
void TParaAttributes::SetRightIndent(int value)
{
    PARAFORMAT2 format;
    format.dwMask = PFM_RIGHTINDENT;
    format.dxRightIndent = TCustomRichEdit::PixelsToTwips(value);
    Set(format);
}
TNumberingStyle TParaAttributes::Numbering() const
{
    return Get().wNumbering == PFN_BULLET ? nsBullet : nsNone;
}
void TParaAttributes::SetNumbering(TNumberingStyle numbering)
{
    PARAFORMAT2 format;
    format.dwMask = PFM_NUMBERING;
    format.wNumbering = numbering == nsBullet ? PFN_BULLET : 0;
    Set(format);
}
int TParaAttributes::Tab(int index) const
{
    PARAFORMAT2 format = Get();
    return index >= 0 && index < format.cTabCount ? TCustomRichEdit::TwipsToPixels(format.rgxTabs[index] & 0xFFFFFF) : 0;
}
void TParaAttributes::SetTab(int index, int value)
{
    PARAFORMAT2 format = Get();
    if (index < 0 || index >= MAX_TAB_STOPS)
        return;
    format.dwMask = PFM_TABSTOPS;
    if (format.cTabCount <= index)
        format.cTabCount = static_cast<int16_t>(index + 1);
    format.rgxTabs[index] = TCustomRichEdit::PixelsToTwips(value);
    Set(format);
}
int TParaAttributes::TabCount() const
{
    return Get().cTabCount;
}
void TParaAttributes::SetTabCount(int count)
{
    PARAFORMAT2 format = Get();
    format.dwMask = PFM_TABSTOPS;
    format.cTabCount = static_cast<int16_t>(std::clamp(count, 0, MAX_TAB_STOPS));
    Set(format);
}
void TParaAttributes::Assign(const TPersistent *source)
{
    if (const auto *other = dynamic_cast<const TParaAttributes *>(source)) {
        PARAFORMAT2 format = other->Get();
        Set(format);
        return;
    }
    TPersistent::Assign(source);
}

#include "comctrls.moc"

#include "platform/ui/mask.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/qtbridge_p.h"

#include <QLineEdit>

#include <algorithm>
#include <iterator>
#include <utility>

const TMetaClass TCustomMaskEdit::Class { "TCustomMaskEdit", &TCustomEdit::Class };
const TMetaClass TMaskEdit::Class { "TMaskEdit", &TCustomMaskEdit::Class };

// clang-format off
namespace {

using P = TPublish<TMaskEdit>;
const TClassRegistrar<TCustomMaskEdit> customMaskEditRegistrar({});
const TClassRegistrar<TMaskEdit> maskEditRegistrar({
    //         name        getter                 setter                  default
    P::String ("EditMask", &TMaskEdit::EditMask,  &TMaskEdit::SetEditMask, ""),
    P::String ("Text",     &TMaskEdit::Text,      &TMaskEdit::SetText,     ""),
});

struct MaskParts {
    std::string mask;
    bool saveLiterals = true;
    char32_t blank = U'_';
};

// "mask;save;blank": the last two fields are optional.
MaskParts SplitMask(const std::string &editMask)
{
    MaskParts parts;
    std::u32string text = Utf8ToCodePoints(editMask);
    // The fields are separated by the last two unescaped semicolons.
    std::vector<size_t> separators;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'\\') {
            ++i;
            continue;
        }
        if (text[i] == U';')
            separators.push_back(i);
    }
    size_t maskEnd = text.size();
    if (separators.size() >= 2) {
        size_t first = separators[separators.size() - 2], second = separators.back();
        maskEnd = first;
        std::u32string save = text.substr(first + 1, second - first - 1);
        parts.saveLiterals = save != U"0";
        if (second + 1 < text.size())
            parts.blank = text[second + 1];
    } else if (separators.size() == 1) {
        maskEnd = separators[0];
        parts.saveLiterals = text.substr(separators[0] + 1) != U"0";
    }
    parts.mask = CodePointsToUtf8(text.substr(0, maskEnd));
    return parts;
}

bool IsQtMaskChar(char32_t c) { return std::u32string_view(U"AaNnXx90Dd#HhBb><!\\[]{}").find(c) != std::u32string_view::npos; }

// Our mask characters that Qt's input masks know under another (or the same) letter.
constexpr std::pair<char32_t, char32_t> QtMaskLetters[] = {
    {U'L', U'A'}, {U'l', U'a'}, {U'A', U'N'}, {U'a', U'n'}, {U'C', U'X'},
    {U'c', U'x'}, {U'0', U'9'}, {U'9', U'0'}, {U'#', U'#'}, {U'>', U'>'},
};

void AppendLiteral(std::u32string &out, char32_t c)
{
    if (IsQtMaskChar(c) || c == U';')
        out += U'\\';
    out += c;
}

} // namespace
// clang-format on

std::string MaskToInputMask(const std::string &editMask)
{
    MaskParts parts = SplitMask(editMask);
    std::u32string mask = Utf8ToCodePoints(parts.mask), out;
    for (size_t i = 0; i < mask.size(); ++i) {
        char32_t c = mask[i];
        auto letter = std::find_if(std::begin(QtMaskLetters), std::end(QtMaskLetters),
            [c](const auto &pair) { return pair.first == c; });
        if (letter != std::end(QtMaskLetters)) {
            out += letter->second;
            continue;
        }
        switch (c) {
        case U'!':
            break; // which end blanks are trimmed from: no equivalent needed here
        case U'<':
            if (i + 1 < mask.size() && mask[i + 1] == U'>')
                out += U'!', ++i;
            else
                out += U'<';
            break;
        case U':':
            AppendLiteral(out, FormatSettings.TimeSeparator);
            break;
        case U'/':
            AppendLiteral(out, FormatSettings.DateSeparator);
            break;
        case U'\\':
            if (i + 1 < mask.size())
                AppendLiteral(out, mask[++i]);
            break;
        default:
            AppendLiteral(out, c);
            break;
        }
    }
    out += U';';
    out += parts.blank;
    return CodePointsToUtf8(out);
}

TCustomMaskEdit::TCustomMaskEdit(TComponent *owner)
    : TCustomEdit(owner)
{
}

void TCustomMaskEdit::SetEditMask(const std::string &mask)
{
    editMask_ = mask;
    ApplyMask();
}

void TCustomMaskEdit::ApplyMask()
{
    if (auto *line = qobject_cast<QLineEdit *>(TQtBoundary::Widget(this))) {
        std::string text = TCustomEdit::GetText();
        line->setInputMask(IsMasked() ? QString::fromStdString(MaskToInputMask(editMask_)) : QString());
        line->setText(QString::fromStdString(text));
        // Qt leaves the caret after the blanks; typing starts at the first position.
        line->setCursorPosition(0);
    }
}

void TCustomMaskEdit::CreateWnd()
{
    TCustomEdit::CreateWnd();
    ApplyMask();
}

std::string TCustomMaskEdit::EditText() const
{
    if (auto *line = qobject_cast<QLineEdit *>(TQtBoundary::Widget(this)))
        return line->displayText().toStdString();
    return TCustomEdit::GetText();
}

void TCustomMaskEdit::SetEditText(const std::string &text)
{
    TCustomEdit::SetTextValue(text);
}

std::string TCustomMaskEdit::GetText() const
{
    auto *line = qobject_cast<QLineEdit *>(TQtBoundary::Widget(this));
    if (!line || !IsMasked())
        return TCustomEdit::GetText();
    // Qt keeps the literals in text() and drops the blanks; without saved
    // literals only the characters typed remain.
    MaskParts parts = SplitMask(editMask_);
    QString shown = line->displayText();
    QString mask = QString::fromStdString(MaskToInputMask(editMask_));
    if (parts.saveLiterals)
        return shown.replace(QChar(static_cast<char16_t>(parts.blank)), ' ').toStdString();
    std::string typed;
    int position = 0;
    bool escaped = false;
    for (QChar m : mask.left(mask.lastIndexOf(';'))) {
        if (!escaped && m == '\\') {
            escaped = true;
            continue;
        }
        bool literal = escaped || !IsQtMaskChar(m.unicode());
        escaped = false;
        if (QString("><!").contains(m) && !literal)
            continue;
        if (position >= shown.size())
            break;
        QChar c = shown.at(position++);
        if (!literal && c != QChar(static_cast<char16_t>(parts.blank)))
            typed += QString(c).toStdString();
    }
    return typed;
}

void TCustomMaskEdit::SetTextValue(const std::string &text)
{
    TCustomEdit::SetTextValue(text);
}

void TCustomMaskEdit::ValidateEdit()
{
    auto *line = qobject_cast<QLineEdit *>(TQtBoundary::Widget(this));
    if (IsMasked() && line && !line->hasAcceptableInput()) {
        if (CanFocus())
            SetFocus();
        throw EDBEditError("Invalid input value.  Use escape key to abandon changes");
    }
}

void TCustomMaskEdit::Reset()
{
    if (Modified()) {
        SetEditText(savedText_);
        SetModified(false);
    }
}

void TCustomMaskEdit::CMEnter(TMessage &message)
{
    savedText_ = EditText();
    TCustomEdit::CMEnter(message);
}

void TCustomMaskEdit::KeyDown(uint16_t &key, TShiftState shift)
{
    TCustomEdit::KeyDown(key, shift);
    if (key == VK_ESCAPE && IsMasked() && Modified()) {
        Reset();
        key = 0;
    }
}

TMaskEdit::TMaskEdit(TComponent *owner)
    : TCustomMaskEdit(owner)
{
}

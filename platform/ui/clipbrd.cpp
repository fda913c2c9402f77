#include "platform/ui/clipbrd.h"

#include "platform/ui/forms.h"
#include "platform/ui/graphics_p.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace
{
QClipboard *System()
{
    Application->Initialize();
    return QGuiApplication::clipboard();
}
} // namespace

std::string TClipboard::AsText() const
{
    const QMimeData *data = System()->mimeData();
    return data && data->hasText() ? data->text().toStdString() : std::string();
}

void TClipboard::SetAsText(const std::string &text)
{
    System()->setText(QString::fromStdString(text));
}

bool TClipboard::HasFormat(uint16_t format) const
{
    const QMimeData *data = System()->mimeData();
    if (!data)
        return false;
    if (format == CF_TEXT || format == CF_UNICODETEXT)
        return data->hasText();
    if (format == CF_BITMAP)
        return data->hasImage();
    return false;
}

void TClipboard::Clear()
{
    System()->clear();
}

void TClipboard::Assign(const TBitmap &bitmap)
{
    System()->setImage(TGraphicAccess::Image(const_cast<TBitmap &>(bitmap)));
}

TClipboard *Clipboard()
{
    static TClipboard clipboard;
    return &clipboard;
}

#include "platform/ui/printers.h"

#include "platform/ui/graphics.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/printers_p.h"

#include <QDir>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>

struct TPrinter::Impl {
    std::string title;
    std::string outputFileName;
    int paperSize = DMPAPER_LETTER;
    TPrinterOrientation orientation = poPortrait;
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QPainter> painter;
    HDC__ dc;
    std::unique_ptr<TCanvas> canvas = std::make_unique<TCanvas>();
    int pageNumber = 0;
    bool aborted = false;

    // A fresh device for every job, so that a finished PDF is never written twice.
    void MakeDevice()
    {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setFullPage(true); // positions count from the sheet's corner
        printer->setPageMargins(QMarginsF(0, 0, 0, 0));
        QPageSize::PageSizeId size = paperSize == DMPAPER_A4 ? QPageSize::A4
            : paperSize == DMPAPER_LEGAL                     ? QPageSize::Legal
                                                             : QPageSize::Letter;
        printer->setPageSize(QPageSize(size));
        printer->setPageOrientation(orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        printer->setDocName(QString::fromStdString(title));
        std::string file = outputFileName;
        if (file.empty() && QPrinterInfo::defaultPrinter().isNull())
            file = (QDir::tempPath() + "/" + QString::fromStdString(title.empty() ? "document" : title) + ".pdf")
                       .toStdString();
        if (!file.empty()) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(QString::fromStdString(file));
        }
        dc.device = printer.get();
        dc.painter = nullptr;
    }
};

TPrinter::TPrinter()
    : d(std::make_unique<Impl>())
{
}

TPrinter::~TPrinter()
{
    if (d->painter)
        d->painter->end();
}

std::string TPrinter::Title() const
{
    return d->title;
}
void TPrinter::SetTitle(const std::string &title)
{
    d->title = title;
}
std::string TPrinter::OutputFileName() const
{
    return d->outputFileName;
}
void TPrinter::SetOutputFileName(const std::string &fileName)
{
    d->outputFileName = fileName;
}
int TPrinter::PaperSize() const
{
    return d->paperSize;
}
void TPrinter::SetPaperSize(int paperSize)
{
    d->paperSize = paperSize;
    if (!d->painter)
        d->printer.reset();
}

TPrinterOrientation TPrinter::Orientation() const
{
    return d->orientation;
}

void TPrinter::SetOrientation(TPrinterOrientation orientation)
{
    d->orientation = orientation;
    if (!d->painter)
        d->printer.reset();
}

void TPrinter::BeginDoc()
{
    if (d->painter)
        throw EPrinter("Printing in progress");
    d->MakeDevice();
    d->painter = std::make_unique<QPainter>();
    if (!d->painter->begin(d->printer.get())) {
        d->painter.reset();
        throw EPrinter("Printer selected is not valid");
    }
    d->dc.painter = d->painter.get();
    TCanvasAccess::Bind(*d->canvas, d->painter.get());
    d->pageNumber = 1;
    d->aborted = false;
}

void TPrinter::EndDoc()
{
    if (!d->painter)
        throw EPrinter("Printer is not currently printing");
    TCanvasAccess::Bind(*d->canvas, nullptr);
    d->painter->end();
    d->painter.reset();
    d->dc.painter = nullptr;
    d->printer.reset();
}

void TPrinter::NewPage()
{
    if (!d->painter)
        throw EPrinter("Printer is not currently printing");
    d->printer->newPage();
    ++d->pageNumber;
}

void TPrinter::Abort()
{
    if (!d->painter)
        return;
    d->printer->abort();
    d->aborted = true;
    EndDoc();
}

bool TPrinter::Printing() const
{
    return d->painter != nullptr;
}
bool TPrinter::Aborted() const
{
    return d->aborted;
}
int TPrinter::PageNumber() const
{
    return d->pageNumber;
}

int TPrinter::PageWidth() const
{
    return GetDeviceCaps(Handle(), HORZRES);
}
int TPrinter::PageHeight() const
{
    return GetDeviceCaps(Handle(), VERTRES);
}

HDC TPrinter::Handle() const
{
    if (!d->printer)
        d->MakeDevice();
    return &d->dc;
}

TCanvas *TPrinter::Canvas() const
{
    return d->canvas.get();
}

TPrinter *Printer()
{
    static TPrinter printer;
    return &printer;
}

int GetDeviceCaps(HDC dc, int index)
{
    if (!dc || !dc->device)
        return 0;
    QPaintDevice *device = dc->device;
    auto *printer = dynamic_cast<QPrinter *>(device);
    QRectF paper = printer ? printer->paperRect(QPrinter::DevicePixel) : QRectF(0, 0, device->width(), device->height());
    QRectF page = printer ? printer->pageRect(QPrinter::DevicePixel) : paper;
    switch (index) {
    case HORZRES:
        return static_cast<int>(std::lround(page.width()));
    case VERTRES:
        return static_cast<int>(std::lround(page.height()));
    case LOGPIXELSX:
        return device->logicalDpiX();
    case LOGPIXELSY:
        return device->logicalDpiY();
    case PHYSICALWIDTH:
        return static_cast<int>(std::lround(paper.width()));
    case PHYSICALHEIGHT:
        return static_cast<int>(std::lround(paper.height()));
    case PHYSICALOFFSETX:
        return static_cast<int>(std::lround(page.left() - paper.left()));
    case PHYSICALOFFSETY:
        return static_cast<int>(std::lround(page.top() - paper.top()));
    default:
        return 0;
    }
}

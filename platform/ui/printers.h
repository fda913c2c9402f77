#pragma once

#include "platform/rtl/exceptions.h"

#include <memory>
#include <string>

// The printer. Pages go to the system's default printer, or into a PDF file
// when OutputFileName is set or no printer is installed (then the file is
// the title with ".pdf" in the temporary folder).

class TCanvas;

ORVEX_EXCEPTION(EPrinter, Exception);

// A device context: where drawing goes (a printer's page, a picture).
struct HDC__;
using HDC = HDC__ *;

// GetDeviceCaps indexes.
constexpr int HORZRES = 8; // printable width, device pixels
constexpr int VERTRES = 10;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int PHYSICALWIDTH = 110; // the whole sheet
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112; // where the printable area starts
constexpr int PHYSICALOFFSETY = 113;
int GetDeviceCaps(HDC dc, int index);

// Paper sizes (DEVMODE dmPaperSize).
constexpr int DMPAPER_LETTER = 1;
constexpr int DMPAPER_LEGAL = 5;
constexpr int DMPAPER_A4 = 9;

enum TPrinterOrientation { poPortrait, poLandscape };

class TPrinter
{
public:
    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter &) = delete;
    TPrinter &operator=(const TPrinter &) = delete;

    // The job
    std::string Title() const;
    void SetTitle(const std::string &title);
    std::string OutputFileName() const;
    void SetOutputFileName(const std::string &fileName);
    int PaperSize() const;
    void SetPaperSize(int paperSize); // a DMPAPER_ value
    TPrinterOrientation Orientation() const;
    void SetOrientation(TPrinterOrientation orientation);
    void BeginDoc(); // EPrinter "Printing in progress" when a job is open
    void EndDoc();
    void NewPage();
    void Abort();
    bool Printing() const;
    bool Aborted() const;
    int PageNumber() const;

    // The page, in device pixels
    int PageWidth() const;
    int PageHeight() const;
    // The context to draw into; between BeginDoc and EndDoc it draws on the page.
    HDC Handle() const;
    TCanvas *Canvas() const;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};

TPrinter *Printer();

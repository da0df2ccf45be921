#pragma once
// The printer object: one current printer whose pages are device contexts at the printer's
// resolution (A4 at 600 pixels per inch unless set otherwise). A print job becomes a PDF file:
// text stays text with its faces embedded, solid fills stay vectors, and whatever has no
// vector form (pictures, lines, XOR and raster-operation drawing) is placed as an image of the
// pixels it touched, at the printer's resolution. Optionally each page is also written as PNG.
// Every job is logged (title, pages, copies, outcome) for tests.

#include <memory>
#include <string>
#include <vector>

#include "platform/core/BoundState.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Set.h"
#include "platform/gdi/Gdi.h"

namespace epc {

class TCanvas;

enum class TPrinterCapability { pcCopies, pcOrientation, pcCollation };
using TPrinterCapabilities = TSet<TPrinterCapability>;

class EPrinter : public Exception {
public:
    using Exception::Exception;
};

// What the printer's device context is made from (the device mode of the current printer).
struct TDeviceMode {
    int32_t PaperWidthMM10 = 2100; // tenths of a millimetre
    int32_t PaperHeightMM10 = 2970;
    int32_t Dpi = 600;
};

struct TPrintJobRecord {
    std::string Title;
    std::string FileName;
    int Copies = 1; // the copies the driver was asked to make
    int Pages = 0;  // sheets sent, every copy counted
    bool Completed = false;
    bool Aborted = false;
};

class TPdfJob;

class TPrinter {
public:
    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // ---- Paper and resolution (not while printing).
    void SetPaperSizeMM(double width, double height);
    void SetResolution(int dpi);
    int Resolution() const { return FMode.Dpi; }
    int PageWidth() const; // printer pixels
    int PageHeight() const;

    std::string Title;
    // Where the next job's PDF goes; PNG pages go next to it as <name>-<page>.png.
    std::string FileName = "print.pdf";
    bool PngPages = false;

    int Copies() const { return FCopies; }
    void SetCopies(int value) { FCopies = value < 1 ? 1 : value; }
    // Whether the driver makes copies itself (pcCopies); off by default, so copies are pages.
    void SetDriverCopies(bool value) { FDriverCopies = value; }
    TPrinterCapabilities Capabilities() const;

    void BeginDoc();
    void NewPage();
    void EndDoc();
    void Abort();
    bool Printing() const { return FJob != nullptr; }
    bool Aborted() const { return FAborted; }
    int PageNumber() const { return FPageNumber; }
    TCanvas* Canvas(); // the current page (raises when not printing)
    HDC Handle();

    // The device, driver and port names and the device mode, for CreateDCA. The mode is
    // locked between LockDeviceMode and UnlockDeviceMode.
    void GetPrinter(std::string& device, std::string& driver, std::string& port) const;
    const TDeviceMode* LockDeviceMode();
    void UnlockDeviceMode();
    int DeviceModeLocks() const { return FModeLocks; }

    const std::vector<TPrintJobRecord>& Jobs() const { return FJobs; }
    void ClearJobs() { FJobs.clear(); }

private:
    TDeviceMode FMode;
    int FCopies = 1;
    bool FDriverCopies = false;
    bool FAborted = false;
    int FPageNumber = 0;
    int FModeLocks = 0;
    std::unique_ptr<TPdfJob> FJob;
    std::vector<TPrintJobRecord> FJobs;
};

// The printer of the bound printing state (a default one when no scope is bound).
TPrinter& Printer();
// Owns and binds a printer with its own settings and job log while it lives.
using TPrinterScope = TStateScope<TPrinter>;

// A device context for measuring on a printer: resolution and page size of the mode given
// (the current printer's when null); its pixels are not printed. Released with DeleteDC.
HDC CreateDCA(const char* driver, const char* device, const char* port, const TDeviceMode* mode);

} // namespace epc

#include "platform/printing/Printers.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>

#include "platform/gdi/GdiSink.h"
#include "platform/graphics/Graphics.h"
#include "platform/text/FontEngine.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace epc {

namespace {

int MMToPixels(int32_t mm10, int dpi) {
    return int(std::lround(double(mm10) * dpi / 254.0));
}

} // namespace

// One print job: the PDF being written, the current page's drawing and the pixel surface for
// what has no vector form. Each page is recorded first and replayed into the PDF (and a PNG)
// when it is complete, so an aborted job leaves no file behind.
class TPdfJob final : public TDrawSink {
public:
    TPdfJob(int width, int height, int dpi, std::string fileName, bool pngPages)
        : FWidth(width), FHeight(height), FDpi(dpi), FFileName(std::move(fileName)),
          FPngPages(pngPages) {
        FTempName = FFileName + ".part";
        double scale = 72.0 / dpi;
        FPdf = cairo_pdf_surface_create(FTempName.c_str(), width * scale, height * scale);
        if (cairo_surface_status(FPdf) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(FPdf);
            FPdf = nullptr;
            throw EPrinter("Printer output cannot be written: " + FFileName);
        }
        FPdfCr = cairo_create(FPdf);
        cairo_scale(FPdfCr, scale, scale);
        FDC = CreateBufferDC(width, height, dpi, dpi);
        SetDCPrinterInfo(FDC, width, height, 0, 0);
        SetDCDrawSink(FDC, this);
        FCanvas = std::make_unique<TCanvas>();
        FCanvas->SetHandle(FDC);
        StartPage();
    }

    ~TPdfJob() override {
        FCanvas.reset();
        DropPage();
        for (auto& f : FFaces)
            cairo_font_face_destroy(f.second);
        if (FPdfCr) cairo_destroy(FPdfCr);
        if (FPdf) cairo_surface_destroy(FPdf);
        if (FDC) DeleteDC(FDC);
        if (!FFinished) std::remove(FTempName.c_str());
    }

    TCanvas* Canvas() const { return FCanvas.get(); }
    HDC DC() const { return FDC; }
    int Pages() const { return FPages; }

    // Completes the current page and starts the next one.
    void EndPage() {
        FlushRaster();
        cairo_destroy(FCr);
        FCr = nullptr;
        cairo_set_source_surface(FPdfCr, FRecording, 0, 0);
        cairo_paint(FPdfCr);
        cairo_show_page(FPdfCr);
        ++FPages;
        if (FPngPages) WritePng();
        cairo_surface_destroy(FRecording);
        FRecording = nullptr;
    }

    void NextPage() {
        EndPage();
        StartPage();
    }

    void Finish() {
        EndPage();
        cairo_destroy(FPdfCr);
        FPdfCr = nullptr;
        cairo_surface_finish(FPdf);
        bool ok = cairo_surface_status(FPdf) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(FPdf);
        FPdf = nullptr;
        if (!ok || std::rename(FTempName.c_str(), FFileName.c_str()) != 0)
            throw EPrinter("Printer output cannot be written: " + FFileName);
        FFinished = true;
    }

    // ---- TDrawSink
    bool SolidRect(const TRect& rect, uint32_t color, const std::vector<TRect>& visible) override {
        FlushRaster();
        SetColor(color);
        bool any = false;
        for (const TRect& v : visible) {
            TRect r;
            if (!IntersectRect(r, v, rect)) continue;
            cairo_rectangle(FCr, r.Left, r.Top, r.Width(), r.Height());
            any = true;
        }
        if (any) cairo_fill(FCr);
        return true;
    }

    bool Text(const std::u32string& codePoints, const std::vector<int>& penX, int baseline,
              TFontInstance& face, uint32_t color, const TRect* clip,
              const std::vector<TRect>& visible) override {
        return ShowGlyphs(face, color, clip, visible, [&](FT_Face ft, auto& glyphs) {
            for (size_t i = 0; i < codePoints.size(); ++i) {
                char32_t cp = codePoints[i];
                FT_UInt index = FT_Get_Char_Index(ft, cp);
                if (index == 0) {
                    // Blanks and controls show nothing; anything else the face lacks was drawn
                    // from a fallback face: leave the whole run to the pixels.
                    if (cp <= 0x20 || cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200F) || cp == 0xFEFF)
                        continue;
                    return false;
                }
                glyphs.push_back({index, double(penX[i]), double(baseline)});
            }
            return true;
        });
    }

    bool Glyphs(const std::vector<TShapedGlyph>& shaped, const std::vector<int>& penX, int baseline,
                TFontInstance& face, uint32_t color, const TRect* clip,
                const std::vector<TRect>& visible) override {
        return ShowGlyphs(face, color, clip, visible, [&](FT_Face, auto& glyphs) {
            for (size_t i = 0; i < shaped.size(); ++i) {
                // Glyphs of a fallback face are not in the embedded one.
                if (shaped[i].Face != 0) return false;
                glyphs.push_back({shaped[i].Index, double(penX[i] + shaped[i].OffsetX),
                                  double(baseline - shaped[i].OffsetY)});
            }
            return true;
        });
    }

    // Shows the glyphs Place lists (false from it: the run is left to the pixels) in the
    // embedded face of Face.
    template <class TPlace>
    bool ShowGlyphs(TFontInstance& face, uint32_t color, const TRect* clip,
                    const std::vector<TRect>& visible, TPlace place) {
        TFontFaceSource src;
        if (!face.FaceSource(src) || src.Em <= 0) return false;
        cairo_font_face_t* cface = FaceFor(src);
        if (!cface) return false;
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, src.XEm, src.Em);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_matrix_t identity;
        cairo_matrix_init_identity(&identity);
        cairo_scaled_font_t* scaled = cairo_scaled_font_create(cface, &matrix, &identity, options);
        cairo_font_options_destroy(options);
        std::vector<cairo_glyph_t> glyphs;
        bool ok = cairo_scaled_font_status(scaled) == CAIRO_STATUS_SUCCESS;
        if (ok) {
            FT_Face ft = cairo_ft_scaled_font_lock_face(scaled);
            ok = ft != nullptr && place(ft, glyphs);
            if (ft) cairo_ft_scaled_font_unlock_face(scaled);
        }
        if (!ok) {
            cairo_scaled_font_destroy(scaled);
            return false;
        }
        FlushRaster();
        cairo_save(FCr);
        bool any = false;
        for (const TRect& v : visible) {
            TRect r = v;
            if (clip && !IntersectRect(r, r, *clip)) continue;
            if (r.IsEmpty()) continue;
            cairo_rectangle(FCr, r.Left, r.Top, r.Width(), r.Height());
            any = true;
        }
        if (any && !glyphs.empty()) {
            cairo_clip(FCr);
            cairo_set_scaled_font(FCr, scaled);
            SetColor(color);
            cairo_show_glyphs(FCr, glyphs.data(), int(glyphs.size()));
        }
        cairo_restore(FCr);
        cairo_scaled_font_destroy(scaled);
        return true;
    }

    bool Figure(const TVectorFigure& figure, const std::vector<TRect>& visible) override {
        FlushRaster();
        cairo_save(FCr);
        for (const TRect& v : visible)
            cairo_rectangle(FCr, v.Left, v.Top, v.Width(), v.Height());
        cairo_clip(FCr);
        for (const auto& ring : figure.Rings) {
            if (ring.empty()) continue;
            cairo_move_to(FCr, ring[0].X, ring[0].Y);
            for (size_t i = 1; i < ring.size(); ++i)
                cairo_line_to(FCr, ring[i].X, ring[i].Y);
            if (figure.Closed) cairo_close_path(FCr);
        }
        if (figure.Fill) {
            cairo_set_fill_rule(FCr, figure.Winding ? CAIRO_FILL_RULE_WINDING
                                                    : CAIRO_FILL_RULE_EVEN_ODD);
            SetColor(figure.FillColor);
            cairo_fill_preserve(FCr);
        }
        if (figure.Stroke) {
            cairo_set_line_width(FCr, std::max(figure.StrokeWidth, 1.0));
            cairo_set_line_join(FCr, CAIRO_LINE_JOIN_ROUND);
            cairo_set_line_cap(FCr, CAIRO_LINE_CAP_ROUND);
            SetColor(figure.StrokeColor);
            cairo_stroke_preserve(FCr);
        }
        cairo_new_path(FCr);
        cairo_restore(FCr);
        return true;
    }

private:
    void StartPage() {
        cairo_rectangle_t extents{0, 0, double(FWidth), double(FHeight)};
        FRecording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
        FCr = cairo_create(FRecording);
        // The pixel surface stays transparent between images (each flush clears what it
        // took), so a fresh sheet costs nothing: only what is drawn becomes an image.
        TakeDCRasterTouched(FDC);
    }

    void DropPage() {
        if (FCr) cairo_destroy(FCr);
        FCr = nullptr;
        if (FRecording) cairo_surface_destroy(FRecording);
        FRecording = nullptr;
    }

    void SetColor(uint32_t color) {
        cairo_set_source_rgb(FCr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                             (color & 0xFF) / 255.0);
    }

    cairo_font_face_t* FaceFor(const TFontFaceSource& src) {
        auto key = std::make_tuple(src.File, src.Index, src.SynthBold, src.SynthItalic);
        auto it = FFaces.find(key);
        if (it != FFaces.end()) return it->second;
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(src.File.c_str()));
        FcPatternAddInteger(pattern, FC_INDEX, src.Index);
        cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(pattern);
        FcPatternDestroy(pattern);
        if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
            cairo_font_face_destroy(face);
            face = nullptr;
        } else {
            unsigned synth = (src.SynthBold ? CAIRO_FT_SYNTHESIZE_BOLD : 0) |
                             (src.SynthItalic ? CAIRO_FT_SYNTHESIZE_OBLIQUE : 0);
            if (synth) cairo_ft_font_face_set_synthesize(face, synth);
        }
        FFaces[key] = face;
        return face;
    }

    // Places what reached the pixels since the last vector drawing as an image of the area
    // it covers, so that the page keeps the order of the calls.
    // Only the area the writes stayed inside is looked at and cleared again.
    void FlushRaster() {
        TRect touched;
        if (!TakeDCRasterTouched(FDC, &touched) || touched.IsEmpty()) return;
        TBitmapBits bits = GetBitmapBits(GetDCBitmap(FDC));
        TakeDCRasterTouched(FDC);
        int top = -1, bottom = -1, left = touched.Right, right = touched.Left;
        for (int y = touched.Top; y < touched.Bottom; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(bits.Bits + size_t(y) * bits.Stride);
            int x0 = touched.Left;
            while (x0 < touched.Right && (row[x0] >> 24) == 0)
                ++x0;
            if (x0 == touched.Right) {
                // Nothing visible, but what was written there must not reach the next image.
                std::memset(row + touched.Left, 0, size_t(touched.Width()) * 4);
                continue;
            }
            int x1 = touched.Right;
            while ((row[x1 - 1] >> 24) == 0)
                --x1;
            if (top < 0) top = y;
            bottom = y + 1;
            left = std::min(left, x0);
            right = std::max(right, x1);
        }
        if (top < 0) return;
        int w = right - left, h = bottom - top;
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_surface_flush(image);
        unsigned char* dst = cairo_image_surface_get_data(image);
        int dstStride = cairo_image_surface_get_stride(image);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(bits.Bits + size_t(top + y) * bits.Stride);
            auto* out = reinterpret_cast<uint32_t*>(dst + size_t(y) * dstStride);
            for (int x = 0; x < w; ++x) {
                uint32_t p = row[left + x];
                uint32_t a = p >> 24;
                if (a == 255) {
                    out[x] = p;
                } else {
                    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
                    out[x] = (a << 24) | (mul((p >> 16) & 0xFF) << 16) |
                             (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
                }
                row[left + x] = 0;
            }
        }
        // Invisible pixels of the touched area outside the image are cleared too.
        for (int y = top; y < bottom; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(bits.Bits + size_t(y) * bits.Stride);
            std::memset(row + touched.Left, 0, size_t(left - touched.Left) * 4);
            std::memset(row + right, 0, size_t(touched.Right - right) * 4);
        }
        cairo_surface_mark_dirty(image);
        cairo_save(FCr);
        cairo_set_source_surface(FCr, image, left, top);
        cairo_pattern_set_filter(cairo_get_source(FCr), CAIRO_FILTER_NEAREST);
        cairo_rectangle(FCr, left, top, w, h);
        cairo_fill(FCr);
        cairo_restore(FCr);
        cairo_surface_destroy(image);
    }

    void WritePng() {
        std::string base = FFileName;
        if (base.size() > 4 && base.compare(base.size() - 4, 4, ".pdf") == 0)
            base.resize(base.size() - 4);
        std::string name = base + "-" + std::to_string(FPages) + ".png";
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, FWidth, FHeight);
        cairo_t* cr = cairo_create(image);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_surface(cr, FRecording, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_write_to_png(image, name.c_str());
        cairo_surface_destroy(image);
    }

    int FWidth, FHeight, FDpi;
    std::string FFileName, FTempName;
    bool FPngPages;
    bool FFinished = false;
    int FPages = 0;
    cairo_surface_t* FPdf = nullptr;
    cairo_t* FPdfCr = nullptr;
    cairo_surface_t* FRecording = nullptr;
    cairo_t* FCr = nullptr;
    HDC FDC = nullptr;
    std::unique_ptr<TCanvas> FCanvas;
    std::map<std::tuple<std::string, int, bool, bool>, cairo_font_face_t*> FFaces;
};

TPrinter::TPrinter() = default;
TPrinter::~TPrinter() = default;

void TPrinter::SetPaperSizeMM(double width, double height) {
    if (Printing()) throw EPrinter("Cannot change the paper while printing");
    if (!(width >= 10 && width <= 5000 && height >= 10 && height <= 5000))
        throw EPrinter("Invalid paper size");
    FMode.PaperWidthMM10 = int32_t(std::lround(width * 10));
    FMode.PaperHeightMM10 = int32_t(std::lround(height * 10));
}

void TPrinter::SetResolution(int dpi) {
    if (Printing()) throw EPrinter("Cannot change the resolution while printing");
    if (dpi < 36 || dpi > 1200) throw EPrinter("Invalid printer resolution");
    FMode.Dpi = dpi;
}

int TPrinter::PageWidth() const {
    return MMToPixels(FMode.PaperWidthMM10, FMode.Dpi);
}
int TPrinter::PageHeight() const {
    return MMToPixels(FMode.PaperHeightMM10, FMode.Dpi);
}

TPrinterCapabilities TPrinter::Capabilities() const {
    TPrinterCapabilities caps;
    caps.Include(TPrinterCapability::pcOrientation);
    if (FDriverCopies) {
        caps.Include(TPrinterCapability::pcCopies);
        caps.Include(TPrinterCapability::pcCollation);
    }
    return caps;
}

void TPrinter::BeginDoc() {
    if (Printing()) throw EPrinter("Printing in progress");
    FAborted = false;
    FJob = std::make_unique<TPdfJob>(PageWidth(), PageHeight(), FMode.Dpi, FileName, PngPages);
    FPageNumber = 1;
    TPrintJobRecord record;
    record.Title = Title;
    record.FileName = FileName;
    record.Copies = FDriverCopies ? FCopies : 1;
    FJobs.push_back(record);
}

void TPrinter::NewPage() {
    if (!Printing()) throw EPrinter("Printer is not currently printing");
    FJob->NextPage();
    ++FPageNumber;
}

void TPrinter::EndDoc() {
    if (!Printing()) throw EPrinter("Printer is not currently printing");
    std::unique_ptr<TPdfJob> job = std::move(FJob);
    FPageNumber = 0;
    job->Finish();
    FJobs.back().Pages = job->Pages();
    FJobs.back().Completed = true;
}

void TPrinter::Abort() {
    if (!Printing()) return;
    int pages = FJob->Pages();
    FJob.reset();
    FPageNumber = 0;
    FAborted = true;
    FJobs.back().Pages = pages;
    FJobs.back().Aborted = true;
}

TCanvas* TPrinter::Canvas() {
    if (!Printing()) throw EPrinter("Printer is not currently printing");
    return FJob->Canvas();
}

HDC TPrinter::Handle() {
    return Printing() ? FJob->DC() : nullptr;
}

void TPrinter::GetPrinter(std::string& device, std::string& driver, std::string& port) const {
    device = "PDF";
    driver = "cairo";
    port = FileName;
}

const TDeviceMode* TPrinter::LockDeviceMode() {
    ++FModeLocks;
    return &FMode;
}

void TPrinter::UnlockDeviceMode() {
    if (FModeLocks > 0) --FModeLocks;
}

TPrinter& Printer() {
    return TBoundState<TPrinter>::Current();
}

HDC CreateDCA(const char*, const char*, const char*, const TDeviceMode* mode) {
    TDeviceMode m = mode ? *mode : *Printer().LockDeviceMode();
    if (!mode) Printer().UnlockDeviceMode();
    int dpi = m.Dpi > 0 ? m.Dpi : 600;
    HDC dc = CreateBufferDC(1, 1, dpi, dpi);
    SetDCPrinterInfo(dc, MMToPixels(m.PaperWidthMM10, dpi), MMToPixels(m.PaperHeightMM10, dpi), 0,
                     0);
    return dc;
}

} // namespace epc

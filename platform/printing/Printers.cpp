#include "platform/printing/Printers.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/gdi/GdiSink.h"
#include "platform/graphics/Graphics.h"
#include "platform/printing/CairoHandles.h"
#include "platform/text/FontEngine.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace epc {

namespace {

int MMToPixels(int32_t mm10, int dpi) {
    return int(std::lround(double(mm10) * dpi / 254.0));
}

const cairo_user_data_key_t kLentFaceKey{};

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
        FPdf.reset(cairo_pdf_surface_create(FTempName.c_str(), width * scale, height * scale));
        if (cairo_surface_status(FPdf.get()) != CAIRO_STATUS_SUCCESS)
            throw EPrinter("Printer output cannot be written: " + FFileName);
        FPdfCr.reset(cairo_create(FPdf.get()));
        cairo_scale(FPdfCr.get(), scale, scale);
        FDC = CreateBufferDC(width, height, dpi, dpi);
        SetDCPrinterInfo(FDC, width, height, 0, 0);
        SetDCDrawSink(FDC, this);
        FCanvas = std::make_unique<TCanvas>();
        FCanvas->SetHandle(FDC);
        StartPage();
    }

    ~TPdfJob() override {
        FCanvas.reset();
        {
            // Letting go of the page and the faces may reach the lent FreeType faces.
            auto lock = LockFontFaces();
            FCr.reset();
            FRecording.reset();
            FFaces.clear();
            FPdfCr.reset();
            FPdf.reset();
        }
        if (FDC) DeleteDC(FDC);
        if (!FFinished) std::remove(FTempName.c_str());
    }

    TCanvas* Canvas() const { return FCanvas.get(); }
    HDC DC() const { return FDC; }
    int Pages() const { return FPages; }

    // Completes the current page and starts the next one.
    void EndPage() {
        FlushRaster();
        // Replaying the page draws its text with the lent faces.
        auto lock = LockFontFaces();
        FCr.reset();
        cairo_set_source_surface(FPdfCr.get(), FRecording.get(), 0, 0);
        cairo_paint(FPdfCr.get());
        cairo_show_page(FPdfCr.get());
        ++FPages;
        if (FPngPages) WritePng();
        FRecording.reset();
    }

    void NextPage() {
        EndPage();
        StartPage();
    }

    void Finish() {
        EndPage();
        bool ok;
        {
            // Finishing embeds the faces.
            auto lock = LockFontFaces();
            FPdfCr.reset();
            cairo_surface_finish(FPdf.get());
            ok = cairo_surface_status(FPdf.get()) == CAIRO_STATUS_SUCCESS;
            FPdf.reset();
        }
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
            cairo_rectangle(FCr.get(), r.Left, r.Top, r.Width(), r.Height());
            any = true;
        }
        if (any) cairo_fill(FCr.get());
        return true;
    }

    bool Text(const std::u32string& codePoints, const std::vector<int>& penX, int baseline,
              TFontInstance& face, uint32_t color, const TRect* clip,
              const std::vector<TRect>& visible) override {
        return ShowGlyphs(face, color, clip, visible, [&](TJobFace& jobFace, auto& glyphs) {
            for (size_t i = 0; i < codePoints.size(); ++i) {
                char32_t cp = codePoints[i];
                FT_UInt index = FT_Get_Char_Index(jobFace.Face, cp);
                // A blank prints nothing, as on the screen: its glyph is kept only where it
                // has no ink (a space), so that text taken from the page keeps its breaks.
                if (IsBlankCodePoint(cp) && (index == 0 || !jobFace.Inkless(index))) continue;
                // Drawn from a fallback face: leave the whole run to the pixels.
                if (index == 0) return false;
                glyphs.push_back({index, double(penX[i]), double(baseline)});
            }
            return true;
        });
    }

    bool Glyphs(const std::vector<TShapedGlyph>& shaped, const std::vector<int>& penX, int baseline,
                TFontInstance& face, uint32_t color, const TRect* clip,
                const std::vector<TRect>& visible) override {
        return ShowGlyphs(face, color, clip, visible, [&](TJobFace&, auto& glyphs) {
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
        auto lock = LockFontFaces();
        TJobFace* jobFace = FaceFor(face);
        if (!jobFace) return false;
        std::vector<cairo_glyph_t> glyphs;
        if (!place(*jobFace, glyphs)) return false;
        FlushRaster();
        cairo_t* cr = FCr.get();
        cairo_save(cr);
        bool any = false;
        for (const TRect& v : visible) {
            TRect r = v;
            if (clip && !IntersectRect(r, r, *clip)) continue;
            if (r.IsEmpty()) continue;
            cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
            any = true;
        }
        if (any && !glyphs.empty()) {
            cairo_clip(cr);
            cairo_set_scaled_font(cr, jobFace->Scaled.get());
            SetColor(color);
            cairo_show_glyphs(cr, glyphs.data(), int(glyphs.size()));
        }
        cairo_restore(cr);
        return true;
    }

    bool Figure(const TVectorFigure& figure, const std::vector<TRect>& visible) override {
        FlushRaster();
        cairo_t* cr = FCr.get();
        cairo_save(cr);
        for (const TRect& v : visible)
            cairo_rectangle(cr, v.Left, v.Top, v.Width(), v.Height());
        cairo_clip(cr);
        for (const auto& ring : figure.Rings) {
            if (ring.empty()) continue;
            cairo_move_to(cr, ring[0].X, ring[0].Y);
            for (size_t i = 1; i < ring.size(); ++i)
                cairo_line_to(cr, ring[i].X, ring[i].Y);
            if (figure.Closed) cairo_close_path(cr);
        }
        if (figure.Fill) {
            cairo_set_fill_rule(cr, figure.Winding ? CAIRO_FILL_RULE_WINDING
                                                   : CAIRO_FILL_RULE_EVEN_ODD);
            SetColor(figure.FillColor);
            cairo_fill_preserve(cr);
        }
        if (figure.Stroke) {
            cairo_set_line_width(cr, std::max(figure.StrokeWidth, 1.0));
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            SetColor(figure.StrokeColor);
            cairo_stroke_preserve(cr);
        }
        cairo_new_path(cr);
        cairo_restore(cr);
        return true;
    }

private:
    // A face of the text layer as the job draws with it: the FreeType face the layer already
    // loaded and cairo's face and scaled font made from it.
    struct TJobFace {
        FT_Face Face = nullptr;
        TCairoFontFace Cairo;
        TCairoScaledFont Scaled;
        std::map<FT_UInt, bool> InklessGlyphs;

        // Whether the glyph draws nothing; LockFontFaces held.
        bool Inkless(FT_UInt index) {
            auto [it, added] = InklessGlyphs.try_emplace(index, false);
            if (added)
                it->second = FT_Load_Glyph(Face, index, FT_LOAD_NO_SCALE) == 0 &&
                             Face->glyph->format == FT_GLYPH_FORMAT_OUTLINE &&
                             Face->glyph->outline.n_contours == 0;
            return it->second;
        }
    };

    void StartPage() {
        cairo_rectangle_t extents{0, 0, double(FWidth), double(FHeight)};
        FRecording.reset(cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents));
        FCr.reset(cairo_create(FRecording.get()));
        // The pixel surface stays transparent between images (each flush clears what it
        // took), so a fresh sheet costs nothing: only what is drawn becomes an image.
        TakeDCRasterTouched(FDC);
    }

    void SetColor(uint32_t color) {
        cairo_set_source_rgb(FCr.get(), ((color >> 16) & 0xFF) / 255.0,
                             ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0);
    }

    // The job's face for an instance, made on first use; null when it has no outline face.
    // Only faces made are kept: they keep their instance, so its address stays theirs.
    // Call with LockFontFaces held.
    TJobFace* FaceFor(TFontInstance& font) {
        auto it = FFaces.find(&font);
        if (it != FFaces.end()) return &it->second;
        TJobFace made = LendToCairo(font);
        if (!made.Scaled) return nullptr;
        return &FFaces.emplace(&font, std::move(made)).first->second;
    }

    // Cairo keeps the lent face, and with it the instance, for as long as it uses the face,
    // which may be past the job: its font caches outlive the surfaces.
    static TJobFace LendToCairo(TFontInstance& font) {
        using TLent = std::shared_ptr<FT_FaceRec_>;
        TJobFace result;
        TFontFaceSource src;
        if (!font.FaceSource(src) || src.Em <= 0) return result;
        auto lent = std::make_unique<TLent>(font.LendFace());
        if (!*lent) return result;
        FT_Face ft = lent->get();
        TCairoFontFace face(cairo_ft_font_face_create_for_ft_face(ft, 0));
        if (cairo_font_face_status(face.get()) != CAIRO_STATUS_SUCCESS) return result;
        auto release = [](void* data) { std::unique_ptr<TLent> owner(static_cast<TLent*>(data)); };
        if (cairo_font_face_set_user_data(face.get(), &kLentFaceKey, lent.get(), release) !=
            CAIRO_STATUS_SUCCESS)
            return result;
        lent.release(); // cairo's now
        unsigned synth = (src.SynthBold ? CAIRO_FT_SYNTHESIZE_BOLD : 0) |
                         (src.SynthItalic ? CAIRO_FT_SYNTHESIZE_OBLIQUE : 0);
        if (synth) cairo_ft_font_face_set_synthesize(face.get(), synth);
        cairo_matrix_t size, identity;
        cairo_matrix_init_scale(&size, src.XEm, src.Em);
        cairo_matrix_init_identity(&identity);
        TCairoFontOptions options(cairo_font_options_create());
        cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
        TCairoScaledFont scaled(
            cairo_scaled_font_create(face.get(), &size, &identity, options.get()));
        result.Face = ft;
        result.Cairo = std::move(face);
        if (cairo_scaled_font_status(scaled.get()) == CAIRO_STATUS_SUCCESS)
            result.Scaled = std::move(scaled);
        return result;
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
        TCairoSurface image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
        cairo_surface_flush(image.get());
        unsigned char* dst = cairo_image_surface_get_data(image.get());
        int dstStride = cairo_image_surface_get_stride(image.get());
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
        cairo_surface_mark_dirty(image.get());
        cairo_t* cr = FCr.get();
        cairo_save(cr);
        cairo_set_source_surface(cr, image.get(), left, top);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_rectangle(cr, left, top, w, h);
        cairo_fill(cr);
        cairo_restore(cr);
    }

    void WritePng() {
        std::string base = FFileName;
        if (base.size() > 4 && base.compare(base.size() - 4, 4, ".pdf") == 0)
            base.resize(base.size() - 4);
        std::string name = base + "-" + std::to_string(FPages) + ".png";
        TCairoSurface image(cairo_image_surface_create(CAIRO_FORMAT_RGB24, FWidth, FHeight));
        {
            TCairoContext cr(cairo_create(image.get()));
            cairo_set_source_rgb(cr.get(), 1, 1, 1);
            cairo_paint(cr.get());
            cairo_set_source_surface(cr.get(), FRecording.get(), 0, 0);
            cairo_paint(cr.get());
        }
        cairo_surface_write_to_png(image.get(), name.c_str());
    }

    int FWidth, FHeight, FDpi;
    std::string FFileName, FTempName;
    bool FPngPages;
    bool FFinished = false;
    int FPages = 0;
    TCairoSurface FPdf;
    TCairoContext FPdfCr;
    TCairoSurface FRecording; // the current page
    TCairoContext FCr;
    HDC FDC = nullptr;
    std::unique_ptr<TCanvas> FCanvas;
    std::map<TFontInstance*, TJobFace> FFaces;
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

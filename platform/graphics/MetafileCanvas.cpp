#include "platform/graphics/MetafileCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/core/ScopeGuard.h"
#include "platform/gdi/GdiSink.h"
#include "platform/graphics/GdiHandles.h"

namespace epc {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Coordinates beyond this are cut, so that no integer arithmetic downstream overflows.
constexpr double kCoordLimit = double(1 << 28);
// Text taller than this (device pixels) is not drawn: no picture needs it and glyphs that
// size cost more than they show.
constexpr int kMaxTextHeight = 4000;

int Round(double v) {
    if (!(v == v)) return 0;
    return int(std::lround(std::clamp(v, -kCoordLimit, kCoordLimit)));
}

uint32_t Pixel(COLORREF c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

TMfRegion Own(HRGN rgn) {
    return TMfRegion(rgn, [](TGdiRegion* r) { DeleteObject(GdiObj(r)); });
}

TMfRegion RectsRegion(const std::vector<TRect>& rects) {
    TMfRegion acc = Own(CreateRectRgn(0, 0, 0, 0));
    // Rectangles are merged one by one; past a thousand their box stands for them.
    if (rects.size() > 1024) {
        TRect box;
        for (const TRect& r : rects)
            UnionRect(box, box, r);
        SetRectRgn(acc.get(), box.Left, box.Top, box.Right, box.Bottom);
        return acc;
    }
    for (const TRect& r : rects) {
        TMfRegion one = Own(CreateRectRgnIndirect(r));
        CombineRgn(acc.get(), acc.get(), one.get(), RGN_OR);
    }
    return acc;
}

TMfRegion Combine(const TMfRegion& a, const TMfRegion& b, int mode) {
    TMfRegion r = Own(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(r.get(), a.get(), b.get(), mode);
    return r;
}

// Selects an object into a context for one drawing call and deletes what it made.
class TSelection {
public:
    explicit TSelection(HDC dc) : FDC(dc) {}
    ~TSelection() {
        for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
            SelectObject(FDC, it->first);
            if (it->second) DeleteObject(it->second);
        }
    }
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;
    void Use(HGDIOBJ object, bool made) {
        if (!object) return;
        FItems.emplace_back(SelectObject(FDC, object), made ? object : nullptr);
    }

private:
    HDC FDC;
    std::vector<std::pair<HGDIOBJ, HGDIOBJ>> FItems;
};

std::vector<TPoint> ToInts(const std::vector<TMfPoint>& pts, bool close) {
    std::vector<TPoint> out;
    out.reserve(pts.size() + 1);
    for (const TMfPoint& p : pts)
        out.emplace_back(Round(p.X), Round(p.Y));
    if (close && !out.empty() && !(out.front() == out.back())) out.push_back(out.front());
    return out;
}

} // namespace

std::vector<uint32_t> AlignedDibBits(const BITMAPINFO& info, const uint8_t* bits) {
    const BITMAPINFOHEADER& h = info.bmiHeader;
    size_t stride = (size_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
    size_t bytes = stride * size_t(std::abs(int64_t(h.biHeight)));
    std::vector<uint32_t> out((bytes + 3) / 4);
    if (bytes) std::memcpy(out.data(), bits, bytes);
    return out;
}

TMfXform TMfXform::Then(const TMfXform& b) const {
    TMfXform r;
    r.M11 = M11 * b.M11 + M12 * b.M21;
    r.M12 = M11 * b.M12 + M12 * b.M22;
    r.M21 = M21 * b.M11 + M22 * b.M21;
    r.M22 = M21 * b.M12 + M22 * b.M22;
    r.Dx = Dx * b.M11 + Dy * b.M21 + b.Dx;
    r.Dy = Dx * b.M12 + Dy * b.M22 + b.Dy;
    return r;
}

// ---- Set-up and state -------------------------------------------------------------------

TMetafileCanvas::TMetafileCanvas(HDC dc, const TRect& dest) : FDC(dc), FDest(dest) {
    FSaved = epc::SaveDC(dc);
    FOuterClip = Own(CreateRectRgn(0, 0, 0, 0));
    FHadOuterClip = GetClipRgn(dc, FOuterClip.get()) == 1;
    S.Font.Log.lfHeight = -16;
    ApplyClip();
}

TMetafileCanvas::~TMetafileCanvas() {
    epc::RestoreDC(FDC, FSaved);
}

void TMetafileCanvas::SetReferenceFrame(double left, double top, double width, double height,
                                        double pixelsPerMMX, double pixelsPerMMY) {
    FRefX = left;
    FRefY = top;
    FRefW = width > 0 ? width : 1;
    FRefH = height > 0 ? height : 1;
    FPxPerMMX = pixelsPerMMX > 0 ? pixelsPerMMX : 96 / 25.4;
    FPxPerMMY = pixelsPerMMY > 0 ? pixelsPerMMY : 96 / 25.4;
    Dirty();
}

void TMetafileCanvas::SaveDC() {
    // A runaway number of saved states would only cost memory.
    if (FStack.size() < 4096) FStack.push_back(S);
}

void TMetafileCanvas::RestoreDC(int which) {
    size_t n = FStack.size();
    size_t index;
    if (which < 0) {
        if (size_t(-int64_t(which)) > n) return;
        index = n - size_t(-int64_t(which));
    } else {
        if (which < 1 || size_t(which) > n) return;
        index = size_t(which) - 1;
    }
    S = FStack[index];
    FStack.resize(index);
    Dirty();
    ApplyClip();
}

TMfObject StockObject(int index) {
    TMfObject o;
    switch (index) {
    case WHITE_BRUSH:
    case LTGRAY_BRUSH:
    case GRAY_BRUSH:
    case DKGRAY_BRUSH:
    case BLACK_BRUSH: {
        static const COLORREF colors[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0};
        o.Kind = TMfObject::okBrush;
        o.Brush.Color = colors[index];
        break;
    }
    case NULL_BRUSH:
        o.Kind = TMfObject::okBrush;
        o.Brush.Style = BS_NULL;
        break;
    case WHITE_PEN:
    case BLACK_PEN:
    case NULL_PEN:
        o.Kind = TMfObject::okPen;
        o.Pen.Color = index == WHITE_PEN ? 0xFFFFFF : 0;
        if (index == NULL_PEN) o.Pen.Style = PS_NULL;
        break;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT:
    case 14: // DEVICE_DEFAULT_FONT
    case 16: // SYSTEM_FIXED_FONT
        o.Kind = TMfObject::okFont;
        o.Font.Log.lfHeight = -16;
        break;
    default:
        break;
    }
    return o;
}

void TMetafileCanvas::SelectStock(int index) {
    Select(StockObject(index));
}

void TMetafileCanvas::Select(const TMfObject& object) {
    switch (object.Kind) {
    case TMfObject::okPen:
        S.Pen = object.Pen;
        break;
    case TMfObject::okBrush:
        S.Brush = object.Brush;
        break;
    case TMfObject::okFont:
        S.Font = object.Font;
        break;
    case TMfObject::okRegion:
        SelectClipRects(object.Region, false, RGN_COPY);
        break;
    default:
        break;
    }
}

// ---- Mapping ----------------------------------------------------------------------------

void TMetafileCanvas::UpdateXform() {
    if (FXformValid) return;
    double dw = FDest.Width(), dh = FDest.Height();
    TMfXform page;
    if (FWindowMapping) {
        // The window's extent fills the destination.
        double ex = S.WinExt.X != 0 ? S.WinExt.X : 1, ey = S.WinExt.Y != 0 ? S.WinExt.Y : 1;
        page.M11 = dw / ex;
        page.M22 = dh / ey;
        page.Dx = FDest.Left - S.WinOrg.X * page.M11;
        page.Dy = FDest.Top - S.WinOrg.Y * page.M22;
        FRefXform = TMfXform();
        FXform = page;
        FXformValid = true;
        return;
    }
    double sx = 1, sy = 1;
    double mm = 0;
    switch (S.MapMode) {
    case MM_LOMETRIC:
        mm = 0.1;
        break;
    case MM_HIMETRIC:
        mm = 0.01;
        break;
    case MM_LOENGLISH:
        mm = 0.254;
        break;
    case MM_HIENGLISH:
        mm = 0.0254;
        break;
    case MM_TWIPS:
        mm = 25.4 / 1440;
        break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        sx = S.WinExt.X != 0 ? S.VpExt.X / S.WinExt.X : 1;
        sy = S.WinExt.Y != 0 ? S.VpExt.Y / S.WinExt.Y : 1;
        if (S.MapMode == MM_ISOTROPIC) {
            double m = std::min(std::abs(sx), std::abs(sy));
            sx = sx < 0 ? -m : m;
            sy = sy < 0 ? -m : m;
        }
        break;
    default:
        break;
    }
    if (mm > 0) {
        sx = FPxPerMMX * mm;
        sy = -FPxPerMMY * mm;
    }
    page.M11 = sx;
    page.M22 = sy;
    page.Dx = S.VpOrg.X - S.WinOrg.X * sx;
    page.Dy = S.VpOrg.Y - S.WinOrg.Y * sy;
    FRefXform.M11 = dw / FRefW;
    FRefXform.M22 = dh / FRefH;
    FRefXform.Dx = FDest.Left - FRefX * FRefXform.M11;
    FRefXform.Dy = FDest.Top - FRefY * FRefXform.M22;
    FXform = S.World.Then(page).Then(FRefXform);
    FXformValid = true;
}

TMfPoint TMetafileCanvas::Map(double x, double y) {
    UpdateXform();
    return FXform.Apply(x, y);
}

TMfPoint TMetafileCanvas::MapRef(double x, double y) {
    UpdateXform();
    return FRefXform.Apply(x, y);
}

double TMetafileCanvas::ScaleX() {
    UpdateXform();
    return std::hypot(FXform.M11, FXform.M12);
}

double TMetafileCanvas::ScaleY() {
    UpdateXform();
    return std::hypot(FXform.M21, FXform.M22);
}

TRect TMetafileCanvas::MapBox(double l, double t, double r, double b) {
    TMfPoint corners[4] = {Map(l, t), Map(r, t), Map(r, b), Map(l, b)};
    double x0 = corners[0].X, x1 = x0, y0 = corners[0].Y, y1 = y0;
    for (const TMfPoint& p : corners) {
        x0 = std::min(x0, p.X);
        x1 = std::max(x1, p.X);
        y0 = std::min(y0, p.Y);
        y1 = std::max(y1, p.Y);
    }
    return TRect(Round(x0), Round(y0), Round(x1), Round(y1));
}

// ---- Clipping ---------------------------------------------------------------------------

void TMetafileCanvas::ApplyClip() {
    SelectClipRgn(FDC, FHadOuterClip ? FOuterClip.get() : nullptr);
    IntersectClipRect(FDC, FDest.Left, FDest.Top, FDest.Right, FDest.Bottom);
    if (!S.Clip) return;
    // Regions given to the context count from its viewport origin, not its window origin.
    POINT org;
    GetWindowOrgEx(FDC, &org);
    TMfRegion shifted = Combine(S.Clip, S.Clip, RGN_COPY);
    OffsetRgn(shifted.get(), -org.X, -org.Y);
    ExtSelectClipRgn(FDC, shifted.get(), RGN_AND);
}

TMfRegion TMetafileCanvas::ClipBase() {
    if (S.Clip) return S.Clip;
    return Own(CreateRectRgnIndirect(FDest));
}

void TMetafileCanvas::SetClip(TMfRegion region) {
    S.Clip = std::move(region);
    ApplyClip();
}

void TMetafileCanvas::IntersectClip(double l, double t, double r, double b) {
    SetClip(Combine(ClipBase(), Own(CreateRectRgnIndirect(MapBox(l, t, r, b))), RGN_AND));
}

void TMetafileCanvas::ExcludeClip(double l, double t, double r, double b) {
    SetClip(Combine(ClipBase(), Own(CreateRectRgnIndirect(MapBox(l, t, r, b))), RGN_DIFF));
}

void TMetafileCanvas::SelectClipRects(const std::vector<TRect>& rects, bool reference, int mode) {
    std::vector<TRect> mapped;
    mapped.reserve(rects.size());
    for (const TRect& r : rects) {
        if (reference) {
            TMfPoint a = MapRef(r.Left, r.Top), b = MapRef(r.Right, r.Bottom);
            mapped.emplace_back(Round(std::min(a.X, b.X)), Round(std::min(a.Y, b.Y)),
                                Round(std::max(a.X, b.X)), Round(std::max(a.Y, b.Y)));
        } else {
            mapped.push_back(MapBox(r.Left, r.Top, r.Right, r.Bottom));
        }
    }
    TMfRegion region = RectsRegion(mapped);
    if (mode == RGN_COPY) {
        SetClip(region);
        return;
    }
    if (mode < RGN_AND || mode > RGN_DIFF) return;
    SetClip(Combine(ClipBase(), region, mode));
}

void TMetafileCanvas::OffsetClip(double dx, double dy) {
    if (!S.Clip) return;
    TMfPoint a = Map(0, 0), b = Map(dx, dy);
    TMfRegion moved = Combine(S.Clip, S.Clip, RGN_COPY);
    OffsetRgn(moved.get(), Round(b.X - a.X), Round(b.Y - a.Y));
    SetClip(moved);
}

void TMetafileCanvas::SelectClipPath(int mode) {
    // The path's inside as rows of pixel spans, rows with the same spans merged.
    std::vector<TRect> rects;
    double top = 1e300, bottom = -1e300;
    for (const TSub& s : FPath)
        for (const TMfPoint& p : s.Pts) {
            top = std::min(top, p.Y);
            bottom = std::max(bottom, p.Y);
        }
    int y0 = std::max(Round(top), FDest.Top), y1 = std::min(Round(bottom) + 1, FDest.Bottom);
    std::vector<std::pair<int, int>> prev;
    std::vector<std::pair<double, int>> xs;
    for (int y = y0; y < y1; ++y) {
        double yc = y + 0.5;
        xs.clear();
        for (const TSub& s : FPath) {
            size_t n = s.Pts.size();
            for (size_t i = 0; i < n; ++i) {
                const TMfPoint& a = s.Pts[i];
                const TMfPoint& b = s.Pts[(i + 1) % n];
                if ((a.Y <= yc) == (b.Y <= yc)) continue;
                xs.emplace_back(a.X + (yc - a.Y) * (b.X - a.X) / (b.Y - a.Y), b.Y > a.Y ? 1 : -1);
            }
        }
        std::sort(xs.begin(), xs.end());
        std::vector<std::pair<int, int>> spans;
        int winding = 0;
        for (size_t k = 0; k + 1 < xs.size(); ++k) {
            winding += xs[k].second;
            bool inside = S.PolyFill == WINDING ? winding != 0 : (k % 2) == 0;
            if (inside) spans.emplace_back(Round(xs[k].first), Round(xs[k + 1].first));
        }
        if (spans == prev && !rects.empty()) {
            for (size_t k = rects.size() - spans.size(); k < rects.size(); ++k)
                rects[k].Bottom = y + 1;
        } else {
            for (auto& sp : spans)
                rects.emplace_back(sp.first, y, sp.second, y + 1);
        }
        prev = std::move(spans);
    }
    FPath.clear();
    FPathOpen = false;
    TMfRegion region = RectsRegion(rects);
    if (mode == RGN_COPY) {
        SetClip(region);
        return;
    }
    if (mode < RGN_AND || mode > RGN_DIFF) return;
    SetClip(Combine(ClipBase(), region, mode));
}

// ---- Paths ------------------------------------------------------------------------------

void TMetafileCanvas::BeginPath() {
    FPath.clear();
    FPathWidened = false;
    FPathOpen = true;
}

void TMetafileCanvas::AbortPath() {
    FPath.clear();
    FPathOpen = false;
}

void TMetafileCanvas::CloseFigure() {
    if (!FPath.empty()) FPath.back().Closed = true;
}

void TMetafileCanvas::FillPath(bool fill, bool stroke) {
    std::vector<TSub> subs = std::move(FPath);
    FPath.clear();
    FPathOpen = false;
    if (FPathWidened && fill) {
        // Filling a widened path paints the band the pen would cover, in the brush's colour.
        FPathWidened = false;
        TMfPen pen = S.Pen;
        S.Pen.Style = S.Brush.Style == BS_NULL ? PS_NULL : PS_SOLID;
        S.Pen.Color = S.Brush.Color;
        Figure(std::move(subs), false, true);
        S.Pen = pen;
        return;
    }
    FPathWidened = false;
    if (fill)
        for (TSub& s : subs)
            s.Closed = true;
    Figure(std::move(subs), fill, stroke);
}

TMetafileCanvas::TSub& TMetafileCanvas::CurrentSub() {
    if (FPath.empty() || FPath.back().Closed) {
        FPath.emplace_back();
        FPath.back().Pts.push_back(Map(S.Cur.X, S.Cur.Y));
    }
    return FPath.back();
}

void TMetafileCanvas::ContinueLine(std::vector<TMfPoint> pts) {
    if (FPathOpen) {
        TSub& sub = CurrentSub();
        sub.Pts.insert(sub.Pts.end(), pts.begin() + 1, pts.end());
        return;
    }
    std::vector<TSub> subs;
    subs.push_back({std::move(pts), false});
    Figure(std::move(subs), false, true);
}

// ---- Output -----------------------------------------------------------------------------

int TMetafileCanvas::PenDeviceWidth() {
    if (S.Pen.Cosmetic || S.Pen.Width <= 1) return 1;
    double w = S.Pen.Width * (ScaleX() + ScaleY()) / 2;
    // A pen wider than the picture paints no more of it, and wide pens cost their width
    // squared along every line.
    int most = std::clamp(std::max(FDest.Width(), FDest.Height()), 1, 1024);
    return std::clamp(Round(w), 1, most);
}

HPEN TMetafileCanvas::MakePen() {
    int style = S.Pen.Style;
    if (style > PS_INSIDEFRAME) style = PS_SOLID;
    return CreatePen(style, PenDeviceWidth(), S.Pen.Color);
}

HBRUSH TMetafileCanvas::MakeBrush(const TMfBrush& brush) {
    switch (brush.Style) {
    case BS_NULL:
        return nullptr;
    case BS_HATCHED:
        return CreateHatchBrush(std::clamp(brush.Hatch, 0, int(HS_DIAGCROSS)), brush.Color);
    default:
        break;
    }
    if (brush.Pattern && brush.Pattern->size() == 64) {
        HBITMAP bmp = CreateBitmap(8, 8, 1, 32, brush.Pattern->data());
        auto release = Finally([&] { DeleteObject(GdiObj(bmp)); });
        return CreatePatternBrush(bmp);
    }
    return CreateSolidBrush(brush.Color);
}

bool TMetafileCanvas::VectorFigure(const std::vector<TSub>& subs, bool fill, bool stroke) {
    if (S.Rop2 != R2_COPYPEN) return false;
    if (fill && (S.Brush.Style != BS_SOLID || S.Brush.Pattern)) return false;
    if (stroke && S.Pen.Style != PS_SOLID && S.Pen.Style != PS_INSIDEFRAME) return false;
    TVectorFigure f;
    f.Closed = !subs.empty() && subs.front().Closed;
    for (const TSub& s : subs) {
        if (s.Closed != f.Closed) return false;
        std::vector<TVectorFigure::TPointD> ring;
        ring.reserve(s.Pts.size());
        for (const TMfPoint& p : s.Pts)
            ring.push_back({std::clamp(p.X, -kCoordLimit, kCoordLimit),
                            std::clamp(p.Y, -kCoordLimit, kCoordLimit)});
        f.Rings.push_back(std::move(ring));
    }
    f.Fill = fill;
    f.Winding = S.PolyFill == WINDING;
    f.FillColor = Pixel(S.Brush.Color);
    f.Stroke = stroke;
    f.StrokeColor = Pixel(S.Pen.Color);
    f.StrokeWidth = PenDeviceWidth();
    return DrawDCFigure(FDC, std::move(f));
}

void TMetafileCanvas::Figure(std::vector<TSub> subs, bool fill, bool stroke, const TRect* native,
                             int nativeKind, int ew, int eh) {
    if (FPathOpen) {
        for (TSub& s : subs)
            FPath.push_back(std::move(s));
        return;
    }
    subs.erase(
        std::remove_if(subs.begin(), subs.end(), [](const TSub& s) { return s.Pts.size() < 2; }),
        subs.end());
    if (subs.empty()) return;
    bool closed = subs.front().Closed;
    fill = fill && closed && S.Brush.Style != BS_NULL;
    stroke = stroke && S.Pen.Style != PS_NULL;
    if (!fill && !stroke) return;
    if (VectorFigure(subs, fill, stroke)) return;

    SetROP2(FDC, S.Rop2);
    SetPolyFillMode(FDC, S.PolyFill);
    SetBkMode(FDC, S.BkMode);
    SetBkColor(FDC, S.BkColor);
    if (native) {
        TSelection sel(FDC);
        sel.Use(stroke ? GdiObj(MakePen()) : GetStockObject(NULL_PEN), stroke);
        HBRUSH brush = fill ? MakeBrush(S.Brush) : nullptr;
        sel.Use(brush ? GdiObj(brush) : GetStockObject(NULL_BRUSH), brush != nullptr);
        const TRect& r = *native;
        if (nativeKind == 0)
            epc::Rectangle(FDC, r.Left, r.Top, r.Right, r.Bottom);
        else if (nativeKind == 1)
            epc::Ellipse(FDC, r.Left, r.Top, r.Right, r.Bottom);
        else
            epc::RoundRect(FDC, r.Left, r.Top, r.Right, r.Bottom, ew, eh);
        return;
    }
    // Programs draw thin outlines as fills a pixel or less across, which pixel centres can
    // miss altogether: such a fill is outlined in its own colour so that the line shows.
    bool sliver = false;
    if (fill && !stroke && S.Brush.Style == BS_SOLID && !S.Brush.Pattern) {
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        for (const TSub& s : subs)
            for (const TMfPoint& p : s.Pts) {
                x0 = std::min(x0, p.X);
                x1 = std::max(x1, p.X);
                y0 = std::min(y0, p.Y);
                y1 = std::max(y1, p.Y);
            }
        sliver = x1 - x0 < 2 || y1 - y0 < 2;
    }
    if (closed && subs.size() == 1) {
        TSelection sel(FDC);
        if (sliver)
            sel.Use(GdiObj(CreatePen(PS_SOLID, 1, S.Brush.Color)), true);
        else
            sel.Use(stroke ? GdiObj(MakePen()) : GetStockObject(NULL_PEN), stroke);
        HBRUSH brush = fill ? MakeBrush(S.Brush) : nullptr;
        sel.Use(brush ? GdiObj(brush) : GetStockObject(NULL_BRUSH), brush != nullptr);
        std::vector<TPoint> pts = ToInts(subs.front().Pts, false);
        epc::Polygon(FDC, pts.data(), int(pts.size()));
        return;
    }
    if (fill) {
        // Several rings in one polygon: each is reached from the first ring's start and left
        // back to it along the same line, which adds nothing to either fill rule.
        std::vector<TPoint> all;
        TPoint anchor(Round(subs.front().Pts.front().X), Round(subs.front().Pts.front().Y));
        for (const TSub& s : subs) {
            std::vector<TPoint> ring = ToInts(s.Pts, true);
            all.insert(all.end(), ring.begin(), ring.end());
            all.push_back(anchor);
        }
        TSelection sel(FDC);
        sel.Use(GetStockObject(NULL_PEN), false);
        HBRUSH brush = MakeBrush(S.Brush);
        sel.Use(brush ? GdiObj(brush) : GetStockObject(NULL_BRUSH), brush != nullptr);
        epc::Polygon(FDC, all.data(), int(all.size()));
    }
    if (stroke) {
        TSelection sel(FDC);
        sel.Use(GdiObj(MakePen()), true);
        for (const TSub& s : subs) {
            std::vector<TPoint> pts = ToInts(s.Pts, s.Closed);
            Polyline(FDC, pts.data(), int(pts.size()));
        }
    }
}

// ---- Figures in logical units -----------------------------------------------------------

void TMetafileCanvas::MoveTo(double x, double y) {
    S.Cur = {x, y};
    if (FPathOpen) {
        FPath.emplace_back();
        FPath.back().Pts.push_back(Map(x, y));
    }
}

void TMetafileCanvas::LineTo(double x, double y) {
    PolyTo({{x, y}});
}

void TMetafileCanvas::PolyTo(const std::vector<TMfPoint>& pts) {
    if (pts.empty()) return;
    std::vector<TMfPoint> line{Map(S.Cur.X, S.Cur.Y)};
    for (const TMfPoint& p : pts)
        line.push_back(Map(p.X, p.Y));
    ContinueLine(std::move(line));
    S.Cur = pts.back();
}

void TMetafileCanvas::Poly(const std::vector<TMfPoint>& pts, bool closed) {
    PolyPoly({pts}, closed);
}

void TMetafileCanvas::PolyPoly(const std::vector<std::vector<TMfPoint>>& rings, bool closed) {
    std::vector<TSub> subs;
    for (const auto& ring : rings) {
        TSub sub;
        sub.Closed = closed;
        sub.Pts.reserve(ring.size());
        for (const TMfPoint& p : ring)
            sub.Pts.push_back(Map(p.X, p.Y));
        subs.push_back(std::move(sub));
    }
    Figure(std::move(subs), closed, true);
}

void TMetafileCanvas::BezierTo(const std::vector<TMfPoint>& pts, bool fromCurrent) {
    // Control points in threes after a start point: the current position, or the first point.
    if (!fromCurrent && pts.empty()) return;
    size_t first = fromCurrent ? 0 : 1;
    std::vector<TMfPoint> flat{fromCurrent ? Map(S.Cur.X, S.Cur.Y) : Map(pts[0].X, pts[0].Y)};
    for (size_t i = first; i + 2 < pts.size(); i += 3) {
        TMfPoint p0 = flat.back(), c1 = Map(pts[i].X, pts[i].Y),
                 c2 = Map(pts[i + 1].X, pts[i + 1].Y), p3 = Map(pts[i + 2].X, pts[i + 2].Y);
        double len = std::hypot(c1.X - p0.X, c1.Y - p0.Y) + std::hypot(c2.X - c1.X, c2.Y - c1.Y) +
                     std::hypot(p3.X - c2.X, p3.Y - c2.Y);
        int n = std::clamp(int(std::min(len, 1e6) / 3), 2, 64);
        for (int k = 1; k <= n; ++k) {
            double t = double(k) / n, u = 1 - t;
            double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
            flat.push_back({a * p0.X + b * c1.X + c * c2.X + d * p3.X,
                            a * p0.Y + b * c1.Y + c * c2.Y + d * p3.Y});
        }
        // Only the form that starts at the current position moves it.
        if (fromCurrent) S.Cur = pts[i + 2];
    }
    if (FPathOpen && !fromCurrent)
        FPath.push_back({std::move(flat), false});
    else
        ContinueLine(std::move(flat));
}

void TMetafileCanvas::Rectangle(double l, double t, double r, double b) {
    TRect box = MapBox(l, t, r, b);
    bool axisAligned = FXform.M12 == 0 && FXform.M21 == 0;
    TSub sub;
    sub.Closed = true;
    sub.Pts = {Map(l, t), Map(r, t), Map(r, b), Map(l, b)};
    std::vector<TSub> subs;
    subs.push_back(std::move(sub));
    Figure(std::move(subs), true, true, axisAligned ? &box : nullptr, 0);
}

void TMetafileCanvas::Ellipse(double l, double t, double r, double b) {
    TRect box = MapBox(l, t, r, b);
    bool axisAligned = FXform.M12 == 0 && FXform.M21 == 0;
    std::vector<TSub> subs;
    subs.push_back({EllipsePoints(l, t, r, b, 0, 2 * kPi), true});
    Figure(std::move(subs), true, true, axisAligned ? &box : nullptr, 1);
}

void TMetafileCanvas::RoundRect(double l, double t, double r, double b, double w, double h) {
    TRect box = MapBox(l, t, r, b);
    bool axisAligned = FXform.M12 == 0 && FXform.M21 == 0;
    double x0 = std::min(l, r), x1 = std::max(l, r), y0 = std::min(t, b), y1 = std::max(t, b);
    double ew = std::min(std::abs(w), x1 - x0), eh = std::min(std::abs(h), y1 - y0);
    TSub sub;
    sub.Closed = true;
    auto corner = [&](double cl, double ct, double a0) {
        std::vector<TMfPoint> q = EllipsePoints(cl, ct, cl + ew, ct + eh, a0, kPi / 2);
        sub.Pts.insert(sub.Pts.end(), q.begin(), q.end());
    };
    corner(x1 - ew, y0, 0);
    corner(x0, y0, kPi / 2);
    corner(x0, y1 - eh, kPi);
    corner(x1 - ew, y1 - eh, 3 * kPi / 2);
    std::vector<TSub> subs;
    subs.push_back(std::move(sub));
    UpdateXform();
    Figure(std::move(subs), true, true, axisAligned ? &box : nullptr, 2, Round(ew * ScaleX()),
           Round(eh * ScaleY()));
}

std::vector<TMfPoint> TMetafileCanvas::EllipsePoints(double l, double t, double r, double b,
                                                     double a0, double sweep) {
    double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::abs(r - l) / 2, ry = std::abs(b - t) / 2;
    double devR = std::max(rx * ScaleX(), ry * ScaleY());
    int n = std::clamp(int(std::abs(sweep) * std::min(devR, 1e6) / 3), 4, 256);
    std::vector<TMfPoint> pts;
    pts.reserve(size_t(n) + 1);
    for (int k = 0; k <= n; ++k) {
        double a = a0 + sweep * k / n;
        pts.push_back(Map(cx + rx * std::cos(a), cy - ry * std::sin(a)));
    }
    return pts;
}

void TMetafileCanvas::Arc(int kind, double l, double t, double r, double b, double xs, double ys,
                          double xe, double ye) {
    double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::abs(r - l) / 2, ry = std::abs(b - t) / 2;
    if (rx <= 0 || ry <= 0) return;
    // Angles on the unit circle with y upwards; arcs run counterclockwise by default.
    double a0 = std::atan2(-(ys - cy) / ry, (xs - cx) / rx);
    double a1 = std::atan2(-(ye - cy) / ry, (xe - cx) / rx);
    double sweep = a1 - a0;
    if (S.ArcClockwise) {
        while (sweep >= 0)
            sweep -= 2 * kPi;
    } else {
        while (sweep <= 0)
            sweep += 2 * kPi;
    }
    std::vector<TMfPoint> pts = EllipsePoints(l, t, r, b, a0, sweep);
    TMfPoint endLogical{cx + rx * std::cos(a0 + sweep), cy - ry * std::sin(a0 + sweep)};
    if (kind == 3) {
        // ArcTo: a line from the current position to the arc's start, then the arc.
        pts.insert(pts.begin(), Map(S.Cur.X, S.Cur.Y));
        S.Cur = endLogical;
        ContinueLine(std::move(pts));
        return;
    }
    if (kind == 2) pts.push_back(Map(cx, cy));
    std::vector<TSub> subs;
    subs.push_back({std::move(pts), kind != 0});
    Figure(std::move(subs), kind != 0, true);
}

void TMetafileCanvas::AngleArc(double x, double y, double radius, double start, double sweep) {
    double a0 = start * kPi / 180, sw = std::clamp(sweep, -3600.0, 3600.0) * kPi / 180;
    std::vector<TMfPoint> pts{Map(S.Cur.X, S.Cur.Y)};
    std::vector<TMfPoint> arc =
        EllipsePoints(x - radius, y - radius, x + radius, y + radius, a0, sw);
    pts.insert(pts.end(), arc.begin(), arc.end());
    S.Cur = {x + radius * std::cos(a0 + sw), y - radius * std::sin(a0 + sw)};
    ContinueLine(std::move(pts));
}

void TMetafileCanvas::SetPixel(double x, double y, COLORREF color) {
    TMfPoint p = Map(x, y);
    epc::SetPixel(FDC, Round(p.X), Round(p.Y), color);
}

void TMetafileCanvas::FillRects(const std::vector<TRect>& rects, const TMfBrush& brush) {
    HBRUSH b = MakeBrush(brush);
    if (!b) return;
    auto release = Finally([&] { DeleteObject(GdiObj(b)); });
    SetBkColor(FDC, S.BkColor);
    for (const TRect& r : rects) {
        TRect box = MapBox(r.Left, r.Top, r.Right, r.Bottom);
        FillRect(FDC, &box, b);
    }
}

void TMetafileCanvas::InvertRects(const std::vector<TRect>& rects) {
    for (const TRect& r : rects) {
        TRect box = MapBox(r.Left, r.Top, r.Right, r.Bottom);
        InvertRect(FDC, &box);
    }
}

void TMetafileCanvas::PatBlt(double x, double y, double w, double h, DWORD rop) {
    TRect box = MapBox(x, y, x + w, y + h);
    if (rop == PATCOPY && S.Brush.Style == BS_SOLID && !S.Brush.Pattern) {
        // A solid fill: as a figure, so that it stays a vector when printed.
        TSub sub;
        sub.Closed = true;
        sub.Pts = {{double(box.Left), double(box.Top)},
                   {double(box.Right), double(box.Top)},
                   {double(box.Right), double(box.Bottom)},
                   {double(box.Left), double(box.Bottom)}};
        int rop2 = S.Rop2;
        S.Rop2 = R2_COPYPEN;
        std::vector<TSub> subs;
        subs.push_back(std::move(sub));
        TMfPen pen = S.Pen;
        S.Pen.Style = PS_NULL;
        bool path = FPathOpen;
        FPathOpen = false;
        if (!VectorFigure(subs, true, false)) {
            TSelection sel(FDC);
            HBRUSH b = MakeBrush(S.Brush);
            sel.Use(GdiObj(b), true);
            FillRect(FDC, &box, b);
        }
        FPathOpen = path;
        S.Pen = pen;
        S.Rop2 = rop2;
        return;
    }
    TSelection sel(FDC);
    HBRUSH b = MakeBrush(S.Brush);
    sel.Use(b ? GdiObj(b) : GetStockObject(NULL_BRUSH), b != nullptr);
    epc::PatBlt(FDC, box.Left, box.Top, box.Width(), box.Height(), rop);
}

void TMetafileCanvas::Text(double x, double y, UINT options, const TRect* rect,
                           const std::u16string& text, const std::vector<double>& dx) {
    bool updateCP = (S.TextAlign & TA_UPDATECP) != 0;
    if (updateCP) {
        x = S.Cur.X;
        y = S.Cur.Y;
    }
    UpdateXform();
    TMfPoint ref = Map(x, y);
    double sx = ScaleX(), sy = ScaleY();
    LOGFONTW lf = S.Font.Log;
    if (S.Font.Stock) {
        // The stock font has a device size: the reference device's pixels.
        lf.lfHeight = Round(lf.lfHeight * FRefXform.M22);
        if (lf.lfHeight == 0) lf.lfHeight = -1;
    } else {
        lf.lfHeight = Round(lf.lfHeight * sy);
        if (lf.lfHeight == 0 && S.Font.Log.lfHeight != 0) lf.lfHeight = -1;
        lf.lfWidth = Round(lf.lfWidth * sx);
    }
    if (std::abs(lf.lfHeight) > kMaxTextHeight || std::abs(lf.lfWidth) > kMaxTextHeight) return;
    lf.lfEscapement = lf.lfOrientation = 0;
    TSelection sel(FDC);
    sel.Use(GdiObj(CreateFontIndirectW(lf)), true);
    SetTextColor(FDC, S.TextColor);
    SetBkColor(FDC, S.BkColor);
    SetBkMode(FDC, S.BkMode);
    SetTextAlign(FDC, S.TextAlign & (TA_RIGHT | TA_CENTER | TA_BOTTOM | TA_BASELINE));
    std::vector<int> devDx;
    double advance = 0;
    if (!dx.empty()) {
        // Positions accumulate before rounding, so that rounding does not drift along a line.
        devDx.resize(text.size());
        double cum = 0;
        int prev = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            cum += (i < dx.size() ? dx[i] : 0) * sx;
            int at = Round(cum);
            devDx[i] = at - prev;
            prev = at;
        }
        advance = cum / (sx > 0 ? sx : 1);
        SetTextCharacterExtra(FDC, 0);
    } else {
        SetTextCharacterExtra(FDC, Round(S.CharExtra * sx));
    }
    TRect box;
    const TRect* clip = nullptr;
    UINT opts = options & (ETO_OPAQUE | ETO_CLIPPED);
    if (rect && opts) {
        box = MapBox(rect->Left, rect->Top, rect->Right, rect->Bottom);
        clip = &box;
    } else {
        opts = 0;
    }
    ExtTextOutW(FDC, Round(ref.X), Round(ref.Y), opts, clip, text.data(), UINT(text.size()),
                devDx.empty() ? nullptr : devDx.data());
    if (updateCP) {
        if (devDx.empty()) {
            SIZE size;
            GetTextExtentPoint32W(FDC, text.data(), int(text.size()), &size);
            advance = size.cx / (sx > 0 ? sx : 1);
        }
        S.Cur.X += advance;
    }
}

void TMetafileCanvas::Bitmap(double x, double y, double w, double h, int sx, int sy, int sw,
                             int sh, const BITMAPINFO& info, const uint8_t* bits,
                             const TBitsMode& mode) {
    DrawBits(MapBox(x, y, x + w, y + h), sx, sy, sw, sh, info, bits, mode);
}

void TMetafileCanvas::DeviceBitmap(double x, double y, int sx, int sy, int sw, int sh,
                                   const BITMAPINFO& info, const uint8_t* bits) {
    UpdateXform();
    TMfPoint at = Map(x, y);
    DrawBits(TRect(Round(at.X), Round(at.Y), Round(at.X + sw * FRefXform.M11),
                   Round(at.Y + sh * FRefXform.M22)),
             sx, sy, sw, sh, info, bits, TBitsMode());
}

void TMetafileCanvas::DrawBits(TRect box, int sx, int sy, int sw, int sh, const BITMAPINFO& info,
                               const uint8_t* bits, const TBitsMode& mode) {
    box = TRect(std::min(box.Left, box.Right), std::min(box.Top, box.Bottom),
                std::max(box.Left, box.Right), std::max(box.Top, box.Bottom));
    if (box.IsEmpty() || sw <= 0 || sh <= 0) return;
    // Only the part of the source inside the image is drawn, onto its share of the box.
    int64_t iw = info.bmiHeader.biWidth, ih = std::abs(int64_t(info.bmiHeader.biHeight));
    int64_t x0 = std::max<int64_t>(sx, 0), y0 = std::max<int64_t>(sy, 0);
    int64_t x1 = std::min<int64_t>(int64_t(sx) + sw, iw),
            y1 = std::min<int64_t>(int64_t(sy) + sh, ih);
    if (x1 <= x0 || y1 <= y0) return;
    double fx = double(box.Width()) / sw, fy = double(box.Height()) / sh;
    box = TRect(Round(box.Left + (x0 - sx) * fx), Round(box.Top + (y0 - sy) * fy),
                Round(box.Left + (x1 - sx) * fx), Round(box.Top + (y1 - sy) * fy));
    if (box.IsEmpty()) return;
    sx = int(x0);
    sy = int(y0);
    sw = int(x1 - x0);
    sh = int(y1 - y0);
    std::vector<uint32_t> aligned = AlignedDibBits(info, bits);
    if (mode.Kind == TBitsMode::bmRop) {
        SetStretchBltMode(FDC, S.StretchMode == HALFTONE ? HALFTONE : COLORONCOLOR);
        TSelection sel(FDC);
        HBRUSH b = MakeBrush(S.Brush);
        sel.Use(b ? GdiObj(b) : GetStockObject(NULL_BRUSH), b != nullptr);
        StretchDIBits(FDC, box.Left, box.Top, box.Width(), box.Height(), sx,
                      DibRowFromTop(info, sy, sh), sw, sh, aligned.data(), &info, DIB_RGB_COLORS,
                      mode.Rop);
        return;
    }
    // Blending and transparency work from a context: the image goes into a top-down 32-bit
    // section, keeping the alpha of a 32-bit source.
    BITMAPINFO top = TopDownBitmapInfo(int(iw), int(ih));
    void* dst = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &top, DIB_RGB_COLORS, &dst, nullptr, 0);
    if (!section || !dst) return;
    HDC mem = CreateCompatibleDC(FDC);
    HGDIOBJ old = SelectObject(mem, GdiObj(section));
    auto release = Finally([&] {
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(GdiObj(section));
    });
    BLENDFUNCTION blend = mode.Blend;
    if (info.bmiHeader.biBitCount == 32) {
        TBitmapBits out = GetBitmapBits(section);
        auto* src = reinterpret_cast<const uint8_t*>(aligned.data());
        for (int64_t row = 0; row < ih; ++row)
            std::memcpy(out.Bits + size_t(row) * out.Stride,
                        src + size_t(DibRowFromTop(info, int(row), 1)) * size_t(iw) * 4,
                        size_t(iw) * 4);
    } else {
        SetDIBitsToDevice(mem, 0, 0, DWORD(iw), DWORD(ih), 0, 0, 0, UINT(ih), aligned.data(),
                          &info, DIB_RGB_COLORS);
        blend.AlphaFormat = 0;
    }
    if (mode.Kind == TBitsMode::bmBlend)
        AlphaBlend(FDC, box.Left, box.Top, box.Width(), box.Height(), mem, sx, sy, sw, sh, blend);
    else
        TransparentBlt(FDC, box.Left, box.Top, box.Width(), box.Height(), mem, sx, sy, sw, sh,
                       mode.Transparent);
}

void TMetafileCanvas::GradientRect(double l, double t, double r, double b, COLORREF from,
                                   COLORREF to, bool vertical) {
    TRect box = MapBox(l, t, r, b);
    if (box.IsEmpty()) return;
    // Bands of one colour, at most one a pixel and 256 in all.
    int extent = vertical ? box.Height() : box.Width();
    int bands = std::clamp(extent, 1, 256);
    for (int i = 0; i < bands; ++i) {
        auto mix = [&](int shift) {
            int a = int((from >> shift) & 0xFF), z = int((to >> shift) & 0xFF);
            return COLORREF(a + (z - a) * (2 * i + 1) / (2 * bands)) << shift;
        };
        COLORREF c = mix(0) | mix(8) | mix(16);
        int64_t p0 = int64_t(extent) * i / bands, p1 = int64_t(extent) * (i + 1) / bands;
        TRect band = vertical ? TRect(box.Left, box.Top + int(p0), box.Right, box.Top + int(p1))
                              : TRect(box.Left + int(p0), box.Top, box.Left + int(p1), box.Bottom);
        HBRUSH brush = CreateSolidBrush(c);
        auto release = Finally([&] { DeleteObject(GdiObj(brush)); });
        FillRect(FDC, &band, brush);
    }
}

} // namespace epc

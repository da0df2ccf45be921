#pragma once
// The drawing state of metafile playback and its output onto a device context: objects,
// colours and modes, the mapping from the picture's logical units to the destination, clipping,
// paths, and figures, text and bitmaps drawn in logical units. The record readers of
// MetafilePlayer.cpp drive it. Figures go to a vector sink when the context has one.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Geometry.h"
#include "platform/gdi/Gdi.h"

namespace epc {

struct TMfPoint {
    double X = 0, Y = 0;
};

// x' = x * M11 + y * M21 + Dx, y' = x * M12 + y * M22 + Dy.
struct TMfXform {
    double M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;
    TMfPoint Apply(double x, double y) const {
        return {x * M11 + y * M21 + Dx, x * M12 + y * M22 + Dy};
    }
    // This transform followed by next.
    TMfXform Then(const TMfXform& next) const;
};

struct TMfPen {
    int Style = PS_SOLID; // low four bits of the pen style
    double Width = 0;     // logical units; 0 and cosmetic pens are one pixel wide
    bool Cosmetic = false;
    COLORREF Color = 0;
};

struct TMfBrush {
    int Style = BS_SOLID;
    COLORREF Color = 0xFFFFFF;
    int Hatch = 0;
    std::shared_ptr<std::vector<uint32_t>> Pattern; // 8x8 pixels of a pattern brush
};

struct TMfFont {
    LOGFONTW Log;
    bool Stock = true;
};

using TMfRegion = std::shared_ptr<TGdiRegion>;

// One entry of a metafile's object table.
struct TMfObject {
    enum TKind { okNone, okPen, okBrush, okFont, okPalette, okRegion } Kind = okNone;
    TMfPen Pen;
    TMfBrush Brush;
    TMfFont Font;
    std::vector<TRect> Region; // logical units
};

// The stock pen, brush or font of a stock object index (okNone for others).
TMfObject StockObject(int index);

// A DIB's bits copied to 32-bit aligned storage: records place them at any even offset, and
// the bitmap routines read whole pixels.
std::vector<uint32_t> AlignedDibBits(const BITMAPINFO& info, const uint8_t* bits);
// A row of a DIB counted from its top from one counted in the DIB's own order, and back.
inline int DibRowFromTop(const BITMAPINFO& info, int y, int rows) {
    if (info.bmiHeader.biHeight <= 0) return y;
    int64_t top = int64_t(info.bmiHeader.biHeight) - y - rows;
    return int(std::clamp<int64_t>(top, INT32_MIN, INT32_MAX));
}

enum : int {
    MM_LOMETRIC = 2,
    MM_HIMETRIC = 3,
    MM_LOENGLISH = 4,
    MM_HIENGLISH = 5,
    MM_TWIPS = 6,
    MM_ISOTROPIC = 7,
    MM_ANISOTROPIC = 8
};

class TMetafileCanvas {
public:
    // Enhanced metafiles map their reference device's pixels onto dest through frame (in
    // those pixels); Windows metafiles map their window onto dest directly.
    TMetafileCanvas(HDC dc, const TRect& dest);
    ~TMetafileCanvas();
    TMetafileCanvas(const TMetafileCanvas&) = delete;
    TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

    void SetReferenceFrame(double left, double top, double width, double height,
                           double pixelsPerMMX, double pixelsPerMMY);
    void SetWindowMapping(bool value) {
        FWindowMapping = value;
        Dirty();
    }
    const TRect& Dest() const { return FDest; }

    // ---- State
    struct TState {
        TMfPen Pen;
        TMfBrush Brush;
        TMfFont Font;
        COLORREF TextColor = 0;
        COLORREF BkColor = 0xFFFFFF;
        int BkMode = OPAQUE;
        int Rop2 = R2_COPYPEN;
        UINT TextAlign = 0;
        int PolyFill = ALTERNATE;
        int StretchMode = BLACKONWHITE;
        int CharExtra = 0;
        int MapMode = MM_TEXT;
        TMfPoint WinOrg, WinExt{1, 1}, VpOrg, VpExt{1, 1};
        TMfXform World;
        TMfPoint Cur; // logical
        bool ArcClockwise = false;
        TMfRegion Clip; // destination units; null: only the destination bounds
    };
    TState S;
    void SaveDC();
    void RestoreDC(int which); // negative: relative to the latest
    void Dirty() { FXformValid = false; }

    // Object table.
    std::vector<TMfObject> Objects;
    void SelectStock(int index);
    void Select(const TMfObject& object);

    // ---- Mapping
    TMfPoint Map(double x, double y);
    TMfPoint MapRef(double x, double y); // reference-device units (clip regions)
    double ScaleX();
    double ScaleY();
    TRect MapBox(double l, double t, double r, double b); // device rectangle, ordered

    // ---- Clipping (logical rectangles; regions in reference-device units)
    void IntersectClip(double l, double t, double r, double b);
    void ExcludeClip(double l, double t, double r, double b);
    void SelectClipRects(const std::vector<TRect>& rects, bool reference, int mode);
    void OffsetClip(double dx, double dy);
    void ResetClip() { SetClip(nullptr); }
    void SelectClipPath(int mode);

    // ---- Paths
    void BeginPath();
    void EndPath() { FPathOpen = false; }
    void WidenPath() { FPathWidened = true; }
    void AbortPath();
    void CloseFigure();
    void FillPath(bool fill, bool stroke);

    // ---- Drawing in logical units
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void Poly(const std::vector<TMfPoint>& pts, bool closed);
    void PolyTo(const std::vector<TMfPoint>& pts);
    void PolyPoly(const std::vector<std::vector<TMfPoint>>& rings, bool closed);
    void BezierTo(const std::vector<TMfPoint>& pts, bool fromCurrent);
    void Rectangle(double l, double t, double r, double b);
    void RoundRect(double l, double t, double r, double b, double w, double h);
    void Ellipse(double l, double t, double r, double b);
    // kind: 0 arc, 1 chord, 2 pie, 3 arc continuing the current figure.
    void Arc(int kind, double l, double t, double r, double b, double xs, double ys, double xe,
             double ye);
    void AngleArc(double x, double y, double radius, double start, double sweep);
    void SetPixel(double x, double y, COLORREF color);
    void FillRects(const std::vector<TRect>& rects, const TMfBrush& brush); // logical
    void InvertRects(const std::vector<TRect>& rects);
    void PatBlt(double x, double y, double w, double h, DWORD rop);
    // dx: logical advances (empty: measured).
    void Text(double x, double y, UINT options, const TRect* rect, const std::u16string& text,
              const std::vector<double>& dx);
    // How a bitmap meets what lies under it: a raster operation, blending by alpha, or
    // leaving out one colour.
    struct TBitsMode {
        enum TKind { bmRop, bmBlend, bmTransparent } Kind = bmRop;
        DWORD Rop = SRCCOPY;
        BLENDFUNCTION Blend;
        COLORREF Transparent = 0;
    };
    // A device-independent bitmap stretched into a logical rectangle. The source rectangle
    // counts its rows from the top of the image.
    void Bitmap(double x, double y, double w, double h, int sx, int sy, int sw, int sh,
                const BITMAPINFO& info, const uint8_t* bits, const TBitsMode& mode);
    // Colours running across a rectangle (vertical: from top to bottom), and a triangle in
    // the mean of its corners' colours.
    void GradientRect(double l, double t, double r, double b, COLORREF from, COLORREF to,
                      bool vertical);
    // The same unstretched: its pixels are the reference device's, placed at a logical point.
    void DeviceBitmap(double x, double y, int sx, int sy, int sw, int sh, const BITMAPINFO& info,
                      const uint8_t* bits);

private:
    struct TSub {
        std::vector<TMfPoint> Pts; // destination units
        bool Closed = false;
    };
    void UpdateXform();
    void ApplyClip();
    TMfRegion ClipBase();
    void SetClip(TMfRegion region);
    std::vector<TMfPoint> EllipsePoints(double l, double t, double r, double b, double a0,
                                        double sweep);
    // Rings in destination units: to the path, or filled and stroked.
    void Figure(std::vector<TSub> subs, bool fill, bool stroke, const TRect* native = nullptr,
                int nativeKind = 0, int ew = 0, int eh = 0);
    bool VectorFigure(const std::vector<TSub>& subs, bool fill, bool stroke);
    HPEN MakePen();
    HBRUSH MakeBrush(const TMfBrush& brush);
    int PenDeviceWidth();
    TSub& CurrentSub();
    // Destination points going on from the first one, the current position: they extend the
    // open path's figure, or are stroked as an open line.
    void ContinueLine(std::vector<TMfPoint> pts);
    void DrawBits(TRect box, int sx, int sy, int sw, int sh, const BITMAPINFO& info,
                  const uint8_t* bits, const TBitsMode& mode);

    HDC FDC;
    TRect FDest;
    int FSaved = 0;
    TMfRegion FOuterClip; // the caller's clip, restored with each change
    bool FHadOuterClip = false;
    bool FWindowMapping = false;
    double FRefX = 0, FRefY = 0, FRefW = 1, FRefH = 1, FPxPerMMX = 1, FPxPerMMY = 1;
    bool FXformValid = false;
    TMfXform FXform, FRefXform;
    std::vector<TState> FStack;
    bool FPathOpen = false;
    bool FPathWidened = false;
    std::vector<TSub> FPath;
};

} // namespace epc

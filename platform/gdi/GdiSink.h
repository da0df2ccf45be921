#pragma once
// A receiver for the drawing of a context that is not only pixels (our addition): a printer
// page hands solid fills and text to it as vector drawing and keeps the pixel surface for the
// calls that have no vector form. Coordinates are device units, after the origins; clipping is
// the context's visible rectangles at the time of the call.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/Geometry.h"
#include "platform/gdi/Gdi.h"
#include "platform/text/FontEngine.h"

namespace epc {

class TFontInstance;

// A figure of outlines in device units with fractional positions: filled (alternate or
// winding rule) and then stroked with a round-joined solid pen. Rings are closed when Closed
// says so; open rings are only stroked.
struct TVectorFigure {
    struct TPointD {
        double X = 0, Y = 0;
    };
    std::vector<std::vector<TPointD>> Rings;
    bool Closed = true;
    bool Fill = false;
    bool Winding = false;
    uint32_t FillColor = 0; // 0xAARRGGBB
    bool Stroke = false;
    uint32_t StrokeColor = 0;
    double StrokeWidth = 1;
};

class TDrawSink {
public:
    virtual ~TDrawSink() = default;
    // A solid, copy-mode fill (pixel 0xAARRGGBB); true when the sink drew it.
    virtual bool SolidRect(const TRect& rect, uint32_t color,
                           const std::vector<TRect>& visible) = 0;
    // Shaped glyphs (TFontInstance::ShapeRun) with their pen positions (device x) on a
    // baseline; true when the sink drew them.
    virtual bool Glyphs(const std::vector<TShapedGlyph>& /*glyphs*/,
                        const std::vector<int>& /*penX*/, int /*baseline*/, TFontInstance& /*face*/,
                        uint32_t /*color*/, const TRect* /*clip*/,
                        const std::vector<TRect>& /*visible*/) {
        return false;
    }
    // A text run with its pen positions (one per code point, device x) on a baseline; clip is
    // the ETO_CLIPPED rectangle or null. True when the sink drew it; otherwise the glyphs go
    // to the pixel surface.
    virtual bool Text(const std::u32string& codePoints, const std::vector<int>& penX, int baseline,
                      TFontInstance& face, uint32_t color, const TRect* clip,
                      const std::vector<TRect>& visible) = 0;
    // A figure; false leaves it to the pixel surface.
    virtual bool Figure(const TVectorFigure&, const std::vector<TRect>&) { return false; }
};

// Attaches a sink to a context (null detaches); the caller keeps it alive while attached.
void SetDCDrawSink(HDC dc, TDrawSink* sink);
// Hands a figure in logical units (after the window and viewport origins) to the context's
// sink; false when there is none or it declines, and the caller draws pixels instead.
bool DrawDCFigure(HDC dc, TVectorFigure figure);
// Whether drawing has reached the context's pixels since the last call (and resets that);
// Area, when given, receives the surface rectangle those writes stayed inside.
bool TakeDCRasterTouched(HDC dc, TRect* area = nullptr);

} // namespace epc

#pragma once
// Device contexts over 32-bit pixel buffers and the GDI calls the components make, with
// Win32's names, numbers and semantics. Pixels are 0xAARRGGBB in memory order B, G, R, A,
// rows top-down. Drawing primitives write alpha 255; 32-bit copies keep all four bytes.
// Screen-compatible contexts report 96 pixels per inch; a context made by CreateBufferDC
// reports the resolution it is given (printer pages).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/BoundState.h"
#include "platform/core/Color.h"
#include "platform/core/Geometry.h"

namespace epc {

struct TDeviceContext;
struct TGdiObject;
struct TGdiPen;
struct TGdiBrush;
struct TGdiFont;
struct TGdiBitmap;
struct TGdiRegion;
struct TGdiPalette;
class TFontInstance;

using HDC = TDeviceContext*;
using HGDIOBJ = TGdiObject*;
using HPEN = TGdiPen*;
using HBRUSH = TGdiBrush*;
using HFONT = TGdiFont*;
using HBITMAP = TGdiBitmap*;
using HRGN = TGdiRegion*;
using HPALETTE = TGdiPalette*;
using BOOL = int;
using UINT = uint32_t;
using DWORD = uint32_t;
using LONG = int32_t;

using POINT = TPoint;
using RECT = TRect;
using SIZE = TSize;

// ---- Objects ---------------------------------------------------------------------------------

enum : int { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4,
             PS_NULL = 5, PS_INSIDEFRAME = 6 };
enum : UINT { BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3 };
enum : int { HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3,
             HS_CROSS = 4, HS_DIAGCROSS = 5 };

struct LOGPEN {
    UINT lopnStyle = PS_SOLID;
    POINT lopnWidth;  // X is the width
    COLORREF lopnColor = 0;
};

struct LOGBRUSH {
    UINT lbStyle = BS_SOLID;
    COLORREF lbColor = 0;
    uintptr_t lbHatch = 0;  // hatch style, or the HBITMAP of a pattern brush
};

enum : int { FW_DONTCARE = 0, FW_THIN = 100, FW_LIGHT = 300, FW_NORMAL = 400, FW_MEDIUM = 500,
             FW_SEMIBOLD = 600, FW_BOLD = 700, FW_HEAVY = 900 };
enum : uint8_t { DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2, FF_DONTCARE = 0,
                 FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30, FF_SCRIPT = 0x40,
                 FF_DECORATIVE = 0x50 };
enum : uint8_t { DEFAULT_QUALITY = 0, NONANTIALIASED_QUALITY = 3, ANTIALIASED_QUALITY = 4 };

constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = FW_NORMAL;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 1;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = DEFAULT_QUALITY;
    uint8_t lfPitchAndFamily = 0;
    char16_t lfFaceName[LF_FACESIZE] = {};
};

struct TEXTMETRICW {
    LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading;
    LONG tmAveCharWidth, tmMaxCharWidth, tmWeight, tmOverhang;
    LONG tmDigitizedAspectX, tmDigitizedAspectY;
    char16_t tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar;
    uint8_t tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet;
};

struct RGBQUAD {
    uint8_t rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

enum : DWORD { BI_RGB = 0, BI_BITFIELDS = 3 };

struct BITMAPINFOHEADER {
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0;  // negative: top-down rows
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 32;
    DWORD biCompression = BI_RGB;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];  // the colour table of 1- and 8-bit bitmaps
};

struct BITMAP {
    LONG bmType, bmWidth, bmHeight, bmWidthBytes;
    uint16_t bmPlanes, bmBitsPixel;
    void* bmBits;
};

enum : UINT { DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1 };

enum : int { WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3,
             BLACK_BRUSH = 4, NULL_BRUSH = 5, HOLLOW_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7,
             NULL_PEN = 8, OEM_FIXED_FONT = 10, ANSI_FIXED_FONT = 11, ANSI_VAR_FONT = 12,
             SYSTEM_FONT = 13, DEFAULT_PALETTE = 15, DEFAULT_GUI_FONT = 17 };
enum : UINT { OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_PAL = 5, OBJ_FONT = 6, OBJ_BITMAP = 7,
              OBJ_REGION = 8, OBJ_MEMDC = 10 };

// The objects behind the handles. They are complete types so that a handle converts to
// HGDIOBJ as in Win32; their fields belong to the gdi module: use the calls below.
struct TGdiObject {
    explicit TGdiObject(UINT type) : Type(type) {}
    virtual ~TGdiObject() = default;
    UINT Type;
    bool Stock = false;
    int SelectCount = 0;  // selections in contexts and their saved states
    bool DeletePending = false;
};

struct TGdiPen : TGdiObject {
    TGdiPen() : TGdiObject(OBJ_PEN) {}
    LOGPEN Log;
};

struct TGdiBrush : TGdiObject {
    TGdiBrush() : TGdiObject(OBJ_BRUSH) {}
    LOGBRUSH Log;
    // Pattern brushes keep their own 8x8 copy: colour pixels, or monochrome bits (1 = bk).
    bool MonoPattern = false;
    std::array<uint32_t, 64> Pattern{};
};

struct TGdiFont : TGdiObject {
    TGdiFont() : TGdiObject(OBJ_FONT) {}
    LOGFONTW Log;
    // The sized face, acquired on first use, and a direct table of advances for the common
    // code points so that measuring does not go through the engine's cache for each character.
    std::shared_ptr<TFontInstance> Instance;
    std::vector<int32_t> Advances;
    TFontInstance& Face();
    int32_t Advance(char32_t ch);
    static constexpr char32_t kDirectAdvances = 0x800;
};

struct TGdiBitmap : TGdiObject {
    TGdiBitmap() : TGdiObject(OBJ_BITMAP) {}
    int Width = 0;
    int Height = 0;
    int Bpp = 32;
    int Stride = 0;
    std::vector<uint8_t> Data;      // rows top-down, DWORD-aligned
    std::vector<RGBQUAD> Colors;    // colour table of 1-, 4- and 8-bit bitmaps
    TDeviceContext* SelectedIn = nullptr;
    // Contexts draw on 32-bit pixels. Other depths are drawn through a 32-bit shadow that is
    // written back when the bits are asked for.
    std::vector<uint32_t> Shadow;
    bool ShadowValid = false;
    bool ShadowDirty = false;
    bool Touched = false;      // set by every write through Pixels()
    TRect TouchedBox;          // what the writes since the last take may have changed

    uint32_t* Pixels();        // 32-bit view for drawing (marks the shadow dirty)
    uint32_t* Pixels(const TRect& area); // the same for writes that stay inside Area
    const uint32_t* PixelsForRead();
    int PixelStride() const { return Bpp == 32 ? Stride / 4 : Width; }
    void SyncBits();           // writes a dirty shadow back and forgets it
    void Allocate(int width, int height, int bpp);
};

struct TGdiRegion : TGdiObject {
    TGdiRegion() : TGdiObject(OBJ_REGION) {}
    std::vector<TRect> Rects;  // banded: sorted by top then left, no overlaps
};

struct PALETTEENTRY {
    uint8_t peRed = 0;
    uint8_t peGreen = 0;
    uint8_t peBlue = 0;
    uint8_t peFlags = 0;
};
struct LOGPALETTE {
    uint16_t palVersion = 0x300;
    std::vector<PALETTEENTRY> palPalEntry;
};

struct TGdiPalette : TGdiObject {
    TGdiPalette() : TGdiObject(OBJ_PAL) {}
    std::vector<PALETTEENTRY> Entries;
};

HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN& lp);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreatePatternBrush(HBITMAP bitmap);  // an 8x8 pattern (monochrome or colour)
HBRUSH CreateBrushIndirect(const LOGBRUSH& lb);
HFONT CreateFontIndirectW(const LOGFONTW& lf);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);  // returns the previous object of that kind
// Stock objects are never deleted; an object still selected into a context (or held by a
// saved state) is deleted when it is no longer selected.
BOOL DeleteObject(HGDIOBJ object);
int GetObjectW(HGDIOBJ object, int size, void* out);  // LOGPEN, LOGBRUSH, LOGFONTW, BITMAP
UINT GetObjectType(HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);

// ---- Bitmaps ---------------------------------------------------------------------------------

// A 32-bit (or 1-, 4-, 8-, 16-, 24-bit) device-independent bitmap with directly addressable
// bits. The rows are top-down in memory whatever the sign of biHeight, DWORD-aligned. Null for
// a bad header or an image over 2 GB.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                         DWORD offset);
// The header of a 32-bit top-down bitmap of this size: what surfaces are made from.
BITMAPINFO TopDownBitmapInfo(int width, int height);
// A 32-bit top-down bitmap (monochrome when dc is a memory DC holding a monochrome bitmap).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);

// Direct access to a bitmap's pixels (our addition): 32-bit bitmaps give B, G, R, A bytes.
struct TBitmapBits {
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;
    int Stride = 0;         // bytes per row, rows top-down
    uint8_t* Bits = nullptr;
};
// Bitmaps of other depths than 32 are drawn through a 32-bit copy that this call writes back:
// call it again after drawing on such a bitmap through a context, before reading the bits.
TBitmapBits GetBitmapBits(HBITMAP bitmap);

// ---- Device contexts -------------------------------------------------------------------------

// The screen context (a 1x1 screen-compatible surface, 96 pixels per inch) for measuring.
// A window's context comes from the hooks the windows module sets (our addition); without
// them every window gets a screen context too. Release what GetDC gave with ReleaseDC.
HDC GetDC(void* window);
int ReleaseDC(void* window, HDC dc);
using TGetWindowDC = HDC (*)(void* window);
using TReleaseWindowDC = int (*)(void* window, HDC dc);
void SetWindowDCHooks(TGetWindowDC get, TReleaseWindowDC release);
HDC CreateCompatibleDC(HDC dc);  // holds a 1x1 monochrome bitmap until one is selected
// A context with its own 32-bit surface at the given resolution (our addition; printer pages
// and off-screen pictures).
HDC CreateBufferDC(int width, int height, int dpiX, int dpiY);
BOOL DeleteDC(HDC dc);
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);  // a negative number counts back from the latest
HBITMAP GetDCBitmap(HDC dc);        // our addition: the bitmap the context draws into

enum : int { DRIVERVERSION = 0, TECHNOLOGY = 2, HORZSIZE = 4, VERTSIZE = 6, HORZRES = 8,
             VERTRES = 10, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24, RASTERCAPS = 38,
             LOGPIXELSX = 88, LOGPIXELSY = 90, SIZEPALETTE = 104, PHYSICALWIDTH = 110,
             PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112, PHYSICALOFFSETY = 113 };
enum : int { DT_PLOTTER = 0, DT_RASDISPLAY = 1, DT_RASPRINTER = 2 };
int GetDeviceCaps(HDC dc, int index);
// Marks a buffer context as a printer page for TECHNOLOGY and the physical sizes (our addition).
void SetDCPrinterInfo(HDC dc, int physicalWidth, int physicalHeight, int offsetX, int offsetY);

enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int { R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4,
             R2_MASKPENNOT = 5, R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9,
             R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12, R2_COPYPEN = 13,
             R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16 };
enum : UINT { TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6,
              TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24, TA_RTLREADING = 256 };
enum : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4 };
enum : int { ALTERNATE = 1, WINDING = 2 };
enum : int { MM_TEXT = 1 };

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
int SetTextCharacterExtra(HDC dc, int extra);
int GetTextCharacterExtra(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);
int SetMapMode(HDC dc, int mode);
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetBrushOrgEx(HDC dc, POINT* org);
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetWindowOrgEx(HDC dc, POINT* org);
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old);
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetViewportOrgEx(HDC dc, POINT* org);
BOOL GetCurrentPositionEx(HDC dc, POINT* pos);

// ---- Regions and clipping ------------------------------------------------------------------
// Regions are lists of rectangles. Clip coordinates are logical (they move with the origins
// in effect when they are set, as in Win32 where clipping is kept in device units).

enum : int { ERROR_REGION = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };
enum : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT& r);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, RECT* box);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* r);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush);

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
// Regions given to and taken from a context's clip are in device units, as in Win32: they
// ignore the window origin and count from the viewport origin, which stands for the device
// origin of a window's client area.
int SelectClipRgn(HDC dc, HRGN rgn);  // a copy is taken; null removes the clip
int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode);
int GetClipBox(HDC dc, RECT* box);
int GetClipRgn(HDC dc, HRGN rgn);  // 1 and a copy when there is a clip, 0 when none
BOOL PtVisible(HDC dc, int x, int y);
BOOL RectVisible(HDC dc, const RECT* r);

// ---- Drawing ---------------------------------------------------------------------------------

BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
BOOL LineTo(HDC dc, int x, int y);  // the last pixel is not drawn
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL Polygon(HDC dc, const POINT* points, int count);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, const RECT* r, HBRUSH brush);   // right and bottom edges excluded
int FrameRect(HDC dc, const RECT* r, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* r);
BOOL DrawFocusRect(HDC dc, const RECT* r);  // dotted XOR, self-inverse
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);  // CLR_INVALID outside the surface or clip
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

enum : DWORD {
    SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
    SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008, NOTSRCERASE = 0x001100A6,
    MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021,
    PATPAINT = 0x00FB0A09, PATINVERT = 0x005A0049, DSTINVERT = 0x00550009,
    BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062
};

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop);
int StretchDIBits(HDC dc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int srcX, int srcY,
                      UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
                      UINT usage);
// Copies src to dst, leaving out the pixels of the transparent colour.
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                    int srcWidth, int srcHeight, UINT transparent);

enum : uint8_t { AC_SRC_OVER = 0, AC_SRC_ALPHA = 1 };
struct BLENDFUNCTION {
    uint8_t BlendOp = AC_SRC_OVER;
    uint8_t BlendFlags = 0;
    uint8_t SourceConstantAlpha = 255;
    uint8_t AlphaFormat = 0;  // AC_SRC_ALPHA: source is premultiplied with per-pixel alpha
};
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, BLENDFUNCTION blend);

// Edges and frame controls, drawn in the classic look.
enum : UINT { BDR_RAISEDOUTER = 1, BDR_SUNKENOUTER = 2, BDR_RAISEDINNER = 4,
              BDR_SUNKENINNER = 8, BDR_OUTER = 3, BDR_INNER = 12, BDR_RAISED = 5,
              BDR_SUNKEN = 10, EDGE_RAISED = 5, EDGE_SUNKEN = 10, EDGE_ETCHED = 6,
              EDGE_BUMP = 9 };
enum : UINT { BF_LEFT = 1, BF_TOP = 2, BF_RIGHT = 4, BF_BOTTOM = 8, BF_TOPLEFT = 3,
              BF_BOTTOMRIGHT = 12, BF_RECT = 15, BF_DIAGONAL = 16, BF_MIDDLE = 0x800,
              BF_SOFT = 0x1000, BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000 };
BOOL DrawEdge(HDC dc, RECT* r, UINT edge, UINT flags);

enum : UINT { DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4 };
enum : UINT { DFCS_BUTTONCHECK = 0x0000, DFCS_BUTTONRADIOIMAGE = 0x0001,
              DFCS_BUTTONRADIOMASK = 0x0002, DFCS_BUTTONRADIO = 0x0004,
              DFCS_BUTTON3STATE = 0x0008, DFCS_BUTTONPUSH = 0x0010,
              DFCS_SCROLLUP = 0x0000, DFCS_SCROLLDOWN = 0x0001, DFCS_SCROLLLEFT = 0x0002,
              DFCS_SCROLLRIGHT = 0x0003, DFCS_SCROLLCOMBOBOX = 0x0005,
              DFCS_INACTIVE = 0x0100, DFCS_PUSHED = 0x0200, DFCS_CHECKED = 0x0400,
              DFCS_TRANSPARENT = 0x0800, DFCS_HOT = 0x1000, DFCS_ADJUSTRECT = 0x2000,
              DFCS_FLAT = 0x4000, DFCS_MONO = 0x8000 };
BOOL DrawFrameControl(HDC dc, RECT* r, UINT type, UINT state);

// ---- Text ------------------------------------------------------------------------------------

enum : UINT { ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004, ETO_RTLREADING = 0x0080,
              ETO_IGNORELANGUAGE = 0x1000 };

BOOL TextOutW(HDC dc, int x, int y, const char16_t* text, int count);
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
// dx, when given, holds the advance of each code unit.
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* r, const char16_t* text,
                 UINT count, const int* dx);
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* r, const char* text,
                 UINT count, const int* dx);
BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int count, SIZE* size);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);
// fit (when given) receives how many characters fit maxExtent; partial[k] (when given) the
// width of the first k+1 characters, for all count characters whatever the maximum.
BOOL GetTextExtentExPointW(HDC dc, const char16_t* text, int count, int maxExtent, int* fit,
                           int* partial, SIZE* size);
BOOL GetTextExtentExPointA(HDC dc, const char* text, int count, int maxExtent, int* fit,
                           int* partial, SIZE* size);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* tm);
int GetTextFaceW(HDC dc, int count, char16_t* name);

// Character placement: the text laid out as ExtTextOutW draws it (reordered by the
// bidirectional algorithm, right to left with TA_RTLREADING, and shaped), reported per code
// unit in logical order: lpCaretPos the caret x before it (its leading edge: the right edge of
// a right-to-left character), lpDx its share of the width, lpOrder its place in visual order,
// lpClass GCPCLASS_LATIN or GCPCLASS_HEBREW for left-to-right or right-to-left, lpOutString
// the text in visual order. lpGlyphs is not filled. Returns the width in the low word and the
// height in the high word; 0 on failure and for empty text.
enum : DWORD {
    GCP_REORDER = 0x0002,
    GCP_USEKERNING = 0x0008,
    GCP_GLYPHSHAPE = 0x0010,
    GCP_LIGATE = 0x0020,
    GCP_MAXEXTENT = 0x100000
};
enum : char { GCPCLASS_LATIN = 1, GCPCLASS_HEBREW = 2 };
struct GCP_RESULTSW {
    DWORD lStructSize = sizeof(GCP_RESULTSW);
    char16_t* lpOutString = nullptr;
    UINT* lpOrder = nullptr;
    int* lpDx = nullptr;
    int* lpCaretPos = nullptr;
    char* lpClass = nullptr;
    char16_t* lpGlyphs = nullptr;
    UINT nGlyphs = 0; // in: room in the arrays (code units); out: units filled
    int nMaxFit = 0;  // characters that fit maxExtent with GCP_MAXEXTENT, else all
};
DWORD GetCharacterPlacementW(HDC dc, const char16_t* text, int count, int maxExtent,
                             GCP_RESULTSW* results, DWORD flags);

enum : UINT { DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
              DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20,
              DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80, DT_NOCLIP = 0x100,
              DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
              DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000, DT_PATH_ELLIPSIS = 0x4000,
              DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000,
              DT_WORD_ELLIPSIS = 0x40000, DT_HIDEPREFIX = 0x100000 };
struct DRAWTEXTPARAMS {
    UINT cbSize = sizeof(DRAWTEXTPARAMS);
    int iTabLength = 0;
    int iLeftMargin = 0;
    int iRightMargin = 0;
    UINT uiLengthDrawn = 0;
};
// count -1: the text runs to its terminating NUL. Returns the height of the text drawn.
int DrawTextW(HDC dc, const char16_t* text, int count, RECT* r, UINT format);
int DrawTextA(HDC dc, const char* text, int count, RECT* r, UINT format);
int DrawTextExW(HDC dc, const char16_t* text, int count, RECT* r, UINT format,
                DRAWTEXTPARAMS* params);
int DrawTextExA(HDC dc, const char* text, int count, RECT* r, UINT format,
                DRAWTEXTPARAMS* params);

// ---- Palettes (they hold their colours; selecting and realising them changes no pixel) -------

enum : int { RC_PALETTE = 0x0100 };
// The screen is a true-colour display; a test may make it report a palette-based one
// (RC_PALETTE in RASTERCAPS, 256 in SIZEPALETTE).
void SetScreenPaletteBased(bool value);
// The GDI module's settings of one program run; a scope owns and binds them while it lives.
struct TGdiState {
    bool ScreenPaletteBased = false;
};
using TGdiScope = TStateScope<TGdiState>;
HPALETTE CreatePalette(const LOGPALETTE* lp);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
HPALETTE CreateHalftonePalette(HDC dc);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);

BOOL GdiFlush();

}  // namespace epc

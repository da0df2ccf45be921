#pragma once
// Basic types of the rich-text document: the library's exception, item kinds, option sets,
// tags, colour modes, resolution records and the small value records shared by the layers.

#include <cstdint>
#include <string>
#include <utility>

#include "platform/core/Arithmetic.h"
#include "platform/core/Color.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Geometry.h"
#include "platform/core/Set.h"

namespace epc {

class TCanvas;
class TGraphic;
class TControl;
class TWinControl;

EPC_EXCEPTION_CLASS(ERichViewError, Exception)

inline constexpr const char* errRVItemRangeCheck = "Item index is out of bounds";
inline constexpr const char* errRVTypesMismatch =
    "Can't get or set this kind of information for this item";
inline constexpr const char* errRVItemReg2 =
    "Can't register RichView item type - this StyleNo is already registered";
inline constexpr const char* errRVUnicode = "Can't perform Unicode operation";
inline constexpr const char* errRVInternalPrinting = "Internal printing error";

// StyleNo of the item kinds; text items use the text style index (0 or more).
enum : int {
    rvsBreak = -1,
    rvsPicture = -3,
    rvsHotspot = -4,
    rvsComponent = -5,
    rvsBullet = -6,
    rvsHotPicture = -10,
    rvsListMarker = -11,
    rvsTable = -60,
};

// Bits of an item's options byte.
enum : uint8_t {
    rvioSameAsPrev = 0x01, // continues the previous item's line
    rvioPageBreakBefore = 0x02,
    rvioBR = 0x04,      // starts a new line inside the paragraph
    rvioUnicode = 0x08, // the item text holds UTF-16LE
};

// Kind questions an item answers (GetKindFlag).
enum TRVItemKind : int {
    rvifAlwaysInText = 0,         // the item is never a whole line by itself
    rvifFullWidth = 1,            // painted across the whole text width
    rvifCanBeInsideParagraph = 2, // may share a line; items that may not are full-line items
    rvifNonTextFixedSize = 3,
    // Sizing the item may select another font into the canvas (tables format their cells),
    // so the layout selects the next text style again.
    rvifChangesCanvasFont = 4,
    rvifCanChangeSize = 5,
    rvifHasSubDocuments = 6,
    rvifHyperlink = 7,
    rvifActivatesByKeyboard = 8,
    rvifPrintsToBitmap = 9,
    rvifCanBeJoinedWithPrev = 10,
};

// State questions an item answers (GetStateFlag).
enum TRVItemState : int {
    rvisCanUseDeviceFit = 0, // text may be measured on the device when printing
    rvisSelectable = 1,
    rvisHasControl = 2,
};

// Actions reported to OnItemAction.
enum TRVItemAction : int {
    rviaInserting = 0,
    rviaInserted = 1,
    rviaTextModifying = 2,
    rviaDestroying = 3,
    rviaMovingToUndoList = 4,
};

enum class TRVOption {
    rvoAllowSelection,
    rvoSingleClick,
    rvoScrollToEnd,
    rvoClientTextWidth,
    rvoShowCheckpoints,
    rvoShowPageBreaks,
    rvoTagsArePChars,
    rvoAutoCopyText,
    rvoAutoCopyUnicodeText,
    rvoAutoCopyRVF,
    rvoAutoCopyImage,
    rvoAutoCopyRTF,
    rvoFormatInvalidate,
    rvoDblClickSelectsWord,
    rvoRClickDeselects,
    rvoDoNotWantReturns,
    rvoDoNotWantShiftReturns,
    rvoWantTabs,
    rvoAutoSwitchLang,
    rvoHideReadOnlyCaret,
    rvoNoImageResize,
    rvoClearTagOnStyleApp,
    rvoCtrlJumps
};
using TRVOptions = TSet<TRVOption>;

enum class TRVFOption {
    rvfoSavePicturesBody,
    rvfoSaveControlsBody,
    rvfoIgnoreUnknownPicFmt,
    rvfoIgnoreUnknownCtrls,
    rvfoConvUnknownStylesToZero,
    rvfoConvLargeImageIdxToZero,
    rvfoSaveBinary,
    rvfoUseStyleNames,
    rvfoSaveBack,
    rvfoLoadBack,
    rvfoSaveTextStyles,
    rvfoSaveParaStyles,
    rvfoSaveLayout,
    rvfoLoadLayout
};
using TRVFOptions = TSet<TRVFOption>;

enum class TRVColorMode {
    rvcmColor,
    rvcmPrinterColor,
    rvcmGrayScale,
    rvcmBlackAndWhite,
    rvcmBlackOnWhite
};

enum class TRVBiDiMode { rvbdUnspecified, rvbdLeftToRight, rvbdRightToLeft };

enum class TRVVAlign { rvvaBaseline, rvvaMiddle, rvvaAbsTop, rvvaAbsBottom, rvvaAbsMiddle };

enum class TRVBreakStyle { rvbsLine, rvbsRectangle, rvbs3d, rvbsDotted, rvbsDashed };

// Background placement of a document (shared by the RVF background record and the viewer).
enum class TBackgroundStyle {
    bsNoBitmap,
    bsStretched,
    bsTiled,
    bsTiledAndScrolled,
    bsCentered,
    bsTopLeft,
    bsTopRight,
    bsBottomLeft,
    bsBottomRight
};

// Draw state of an item or text run.
enum class TRVTextDrawState {
    rvtsSelected,
    rvtsHover,
    rvtsItemStart,
    rvtsItemEnd,
    rvtsDrawItemStart,
    rvtsDrawItemEnd,
    rvtsControlFocused,
    rvtsSpecialCharacters
};
using TRVTextDrawStates = TSet<TRVTextDrawState>;

// Flags of the selection range queries.
// rvsrkCurrentPage: the drawing items of the page a printed document is drawing.
enum class TRVSelectionRangeKind { rvsrkWhole, rvsrkSelection, rvsrkCurrentPage };

// A tag: a number, or a string when the document's tags are strings. Copies are independent.
class TRVTag {
public:
    TRVTag() = default;
    TRVTag(intptr_t number) : FNumber(number) {}
    static TRVTag FromString(std::string text) {
        TRVTag t;
        t.FIsString = true;
        t.FText = std::move(text);
        return t;
    }
    bool IsString() const { return FIsString; }
    // "nil": a zero number or an empty string.
    bool IsEmpty() const { return FIsString ? FText.empty() : FNumber == 0; }
    intptr_t Number() const { return FIsString ? 0 : FNumber; }
    const std::string& Text() const { return FText; }
    friend bool operator==(const TRVTag& a, const TRVTag& b) {
        if (a.IsEmpty() && b.IsEmpty()) return true;
        return a.FIsString == b.FIsString && a.FNumber == b.FNumber && a.FText == b.FText;
    }

private:
    intptr_t FNumber = 0;
    bool FIsString = false;
    std::string FText;
};

struct TRVScreenAndDevice;

// Screen pixels per inch and a device's, as read from device contexts.
struct TRVResolutionInfo {
    int32_t ScreenResX = 96;
    int32_t ScreenResY = 96;
    int32_t DeviceResX = 96;
    int32_t DeviceResY = 96;
    // The same resolutions as a scaling record, to convert sizes with.
    TRVScreenAndDevice Scaling() const;
};

// Device scaling of a formatting pass: style-sheet sizes are screen pixels, scaled to the canvas.
struct TRVScreenAndDevice {
    int32_t ScreenPPIX = 96, ScreenPPIY = 96;
    int32_t DevicePPIX = 96, DevicePPIY = 96;
    int32_t LeftMargin = 0; // already scaled to the canvas

    // Screen pixels to device pixels and back, rounded as MulDiv rounds.
    int XToDevice(int v) const { return Scale(v, DevicePPIX, ScreenPPIX); }
    int YToDevice(int v) const { return Scale(v, DevicePPIY, ScreenPPIY); }
    int XToScreen(int v) const { return Scale(v, ScreenPPIX, DevicePPIX); }
    int YToScreen(int v) const { return Scale(v, ScreenPPIY, DevicePPIY); }
    bool IsOneToOne() const { return DevicePPIX == ScreenPPIX && DevicePPIY == ScreenPPIY; }
    // The same resolutions as a resolution record.
    TRVResolutionInfo Resolutions() const;
    // V * To / From; equal resolutions leave V as it is, and a From of zero or less (a device
    // that reports none) counts as one rather than failing the division.
    static int Scale(int v, int to, int from) {
        return to == from ? v : MulDiv(v, to, from > 0 ? from : 1);
    }
};

inline TRVScreenAndDevice TRVResolutionInfo::Scaling() const {
    return {ScreenResX, ScreenResY, DeviceResX, DeviceResY};
}

inline TRVResolutionInfo TRVScreenAndDevice::Resolutions() const {
    return {ScreenPPIX, ScreenPPIY, DevicePPIX, DevicePPIY};
}

// Four-sided Boolean set, one byte each, in this order.
struct TRVBooleanRect {
    uint8_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    TRVBooleanRect() = default;
    explicit TRVBooleanRect(bool value) { SetAll(value); }
    void SetAll(bool value) { Left = Top = Right = Bottom = value ? 1 : 0; }
    void SetValues(bool l, bool t, bool r, bool b) {
        Left = l;
        Top = t;
        Right = r;
        Bottom = b;
    }
    bool AllEqualTo(bool value) const { return EqualsValues(value, value, value, value); }
    bool EqualsValues(bool l, bool t, bool r, bool b) const {
        return bool(Left) == l && bool(Top) == t && bool(Right) == r && bool(Bottom) == b;
    }
    friend bool operator==(const TRVBooleanRect&, const TRVBooleanRect&) = default;
};

// Four-sided integer record (border offsets, margins).
struct TRVRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TRVRect&, const TRVRect&) = default;
};

// The layout stored with a document in RVF.
struct TRVLayoutInfo {
    int32_t LeftMargin = 5, RightMargin = 5, TopMargin = 5, BottomMargin = 5;
    int32_t MinTextWidth = 0, MaxTextWidth = 0;
    TRVBiDiMode BiDiMode = TRVBiDiMode::rvbdUnspecified;
    // Optional, for a printable viewer (not stored): with UsePair set its document answers the
    // pair query with Pair1 and Pair2 and its line breaker may measure on the device; Flag7
    // sets bit 7 of the document's formatting flags.
    bool UsePair = false;
    int32_t Pair1 = -1, Pair2 = -1;
    bool Flag7 = false;
    friend bool operator==(const TRVLayoutInfo&, const TRVLayoutInfo&) = default;
};

// True when the point lies inside the box (left and top edges in, right and bottom out).
inline bool PointInBox(int x, int y, int left, int top, int width, int height) {
    return x >= left && x < left + width && y >= top && y < top + height;
}

} // namespace epc

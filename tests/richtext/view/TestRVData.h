#pragma once
// A formatted document without a window: it answers the holder's questions (canvas, margins,
// client size, scrolling) from plain fields, and can simulate a vertical scroll bar that
// takes client width while the document is taller than the client area.

#include <memory>
#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/graphics/Graphics.h"
#include "richtext/view/RVFormattedData.h"

namespace epc::test {

// The built-in fixed-metric face: at 15 points (20 pixels on a 96 dpi canvas) every character
// is 10 pixels wide; ascent 16, descent 4.
inline constexpr const char* kFixedFont = "Fixed Metrics Test";

class TTestRVData : public TCustomRVFormattedData {
public:
    explicit TTestRVData(TRVStyle* style, int dpi = 96) {
        SetRVStyle(style);
        FCanvas = std::make_unique<TCanvas>();
        FCanvas->SetOwnedHandle(CreateBufferDC(8, 8, dpi, dpi));
    }
    std::string ClassName() const override { return "TTestRVData"; }

    TRVFlags Flags = RVDefaultViewerFlags;
    int LeftMargin = 0, RightMargin = 0, TopMargin = 0, BottomMargin = 0;
    int MinTextWidthValue = 0, MaxTextWidthValue = 0;
    int ClientWidth = 200, ClientHeight = 1000;
    // Width a vertical scroll bar takes while the document is taller than the client area.
    int VScrollBarWidth = 0;
    bool VScrollBarShown = false;
    int VScrollPos = 0, HScrollPos = 0;
    int SetDocumentSizeCalls = 0;
    // When set, every SetDocumentSize changes the client width (a size that never settles).
    bool FlipClientWidth = false;
    int OriginX = 0, OriginY = 0;

    TRVFlags GetFlags() const override { return Flags; }
    void SetFlags(TRVFlags value) override { Flags = value; }
    int GetAreaWidth() const override { return GetClientWidth(); }
    int GetLeftMargin() const override { return LeftMargin; }
    int GetRightMargin() const override { return RightMargin; }
    int GetTopMargin() const override { return TopMargin; }
    int GetBottomMargin() const override { return BottomMargin; }
    int GetMinTextWidth() const override { return MinTextWidthValue; }
    int GetMaxTextWidth() const override { return MaxTextWidthValue; }
    TRVBackground* GetBackground() const override { return nullptr; }
    void AdjustVScrollUnits() override {}
    void SetDocumentSize(int /*width*/, int height) override {
        ++SetDocumentSizeCalls;
        VScrollBarShown = VScrollBarWidth > 0 && height > ClientHeight;
        if (FlipClientWidth) ClientWidth += (SetDocumentSizeCalls % 2) ? -16 : 16;
    }
    int GetHScrollPos() const override { return HScrollPos; }
    int GetVScrollPos() const override { return VScrollPos; }
    int GetClientWidth() const override {
        return ClientWidth - (VScrollBarShown ? VScrollBarWidth : 0);
    }
    int GetClientHeight() const override { return ClientHeight; }
    TCanvas* GetCanvas() const override { return FCanvas.get(); }
    void ScrollTo(int y, bool) override { VScrollPos = y; }
    void HScrollTo(int x) override { HScrollPos = x; }
    int GetVSmallStep() const override { return 10; }
    TColor GetColor() const override { return clWindow; }
    void GetOriginInRoot(int& x, int& y) const override {
        x = OriginX;
        y = OriginY;
    }

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// A list marker that takes room on its line.
class TWideMarker : public TRVMarkerItemInfo {
public:
    using TRVMarkerItemInfo::TRVMarkerItemInfo;
    int GetBoxWidth() const override { return 20; }
    int GetBoxHeight() const override { return 10; }
    int GetDescentValue() const override { return 0; }
};

// A style sheet whose text style 0 is the fixed-metric face at 15 points; more styles and
// paragraph styles are added by the tests.
inline std::unique_ptr<TRVStyle> MakeFixedStyle() {
    auto style = std::make_unique<TRVStyle>(nullptr);
    TFontInfo& fi = style->TextStyles.GetItem(0);
    fi.FontName = kFixedFont;
    fi.Size = 15;
    return style;
}

inline int AddFixedTextStyle(TRVStyle& style, int size) {
    TFontInfo& fi = style.TextStyles.Add();
    fi.FontName = kFixedFont;
    fi.Size = size;
    return style.TextStyles.Count() - 1;
}

inline int AddPara(TRVStyle& style, TRVAlignment alignment = TRVAlignment::rvaLeft) {
    style.ParaStyles.Add().Alignment = alignment;
    return style.ParaStyles.Count() - 1;
}

} // namespace epc::test

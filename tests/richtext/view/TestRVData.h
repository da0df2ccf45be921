#pragma once
// A formatted document on a fake host: the host answers the canvas, margins, client size and
// scrolling from the fields of TFakeHostState, which the document carries for the tests.

#include <memory>
#include <string>

#include "richtext/view/RVFormattedData.h"
#include "tests/richtext/view/FakeDocumentHost.h"

namespace epc::test {

// The built-in fixed-metric face: at 15 points (20 pixels on a 96 dpi canvas) every character
// is 10 pixels wide; ascent 16, descent 4.
inline constexpr const char* kFixedFont = "Fixed Metrics Test";

class TTestRVData : public TFakeHostState, public TCustomRVFormattedData {
public:
    explicit TTestRVData(TRVStyle* style, int dpi = 96) : FFakeHost(*this, dpi) {
        SetRVStyle(style);
        SetHost(&FFakeHost);
    }
    std::string ClassName() const override { return "TTestRVData"; }

private:
    TFakeDocumentHost FFakeHost;
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

#include "richtext/view/RVControlData.h"

#include <gtest/gtest.h>

#include "platform/graphics/Graphics.h"
#include "richtext/view/RVRVData.h"
#include "richtext/view/RichView.h"

namespace epc {
namespace {

class TParentList : public TRVDataList {
public:
    TCustomRVFormattedData* Parent = nullptr;
    TCustomRVFormattedData* GetParentRVData() const override { return Parent; }
};

// A cell-like document: what the container does not answer comes from the test.
class TCellData : public TRVItemFormattedData {
public:
    using TRVItemFormattedData::TRVItemFormattedData;
    int GetClientWidth() const override { return 100; }
    int GetClientHeight() const override { return 100; }
    TCanvas* GetCanvas() const override { return nullptr; }
    TColor GetColor() const override { return clNone; }
};

// A cell placed at (X, Y) of the outermost document that records what it is asked to show.
class TPlacedCell : public TCellData {
public:
    using TCellData::TCellData;
    void GetOriginInRoot(int& x, int& y) const override {
        x = X;
        y = Y;
    }
    void MakeRectVisible(int x, int y, int width, int height) override {
        if (Record)
            Asked = TRect(x, y, x + width, y + height);
        else
            TCellData::MakeRectVisible(x, y, width, height);
    }
    int GetContentVOffset() const override { return VOffset; }
    int X = 0, Y = 0;
    int VOffset = 0; // the shift of a vertically aligned content
    bool Record = false;
    TRect Asked;
};

TEST(ItemFormattedData, RectangleToShowGoesToTheContainerInItsOwnCoordinates) {
    TParentList outerList;
    TPlacedCell outer(&outerList);
    outer.X = 10;
    outer.Y = 100;
    outer.Record = true;
    TParentList list;
    list.Parent = &outer;
    TPlacedCell cell(&list);
    cell.X = 15;
    cell.Y = 130;
    cell.MakeRectVisible(2, 3, 4, 5);
    EXPECT_EQ(outer.Asked, TRect(7, 33, 11, 38));
    // Content aligned lower in its cell lies lower in the container.
    cell.VOffset = 6;
    cell.MakeRectVisible(2, 3, 4, 5);
    EXPECT_EQ(outer.Asked, TRect(7, 39, 11, 44));
    // A cell outside any container has nobody to ask.
    TParentList orphanList;
    TPlacedCell orphan(&orphanList);
    orphan.MakeRectVisible(2, 3, 4, 5);
}

TEST(ItemFormattedData, FlagsComeFromTheListAndCannotBeSet) {
    TParentList list;
    EXPECT_EQ(list.Flags.Bits(), 18u);
    EXPECT_EQ(list.GetParentRVData(), nullptr);
    TCellData cell(&list);
    EXPECT_EQ(cell.GetFlags().Bits(), 18u);
    list.Flags.Include(TRVFlag::UseJumps);
    EXPECT_EQ(cell.GetFlags().Bits(), 19u);
    try {
        cell.SetFlags(TRVFlags());
        FAIL() << "setting a cell's flags must raise";
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "This method is not supported for TRVItemFormattedData");
    }
    EXPECT_EQ(cell.GetAreaWidth() + cell.GetLeftMargin() + cell.GetMaxTextWidth(), 0);
    EXPECT_EQ(cell.GetVSmallStep(), 0);
    EXPECT_EQ(cell.GetBackground(), nullptr);
}

TEST(ItemFormattedData, StyleSheetAndParentComeFromTheContainer) {
    TRVStyle style(nullptr);
    TParentList outerList;
    TCellData outer(&outerList);
    outer.SetRVStyle(&style);
    TParentList list;
    list.Parent = &outer;
    TCellData cell(&list);
    EXPECT_EQ(cell.GetParentData(), &outer);
    EXPECT_EQ(cell.GetRVStyle(), &style);
    TParentList orphanList;
    TCellData orphan(&orphanList);
    EXPECT_EQ(orphan.GetParentData(), nullptr);
    EXPECT_EQ(orphan.GetRVStyle(), nullptr);
}

TEST(ItemFormattedData, RtfExtrasOfACellAreAskedOfTheViewer) {
    TRichView view(nullptr);
    std::vector<std::vector<int>> asked;
    view.OnSaveRTFExtra = [&](TCustomRichView* sender, int area, int row, int col,
                              std::string& code) {
        EXPECT_EQ(sender, &view);
        EXPECT_TRUE(code.empty());
        asked.push_back({area, row, col});
        code = "{\\*\\x}";
    };
    TParentList list;
    list.Parent = view.RVData();
    TCellData cell(&list);
    EXPECT_EQ(cell.GetExtraRTFCode(2, 1, 3), "{\\*\\x}");
    EXPECT_EQ(view.RVData()->GetExtraRTFCode(3, 4, -1), "{\\*\\x}");
    EXPECT_EQ(asked, (std::vector<std::vector<int>>{{2, 1, 3}, {3, 4, -1}}));
    view.OnSaveRTFExtra = nullptr;
    EXPECT_EQ(cell.GetExtraRTFCode(2, 1, 3), "");
}

} // namespace
} // namespace epc

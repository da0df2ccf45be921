#pragma once
// Document data bound to what holds it: a window control (keyboard focus among hotspots and
// embedded controls, painting through an off-screen bitmap), and a document held inside an
// item (a table cell), which asks its container. TRVDataList is the list through which an
// item's sub-documents reach their container.

#include <string>

#include "richtext/document/RVClasses.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

enum class TRVTabNavigationType { rvtnNone, rvtnTab, rvtnCtrlTab };

class TRVControlData : public TCustomRVFormattedData {
public:
    TRVControlData();
    std::string ClassName() const override { return "TRVControlData"; }

    // The hotspot or control item that has the keyboard focus, and the document (possibly a
    // nested one) that holds it.
    int32_t FocusedItemNo = -1;
    TCustomRVFormattedData* FocusedItemData = nullptr;
    TRVTabNavigationType TabNavigation = TRVTabNavigationType::rvtnTab;
    // Added to jump numbers reported to the program.
    int32_t FirstJumpNo = 0;

    void ClearFormatting() override;
    void Deselect(TCustomRVItemInfo* item, bool redraw) override;
    // Toggles the dotted frame around the focused hotspot's drawing items (XOR: drawing it
    // twice removes it).
    void DrawFocusFrame(TCanvas* canvas);
    // Take the frame off the screen and put it back; pairs may nest. While it is off, a paint
    // (a scroll that focusing caused, say) leaves it off, so that putting it back shows it.
    void HideFocusFrame();
    void ShowFocusFrame();
    bool FocusFrameHidden() const { return FFrameHidden > 0; }
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    // The focused item keeps its place when items before it go, and is forgotten when it goes.
    void AdjustRememberedItemIndices(TCustomRVFormattedData* rvData, int firstItemNo,
                                     int delta) override;
    // Enter on the focused hotspot.
    void ActivateFocused();
    // Tab and Shift+Tab: the next hotspot or control in document order, else the next control
    // of the form.
    void DoTabNavigation(bool forward);
    // Focus arriving from another control: the first hotspot (the last one backwards) takes
    // it and is scrolled into view; no hotspot keeps it when there is none.
    void FocusHotspotFromOutside(bool forward);
    // Focus coming back by Tab from an embedded control of this document (or of a nested
    // one): the navigation goes on from that control's item. False when no item holds it.
    bool ContinueTabNavigationFrom(const TControl* control, bool forward);
    // No hotspot has the keyboard focus any more (its frame is taken off).
    void ForgetFocusedHotspot();
    // Paints the canvas's clip rectangle through an off-screen bitmap; an exception while
    // painting the document leaves the background and a red "Error:" line, and the next
    // paint tries again.
    void Paint(TCanvas* canvas);

protected:
    // The window control that shows the document, for focus moves.
    virtual TWinControl* GetFocusControl() const { return GetParentControl(); }

private:
    bool FocusItem(TCustomRVFormattedData* data, int itemNo);
    // The navigation from an item (FromData null: nothing focused) to the next focusable one,
    // else out of the viewer; HadFocus: something inside the viewer had the focus.
    void TabFrom(TCustomRVFormattedData* fromData, int fromItemNo, bool forward, bool hadFocus);
    // Draws the frame unless it is off: a change of the focused item takes it away first.
    void DropFocusFrame();
    int FFrameHidden = 0;
    // The document that holds the focused item; a focus inside a document that went (a cell
    // of a deleted table) is forgotten: null then, and when nothing has the focus.
    TCustomRVFormattedData* FocusHolder();
};

class TRVDataList;

// A document inside an item: its own host, asking the list that holds it for its
// container's answers.
class TRVItemFormattedData : public TCustomRVFormattedData, public TRVNestedDocumentHost {
public:
    explicit TRVItemFormattedData(TRVDataList* owner) : Owner(owner) { SetHost(this); }
    std::string ClassName() const override { return "TRVItemFormattedData"; }

    TRVDataList* Owner;

    // Asked through the document where the kind of item leaves the host's answer as it is.
    using TCustomRVFormattedData::AdjustVScrollUnits;
    using TCustomRVFormattedData::GetAreaWidth;
    using TCustomRVFormattedData::GetBackground;
    using TCustomRVFormattedData::GetBottomMargin;
    using TCustomRVFormattedData::GetLeftMargin;
    using TCustomRVFormattedData::GetMaxTextWidth;
    using TCustomRVFormattedData::GetMinTextWidth;
    using TCustomRVFormattedData::GetOriginInRoot;
    using TCustomRVFormattedData::GetRightMargin;
    using TCustomRVFormattedData::GetTopMargin;
    using TCustomRVFormattedData::GetVSmallStep;
    using TCustomRVFormattedData::HScrollTo;
    using TCustomRVFormattedData::ScrollTo;
    using TCustomRVFormattedData::SetDocumentSize;

    TCustomRVData* GetParentData() const override;
    TRVStyle* GetRVStyle() const override;
    TRVFlags GetFlags() const override;
    // Refused: a cell's flags come from its container ("not supported" error).
    void SetFlags(TRVFlags value) override;
    // The container scrolls: the rectangle goes to it in its own coordinates.
    void MakeRectVisible(int x, int y, int width, int height) override;
    // Repainting and the keyboard focus are the container's: a selection dragged in a cell
    // shows at once, in the focused colours while the viewer has the focus.
    void Invalidate() override;
    bool IsControlFocused() const override;
};

// The sub-documents of an item; knows the document that holds the item.
class TRVDataList : public TRVList {
public:
    virtual TCustomRVFormattedData* GetParentRVData() const { return nullptr; }
    // The formatting flags of the sub-documents (TrimSpaces and the sub-document bit).
    TRVFlags Flags{TRVFlag::TrimSpaces, TRVFlag::SubDocument};
};

} // namespace epc

#pragma once
// TTreeViewEx: the word-wrapping tree the program shows. Every node carries a fixed record
// (text, tag, image index, drag flags, stripe); nodes are as tall as their wrapped text, rows
// alternate between the tree colour and a light grey, and dragging follows the records and two
// tree-level switches.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "components/tree/BaseVirtualTree.h"
#include "platform/graphics/Bitmap.h"

namespace epc {

// A node caption shared by reference count. A zero-filled handle is an empty text, so a node
// record that was never filled in (its bytes start zeroed) is valid as it is. The count and
// the characters share one block, so reading a caption follows one pointer.
class TNodeText {
public:
    TNodeText() = default;
    TNodeText(std::string_view text) { Assign(text); }
    TNodeText(const TNodeText& other) : FBlock(other.FBlock) {
        if (FBlock) ++FBlock->Refs;
    }
    TNodeText& operator=(const TNodeText& other);
    TNodeText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    ~TNodeText() { Release(); }

    std::string_view View() const {
        return FBlock ? std::string_view(FBlock->Chars, FBlock->Length) : std::string_view();
    }
    std::string Str() const { return std::string(View()); }
    // The characters with a terminating zero.
    const char* CStr() const { return FBlock ? FBlock->Chars : ""; }
    bool Empty() const { return !FBlock || FBlock->Length == 0; }
    // Drops the text (what freeing the node does).
    void Release();
    // Number of records sharing the text (0 for the empty text).
    int RefCount() const { return FBlock ? FBlock->Refs : 0; }

private:
    struct TBlock {
        int Refs;
        size_t Length;
        char Chars[1]; // Length characters and a zero
    };
    void Assign(std::string_view text);
    TBlock* FBlock = nullptr;
};

// The user data of every node. NodeDataSize says 20 (the record's size where links are four
// bytes); the storage behind each node is sized from the record itself.
struct TTreeViewExNodeData {
    uint8_t Stripe;
    int32_t Tag;
    TNodeText Text;
    uint8_t NotDraggable;
    uint8_t AcceptsDrop;
    int32_t ImageIndex;
};
constexpr int TreeViewExNodeDataSize = 20;
constexpr Cardinal TreeViewExIndent = 23;
// The option sets as the tree's construction leaves them.
inline TVTAutoOptions TreeViewExAutoOptions() {
    return DefaultAutoOptions | tree_options::toAutoScroll |
           tree_options::toDisableAutoscrollOnFocus;
}
inline TVTMiscOptions TreeViewExMiscOptions() {
    return DefaultMiscOptions - tree_options::toAcceptOLEDrop;
}
inline TVTPaintOptions TreeViewExPaintOptions() {
    return DefaultPaintOptions - tree_options::toShowDropmark;
}

// The grey of striped rows.
constexpr TColor StripeColor = TColor(0xE7E7E7);

class TCustomTreeViewEx : public TBaseVirtualTree {
public:
    explicit TCustomTreeViewEx(TComponent* owner);
    ~TCustomTreeViewEx() override;
    std::string ClassName() const override { return "TCustomTreeViewEx"; }

    // Inserts a node by Mode relative to Parent (nil: the top level) and fills its record;
    // ExpandParent expands the new node's parent. Raises EAssertionFailed when NodeDataSize is
    // too small for the record.
    PVirtualNode AddTextNode(PVirtualNode parent, TVTNodeAttachMode mode, const std::string& text,
                             int tag, bool notDraggable, bool acceptsDrop, int imageIndex,
                             bool expandParent);
    uint8_t TreeMode() const { return FTreeMode; }
    void SetTreeMode(uint8_t value);
    // Recomputes every node's height from its wrapped text (only with AutoNodeHeight).
    void UpdateNodeHeights();
    void MeasureNodeHeight(PVirtualNode node, TRect r);
    // The rectangle a node's text wraps in: left at the text start, right at the client edge
    // (at least MinNodeTextWidth wide); the top is 0.
    TRect NodeTextRect(PVirtualNode node);
    // Nil for nil, the hidden root, and nodes made while NodeDataSize was too small for the
    // record (a form's 12, or none at all): such nodes have no text.
    TTreeViewExNodeData* NodeRecord(PVirtualNode node) const {
        if (!FRecordsHoldTexts || !node || node == RootNode()) return nullptr;
        return reinterpret_cast<TTreeViewExNodeData*>(node->Data() + TotalInternalDataSize());
    }

    // Plain fields the views write directly.
    int MinNodeTextWidth = 80;
    bool AutoNodeHeight = true;
    bool NodeDropsOnly = true;

    TVTDrawNodeEvent OnDrawNode;
    TVTGetNodeWidthEvent OnGetNodeWidth;

    bool DoDragAllowed(PVirtualNode node, TColumnIndex column) override;
    void DoCollapsed(PVirtualNode node) override;
    bool DoDragOver(TObject* source, TShiftState shift, TDragState state, TPoint pt,
                    TVTDropMode mode, uint32_t& effect) override;
    void DoExpanded(PVirtualNode node) override;
    void DoUpdating(TVTUpdateState state) override;
    int DoGetNodeWidth(PVirtualNode node, TColumnIndex column) override;
    // The wrapped width measured on a given canvas (nil: the tree's measuring canvas).
    int NodeWidthOn(TCanvas* canvas, PVirtualNode node, TColumnIndex column);
    void DoPaintNode(TVTPaintInfo& paintInfo) override;
    void DoFreeNode(PVirtualNode node) override;
    int DoCompare(PVirtualNode node1, PVirtualNode node2, TColumnIndex column) override;
    void WndProc(TMessage& message) override;

protected:
    void Resize() override;
    // A single border is a sunken edge with 3-D look, else a one-pixel frame.
    void CreateParams(TCreateParams& params) override;
    size_t UserDataCapacity(size_t nodeDataSize) const override;

private:
    // Row parity of a painted node: its index among the visible nodes.
    uint8_t StripeOf(PVirtualNode node);
    TCanvas* MeasureCanvas();
    // MeasureNodeHeight on a prepared canvas, with the sample height worked out once.
    void MeasureOn(TCanvas* canvas, int sample, PVirtualNode node, TRect r);
    // Heights follow expansion and size at once, or, inside an update lock, once at its end.
    void HeightsChanged();

    uint8_t FTreeMode = 0;
    bool FHeightsPending = false;
    // Whether the node records were made with room for the full record. Records are all made
    // under one NodeDataSize (changing it replaces every node), and when it shrinks the old
    // records are freed after the new size is already set, so their texts go by this.
    mutable bool FRecordsHoldTexts = false;
    TBitmap FMeasure{1, 1, pf32bit};
    // The last row whose visible index was worked out, valid while the structure is unchanged.
    PVirtualNode FStripeNode = nullptr;
    Cardinal FStripeIndex = 0;
    uint64_t FStripeVersion = 0;
};

class TTreeViewEx : public TCustomTreeViewEx {
public:
    explicit TTreeViewEx(TComponent* owner);
    std::string ClassName() const override { return "TTreeViewEx"; }
    // The options object, which is of the published class.
    TVirtualTreeOptions* TreeOptions() const;
    void SetTreeOptions(TCustomVirtualTreeOptions* value) { TreeOptions()->Assign(value); }
    std::unique_ptr<TCustomVirtualTreeOptions> GetOptionsClass() override;
};

} // namespace epc

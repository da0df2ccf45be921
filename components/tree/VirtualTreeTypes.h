#pragma once
// Types shared by every unit of the tree control: the node record, node states, check states
// and types, attach modes and the small enumerations of the tree's properties.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/core/Set.h"
#include "platform/core/Types.h"

namespace epc {

class TBaseVirtualTree;

// ---- Node states ------------------------------------------------------------------------------

enum class TVirtualNodeState : uint8_t {
    nsInitialized,       // 0x0001 the init-node notification has run
    nsChecking,          // 0x0002
    nsCutOrCopy,         // 0x0004
    nsDisabled,          // 0x0008
    nsDeleting,          // 0x0010 freed together with its parent
    nsExpanded,          // 0x0020
    nsHasChildren,       // 0x0040
    nsVisible,           // 0x0080
    nsSelected,          // 0x0100
    nsOwnsInitialData,   // 0x0200
    nsAllChildrenHidden, // 0x0400
    nsClearing,          // 0x0800
    nsMultiline          // 0x1000
};
constexpr auto nsInitialized = TVirtualNodeState::nsInitialized;
constexpr auto nsChecking = TVirtualNodeState::nsChecking;
constexpr auto nsCutOrCopy = TVirtualNodeState::nsCutOrCopy;
constexpr auto nsDisabled = TVirtualNodeState::nsDisabled;
constexpr auto nsDeleting = TVirtualNodeState::nsDeleting;
constexpr auto nsExpanded = TVirtualNodeState::nsExpanded;
constexpr auto nsHasChildren = TVirtualNodeState::nsHasChildren;
constexpr auto nsVisible = TVirtualNodeState::nsVisible;
constexpr auto nsSelected = TVirtualNodeState::nsSelected;
constexpr auto nsOwnsInitialData = TVirtualNodeState::nsOwnsInitialData;
constexpr auto nsAllChildrenHidden = TVirtualNodeState::nsAllChildrenHidden;
constexpr auto nsClearing = TVirtualNodeState::nsClearing;
constexpr auto nsMultiline = TVirtualNodeState::nsMultiline;

// The node's 16-bit state word.
struct TVirtualNodeStates {
    uint16_t Bits = 0;
    constexpr TVirtualNodeStates() = default;
    constexpr TVirtualNodeStates(std::initializer_list<TVirtualNodeState> states) {
        for (auto s : states)
            Include(s);
    }
    static constexpr uint16_t Bit(TVirtualNodeState s) { return uint16_t(1u << unsigned(s)); }
    constexpr bool Contains(TVirtualNodeState s) const { return (Bits & Bit(s)) != 0; }
    constexpr void Include(TVirtualNodeState s) { Bits = uint16_t(Bits | Bit(s)); }
    constexpr void Exclude(TVirtualNodeState s) { Bits = uint16_t(Bits & ~Bit(s)); }
    constexpr void Set(TVirtualNodeState s, bool on) { on ? Include(s) : Exclude(s); }
    friend constexpr bool operator==(TVirtualNodeStates, TVirtualNodeStates) = default;
};

// ---- Check boxes ------------------------------------------------------------------------------

enum TCheckState : uint8_t {
    csUncheckedNormal = 0,
    csUncheckedPressed = 1,
    csCheckedNormal = 2,
    csCheckedPressed = 3,
    csMixedNormal = 4,
    csMixedPressed = 5
};

// The state without its pressed form.
constexpr TCheckState NormalCheckState(TCheckState s) {
    return TCheckState(s & ~1u);
}

enum TCheckType : uint8_t {
    ctNone = 0,
    ctTriStateCheckBox = 1,
    ctCheckBox = 2,
    ctRadioButton = 3,
    ctButton = 4
};

// The state a click or the space key gives a check image of the type: boxes toggle, radio
// buttons check, buttons spring back; other types take `otherwise`.
TCheckState ToggledCheckState(TCheckType type, TCheckState current, TCheckState otherwise);

enum class TCheckImageKind : uint8_t {
    ckLightCheck,
    ckDarkCheck,
    ckLightTick,
    ckDarkTick,
    ckFlat,
    ckXP,
    ckCustom,
    ckSystem,
    ckSystemFlat
};

// ---- The node record --------------------------------------------------------------------------

// One record per node; the internal data area and then the user data area follow the fixed
// fields in the same allocation. On 64-bit systems the links are 8 bytes each, so the fixed
// part is larger than on 32-bit ones; NodeDataSize still counts only the user bytes.
struct TVirtualNode {
    Cardinal Index = 0;      // position among the siblings
    Cardinal ChildCount = 0; // direct children that exist
    Word NodeHeight = 0;     // row height in pixels
    TVirtualNodeStates States;
    Byte Align = 0;
    TCheckState CheckState = csUncheckedNormal;
    TCheckType CheckType = ctNone;
    Byte FQueued = 0;         // tree-internal: waiting for its totals to reach the parent
    Cardinal TotalCount = 0;  // this node and all its descendants
    Cardinal TotalHeight = 0; // NodeHeight plus, when expanded, the visible children's totals
    // Tree-internal: changes of the totals above not yet handed to the parent (only inside an
    // update lock; see TBaseVirtualTree::FlushTotals).
    int32_t FPendingCount = 0;
    int32_t FPendingHeight = 0;
    TVirtualNode* Parent = nullptr;
    TVirtualNode* PrevSibling = nullptr;
    TVirtualNode* NextSibling = nullptr;
    TVirtualNode* FirstChild = nullptr;
    TVirtualNode* LastChild = nullptr;

    // Start of the internal data area; the user data area follows it.
    uint8_t* Data() { return reinterpret_cast<uint8_t*>(this + 1); }
};
using PVirtualNode = TVirtualNode*;

// Whether the node (nil: none) carries the state.
inline bool Has(PVirtualNode node, TVirtualNodeState state) {
    return node && node->States.Contains(state);
}

// Links Child in as the last child of Parent: the sibling links and the index only; the
// child count and the totals are the caller's.
inline void LinkAsLastChild(PVirtualNode parent, PVirtualNode child) {
    child->Parent = parent;
    child->PrevSibling = parent->LastChild;
    child->Index = parent->LastChild ? parent->LastChild->Index + 1 : 0;
    if (parent->LastChild)
        parent->LastChild->NextSibling = child;
    else
        parent->FirstChild = child;
    parent->LastChild = child;
}

// Bytes of the fixed part of a node record (the data areas start here).
constexpr size_t TreeNodeSize = sizeof(TVirtualNode);
static_assert(sizeof(TVirtualNode) % sizeof(void*) == 0, "data areas start pointer-aligned");

enum class TVTNodeAttachMode : uint8_t {
    amNoWhere,
    amInsertBefore,
    amInsertAfter,
    amAddChildFirst,
    amAddChildLast
};

// Flags an init-node handler returns.
enum class TVirtualNodeInitState : uint8_t {
    ivsDisabled,    // 0x01
    ivsExpanded,    // 0x02
    ivsHasChildren, // 0x04
    ivsMultiline,   // 0x08
    ivsSelected     // 0x10
};
using TVirtualNodeInitStates = TSet<TVirtualNodeInitState>;

// Reasons of a structure change.
enum class TChangeReason : uint8_t {
    crIgnore,
    crAccumulated,
    crChildAdded,
    crChildDeleted,
    crNodeAdded,
    crNodeCopied,
    crNodeMoved
};

// Values the updating notification carries.
enum class TVTUpdateState : uint8_t { usBegin, usBeginSynch, usSynch, usUpdate, usEnd, usEndSynch };

enum class TVTLineType : uint8_t {
    ltNone,
    ltBottomRight,
    ltTopDown,
    ltTopDownRight,
    ltRight,
    ltTopRight,
    ltLeft,
    ltLeftBottom
};

enum class TVTNodeAlignment : uint8_t { naFromBottom, naFromTop, naProportional };
enum class TVTLineStyle : uint8_t { lsCustomStyle, lsDotted, lsSolid };
enum class TVTLineMode : uint8_t { lmNormal, lmBands };
enum class TVTButtonStyle : uint8_t { bsRectangle, bsTriangle };
enum class TVTButtonFillMode : uint8_t { fmTreeColor, fmWindowColor, fmShaded, fmTransparent };
enum class TDragOperation : uint8_t { doCopy, doMove, doLink };
using TDragOperations = TSet<TDragOperation>;
enum class TVTDragType : uint8_t { dtOLE, dtVCL };
enum class TVTDragImageKind : uint8_t { diComplete, diMainColumnOnly, diNoImage };
enum class THintAnimationType : uint8_t { hatNone, hatFade, hatSlide, hatSystemDefault };
enum class TVTHintMode : uint8_t { hmDefault, hmHint, hmHintAndDefault, hmTooltip };
enum class TVTDrawSelectionMode : uint8_t { smDottedRectangle, smBlendedRectangle };
enum class TVTIncrementalSearch : uint8_t { isAll, isNone, isInitializedOnly, isVisibleOnly };
enum class TVTSearchDirection : uint8_t { sdForward, sdBackward };
enum class TVTSearchStart : uint8_t { ssAlwaysStartOver, ssLastHit, ssFocusedNode };
enum class TSortDirection : uint8_t { sdAscending, sdDescending };
enum class TVTImageKind : uint8_t { ikNormal, ikSelected, ikState, ikOverlay };

using TColumnIndex = int32_t;
constexpr TColumnIndex NoColumn = -1;
constexpr TColumnIndex InvalidColumn = -2;

} // namespace epc

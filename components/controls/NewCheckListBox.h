#pragma once
// The section check list: an owner-drawn list box showing a tree of group headings and check
// boxes by indentation. Checking an item propagates down to its children and up to its
// parents; the boxes are drawn classically or through the theme library; screen readers get
// an accessible object and state-change events.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/controls/AccessibilityBinding.h"
#include "platform/controls/HintWindow.h"
#include "platform/controls/StdCtrls.h"
#include "platform/windows/Accessibility.h"
#include "platform/windows/ThemeBinding.h"

namespace epc {

enum TCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };
enum TItemType : uint8_t { itGroup, itCheck, itRadio };

// What the list keeps per item (attached to the item as its object).
class TItemState : public TObject {
public:
    std::string ClassName() const override { return "TItemState"; }
    uint8_t Enabled = 1;
    uint8_t HasInternalChildren = 0;
    uint8_t CheckWhenParentChecked = 0;
    TItemType ItemType = itGroup;
    uint8_t Level = 0;
    TObject* Obj = nullptr;
    TCheckBoxState State = cbUnchecked;
    std::string SubItem;
    int MeasuredHeight = 0; // the caption's height
    // Tree lines: whether this item is the last child of its parent, and per ancestor level
    // k (1 .. Level - 1) whether a vertical line passes at that level's column.
    bool IsLastChild = false;
    std::vector<bool> ThreadCache;
};

class TNewCheckListBox;

// The hint showing a clipped caption in full.
class TNewCheckListBoxHintWindow : public THintWindow {
public:
    using THintWindow::THintWindow;
    std::string ClassName() const override { return "TNewCheckListBoxHintWindow"; }

protected:
    void CreateParams(TCreateParams& params) override;
};

// The list's accessible object: answers role, state and value, hands every other query to
// the window's standard object.
class TAccObject : public TUnknownImpl<IAccessible> {
public:
    TAccObject(TNewCheckListBox* control, IAccessible* standard);
    ~TAccObject() override;
    HRESULT QueryInterface(const IID& iid, void** object) override;
    HRESULT get_accChildCount(LONG* count) override;
    HRESULT get_accName(LONG child, std::u16string* name) override;
    HRESULT get_accValue(LONG child, std::u16string* value) override;
    HRESULT get_accRole(LONG child, LONG* role) override;
    HRESULT get_accState(LONG child, DWORD* state) override;
    HRESULT accLocation(LONG* left, LONG* top, LONG* width, LONG* height, LONG child) override;
    // The control is going away: every later query fails as disconnected.
    void Disconnect();

private:
    TNewCheckListBox* FControl;
    IAccessible* FStandard;
};

// A disconnected object's answer.
constexpr HRESULT RPC_E_DISCONNECTED = HRESULT(0x80010108);

class TNewCheckListBox : public TCustomListBox {
public:
    explicit TNewCheckListBox(TComponent* owner);
    ~TNewCheckListBox() override;
    std::string ClassName() const override { return "TNewCheckListBox"; }

    int AddCheckItem(const std::string& aCaption, const std::string& aSubItem, uint8_t aLevel,
                     bool aChecked, bool aEnabled, bool aHasInternalChildren,
                     bool aCheckWhenParentChecked, TObject* aObject);
    int AddGroupItem(const std::string& aCaption, const std::string& aSubItem, uint8_t aLevel,
                     TObject* aObject);

    // Grayed counts as checked.
    bool GetItemChecked(int index);
    // Sets the item and its subtree, then recalculates its ancestors.
    void SetItemChecked(int index, bool aChecked);
    TCheckBoxState State(int index);
    bool ItemEnabled(int index);
    void SetItemEnabled(int index, bool aEnabled);
    TObject* ItemObject(int index);
    void SetItemObject(int index, TObject* aObject);
    uint8_t ItemLevel(int index);
    std::string SubItem(int index);
    void SetSubItem(int index, const std::string& aSubItem);

    bool Flat() const { return FFlat; }
    void SetFlat(bool v);
    int Offset() const { return FOffset; }
    void SetOffset(int v);
    bool ShowLines() const { return FShowLines; }
    void SetShowLines(bool v);
    int MinItemHeight() const { return FMinItemHeight; }
    void SetMinItemHeight(int v);
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool v);
    int CheckWidth() const { return FCheckWidth; }
    int CheckHeight() const { return FCheckHeight; }

    TNotifyEvent OnClickCheck;

    // The item's caption rectangle inside an item rectangle (drawing and measuring share it).
    TRect CaptionRect(int index, const TRect& itemRect);
    // The hint window showing a clipped caption (null before the first one).
    THintWindow* CaptionHint() const { return FHintWindow; }
    HTHEME Theme() const { return FTheme; }

    void Dispatch(TMessage& message) override;
    // Stores every item's state after the items ("ItemStates").
    void DefineProperties(TFiler* filer) override;

protected:
    friend class TAccObject;
    TItemState* GetState(int index);
    // The level an item at index may have: none for the first, at most one deeper than the
    // item before it for the rest.
    uint8_t AllowedLevel(int index, int level);
    // The user's toggle of an enabled check box; fires OnClickCheck.
    void ToggleCheckState(int index);
    int Parent(int index);
    std::vector<int> DirectChildren(int index);
    TCheckBoxState CalcState(int index, bool wanted);
    bool UpdateSubtree(int index, bool aChecked);
    // Sets the item and its subtree, then its ancestors; whether the subtree changed.
    bool CheckItem(int index, bool aChecked);
    void SetItemState(int index, TCheckBoxState aState);
    void UpdateThreads();
    void RemeasureAll();
    bool CaptionFits(int index);
    void ShowCaptionHint(int index);
    void HideCaptionHint();

    void MeasureItem(int index, int& height) override;
    void ItemsSorted(const std::vector<int>& order) override;
    void CNDrawItem(int index, const TRect& rect, TOwnerDrawState state) override;
    void InitializeHandle() override;
    void DestroyWnd() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(Word& key, TShiftState shift) override;
    void KeyUp(Word& key, TShiftState shift) override;

private:
    TCanvas* TextCanvas();
    int IndentStep() const { return FCheckWidth + 2 * FOffset; }
    void OpenTheme();
    void CloseTheme();
    void InvalidateCheck(int index);
    void DrawItemLines(TCanvas* c, int index, const TRect& rect);
    void WMGetObject(TMessage& message);
    void CMDialogChar(TMessage& message);
    void WMSetFocus(TMessage& message);

    std::vector<std::unique_ptr<TItemState>> FStateList;
    std::unique_ptr<TCanvas> FMeasureCanvas;
    int FCheckWidth = 13;
    int FCheckHeight = 13;
    int FMinItemHeight = 16;
    int FOffset = 4;
    bool FShowLines = true;
    bool FFlat = false;
    bool FWantTabs = false;
    int FCaptureIndex = -1;  // the item pressed by the mouse
    bool FSpaceDown = false; // the focused item is held by the space bar
    int FLastMouseMoveIndex = -1;
    int FHintIndex = -1;
    int FLastMeasuredWidth = -1;
    HTHEME FTheme = nullptr;
    bool FThemeLibrary = false;
    TAccObject* FAccObject = nullptr;                  // a reference, released at destruction
    TNewCheckListBoxHintWindow* FHintWindow = nullptr; // a component of this list
};

} // namespace epc

#pragma once
// The section check list: an owner-drawn list box showing a tree of group headings and check
// boxes by indentation. Checking an item propagates down to its children and up to its
// parents; the boxes are drawn classically or through the theme library; screen readers get
// an accessible object and state-change events.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/controls/ThemeBinding.h"
#include "platform/controls/HintWindow.h"
#include "platform/controls/StdCtrls.h"
#include "platform/windows/Accessibility.h"

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
    void CreateParams(TCreateParams& Params) override;
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
    explicit TNewCheckListBox(TComponent* AOwner);
    ~TNewCheckListBox() override;
    std::string ClassName() const override { return "TNewCheckListBox"; }

    int AddCheckItem(const std::string& ACaption, const std::string& ASubItem, uint8_t ALevel,
                     bool AChecked, bool AEnabled, bool AHasInternalChildren,
                     bool ACheckWhenParentChecked, TObject* AObject);
    int AddGroupItem(const std::string& ACaption, const std::string& ASubItem, uint8_t ALevel,
                     TObject* AObject);

    // Grayed counts as checked.
    bool Checked(int Index);
    void SetChecked(int Index, bool AChecked);
    TCheckBoxState State(int Index);
    bool ItemEnabled(int Index);
    void SetItemEnabled(int Index, bool AEnabled);
    TObject* ItemObject(int Index);
    void SetItemObject(int Index, TObject* AObject);
    uint8_t ItemLevel(int Index);
    std::string SubItem(int Index);
    void SetSubItem(int Index, const std::string& ASubItem);

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
    TRect CaptionRect(int Index, const TRect& ItemRect);
    // The hint window showing a clipped caption (null before the first one).
    THintWindow* CaptionHint() const { return FHintWindow; }
    HTHEME Theme() const { return FTheme; }

    void Dispatch(TMessage& Message) override;

protected:
    friend class TAccObject;
    TItemState* GetState(int Index);
    // The user's toggle of an enabled check box; fires OnClickCheck.
    void ToggleCheckState(int Index);
    int Parent(int Index);
    std::vector<int> DirectChildren(int Index);
    TCheckBoxState CalcState(int Index, bool Wanted);
    bool UpdateSubtree(int Index, bool AChecked);
    // Sets the item and its subtree, then its ancestors; whether the subtree changed.
    bool CheckItem(int Index, bool AChecked);
    void SetItemState(int Index, TCheckBoxState AState);
    void UpdateThreads();
    void RemeasureAll();
    bool CaptionFits(int Index);
    void ShowCaptionHint(int Index);
    void HideCaptionHint();

    void MeasureItem(int Index, int& Height) override;
    void CNDrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;
    void InitializeHandle() override;
    void DestroyWnd() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyUp(Word& Key, TShiftState Shift) override;

private:
    TCanvas* TextCanvas();
    int IndentStep() const { return FCheckWidth + 2 * FOffset; }
    void OpenTheme();
    void CloseTheme();
    void InvalidateCheck(int Index);
    void DrawItemLines(TCanvas* c, int Index, const TRect& Rect);
    void WMGetObject(TMessage& Message);
    void CMDialogChar(TMessage& Message);
    void WMSetFocus(TMessage& Message);

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

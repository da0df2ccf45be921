#pragma once
// Standard controls drawn by the framework itself: the list box (plain or owner-drawn with
// fixed or variable item heights, items with objects), the radio button and a single-line edit.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/controls/Controls.h"
#include "platform/graphics/Bitmap.h"

namespace epc {

enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

enum TListBoxStyle : uint8_t { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
enum TOwnerDrawStateItem : uint8_t {
    odSelected,
    odGrayed,
    odDisabled,
    odChecked,
    odFocused,
    odDefault,
    odHotLight,
    odInactive,
    odNoAccel,
    odNoFocusRect,
    odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
using TDrawItemEvent =
    std::function<void(TWinControl* control, int index, TRect rect, TOwnerDrawState state)>;
using TMeasureItemEvent = std::function<void(TWinControl* control, int index, int& height)>;

// The system check-box bitmap: four columns of states, three rows of kinds.
enum : int { OBM_CHECKBOXES = 32759 };
// The size of a system bitmap (0 x 0 for one we do not have).
TSize GetSystemBitmapSize(int id);

class TCustomListBox;

// The items of a list box: strings with an object each. Indices outside the list raise
// EListError "List index out of bounds (%d)".
class TListBoxStrings : public TPersistent {
public:
    explicit TListBoxStrings(TCustomListBox* listBox) : FListBox(listBox) {}
    std::string ClassName() const override { return "TListBoxStrings"; }
    int Count() const { return int(FItems.size()); }
    const std::string& Strings(int index) const;
    void SetStrings(int index, const std::string& s);
    TObject* Objects(int index) const;
    void SetObjects(int index, TObject* object);
    int Add(const std::string& s) { return AddObject(s, nullptr); }
    int AddObject(const std::string& s, TObject* object);
    void Insert(int index, const std::string& s);
    void Delete(int index);
    void Clear();
    int IndexOf(const std::string& s) const;

private:
    friend class TCustomListBox;
    void Check(int index) const;
    // Puts the items in the list box's order (case-insensitive, equal texts keeping theirs).
    void Sort();
    struct TItem {
        std::string Text;
        TObject* Object = nullptr;
    };
    TCustomListBox* FListBox;
    std::vector<TItem> FItems;
};

class TCustomListBox : public TCustomControl {
public:
    explicit TCustomListBox(TComponent* owner);
    ~TCustomListBox() override;
    std::string ClassName() const override { return "TCustomListBox"; }

    TListBoxStrings* Items() const { return FItems.get(); }
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle v);
    // The height of an item of a plain or fixed list; variable lists measure each item.
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int v);
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int v);
    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int v);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    // The window's height is cut to whole items, as the system sizes such a list; a list of
    // variable item heights is left as it is.
    bool IntegralHeight() const { return FIntegralHeight; }
    void SetIntegralHeight(bool v);
    // Items in case-insensitive order of their text: setting it sorts them, and an added item
    // goes to its place (Insert still puts one where it is told).
    bool Sorted() const { return FSorted; }
    void SetSorted(bool v);
    // Tab stops every TabWidth dialog units (a quarter of the font's average character width)
    // when items are drawn; 0 leaves tabs unexpanded.
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int v);
    int Count() const { return FItems->Count(); }

    // The item's rectangle in client coordinates (above the client area for items before
    // TopIndex); empty for an index outside the list.
    TRect ItemRect(int index);
    // The height the item was given.
    int ItemHeights(int index) const;
    // The item at a client point; -1 when none (or, unless Existing, the last one below the
    // items).
    int ItemAtPos(TPoint pos, bool existing);
    // Measures the item again (variable lists) and repaints.
    void RemeasureItem(int index);
    void InvalidateItem(int index);

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void Dispatch(TMessage& message) override;

protected:
    friend class TListBoxStrings;
    // Called by the items after each change.
    virtual void ItemInserted(int index);
    virtual void ItemDeleted(int index);
    virtual void ItemsCleared();
    // The items were sorted: Order[i] is the former index of the item now at i.
    virtual void ItemsSorted(const std::vector<int>& order);
    virtual void MeasureItem(int index, int& height);
    virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
    // Prepares the canvas, draws the item and, when it has the focus, its focus rectangle.
    virtual void CNDrawItem(int index, const TRect& rect, TOwnerDrawState state);
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(Word& key, TShiftState shift) override;
    void Resize() override;
    void InitializeHandle() override;
    void UpdateScrollBar();
    void AdjustIntegralHeight();
    // Selects an item as the user does: makes it visible and reports the change (Click).
    void SelectByUser(int index);
    void MakeVisible(int index);
    int VisibleItemCount(int fromIndex);

    std::unique_ptr<TListBoxStrings> FItems;
    std::vector<int> FHeights;
    TListBoxStyle FStyle = lbStandard;
    int FItemHeight = 16;
    int FItemIndex = -1;
    int FTopIndex = 0;
    TBorderStyle FBorderStyle = bsSingle;
    bool FIntegralHeight = false;
    bool FSorted = false;
    int FTabWidth = 0;
    bool FAdjustingHeight = false;
};

class TListBox : public TCustomListBox {
public:
    using TCustomListBox::TCustomListBox;
    std::string ClassName() const override { return "TListBox"; }
};

// A radio button: checking one unchecks the radio buttons beside it (same parent).
class TRadioButton : public TCustomControl {
public:
    explicit TRadioButton(TComponent* owner);
    std::string ClassName() const override { return "TRadioButton"; }
    bool Checked() const { return FChecked; }
    // Checking unchecks the siblings and fires OnClick.
    void SetChecked(bool v);

protected:
    void Paint() override;
    void Click() override;
    void Dispatch(TMessage& message) override;

private:
    bool FChecked = false;
};

// A single-line edit: wide text, a selection with the caret at its moving end, and the keys
// of plain typing (characters, Backspace, Delete, Left, Right, Home, End, Shift to select).
// Enter, Escape and the other keys are left to descendants and to the OnKeyDown handler. The
// framework's Text is the ANSI form of the same text.
class TCustomEdit : public TCustomControl {
public:
    explicit TCustomEdit(TComponent* owner);
    ~TCustomEdit() override;
    std::string ClassName() const override { return "TCustomEdit"; }

    const std::u16string& WideText() const { return FWideText; }
    // Replaces the text, puts the caret at its start and clears Modified.
    void SetWideText(const std::u16string& value);
    // Start of the selection and its length (the caret sits at its end that moves).
    int SelStart() const { return std::min(FAnchor, FCaret); }
    int SelLength() const { return std::abs(FCaret - FAnchor); }
    // Collapses the selection and moves the caret to Value (clamped to the text).
    void SetSelStart(int value);
    // Extends the selection from SelStart by Value characters.
    void SetSelLength(int value);
    void SelectAll();
    std::u16string SelText() const;
    // Replaces the selection with Text (typing does this), the caret after it.
    void SetSelText(const std::u16string& text);
    int CaretPos() const { return FCaret; }
    // True once the user changed the text since it was last set.
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    // Inner margins in pixels left and right of the text.
    int LeftMargin() const { return FLeftMargin; }
    int RightMargin() const { return FRightMargin; }
    void SetMargins(int left, int right);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    // Width of the whole text in the edit's font.
    int TextWidth();

    TNotifyEvent OnChange;

    void Dispatch(TMessage& message) override;

protected:
    std::string GetText() const override;
    void SetTextBuf(const std::string& value) override;
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void KeyDown(Word& key, TShiftState shift) override;
    void KeyPress(char16_t& key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    virtual void Change();
    // Where the caret goes and whether Shift drags the selection along.
    void MoveCaret(int position, bool extend);
    // A canvas with the edit's font for measuring at any time (the control's own canvas is
    // for painting).
    TCanvas* MeasureCanvas();

private:
    int CharX(int index);
    void UpdateCaret();
    std::unique_ptr<TBitmap> FMeasure;
    std::u16string FWideText;
    int FAnchor = 0;
    int FCaret = 0;
    int FScrollX = 0;
    bool FModified = false;
    bool FHasCaret = false;
    int FLeftMargin = 0;
    int FRightMargin = 0;
    TBorderStyle FBorderStyle = bsSingle;
};

class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;
    std::string ClassName() const override { return "TEdit"; }
};

} // namespace epc

#pragma once
// The editor control: the viewer with a caret, caret keys, clipboard editing, undo and redo,
// and events around every change.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/Icon.h"
#include "richtext/edit/RVERVData.h"
#include "richtext/view/RichView.h"

namespace epc {

inline constexpr const char* errRVNotSupportedInEditor = "Not supported in editor";

enum class TRVEditorOption {
    rvoClearTagOnStyleApp,
    rvoCtrlJumps,
    rvoDoNotWantReturns,
    rvoDoNotWantShiftReturns,
    rvoWantTabs,
    rvoAutoSwitchLang,
    rvoHideReadOnlyCaret,
    rvoNoImageResize
};
using TRVEditorOptions = TSet<TRVEditorOption>;

// Where the caret tried to leave the document.
enum class TRVGetOutDirection { rvdLeft, rvdUp, rvdRight, rvdDown, rvdTop, rvdBottom };

// The kind of step Undo (Redo) would take back; both kinds of typing groups read as typing.
enum class TRVUndoType { None, Delete, Insert, ParaStyle, Typing, TextStyle, ModifyItem, Custom };
TRVUndoType UndoTypeOfAction(uint8_t action);

// The clipboard format a paste takes.
enum class TRVPasteFormat { None, RVF, RTF, UnicodeText, Text, Bitmap, Metafile };

// ---- Reading clipboard blocks; every read stays inside the block.
// "RichView Format": an int32 length and that many bytes of RVF. A negative length is refused
// (false); a length past the block is cut to what the block holds.
bool ReadRVFClipboardBlock(const std::string& block, std::string& rvf);
// UTF-16 text cut at its first NUL (or at the block's end).
std::u16string ReadUnicodeClipboardBlock(const std::string& block);
// The folder of "SourceURL:" in an "HTML Format" block, as a base path for pictures of pasted
// RTF; empty when there is none.
std::string HtmlClipboardBasePath(const std::string& block);
// A metafile from its clipboard bytes; a Windows metafile that gives no resolution is taken at
// 1440 units per inch. Null when the bytes are no metafile.
std::unique_ptr<TMetafile> ReadMetafileClipboardBlock(const std::string& block);

class TCustomRichViewEdit : public TCustomRichView {
public:
    explicit TCustomRichViewEdit(TComponent* owner);
    ~TCustomRichViewEdit() override;
    std::string ClassName() const override { return "TCustomRichViewEdit"; }

    TRVEditRVData* EditData() const { return static_cast<TRVEditRVData*>(RVData()); }
    // The innermost editor of a chain of in-place editors (this one while none is open).
    TCustomRichViewEdit* GetTopEditor();
    // The cell editor a table of this document opened over it, and how to close it; the
    // table sets both and clears them when the cell editor goes.
    TRVScroller* GetInplaceEditor() const override { return FInplaceEditor; }
    TCustomRichViewEdit* InplaceEdit() const { return FInplaceEditor; }
    void DestroyInplaceEditor() override;
    // Hands the cell editor's undo and redo steps over to this editor's lists.
    void FinalizeInplaceUndo();
    // Closer (true) closes the cell editor; Closer (false) only hands its steps over.
    void SetInplaceEditor(TCustomRichViewEdit* editor, std::function<void(bool close)> closer);

    // ---- Properties.
    TRVEditorOptions EditorOptions{TRVEditorOption::rvoClearTagOnStyleApp};
    bool ReadOnly() const { return GetReadOnly(); }
    virtual bool GetReadOnly() const { return FReadOnly; }
    virtual void SetReadOnly(bool value);
    int UndoLimit() const { return EditData()->UndoList->Limit; }
    void SetUndoLimit(int value);
    bool Modified = false;
    // Any value but none raises "Not supported in editor".
    void SetTabNavigation(TRVTabNavigationType value);
    int CurTextStyleNo() const { return EditData()->CurTextStyleNo; }
    int CurParaStyleNo() const { return EditData()->CurParaStyleNo; }
    void SetCurTextStyleNo(int value, bool force = false);
    void SetCurParaStyleNo(int value, bool force = false);
    int CaretItemIndex() { return EditData()->CaretItemIndex(); }
    int CaretItemOffset() const { return EditData()->CaretItemOffset(); }
    void NoteParaMinWidth(int itemNo, int& width) { EditData()->NoteParaMinWidth(itemNo, width); }
    void ReformatAfterItemResize(int itemNo, int oldWidth) {
        EditData()->ReformatAfterItemResize(itemNo, oldWidth);
    }
    void ClearDocument() override;

    // ---- Changes.
    // While positive, OnChanging and OnChange stay quiet.
    int32_t ChangeLock = 0;
    virtual bool BeforeChange(bool quiet);
    virtual void NotifyChange(bool clearRedo);

    // ---- Undo and redo.
    bool CanUndo();
    bool CanRedo();
    virtual void Undo();
    virtual void Redo();
    TRVUndoType UndoAction();
    TRVUndoType RedoAction();
    // The caption a custom step was given (empty for the editor's own steps).
    std::string UndoName();
    std::string RedoName();

    // ---- Clipboard.
    virtual bool CanPaste();
    // The format Paste would take, in its order of preference.
    TRVPasteFormat GetPasteFormat();
    virtual void Paste();
    // Copies the selection and deletes it as one undoable step.
    void CutToClipboard();

    // ---- Events.
    std::function<void(TCustomRichViewEdit* sender, TRVGetOutDirection direction)> OnCaretGetOut;
    TNotifyEvent OnChange;
    std::function<void(TCustomRichViewEdit* sender, bool& canEdit)> OnChanging;
    TNotifyEvent OnCaretMove;
    TNotifyEvent OnCurParaStyleChanged;
    TNotifyEvent OnCurTextStyleChanged;
    std::function<void(TCustomRichViewEdit* sender, bool& doDefault)> OnPaste;
    using TRVStyleConversionEvent =
        std::function<void(TCustomRichViewEdit* sender, int styleNo, int userData,
                           bool appliedToText, int& newStyleNo)>;
    TRVStyleConversionEvent OnParaStyleConversion;
    TRVStyleConversionEvent OnStyleConversion;
    void AssignEditorEvents(const TCustomRichViewEdit& source);

    void FireCaretMove();
    void Dispatch(TMessage& message) override;

    // ---- Inserting at the caret, each one undo step in place of the selection. The stream
    // readers answer whether the stream was read whole (false: what an RVF stream held before
    // its failure stays, as the step; a failed RTF stream leaves nothing). These,
    // the clipboard and the style operations go to an open cell editor when there is one.
    virtual bool InsertRVFFromStream(TStream& stream);
    virtual bool InsertRTFFromStream(TStream& stream, const std::string& basePath);
    virtual void InsertTextW(const std::u16string& text);
    virtual void InsertText(const std::string& text);
    bool InsertRVFFromFile(const std::string& fileName);
    bool InsertRTFFromFile(const std::string& fileName);
    // The item is taken in any case; false when it was not inserted.
    bool InsertItem(std::unique_ptr<TCustomRVItemInfo> item, const std::string& name);
    bool InsertPicture(const std::string& name, std::unique_ptr<TGraphic> graphic,
                       TRVVAlign vAlign);

    // ---- Styles of the selection.
    void ApplyParaStyleToSelection(int paraNo);
    // Through OnStyleConversion / OnParaStyleConversion; nothing without the event.
    void ConvertSelectionTextStyles(int userData);
    void ConvertSelectionParaStyles(int userData);

protected:
    std::unique_ptr<TRichViewRVData> GetDataClass() override;
    void KeyDown(Word& key, TShiftState shift) override;
    void KeyPress(char16_t& key) override;
    // The caret moves with the text the view scrolled.
    void AfterVScroll() override;
    void AfterHScroll() override;
    // OnVScrolled / OnHScrolled, then the caret is drawn where the text went.
    virtual void VScrolled();
    virtual void HScrolled();
    // Deletes the selection as an undoable step.
    virtual void CutSelection();
    virtual void PastePicture(TRVPasteFormat format);

private:
    void RefreshCaretAfterScroll();
    bool MoveCaretByKey(Word key, TShiftState shift);
    // OnCaretGetOut for a caret key that could not move the caret.
    void FireCaretGetOut(Word key, bool ctrl);
    void WMGetDlgCode(TMessage& message);
    // The input method composes at the caret, in the caret's font.
    void PlaceComposition();
    void WMImeComposition(TMessage& message);
    // The current text style takes the charset of a new input language.
    void WMInputLangChange(TMessage& message);
    int CanPasteFormat(uint32_t format);
    // Runs Insert inside one insertion step (the selection deleted in it); a refused or failed
    // insertion takes the step back.
    bool BeginInsert(const std::function<bool(TRVEditRVData&)>& insert);
    // Undo (Redo with Redo): an open cell editor replays its own steps first.
    void ReplayStep(bool redo);
    bool FReadOnly = false;
    TCustomRichViewEdit* FInplaceEditor = nullptr;
    std::function<void(bool close)> FInplaceCloser;
};

// The editor with its properties published; no behaviour of its own.
class TRichViewEdit : public TCustomRichViewEdit {
public:
    using TCustomRichViewEdit::TCustomRichViewEdit;
    std::string ClassName() const override { return "TRichViewEdit"; }
};

} // namespace epc

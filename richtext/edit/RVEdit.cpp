// The editor control: keys, messages, clipboard routing, undo and redo.

#include "richtext/edit/RVEdit.h"

#include <algorithm>
#include <cstring>

#include "platform/controls/Clipbrd.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Streams.h"
#include "platform/core/Strings.h"
#include "platform/windows/Ime.h"
#include "richtext/document/RVUni.h"

namespace epc {

namespace {

constexpr const char* kRVFFormatName = "RichView Format";
constexpr const char* kRTFFormatName = "Rich Text Format";
constexpr const char* kHTMLFormatName = "HTML Format";

uint32_t RVFFormat() {
    return RegisterClipboardFormatA(kRVFFormatName);
}
uint32_t RTFFormat() {
    return RegisterClipboardFormatA(kRTFFormatName);
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    const size_t n = std::strlen(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(uint8_t(s[i])) != std::tolower(uint8_t(prefix[i]))) return false;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Clipboard blocks.

bool ReadRVFClipboardBlock(const std::string& block, std::string& rvf) {
    rvf.clear();
    if (block.size() < 4) return false;
    const int32_t length =
        int32_t(uint32_t(uint8_t(block[0])) | (uint32_t(uint8_t(block[1])) << 8) |
                (uint32_t(uint8_t(block[2])) << 16) | (uint32_t(uint8_t(block[3])) << 24));
    if (length < 0) return false;
    // The declared length is never trusted beyond what the block holds.
    rvf = block.substr(4, std::min(size_t(length), block.size() - 4));
    return true;
}

std::u16string ReadUnicodeClipboardBlock(const std::string& block) {
    std::u16string text = LEBytesToWide(block);
    const size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    return text;
}

std::unique_ptr<TMetafile> ReadMetafileClipboardBlock(const std::string& block) {
    constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
    constexpr int kTwipsPerInch = 1440;
    constexpr size_t kPlaceableHeaderSize = 22;
    std::string bytes = block;
    auto u16At = [&bytes](size_t at) {
        return uint16_t(uint8_t(bytes[at]) | (uint8_t(bytes[at + 1]) << 8));
    };
    auto setU16At = [&bytes](size_t at, uint16_t value) {
        bytes[at] = char(value & 0xFF);
        bytes[at + 1] = char(value >> 8);
    };
    const bool placeable = bytes.size() >= kPlaceableHeaderSize &&
                           (uint32_t(u16At(0)) | (uint32_t(u16At(2)) << 16)) == kPlaceableKey;
    if (placeable && u16At(14) == 0) {
        setU16At(14, kTwipsPerInch);
        // The header's checksum is the XOR of its first ten words.
        uint16_t sum = 0;
        for (size_t at = 0; at < 20; at += 2)
            sum ^= u16At(at);
        setU16At(20, sum);
    }
    auto metafile = std::make_unique<TMetafile>();
    try {
        metafile->LoadFromString(bytes);
    } catch (const EInvalidGraphic&) {
        return nullptr;
    }
    if (!metafile->Enhanced() && metafile->Inch() == 0) metafile->SetInch(kTwipsPerInch);
    return metafile;
}

std::string HtmlClipboardBasePath(const std::string& block) {
    static const std::string kKey = "SourceURL:";
    const size_t at = block.find(kKey);
    if (at == std::string::npos) return {};
    const size_t from = at + kKey.size();
    size_t to = block.find_first_of(std::string("\0\n\r", 3), from);
    if (to == std::string::npos) to = block.size();
    // The block is UTF-8; file names of pasted RTF are in the ANSI code page.
    std::string path = WideToAnsi(Utf8ToUtf16(block.substr(from, to - from)));
    bool http = false;
    if (StartsWithNoCase(path, "file://")) {
        path.erase(0, 7);
    } else if (StartsWithNoCase(path, "http://")) {
        path.erase(0, 7);
        http = true;
    }
    std::replace(path.begin(), path.end(), '/', '\\');
    const size_t cut = path.find_last_of("\\:");
    path = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    if (http) {
        std::replace(path.begin(), path.end(), '\\', '/');
        path = "http://" + path;
    }
    return path;
}

// ---------------------------------------------------------------------------------------------
// Construction.

TCustomRichViewEdit::TCustomRichViewEdit(TComponent* owner) : TCustomRichView(owner) {
    // The base constructor made a viewer's data: the editor's own class replaces it.
    CreateData();
    // A saved form carries the editor's only accepted value, so it loads again.
    EditData()->TabNavigation = TRVTabNavigationType::rvtnNone;
    // The caret keys move the caret instead of scrolling the view.
    KeyboardScroll = false;
    // A space typed at a line's end is text the caret stands after: the editor keeps every
    // space in its lines instead of dropping those at line ends.
    Flags.Exclude(TRVFlag::TrimSpaces);
    SetCursor(crIBeam);
    EditorOptions = TRVEditorOptions{TRVEditorOption::rvoClearTagOnStyleApp};
    SetUndoLimit(-1);
}

TCustomRichViewEdit::~TCustomRichViewEdit() {
    // The cell editor gives its items back while this editor is still whole.
    DestroyInplaceEditor();
}

std::unique_ptr<TRichViewRVData> TCustomRichViewEdit::GetDataClass() {
    return std::make_unique<TRVEditRVData>(this);
}

TCustomRichViewEdit* TCustomRichViewEdit::GetTopEditor() {
    return FInplaceEditor ? FInplaceEditor->GetTopEditor() : this;
}

void TCustomRichViewEdit::SetInplaceEditor(TCustomRichViewEdit* editor,
                                           std::function<void(bool close)> closer) {
    FInplaceEditor = editor;
    FInplaceCloser = editor ? std::move(closer) : nullptr;
}

void TCustomRichViewEdit::DestroyInplaceEditor() {
    if (!FInplaceEditor || !FInplaceCloser) return;
    // The closer clears the reference; a copy keeps it alive while it runs.
    std::function<void(bool)> closer = FInplaceCloser;
    closer(true);
}

void TCustomRichViewEdit::FinalizeInplaceUndo() {
    if (FInplaceEditor && FInplaceCloser) FInplaceCloser(false);
}

void TCustomRichViewEdit::SetReadOnly(bool value) {
    if (FReadOnly == value) return;
    FReadOnly = value;
    if (EditorOptions.Contains(TRVEditorOption::rvoHideReadOnlyCaret) && Style() &&
        EditData()->CaretDrawItemNo >= 0) {
        if (value)
            EditData()->HideCaret();
        else
            EditData()->ShowCaret(false, false, true);
    }
}

void TCustomRichViewEdit::SetUndoLimit(int value) {
    EditData()->UndoList->Limit = value;
    EditData()->RedoList->Limit = value;
}

void TCustomRichViewEdit::SetTabNavigation(TRVTabNavigationType value) {
    if (value != TRVTabNavigationType::rvtnNone) throw ERichViewError(errRVNotSupportedInEditor);
    EditData()->TabNavigation = value;
}

void TCustomRichViewEdit::SetCurTextStyleNo(int value, bool force) {
    if (value == EditData()->CurTextStyleNo && !force) return;
    EditData()->CurTextStyleNo = value;
    if (OnCurTextStyleChanged) OnCurTextStyleChanged(this);
}

void TCustomRichViewEdit::SetCurParaStyleNo(int value, bool force) {
    if (value == EditData()->CurParaStyleNo && !force) return;
    EditData()->CurParaStyleNo = value;
    if (OnCurParaStyleChanged) OnCurParaStyleChanged(this);
}

void TCustomRichViewEdit::ClearDocument() {
    EditData()->ClearDocument();
    TCustomRichView::ClearDocument();
}

void TCustomRichViewEdit::FireCaretMove() {
    if (OnCaretMove) OnCaretMove(this);
}

void TCustomRichViewEdit::AssignEditorEvents(const TCustomRichViewEdit& source) {
    OnStyleConversion = source.OnStyleConversion;
    OnParaStyleConversion = source.OnParaStyleConversion;
    OnCaretGetOut = source.OnCaretGetOut;
    OnChanging = source.OnChanging;
    OnChange = source.OnChange;
    OnCaretMove = source.OnCaretMove;
    OnCurParaStyleChanged = source.OnCurParaStyleChanged;
    OnCurTextStyleChanged = source.OnCurTextStyleChanged;
    OnPaste = source.OnPaste;
}

// ---------------------------------------------------------------------------------------------
// Changes.

bool TCustomRichViewEdit::BeforeChange(bool quiet) {
    bool result = Style() != nullptr && !ReadOnly();
    // Inside a modification that already asked (it holds the undo grouping), a step of it is
    // not asked about again.
    const bool modifying = EditData()->UndoList->GroupModeLevel > 0;
    if (result && !(modifying && !quiet) && ChangeLock <= 0 && OnChanging) OnChanging(this, result);
    if (result)
        CaretItemIndex(); // the caret's item exists before anything changes
    else
        EditData()->BeepIfUseSound();
    return result;
}

void TCustomRichViewEdit::NotifyChange(bool clearRedo) {
    Modified = true;
    if (clearRedo) EditData()->RedoList->Clear();
    if (ChangeLock <= 0 && OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------------------------
// Undo and redo.

bool TCustomRichViewEdit::CanUndo() {
    if (FInplaceEditor && FInplaceEditor->CanUndo()) return true;
    return EditData()->UndoList->Count() > 0;
}

bool TCustomRichViewEdit::CanRedo() {
    if (FInplaceEditor && FInplaceEditor->CanRedo()) return true;
    return EditData()->RedoList->Count() > 0;
}

TRVUndoType UndoTypeOfAction(uint8_t action) {
    switch (action) {
    case 0:
        return TRVUndoType::None;
    case rvutDelete:
        return TRVUndoType::Delete;
    case rvutInsert:
        return TRVUndoType::Insert;
    case rvutPara:
        return TRVUndoType::ParaStyle;
    case rvutTyping:
    case rvutTypingRun:
        return TRVUndoType::Typing;
    case rvutStyleNo:
        return TRVUndoType::TextStyle;
    case rvutModifyItem:
        return TRVUndoType::ModifyItem;
    default:
        return TRVUndoType::Custom;
    }
}

TRVUndoType TCustomRichViewEdit::UndoAction() {
    return UndoTypeOfAction(EditData()->UndoList->CurrentAction());
}

TRVUndoType TCustomRichViewEdit::RedoAction() {
    return UndoTypeOfAction(EditData()->RedoList->CurrentAction());
}

std::string TCustomRichViewEdit::UndoName() {
    const TRVUndoInfos* group = EditData()->UndoList->LastGroup();
    return group ? group->Caption : std::string();
}

std::string TCustomRichViewEdit::RedoName() {
    const TRVUndoInfos* group = EditData()->RedoList->LastGroup();
    return group ? group->Caption : std::string();
}

void TCustomRichViewEdit::Undo() {
    ReplayStep(false);
}

void TCustomRichViewEdit::Redo() {
    ReplayStep(true);
}

void TCustomRichViewEdit::ReplayStep(bool redo) {
    if (ReadOnly()) return;
    TRVEditRVData* data = EditData();
    if (FInplaceEditor) {
        if (redo ? FInplaceEditor->CanRedo() : FInplaceEditor->CanUndo()) {
            if (redo)
                FInplaceEditor->Redo();
            else
                FInplaceEditor->Undo();
        } else if ((redo ? data->RedoList : data->UndoList)->Count() > 0) {
            // Our own step, once the cell editor has gone (it may be running this call).
            if (HandleAllocated())
                PostMessage(Handle(), redo ? WM_RVREDOFROMINPLACE : WM_RVUNDOFROMINPLACE, 0, 0);
        }
        return;
    }
    if (!(redo ? CanRedo() : CanUndo())) return;
    if (redo)
        data->Redo();
    else
        data->Undo();
    NotifyChange(false);
}

// ---------------------------------------------------------------------------------------------
// Clipboard.

bool TCustomRichViewEdit::CanPaste() {
    return IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_UNICODETEXT) ||
           IsClipboardFormatAvailable(CF_BITMAP) || IsClipboardFormatAvailable(CF_METAFILEPICT) ||
           IsClipboardFormatAvailable(RTFFormat()) || IsClipboardFormatAvailable(RVFFormat());
}

TRVPasteFormat TCustomRichViewEdit::GetPasteFormat() {
    if (IsClipboardFormatAvailable(RVFFormat())) return TRVPasteFormat::RVF;
    if (IsClipboardFormatAvailable(RTFFormat())) return TRVPasteFormat::RTF;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        // The style the pasted text takes, also when the caret stands at a picture.
        const int styleNo = CurTextStyleNo();
        const bool unicodeStyle =
            styleNo >= 0 && Style() && Style()->TextStyles.GetItem(styleNo).Unicode;
        if (!unicodeStyle && IsClipboardFormatAvailable(CF_TEXT)) return TRVPasteFormat::Text;
        return TRVPasteFormat::UnicodeText;
    }
    if (IsClipboardFormatAvailable(CF_TEXT)) return TRVPasteFormat::Text;
    if (IsClipboardFormatAvailable(CF_BITMAP)) return TRVPasteFormat::Bitmap;
    if (IsClipboardFormatAvailable(CF_METAFILEPICT)) return TRVPasteFormat::Metafile;
    return TRVPasteFormat::None;
}

void TCustomRichViewEdit::Paste() {
    if (FInplaceEditor) return FInplaceEditor->Paste();
    if (!BeforeChange(false)) return;
    if (OnPaste) {
        bool doDefault = true;
        OnPaste(this, doDefault);
        if (!doDefault) return;
    }
    TClipboard* clipboard = Clipboard();
    switch (GetPasteFormat()) {
    case TRVPasteFormat::RVF: {
        std::string rvf;
        if (!ReadRVFClipboardBlock(clipboard->GetBuffer(RVFFormat()), rvf)) return;
        TMemoryStream stream;
        stream.Write(rvf.data(), int64_t(rvf.size()));
        stream.SetPosition(0);
        InsertRVFFromStream(stream);
        break;
    }
    case TRVPasteFormat::RTF: {
        const std::string rtf = clipboard->GetBuffer(RTFFormat());
        std::string basePath;
        const uint32_t html = RegisterClipboardFormatA(kHTMLFormatName);
        if (IsClipboardFormatAvailable(html))
            basePath = HtmlClipboardBasePath(clipboard->GetBuffer(html));
        TMemoryStream stream;
        stream.Write(rtf.data(), int64_t(rtf.size()));
        stream.SetPosition(0);
        InsertRTFFromStream(stream, basePath);
        break;
    }
    case TRVPasteFormat::UnicodeText:
        InsertTextW(ReadUnicodeClipboardBlock(clipboard->GetBuffer(CF_UNICODETEXT)));
        break;
    case TRVPasteFormat::Text:
        InsertText(clipboard->AsText());
        break;
    case TRVPasteFormat::Bitmap:
    case TRVPasteFormat::Metafile:
        PastePicture(GetPasteFormat());
        break;
    case TRVPasteFormat::None:
        break;
    }
}

void TCustomRichViewEdit::CutSelection() {
    EditData()->DeleteSelection();
}

void TCustomRichViewEdit::CutToClipboard() {
    if (FInplaceEditor) return FInplaceEditor->CutToClipboard();
    if (!BeforeChange(false) || !HasSelection()) return;
    CopyToClipboard();
    CutSelection();
    NotifyChange(true);
}

int TCustomRichViewEdit::CanPasteFormat(uint32_t format) {
    if (ReadOnly()) return 0;
    if (format == 0) return CanPaste() ? 1 : 0;
    return IsClipboardFormatAvailable(format) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Keys and messages.

void TCustomRichViewEdit::FireCaretGetOut(Word key, bool ctrl) {
    TRVEditRVData* data = EditData();
    // A key that stays put inside the document (Home at a later line's start) leaves nothing.
    int first = 0, last = -1;
    if (data->CaretDrawItemNo >= 0) data->GetScreenLineBounds(data->CaretDrawItemNo, first, last);
    const bool onFirstLine = first == 0, onLastLine = last == data->DrawItems.Count() - 1;
    const bool atStart = data->IsCaretAtLineStart() && onFirstLine;
    const bool atEnd = data->IsCaretAtLineEnd() && onLastLine;
    using D = TRVGetOutDirection;
    switch (key) {
    case VK_LEFT:
        OnCaretGetOut(this, D::rvdLeft);
        break;
    case VK_RIGHT:
        OnCaretGetOut(this, D::rvdRight);
        break;
    case VK_UP:
        OnCaretGetOut(this, D::rvdUp);
        break;
    case VK_DOWN:
        OnCaretGetOut(this, D::rvdDown);
        break;
    // Home and End go to their line's ends and no further; only the document's own ends
    // (Ctrl) lead out of it.
    case VK_HOME:
        if (atStart && ctrl) OnCaretGetOut(this, D::rvdTop);
        break;
    case VK_END:
        if (atEnd && ctrl) OnCaretGetOut(this, D::rvdBottom);
        break;
    case VK_PRIOR:
        if (onFirstLine) OnCaretGetOut(this, D::rvdTop);
        break;
    case VK_NEXT:
        if (onLastLine) OnCaretGetOut(this, D::rvdBottom);
        break;
    default:
        break;
    }
}

bool TCustomRichViewEdit::MoveCaretByKey(Word key, TShiftState shift) {
    TRVEditRVData* data = EditData();
    const bool ctrl = shift.Contains(ssCtrl);
    const bool selecting = shift.Contains(ssShift);
    if (selecting) data->SetSelectionAnchorAtCaret();
    const int oldDrawItemNo = data->CaretDrawItemNo, oldStop = data->CaretOffs;
    const bool hadInplaceEditor = GetInplaceEditor() != nullptr;
    const bool rtl = GetBiDiMode() == TRVBiDiMode::rvbdRightToLeft;
    if (rtl && (key == VK_LEFT || key == VK_RIGHT)) key = key == VK_LEFT ? VK_RIGHT : VK_LEFT;
    switch (key) {
    case VK_HOME:
        data->GoLineStart(ctrl);
        break;
    case VK_END:
        data->GoLineEnd(ctrl);
        break;
    case VK_LEFT:
        data->GoLeft(ctrl, selecting);
        break;
    case VK_RIGHT:
        data->GoRight(ctrl, selecting);
        break;
    case VK_UP:
        data->GoLineUp(selecting);
        break;
    case VK_DOWN:
        data->GoLineDown(selecting);
        break;
    case VK_PRIOR:
        data->GoPageUp();
        break;
    case VK_NEXT:
        data->GoPageDown();
        break;
    default:
        return false;
    }
    // An item took the caret into an editor of its own (a table cell).
    if (!hadInplaceEditor && GetInplaceEditor()) return true;
    if (selecting) {
        data->ExtendSelectionToCaret();
    } else if (data->SelectionExists(false, false)) {
        data->Deselect(nullptr, true);
        data->DoSelect();
    }
    if (data->CaretDrawItemNo == oldDrawItemNo && data->CaretOffs == oldStop && OnCaretGetOut)
        FireCaretGetOut(key, ctrl);
    return true;
}

void TCustomRichViewEdit::KeyDown(Word& key, TShiftState shift) {
    TCustomRichView::KeyDown(key, shift);
    if (key == 0) return;
    if (key == VK_RETURN && EditorOptions.Contains(TRVEditorOption::rvoDoNotWantReturns)) {
        key = 0;
        return;
    }
    const bool undoKey =
        (key == 'Z' && shift.Contains(ssCtrl)) || (key == VK_BACK && shift.Contains(ssAlt));
    if (undoKey) {
        if (shift.Contains(ssShift))
            Redo();
        else
            Undo();
        key = 0;
        return;
    }
    if (IsCutShortcut(key, shift)) {
        Perform(WM_CUT, 0, 0);
        key = 0;
        return;
    }
    if (IsPasteShortcut(key, shift)) {
        Paste();
        key = 0;
        return;
    }
    if (key == VK_ESCAPE) {
        if (EditData()->CancelByEscape()) key = 0;
        return;
    }
    if (!Style() || EditData()->CaretDrawItemNo < 0) return;
    if ((key == VK_RETURN || key == VK_BACK || key == VK_DELETE) && !shift.Contains(ssAlt)) {
        const Word pressed = key;
        key = 0;
        if (!BeforeChange(false)) return;
        TRVEditRVData* data = EditData();
        const bool selection = data->SelectionExists(false, false);
        if (pressed == VK_RETURN) {
            if (selection && !data->DeleteSelection()) return;
            data->EnterKey(shift.Contains(ssShift) &&
                           !EditorOptions.Contains(TRVEditorOption::rvoDoNotWantShiftReturns));
        } else if (selection) {
            data->DeleteSelection();
        } else if (pressed == VK_BACK) {
            data->BackspaceKey(shift.Contains(ssCtrl));
        } else {
            data->DeleteKey(shift.Contains(ssCtrl));
        }
        return;
    }
    if (MoveCaretByKey(key, shift)) key = 0;
}

void TCustomRichViewEdit::KeyPress(char16_t& key) {
    TCustomRichView::KeyPress(key);
    if (ReadOnly()) {
        key = 0;
        return;
    }
    if (key == u'\r' && EditorOptions.Contains(TRVEditorOption::rvoDoNotWantReturns)) key = 0;
    if (key == 0 || (key < 32 && key != u'\t') || key == 127) return;
    TRVEditRVData* data = EditData();
    if (!Style() || data->CaretDrawItemNo < 0) return;
    const char16_t typed = key;
    key = 0;
    if (!BeforeChange(false)) return;
    // The character in the encoding of the style it is typed in.
    const int styleNo = Style()->ValidTextStyleNo(data->CurTextStyleNo);
    std::string text{char(typed & 0xFF), char(typed >> 8)};
    if (!Style()->TextStyles.GetItem(styleNo).Unicode) {
        text = UnicodeToAnsiCP(text, data->CodePageOfStyle(styleNo));
        if (text.empty()) return;
        // One byte is a typed ANSI character.
        if (text.size() == 1) {
            data->KeyPressChar(text[0]);
            return;
        }
    }
    data->InsertTyped(text);
}

void TCustomRichViewEdit::AfterVScroll() {
    VScrolled();
}

void TCustomRichViewEdit::AfterHScroll() {
    HScrolled();
}

void TCustomRichViewEdit::VScrolled() {
    TCustomRichView::AfterVScroll();
    RefreshCaretAfterScroll();
}

void TCustomRichViewEdit::HScrolled() {
    TCustomRichView::AfterHScroll();
    RefreshCaretAfterScroll();
}

void TCustomRichViewEdit::RefreshCaretAfterScroll() {
    TRVEditRVData* data = EditData();
    if (data->XorFeedbackShown()) data->HideXorFeedback();
    if (Style() && data->CaretDrawItemNo >= 0) data->ShowCaret(false, false, true);
}

void TCustomRichViewEdit::WMGetDlgCode(TMessage& message) {
    message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
    if (!EditorOptions.Contains(TRVEditorOption::rvoDoNotWantReturns))
        message.Result |= DLGC_WANTALLKEYS;
    if (EditorOptions.Contains(TRVEditorOption::rvoWantTabs)) message.Result |= DLGC_WANTTAB;
}

void TCustomRichViewEdit::PlaceComposition() {
    TRVEditRVData* data = EditData();
    if (!Style() || !HandleAllocated() || data->CaretDrawItemNo < 0) return;
    HIMC context = ImmGetContext(Handle());
    if (!context) return;
    auto release = epc::Finally([&] { ImmReleaseContext(Handle(), context); });
    COMPOSITIONFORM form;
    form.dwStyle = CFS_POINT;
    form.ptCurrentPos = data->GetCaretPoint();
    ImmSetCompositionWindow(context, &form);
    const int styleNo = CurTextStyleNo();
    if (TCanvas* canvas = data->GetCanvas(); canvas && Style()->HasTextStyle(styleNo)) {
        Style()->ApplyStyle(canvas, styleNo, GetBiDiMode());
        const LOGFONTW font = canvas->Font()->LogFont();
        ImmSetCompositionFontW(context, &font);
    }
}

void TCustomRichViewEdit::WMImeComposition(TMessage& message) {
    if ((DWORD(message.LParam) & GCS_RESULTSTR) == 0 || !HandleAllocated()) {
        PlaceComposition();
        return;
    }
    HIMC context = ImmGetContext(Handle());
    if (!context) return;
    auto release = epc::Finally([&] { ImmReleaseContext(Handle(), context); });
    const LONG size = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
    if (size <= 0) return;
    std::u16string text(size_t(size) / 2, u'\0');
    const LONG got =
        ImmGetCompositionStringW(context, GCS_RESULTSTR, text.data(), DWORD(text.size() * 2));
    text.resize(size_t(std::clamp<LONG>(got, 0, LONG(text.size() * 2))) / 2);
    if (!text.empty() && !ReadOnly()) InsertTextW(text);
}

void TCustomRichViewEdit::WMInputLangChange(TMessage& message) {
    if (!EditorOptions.Contains(TRVEditorOption::rvoAutoSwitchLang) || !Style()) return;
    TFontInfos& styles = Style()->TextStyles;
    const int current = CurTextStyleNo();
    if (current < 0 || current >= styles.Count()) return;
    const int charset = int(uint8_t(message.WParam));
    if (styles.GetItem(current).Charset == charset) return;
    int styleNo = styles.FindStyleWithCharset(current, charset);
    if (styleNo < 0) {
        // No style of that charset yet: one like the current, in the new charset.
        TFontInfo copy = styles.GetItem(current);
        copy.Charset = charset;
        styles.Add() = copy;
        styleNo = styles.Count() - 1;
    }
    SetCurTextStyleNo(styleNo);
}

void TCustomRichViewEdit::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_GETDLGCODE:
        WMGetDlgCode(message);
        return;
    case WM_SETFOCUS:
        TCustomRichView::Dispatch(message);
        if (Style()) EditData()->ShowCaret(false, false, true);
        return;
    case WM_KILLFOCUS:
        if (EditData()->CaretHeight != 0) {
            epc::HideCaret(Handle());
            DestroyCaret();
            EditData()->CaretHeight = 0;
        }
        TCustomRichView::Dispatch(message);
        return;
    case WM_CUT:
        CutToClipboard();
        return;
    case WM_PASTE:
        Paste();
        return;
    case WM_CLEAR:
        return;
    case WM_IME_STARTCOMPOSITION:
        PlaceComposition();
        break;
    case WM_IME_COMPOSITION:
        WMImeComposition(message);
        return;
    case WM_INPUTLANGCHANGE:
        WMInputLangChange(message);
        break;
    case WM_UNDO:
    case EM_UNDO:
        message.Result = CanUndo() ? 1 : 0;
        Undo();
        return;
    case EM_REDO:
        message.Result = CanRedo() ? 1 : 0;
        Redo();
        return;
    case EM_CANUNDO:
        message.Result = CanUndo() ? 1 : 0;
        return;
    case EM_CANREDO:
        message.Result = CanRedo() ? 1 : 0;
        return;
    case EM_CANPASTE:
        message.Result = CanPasteFormat(uint32_t(message.WParam));
        return;
    case WM_SYSCHAR:
        if (message.WParam == VK_BACK && UndoLimit() != 0) return;
        break;
    case WM_RVUNDOFROMINPLACE:
        DestroyInplaceEditor();
        Undo();
        return;
    case WM_RVREDOFROMINPLACE:
        DestroyInplaceEditor();
        Redo();
        return;
    default:
        break;
    }
    TCustomRichView::Dispatch(message);
}

} // namespace epc

// The editor driven as a person would: caret stops, caret keys with and without Shift, key
// routing, the platform caret, the clipboard formats a paste takes, read-only mode, the
// defaults and the undo routing.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/controls/Clipbrd.h"
#include "platform/controls/Forms.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Bitmap.h"
#include "platform/testing/UserActions.h"
#include "platform/windows/Ime.h"
#include "richtext/edit/RVEdit.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc {
namespace {

// Cells of the fixed face are 10 x 20 pixels; text starts at the 5-pixel margin.
using test::kFixedFace;

// Records what a paste hands to the insertion layer.
class TRecordingEdit : public TRichViewEdit {
public:
    using TRichViewEdit::TRichViewEdit;
    std::vector<std::string> Inserted;

protected:
    bool InsertRVFFromStream(TStream& stream) override {
        std::string bytes(size_t(stream.Size()), '\0');
        stream.Read(bytes.data(), int64_t(bytes.size()));
        Inserted.push_back("rvf:" + bytes);
        return true;
    }
    bool InsertRTFFromStream(TStream& /*stream*/, const std::string& basePath) override {
        Inserted.push_back("rtf:" + basePath);
        return true;
    }
    void InsertTextW(const std::u16string& text) override {
        Inserted.push_back("w:" + std::string(text.begin(), text.end()));
    }
    void InsertText(const std::string& text) override { Inserted.push_back("a:" + text); }
};

// A change record that does nothing when replayed.
class TNopRecord : public TRVUndoInfo {};

class EditTest : public test::EditorOnFormFixture<TRecordingEdit> {
protected:
    void SetUp() override {
        EditorOnFormFixture::SetUp();
        AddEditor(10, 10, 300, 200);
        Edit->OnCaretGetOut = [this](TCustomRichViewEdit*, TRVGetOutDirection d) {
            GetOuts.push_back(d);
        };
    }
    void Press(Word key, TShiftState shift = {}) { testing::PressKey(key, shift); }

    std::vector<TRVGetOutDirection> GetOuts;
};

using V = std::vector<int>;

TEST_F(EditTest, DefaultsAndTabNavigationOfTheEditor) {
    EXPECT_EQ(Edit->EditorOptions, TRVEditorOptions{TRVEditorOption::rvoClearTagOnStyleApp});
    EXPECT_EQ(Edit->UndoLimit(), -1);
    EXPECT_FALSE(Edit->ReadOnly());
    EXPECT_EQ(Edit->Cursor(), crIBeam);
    EXPECT_STREQ(Data()->ClassName().c_str(), "TRVEditRVData");
    // The only accepted value is the one the editor starts with.
    EXPECT_EQ(Edit->TabNavigation(), TRVTabNavigationType::rvtnNone);
    EXPECT_NO_THROW(Edit->SetTabNavigation(TRVTabNavigationType::rvtnNone));
    try {
        Edit->SetTabNavigation(TRVTabNavigationType::rvtnTab);
        FAIL();
    } catch (const ERichViewError& e) {
        EXPECT_STREQ(e.what(), "Not supported in editor");
    }
    EXPECT_EQ(Data()->UndoDest, rvudNone);
    EXPECT_EQ(Data()->CaretDrawItemNo, -1);
}

TEST_F(EditTest, DialogCodeFollowsTheReturnAndTabOptions) {
    EXPECT_EQ(Edit->Perform(WM_GETDLGCODE, 0, 0), 129 | DLGC_WANTALLKEYS);
    Edit->EditorOptions.Include(TRVEditorOption::rvoDoNotWantReturns);
    EXPECT_EQ(Edit->Perform(WM_GETDLGCODE, 0, 0), 129);
    Edit->EditorOptions.Include(TRVEditorOption::rvoWantTabs);
    EXPECT_EQ(Edit->Perform(WM_GETDLGCODE, 0, 0), 129 | DLGC_WANTTAB);
}

TEST_F(EditTest, CaretStopsOfALineAndThePlatformCaret) {
    Edit->AppendTextParagraph("hello", 0, 0);
    Show();
    ASSERT_EQ(Data()->CharEnds.size(), 6u);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(Data()->CharEnds[size_t(k)].X, 5 + 10 * k);
        EXPECT_EQ(Data()->CharEnds[size_t(k)].Offset, k + 1);
    }
    EXPECT_EQ(CaretPos(), (V{0, 1}));
    TCaretState caret = testing::Caret();
    EXPECT_TRUE(caret.Shown());
    EXPECT_EQ(caret.Height, 22); // the line's 20 pixels and 2 above
    EXPECT_EQ(caret.Pos.X, 5);
    EXPECT_EQ(caret.Pos.Y, 5 + 20 - 22);
    Press(VK_RIGHT);
    EXPECT_EQ(testing::Caret().Pos.X, 15);
    // Losing the focus takes the platform caret away.
    auto* other = new TRichView(Form);
    other->SetParent(Form);
    other->SetBounds(10, 220, 100, 40);
    other->SetFocus();
    testing::Pump();
    EXPECT_FALSE(testing::Caret().Shown());
}

TEST_F(EditTest, StopsAroundAPictureAndATallCaretIsCut) {
    Edit->AppendTextParagraph("ab", 0, 0);
    Edit->AppendPicture("tall", std::make_unique<TBitmap>(30, 1200), -1);
    Show();
    Press(VK_END);
    ASSERT_EQ(Data()->CharEnds.size(), 4u); // a, b, the picture's left (shared) and its right
    const TRVCharPos& after = Data()->CharEnds[3];
    EXPECT_EQ(after.Offset, 1);
    EXPECT_EQ(after.MoveCaret, 2); // drawn a pixel right of the picture
    const TRVDrawLineInfo* picture = Data()->DrawItems[after.DrawItemNo];
    EXPECT_EQ(after.X, picture->Left + picture->Width);
    EXPECT_EQ(CaretPos(), (V{1, 1}));
    EXPECT_EQ(testing::Caret().Height, 1000);
    EXPECT_EQ(Data()->GetCaretPoint().X, after.X + 1);
    Press(VK_LEFT);
    EXPECT_EQ(CaretPos(), (V{0, 3})); // the stop between the text and the picture
    EXPECT_EQ(Data()->CharEnds[2].MoveCaret, 1);
}

TEST_F(EditTest, AnEmptyDocumentGetsOneEmptyItemWithOneStop) {
    Show();
    ASSERT_EQ(Edit->GetItemCount(), 1);
    EXPECT_EQ(Edit->GetItemTextUnicode(0), u"");
    EXPECT_EQ(Data()->CharEnds.size(), 1u);
    EXPECT_EQ(CaretPos(), (V{0, 1}));
}

TEST_F(EditTest, CharacterWordAndLineEndMoves) {
    Edit->AppendTextParagraph("one two  three", 0, 0);
    Show();
    Press(VK_RIGHT);
    Press(VK_RIGHT);
    EXPECT_EQ(CaretPos(), (V{0, 3}));
    Press(VK_RIGHT, {ssCtrl});
    EXPECT_EQ(CaretPos(), (V{0, 5})); // before "two"
    Press(VK_RIGHT, {ssCtrl});
    EXPECT_EQ(CaretPos(), (V{0, 10})); // before "three", past both spaces
    Press(VK_LEFT, {ssCtrl});
    EXPECT_EQ(CaretPos(), (V{0, 5}));
    Press(VK_LEFT, {ssCtrl});
    EXPECT_EQ(CaretPos(), (V{0, 1}));
    Press(VK_END);
    EXPECT_EQ(CaretPos(), (V{0, 15}));
    EXPECT_TRUE(GetOuts.empty());
    Press(VK_RIGHT, {ssCtrl}); // nowhere to go
    EXPECT_EQ(CaretPos(), (V{0, 15}));
    Press(VK_HOME);
    EXPECT_EQ(CaretPos(), (V{0, 1}));
    Press(VK_LEFT);
    EXPECT_EQ(CaretPos(), (V{0, 1}));
    EXPECT_EQ(GetOuts, (std::vector<TRVGetOutDirection>{TRVGetOutDirection::rvdRight,
                                                        TRVGetOutDirection::rvdLeft}));
}

TEST_F(EditTest, MovesAcrossLinesParagraphsAndTheDocumentEnds) {
    Edit->AppendTextParagraph("abcdef", 0, 0);
    Edit->AppendTextParagraph("xy", 0, 0);
    Edit->AppendTextParagraph("klmnopq", 0, 0);
    Show();
    Press(VK_RIGHT);
    Press(VK_RIGHT);
    Press(VK_RIGHT);
    Press(VK_DOWN); // the short line: its end
    EXPECT_EQ(CaretPos(), (V{1, 3}));
    Press(VK_DOWN); // keeps the x of the caret, not of the goal
    EXPECT_EQ(CaretPos(), (V{2, 3}));
    Press(VK_UP);
    Press(VK_UP);
    EXPECT_EQ(CaretPos(), (V{0, 3}));
    // Up on the first line leaves the caret; with Shift it goes to the line start.
    Press(VK_UP);
    EXPECT_EQ(CaretPos(), (V{0, 3}));
    Press(VK_UP, {ssShift});
    EXPECT_EQ(CaretPos(), (V{0, 1}));
    Press(VK_END, {ssCtrl});
    EXPECT_EQ(CaretPos(), (V{2, 8}));
    Press(VK_RIGHT); // at the very end: stays
    EXPECT_EQ(CaretPos(), (V{2, 8}));
    Press(VK_RIGHT, {ssShift});
    Press(VK_LEFT);
    Press(VK_LEFT);
    Press(VK_LEFT, {ssCtrl});
    Press(VK_HOME);
    Press(VK_LEFT); // from a line start to the previous line's end
    EXPECT_EQ(CaretPos(), (V{1, 3}));
    Press(VK_RIGHT);
    EXPECT_EQ(CaretPos(), (V{2, 1}));
    Press(VK_HOME, {ssCtrl});
    EXPECT_EQ(CaretPos(), (V{0, 1}));
}

TEST_F(EditTest, HomeEndAndPageKeysReportLeavingOnlyAtTheDocumentEnds) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Edit->AppendTextParagraph("de", 0, 0);
    Show();
    using D = TRVGetOutDirection;
    Press(VK_HOME, {ssCtrl});
    Press(VK_HOME); // Home never goes past its line's start
    Press(VK_PRIOR);
    EXPECT_EQ(GetOuts, (std::vector<D>{D::rvdTop, D::rvdTop}));
    GetOuts.clear();
    Press(VK_RIGHT);
    Press(VK_PRIOR); // moves to the start
    Press(VK_END);   // moves
    Press(VK_END);   // stays, but a later line follows
    Press(VK_DOWN);
    Press(VK_HOME);
    Press(VK_HOME); // a later line's start
    EXPECT_TRUE(GetOuts.empty());
    GetOuts.clear();
    Press(VK_END, {ssCtrl});
    Press(VK_END, {ssCtrl});
    Press(VK_END); // nor End past its line's end
    Press(VK_NEXT);
    Press(VK_UP);
    Press(VK_NEXT); // moves to the last line
    EXPECT_EQ(GetOuts, (std::vector<D>{D::rvdBottom, D::rvdBottom}));
}

TEST_F(EditTest, ChoosingAndLeavingAnItemEditedInPlaceMovesTheCaret) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Edit->AppendPicture("p", std::make_unique<TBitmap>(4, 4), 0, TRVVAlign::rvvaBaseline);
    Show();
    int moves = 0;
    Edit->OnCaretMove = [&](TObject*) { ++moves; };
    TCustomRVItemInfo* picture = Data()->GetItem(1);
    Data()->SetActiveSubItem(picture);
    Data()->SetActiveSubItem(picture);
    EXPECT_EQ(moves, 1);
    Data()->DeselectSubItem();
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(Data()->ChosenItem, nullptr);
    Data()->DeselectSubItem(); // nothing was active
    EXPECT_EQ(moves, 2);
}

TEST_F(EditTest, WhileAnItemIsEditedInPlaceTheCaretStandsOnIt) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Edit->AppendPicture("p", std::make_unique<TBitmap>(4, 4), 0, TRVVAlign::rvvaBaseline);
    Show();
    Press(VK_RIGHT);
    ASSERT_TRUE(testing::Caret().Shown());
    int moves = 0;
    Edit->OnCaretMove = [&](TObject*) { ++moves; };
    // A chosen item without an editor over it is not edited in place.
    Data()->SetActiveSubItem(Data()->GetItem(1));
    EXPECT_EQ(CaretPos(), (V{0, 2}));
    auto* cellEditor = new TRichViewEdit(Form);
    Edit->SetInplaceEditor(cellEditor, [](bool) {});
    EXPECT_EQ(CaretPos(), (V{1, 1}));
    moves = 0;
    Data()->ShowCaret(false, false, false);
    EXPECT_FALSE(testing::Caret().Shown());
    EXPECT_EQ(moves, 1);
    Edit->SetInplaceEditor(nullptr, nullptr);
    Data()->DeselectSubItem();
    EXPECT_EQ(CaretPos(), (V{0, 2}));
    Data()->ShowCaret(false, false, false);
    EXPECT_TRUE(testing::Caret().Shown());
}

TEST_F(EditTest, AnOpenCellEditorTakesTheEditingOperations) {
    // The recording editor stands in for the cell editor; a plain one is the outer editor.
    auto* outer = new TRichViewEdit(Form);
    outer->SetParent(Form);
    outer->SetStyle(Style);
    outer->AppendTextParagraph("abc", 0, 0);
    outer->Format();
    const std::string before = RvfOf(outer);
    outer->SetInplaceEditor(Edit, [](bool) {});
    outer->InsertText("a");
    outer->InsertTextW(u"w");
    TMemoryStream stream;
    LoadStream(stream, "RVF");
    outer->InsertRVFFromStream(stream);
    Clipboard()->SetAsText("clip");
    outer->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(Edit->Inserted, (std::vector<std::string>{"a:a", "w:w", "rvf:RVF", "a:clip"}));
    EXPECT_EQ(RvfOf(outer), before);
    outer->SetInplaceEditor(nullptr, nullptr);
    outer->InsertText("b");
    EXPECT_NE(RvfOf(outer), before);
    EXPECT_EQ(Edit->Inserted.size(), 4u);
}

TEST_F(EditTest, ShiftArrowsExtendTheSelectionAndPlainArrowsDropIt) {
    Edit->AppendTextParagraph("abcdef", 0, 0);
    Edit->AppendTextParagraph("ghi", 0, 0);
    Show();
    Press(VK_RIGHT);
    Press(VK_RIGHT, {ssShift});
    Press(VK_RIGHT, {ssShift});
    EXPECT_EQ(Sel(), (V{0, 2, 0, 4}));
    Press(VK_DOWN, {ssShift});
    EXPECT_EQ(Sel(), (V{0, 2, 1, 4}));
    Press(VK_LEFT, {ssShift, ssCtrl});
    EXPECT_EQ(Sel(), (V{0, 2, 1, 1}));
    EXPECT_TRUE(Edit->HasSelection());
    Press(VK_RIGHT);
    EXPECT_FALSE(Edit->HasSelection());
    EXPECT_EQ(CaretPos(), (V{1, 2}));
    // A click puts the caret where it lands; after a drag it stands at the selection's end.
    testing::Click(Edit, 5 + 10 * 3, 15);
    EXPECT_EQ(CaretPos(), (V{0, 4}));
    testing::DragMouse(Edit, {5 + 10 * 4, 15}, {5 + 10 * 1, 35});
    EXPECT_EQ(Sel(), (V{0, 5, 1, 2}));
    EXPECT_EQ(CaretPos(), (V{1, 2}));
    Press(VK_RIGHT, {ssShift});
    EXPECT_EQ(Sel(), (V{0, 5, 1, 3}));
}

TEST_F(EditTest, TheCurrentStylesFollowTheCaretAndAClearedDocumentStartsOver) {
    TFontInfo& bold = Style->TextStyles.Add();
    bold.FontName = kFixedFace;
    bold.Size = 15;
    TFontInfo& sticky = Style->TextStyles.Add(); // the caret keeps the style it had
    sticky.FontName = kFixedFace;
    sticky.Size = 15;
    sticky.Protection.Include(TRVProtectOption::rvprDoNotAutoSwitch);
    Style->ParaStyles.Add();
    Edit->AppendTextParagraph("ab", 0, 0);
    Edit->AppendTextParagraph("cd", 1, 1);
    Edit->AppendTextParagraph("ef", 2, 0);
    int textEvents = 0, paraEvents = 0;
    Edit->OnCurTextStyleChanged = [&](TObject*) { ++textEvents; };
    Edit->OnCurParaStyleChanged = [&](TObject*) { ++paraEvents; };
    Show();
    Press(VK_DOWN);
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    EXPECT_EQ(Edit->CurParaStyleNo(), 1);
    EXPECT_EQ(textEvents, 1);
    EXPECT_EQ(paraEvents, 1);
    Press(VK_RIGHT); // same styles: no events
    EXPECT_EQ(textEvents, 1);
    Press(VK_DOWN);
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    EXPECT_EQ(Edit->CurParaStyleNo(), 0);

    Edit->ClearDocument();
    EXPECT_EQ(Edit->CurTextStyleNo(), 0);
    EXPECT_EQ(Edit->CurParaStyleNo(), 0);
    EXPECT_FALSE(Edit->Modified);
    EXPECT_EQ(Data()->CaretDrawItemNo, -1);
    EXPECT_EQ(Edit->CaretItemIndex(), 0); // an empty item appears on the next caret query
    EXPECT_EQ(Edit->GetItemCount(), 1);
}

TEST_F(EditTest, PagesThroughALongDocumentAndAScratchEditorWithNoHeight) {
    for (int i = 0; i < 40; ++i)
        Edit->AppendTextParagraph("line", 0, 0);
    Show();
    Press(VK_NEXT);
    const int after = Edit->CaretItemIndex();
    EXPECT_GT(after, 0);
    EXPECT_LT(after, 39);
    Press(VK_NEXT);
    EXPECT_GT(Edit->CaretItemIndex(), after);
    for (int i = 0; i < 10; ++i)
        Press(VK_NEXT);
    EXPECT_EQ(CaretPos(), (V{39, 5})); // past the end: the document end
    for (int i = 0; i < 12; ++i)
        Press(VK_PRIOR);
    EXPECT_EQ(CaretPos(), (V{0, 1}));

    // The invisible scratch editor: a client height below 2 still steps forward.
    auto* scratch = new TRichViewEdit(Form);
    scratch->SetParent(Form);
    scratch->SetVisible(false);
    scratch->SetBounds(0, 0, 300, 1);
    scratch->SetBorderStyle(bsNone);
    scratch->SetStyle(Style);
    for (int i = 0; i < 5; ++i)
        scratch->AppendTextParagraph("x", 0, 0);
    scratch->Format();
    scratch->EditData()->GoPageDown();
    EXPECT_GT(scratch->CaretItemIndex(), 0);
    scratch->EditData()->GoLineEnd(true);
    scratch->EditData()->GoPageUp();
    EXPECT_LT(scratch->CaretItemIndex(), 4);
}

TEST_F(EditTest, TheCaretMovesWithTheTextWhenTheViewScrolls) {
    for (int i = 0; i < 40; ++i)
        Edit->AppendTextParagraph("line", 0, 0);
    Show();
    Press(VK_DOWN);
    Press(VK_DOWN);
    const int before = testing::Caret().Pos.Y;
    testing::Wheel(Edit, -1);
    const int scrolled = Data()->GetVScrollPos();
    ASSERT_GT(scrolled, 0);
    EXPECT_EQ(testing::Caret().Pos.Y, before - scrolled);
    EXPECT_EQ(CaretPos(), (V{2, 1}));
}

TEST_F(EditTest, ACaretStopPastTheOldMarkerOnALongLineIsFound) {
    // Far more stops than the old "not found" marker of 100000 could tell apart from.
    TParaInfo& p = Style->ParaStyles.Add();
    p.Options.Include(TRVParaOption::rvpaoNoWrap);
    Edit->AppendTextParagraph(std::string(100010, 'a'), 0, 1);
    Show();
    Data()->PlaceCaretAt(0, 100003);
    EXPECT_EQ(Data()->CaretOffs, 100002);
    EXPECT_EQ(CaretPos(), (V{0, 100003}));
}

TEST_F(EditTest, StopsAfterATrimmedSpaceAtAWrappedLineEnd) {
    // The line "aaaa " wraps; its trailing space is trimmed to width 0 yet the caret can stand
    // after it and at every earlier character.
    Edit->SetBounds(10, 10, 60, 200);
    Edit->AppendTextParagraph("aaaa bbbb", 0, 0);
    Show();
    Press(VK_END);
    const int lineEnd = Edit->CaretItemOffset();
    EXPECT_GE(lineEnd, 5);
    for (size_t k = 1; k < Data()->CharEnds.size(); ++k)
        EXPECT_GE(Data()->CharEnds[k].X, Data()->CharEnds[k - 1].X);
    EXPECT_EQ(Data()->CharEnds[4].X, 45);
}

TEST_F(EditTest, PasteTakesTheFirstAvailableFormatInOrder) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Show();
    const uint32_t rvf = RegisterClipboardFormatA("RichView Format");
    const uint32_t rtf = RegisterClipboardFormatA("Rich Text Format");
    TClipboard* cb = Clipboard();
    EXPECT_EQ(Edit->Perform(EM_CANPASTE, 0, 0), 0);
    cb->Open();
    cb->SetAsText("plain");
    cb->SetBuffer(rtf, "{\\rtf1}", 7);
    const char block[] = {3, 0, 0, 0, 'R', 'V', 'F', 'x', 'x'};
    cb->SetBuffer(rvf, block, sizeof block);
    cb->Close();
    EXPECT_EQ(Edit->GetPasteFormat(), TRVPasteFormat::RVF);
    EXPECT_EQ(Edit->Perform(EM_CANPASTE, 0, 0), 1);
    EXPECT_EQ(Edit->Perform(EM_CANPASTE, rtf, 0), 1);
    EXPECT_EQ(Edit->Perform(EM_CANPASTE, CF_BITMAP, 0), 0);
    Edit->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(Edit->Inserted, (std::vector<std::string>{"rvf:RVF"}));

    // Without RVF: RTF; then text as ANSI for an ANSI caret style.
    cb->Open();
    cb->SetAsText("plain");
    cb->SetBuffer(rtf, "{\\rtf1}", 7);
    cb->Close();
    EXPECT_EQ(Edit->GetPasteFormat(), TRVPasteFormat::RTF);
    cb->Open();
    cb->SetAsText("plain");
    cb->Close();
    EXPECT_EQ(Edit->GetPasteFormat(), TRVPasteFormat::Text);
    // The style the text will take decides, not the item under the caret.
    const int wide = AddTextStyle([](TFontInfo& f) { f.Unicode = true; });
    Edit->SetCurTextStyleNo(wide);
    EXPECT_EQ(Edit->GetPasteFormat(), TRVPasteFormat::UnicodeText);
    Edit->SetCurTextStyleNo(0);
    EXPECT_EQ(Edit->GetPasteFormat(), TRVPasteFormat::Text);
    Style->TextStyles[0].Unicode = true;
    EXPECT_EQ(Edit->GetPasteFormat(), TRVPasteFormat::UnicodeText);

    // A handler that declines stops every format.
    Edit->Inserted.clear();
    Edit->OnPaste = [](TCustomRichViewEdit*, bool& doDefault) { doDefault = false; };
    Edit->Perform(WM_PASTE, 0, 0);
    EXPECT_TRUE(Edit->Inserted.empty());
    Edit->OnPaste = nullptr;
    Edit->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(Edit->Inserted, (std::vector<std::string>{"w:plain"}));

    // Read-only: nothing can be pasted.
    Edit->SetReadOnly(true);
    EXPECT_EQ(Edit->Perform(EM_CANPASTE, 0, 0), 0);
    EXPECT_EQ(Edit->Perform(EM_CANPASTE, CF_TEXT, 0), 0);
}

TEST_F(EditTest, AFormatThatKeepsThePositionKeepsTheCaret) {
    Edit->AppendTextParagraph("abcdefgh ijklmnop", 0, 0);
    Show();
    for (int i = 0; i < 12; ++i)
        Press(VK_RIGHT);
    EXPECT_EQ(CaretPos(), (V{0, 13}));
    Edit->SetBounds(10, 10, 120, 200); // the line wraps: the caret keeps its character
    testing::Pump();
    EXPECT_EQ(CaretPos(), (V{0, 13}));
    EXPECT_EQ(Data()->CharEnds[size_t(Data()->CaretOffs)].X, 5 + 10 * 3);
    Edit->Format(); // a fresh format starts at the top
    EXPECT_EQ(CaretPos(), (V{0, 1}));
}

TEST_F(EditTest, AnInvisibleScratchEditorWalksItsItems) {
    // Hosted by a form but never shown, and no higher than a pixel.
    auto* hidden = new TRichViewEdit(Form);
    TRichViewEdit& scratch = *hidden;
    scratch.SetParent(Form);
    scratch.SetVisible(false);
    scratch.SetBounds(0, 0, 200, 1);
    scratch.SetStyle(Style);
    scratch.AppendTextParagraph("one two", 0, 0);
    scratch.AppendTextParagraph("three", 0, 0);
    scratch.Format();
    EXPECT_EQ(scratch.CaretItemIndex(), 0);
    scratch.EditData()->GoLineEnd(true);
    EXPECT_EQ(scratch.CaretItemIndex(), 1);
    EXPECT_EQ(scratch.CaretItemOffset(), 6);
    scratch.EditData()->GoPageUp();
    EXPECT_EQ(scratch.CaretItemIndex(), 0);
    EXPECT_FALSE(testing::Caret().Shown());
}

TEST(EditClipboardBlocks, ReadsStayInsideTheBlock) {
    std::string rvf;
    EXPECT_FALSE(ReadRVFClipboardBlock(std::string("\x01\x00", 2), rvf));
    EXPECT_FALSE(ReadRVFClipboardBlock(std::string("\xff\xff\xff\xff"
                                                   "abc",
                                                   7),
                                       rvf));
    EXPECT_TRUE(ReadRVFClipboardBlock(std::string("\xff\xff\xff\x7f"
                                                  "abc",
                                                  7),
                                      rvf));
    EXPECT_EQ(rvf, "abc"); // a length past the block is cut to the block
    EXPECT_TRUE(ReadRVFClipboardBlock(std::string("\x02\x00\x00\x00"
                                                  "abc",
                                                  7),
                                      rvf));
    EXPECT_EQ(rvf, "ab");

    EXPECT_EQ(ReadUnicodeClipboardBlock(std::string("a\0b\0\0\0c\0", 8)), u"ab");
    EXPECT_EQ(ReadUnicodeClipboardBlock(std::string("a\0b\0c", 5)), u"ab"); // no NUL, odd byte

    EXPECT_EQ(HtmlClipboardBasePath("Version:0.9\r\nSourceURL:file:///C:/docs/a.html\r\n"),
              "\\C:\\docs\\");
    EXPECT_EQ(HtmlClipboardBasePath("SourceURL:HTTP://example.org/p/q.html"),
              "http://example.org/p/");
    // UTF-8 to the ANSI page, cut at the NUL.
    const char accented[] = "SourceURL:file:///home/\xC3\xA9t\xC3\xA9/x.htm\0/y/";
    EXPECT_EQ(HtmlClipboardBasePath(std::string(accented, sizeof accented - 1)),
              "\\home\\\xE9t\xE9\\");
    EXPECT_EQ(HtmlClipboardBasePath("SourceURL:nofolder"), "");
    EXPECT_EQ(HtmlClipboardBasePath("no url here"), "");
}

TEST_F(EditTest, ReadOnlyRefusesChangesAndCanHideTheCaret) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Show();
    int changing = 0;
    Edit->OnChanging = [&](TCustomRichViewEdit*, bool& can) {
        ++changing;
        can = true;
    };
    EXPECT_TRUE(Edit->BeforeChange(false));
    Edit->SetReadOnly(true);
    const int beeps = testing::Beeps();
    EXPECT_FALSE(Edit->BeforeChange(false));
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(testing::Beeps(), beeps + 1);
    // The caret keys still move; with the hide option the platform caret goes away.
    Press(VK_RIGHT);
    EXPECT_EQ(CaretPos(), (V{0, 2}));
    EXPECT_TRUE(testing::Caret().Shown());
    Edit->SetReadOnly(false);
    Edit->EditorOptions.Include(TRVEditorOption::rvoHideReadOnlyCaret);
    Edit->SetReadOnly(true);
    Press(VK_RIGHT);
    EXPECT_FALSE(testing::Caret().Shown());
    EXPECT_EQ(CaretPos(), (V{0, 3}));
}

TEST_F(EditTest, UndoRoutingAndTheUndoModeResetAfterEveryOperation) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Show();
    int changes = 0;
    Edit->OnChange = [&](TObject*) { ++changes; };
    TRVEditRVData* d = Data();
    ASSERT_TRUE(d->BeginUndoSequence(15, "first"));
    d->GetUndoList()->AddInfo(std::make_unique<TNopRecord>());
    d->EndUndoSequence();
    EXPECT_EQ(d->UndoDest, rvudNone);
    EXPECT_EQ(d->GetUndoList(), nullptr);
    // Even inside a held group level, the next operation opens its own group.
    d->UndoList->GroupModeLevel = 1;
    ASSERT_TRUE(d->BeginUndoSequence(15, "second"));
    d->GetUndoList()->AddInfo(std::make_unique<TNopRecord>());
    d->EndUndoSequence();
    d->UndoList->GroupModeLevel = 0;
    EXPECT_EQ(d->UndoList->Count(), 2);
    EXPECT_EQ(Edit->Perform(EM_CANUNDO, 0, 0), 1);
    EXPECT_EQ(Edit->Perform(EM_CANREDO, 0, 0), 0);

    Press('Z', {ssCtrl});
    EXPECT_EQ(d->UndoList->Count(), 1);
    EXPECT_EQ(d->UndoDest, rvudNone);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Edit->Perform(EM_UNDO, 0, 0), 1);
    EXPECT_EQ(d->UndoList->Count(), 0);
    EXPECT_EQ(Edit->Perform(EM_UNDO, 0, 0), 0);
    EXPECT_TRUE(Edit->Modified);

    // Alt+Backspace is an undo key, and its character is swallowed while undo is on.
    EXPECT_EQ(Edit->Perform(WM_SYSCHAR, VK_BACK, 0), 0);

    // With no undo, nothing is recorded.
    Edit->SetUndoLimit(0);
    EXPECT_FALSE(d->BeginUndoSequence(15, "none"));
    EXPECT_EQ(d->GetUndoList(), nullptr);
    EXPECT_FALSE(Edit->CanUndo());
}

} // namespace
} // namespace epc

namespace epc {
namespace {

TEST_F(EditTest, TheCurrentStylesCountAsUsedAndFollowARenumbering) {
    for (int i = 0; i < 3; ++i) {
        TFontInfo& f = Style->TextStyles.Add();
        f.FontName = kFixedFace;
        f.Size = 15;
    }
    Style->ParaStyles.Add();
    Style->ParaStyles.Add();
    Edit->AppendTextParagraph("a", 1, 0);
    Show();
    Edit->SetCurTextStyleNo(3);
    Edit->SetCurParaStyleNo(2);
    Data()->SavedTextStyleNo = 3;
    TRVIntegerList usedText = TRVIntegerList::CreateFilled(Style->TextStyles.Count(), 0);
    TRVIntegerList usedPara = TRVIntegerList::CreateFilled(Style->ParaStyles.Count(), 0);
    TRVIntegerList usedList;
    Data()->CollectUsedStyles(usedText, usedPara, usedList);
    EXPECT_EQ(usedText.Values(), (std::vector<int32_t>{0, 1, 0, 1}));
    EXPECT_EQ(usedPara.Values(), (std::vector<int32_t>{1, 0, 1}));

    int textEvents = 0, paraEvents = 0;
    Edit->OnCurTextStyleChanged = [&](TObject*) { ++textEvents; };
    Edit->OnCurParaStyleChanged = [&](TObject*) { ++paraEvents; };
    // Text styles 0 and 2 and paragraph style 1 go: each entry is deleted-before + 1.
    TRVIntegerList textMap, paraMap, listMap;
    for (int v : {1, 2, 2, 3})
        textMap.AddValue(v);
    for (int v : {1, 1, 2})
        paraMap.AddValue(v);
    Data()->RenumberStyles(textMap, paraMap, listMap);
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    EXPECT_EQ(Edit->CurParaStyleNo(), 1);
    EXPECT_EQ(Data()->SavedTextStyleNo, 1);
    EXPECT_EQ(Data()->GetItemStyleNo(0), 0);
    // Announced even though a listener could not tell from the old value.
    EXPECT_EQ(textEvents, 1);
    EXPECT_EQ(paraEvents, 1);

    // A saved style whose entry marks it as gone falls back to style 0.
    Data()->SavedTextStyleNo = 1;
    TRVIntegerList goneMap;
    for (int v : {1, 0})
        goneMap.AddValue(v);
    Data()->RenumberStyles(goneMap, paraMap, listMap);
    EXPECT_EQ(Data()->SavedTextStyleNo, 0);
}

TEST_F(EditTest, SelectRangeCountsCharactersAndBreaks) {
    Edit->AppendTextParagraph("hello", 0, 0);
    Edit->AppendTextParagraph("world", 0, 0);
    Show();
    // Three characters in, five long: "lo", the break and "wo".
    Data()->SelectRange(3, 5, false);
    EXPECT_EQ(Sel(), (V{0, 4, 1, 3}));
    int si, so, ei, eo;
    Data()->GetSelectionBounds(si, so, ei, eo, false);
    EXPECT_EQ((V{si, so, ei, eo}), (V{0, 4, 1, 3}));
    // Backwards the same range starts at the far end.
    Data()->SelectRange(3, 5, true);
    Data()->GetSelectionBounds(si, so, ei, eo, false);
    EXPECT_EQ((V{si, so, ei, eo}), (V{1, 3, 0, 4}));
    // The break itself: the end of the first paragraph to the start of the second.
    Data()->SelectRange(5, 1, false);
    EXPECT_EQ(Sel(), (V{0, 6, 1, 1}));
    // Past the end is cut to the end; a huge length does not overflow.
    Data()->SelectRange(6, 1000, false);
    EXPECT_EQ(Sel(), (V{1, 1, 1, 6}));
    Data()->SelectRange(2, INT_MAX, false);
    EXPECT_EQ(Sel(), (V{0, 3, 1, 6}));
}

TEST_F(EditTest, AModificationInProgressIsNotAskedAboutAgain) {
    Edit->AppendTextParagraph("abc", 0, 0);
    Show();
    int asked = 0;
    bool allow = false;
    Edit->OnChanging = [&](TCustomRichViewEdit*, bool& canEdit) {
        ++asked;
        canEdit = allow;
    };
    TClipboard* cb = Clipboard();
    cb->Open();
    cb->SetAsText("plain");
    cb->Close();
    Edit->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(Edit->Inserted.empty());
    // A step of a modification that holds the grouping goes ahead unasked...
    Data()->UndoList->GroupModeLevel = 1;
    Edit->Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Edit->Inserted, (std::vector<std::string>{"a:plain"}));
    // ...a quiet question is still put to the handler...
    EXPECT_FALSE(Edit->BeforeChange(true));
    EXPECT_EQ(asked, 2);
    // ...and read-only refuses whatever is in progress.
    Edit->SetReadOnly(true);
    EXPECT_FALSE(Edit->BeforeChange(false));
    EXPECT_EQ(asked, 2);
    Data()->UndoList->GroupModeLevel = 0;
}

// Ctrl+X and Shift+Delete put the selection on the clipboard and take it out as one step;
// without a selection they do nothing, and Delete alone never touches the clipboard.
TEST_F(EditTest, CutShortcutsCopyTheSelectionAndDeleteIt) {
    Edit->AppendTextParagraph("hello world", 0, 0);
    Show();
    Select(0, 5);
    Press('X', {ssCtrl});
    EXPECT_EQ(testing::ClipboardText(), "hello");
    EXPECT_EQ(Data()->GetItemText(0), " world");
    Edit->Undo();
    EXPECT_EQ(Data()->GetItemText(0), "hello world");
    Select(6, 5);
    Press(VK_DELETE, {ssShift});
    EXPECT_EQ(testing::ClipboardText(), "world");
    EXPECT_EQ(Data()->GetItemText(0), "hello ");
    Data()->PlaceCaretAt(0, 2);
    Press(VK_DELETE, {ssShift});
    Press('X', {ssCtrl});
    EXPECT_EQ(Data()->GetItemText(0), "hello ");
    Select(0, 2);
    Press(VK_DELETE);
    EXPECT_EQ(testing::ClipboardText(), "world");
    EXPECT_EQ(Data()->GetItemText(0), "llo ");
    // A read-only editor copies nothing and deletes nothing.
    Edit->SetReadOnly(true);
    Select(0, 3);
    Press('X', {ssCtrl});
    EXPECT_EQ(testing::ClipboardText(), "world");
    EXPECT_EQ(Data()->GetItemText(0), "llo ");
}

TEST_F(EditTest, EscEndsAMouseSelectionWhereItStands) {
    Edit->AppendTextParagraph("hello world", 0, 0);
    Show();
    EXPECT_FALSE(Data()->CancelByEscape()); // nothing to cancel
    // Cells are 10 pixels wide from x = 5: press before "e", drag to before "o".
    testing::MouseDown(Edit, 16, 10);
    testing::MoveMouse(Edit, 46, 10);
    EXPECT_EQ(Sel(), (V{0, 2, 0, 5}));
    Press(VK_ESCAPE);
    EXPECT_FALSE(Data()->State.Contains(TRVState::rvstMakingSelection));
    EXPECT_EQ(CaretPos(), (V{0, 5}));
    // The mouse no longer drags the selection, nor does its release.
    testing::MoveMouse(Edit, 96, 10);
    testing::MouseUp(Edit, 96, 10);
    EXPECT_EQ(Sel(), (V{0, 2, 0, 5}));
    EXPECT_EQ(CaretPos(), (V{0, 5}));
    // The next press selects afresh.
    testing::Click(Edit, 26, 10);
    EXPECT_EQ(CaretPos(), (V{0, 3}));
}

class EditLinkTest : public EditTest {
protected:
    void SetUp() override {
        EditTest::SetUp();
        TFontInfo& link = Style->TextStyles.Add();
        link.FontName = kFixedFace;
        link.Size = 15;
        link.Jump = true;
        Data()->AddTextParagraph("ab", 0, 0, TRVTag());
        Data()->AddTextParagraph("link", 1, -1, TRVTag()); // on the same line
        Data()->AddTextParagraph("cd", 0, 0, TRVTag());
        Show();
    }
    int HotJump() { return Data()->LastJumpMovedAbove; }
};

TEST_F(EditLinkTest, TheLinkUnderTheCaretIsTheHotOne) {
    const int linkId = Data()->GetItem(1)->JumpID;
    ASSERT_GE(linkId, 0);
    EXPECT_EQ(HotJump(), -1);
    Press(VK_END);
    Press(VK_HOME);
    Press(VK_RIGHT);
    Press(VK_RIGHT); // after "ab": still the plain item
    EXPECT_EQ(HotJump(), -1);
    Press(VK_RIGHT); // inside the link
    EXPECT_EQ(HotJump(), linkId);
    EXPECT_EQ(Data()->LastDIMovedAbove, 1);
    EXPECT_TRUE(Data()->State.Contains(TRVState::rvstDrawHover));
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    Press(VK_DOWN); // off the link: no hot one
    EXPECT_EQ(HotJump(), -1);
    EXPECT_FALSE(Data()->State.Contains(TRVState::rvstDrawHover));
    EXPECT_EQ(Edit->CurTextStyleNo(), 0);
}

TEST_F(EditLinkTest, ABackwardSelectionEndingBeforeALinkTakesTheLink) {
    Press(VK_RIGHT);
    Press(VK_RIGHT);
    Press(VK_RIGHT);
    Press(VK_RIGHT); // after "l"
    Press(VK_LEFT, {ssShift});
    Press(VK_LEFT, {ssShift}); // the caret stands after "ab", the selection runs back to it
    EXPECT_EQ(CaretPos(), (V{0, 3}));
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    EXPECT_EQ(HotJump(), Data()->GetItem(1)->JumpID);
    // Without a selection the same place belongs to the plain text.
    Press(VK_LEFT);
    Press(VK_RIGHT);
    EXPECT_EQ(CaretPos(), (V{0, 3}));
    EXPECT_EQ(Edit->CurTextStyleNo(), 0);
    EXPECT_EQ(HotJump(), -1);
}

TEST_F(EditLinkTest, JumpsAreBuiltOnRequestAndClearedUnlessReadOnly) {
    Data()->ClearJumps(); // never built on request: left alone
    EXPECT_EQ(Data()->Jumps.size(), 1u);
    Data()->BuildJumps(false);
    EXPECT_TRUE(Data()->JumpsBuilt());
    ASSERT_EQ(Data()->Jumps.size(), 1u);
    EXPECT_EQ(Data()->Jumps[0]->DrawItemNo, 1);
    Data()->ClearJumps();
    EXPECT_FALSE(Data()->JumpsBuilt());
    EXPECT_TRUE(Data()->Jumps.empty());
    EXPECT_TRUE(testing::Caret().Shown());

    // Read-only: a request is ignored unless forced, and built jumps stay.
    Edit->SetReadOnly(true);
    Data()->BuildJumps(false);
    EXPECT_FALSE(Data()->JumpsBuilt());
    EXPECT_TRUE(Data()->Jumps.empty());
    Data()->BuildJumps(true);
    EXPECT_EQ(Data()->Jumps.size(), 1u);
    Data()->ClearJumps();
    EXPECT_EQ(Data()->Jumps.size(), 1u);
}

TEST_F(EditLinkTest, WritersRebuildAJumpListBuiltOnRequestAndDropItAfter) {
    std::vector<int> ids; // the link numbers the HTML writer asks addresses for
    Edit->OnURLNeeded = [&](TCustomRichView*, int id, std::string& url) {
        ids.push_back(id);
        url = "u";
    };
    auto html = [this](bool css) {
        TMemoryStream stream;
        EXPECT_TRUE(css ? Data()->WriteHtmlCssToStream(stream, "", "t", false)
                        : Data()->WriteHtmlToStream(stream, "", "t", false));
        return stream.DataString();
    };
    const int linkId = Data()->GetItem(1)->JumpID;
    ASSERT_GE(linkId, 0);
    // Not built on request: the writers leave the list as formatting made it.
    const std::string plain = html(false);
    EXPECT_EQ(ids, (std::vector<int>{linkId}));
    EXPECT_EQ(Data()->Jumps.size(), 1u);
    EXPECT_FALSE(Edit->Flags.Contains(TRVEditRVData::rvflJumpsBuilt));

    // Built on request, the mark is bit 7 of the flags word; a writer numbers the links afresh
    // (a stale number is not written) and drops the list after it.
    Data()->BuildJumps(false);
    EXPECT_EQ(Edit->Flags.Bits() & 0x80, 0x80u);
    Data()->GetItem(1)->JumpID = 99;
    ids.clear();
    EXPECT_EQ(html(false), plain);
    EXPECT_EQ(ids, (std::vector<int>{linkId}));
    EXPECT_TRUE(Data()->Jumps.empty());
    EXPECT_FALSE(Data()->JumpsBuilt());
    TMemoryStream rtf;
    EXPECT_TRUE(Data()->WriteRtfToStream(rtf, false, clNone));
    EXPECT_TRUE(Data()->Jumps.empty()); // no mark: nothing built for it

    // A read-only editor keeps what the writer built.
    Edit->SetReadOnly(true);
    Data()->BuildJumps(true);
    Data()->GetItem(1)->JumpID = 99;
    ids.clear();
    html(true);
    EXPECT_EQ(ids, (std::vector<int>{linkId}));
    EXPECT_EQ(Data()->Jumps.size(), 1u);
    EXPECT_TRUE(Data()->JumpsBuilt());
}

TEST_F(EditTest, AnInputMethodComposesAtTheCaretAndItsResultIsInserted) {
    Edit->AppendTextParagraph("hello", 0, 0);
    Show();
    Press(VK_RIGHT);
    Press(VK_RIGHT);
    SimulateImeComposition(u"xy");
    const TPoint caret = Data()->GetCaretPoint();
    EXPECT_EQ(LastCompositionWindow().dwStyle, DWORD(CFS_POINT));
    EXPECT_EQ(LastCompositionWindow().ptCurrentPos.X, caret.X);
    EXPECT_EQ(LastCompositionWindow().ptCurrentPos.Y, caret.Y);
    EXPECT_EQ(std::u16string(LastCompositionFont().lfFaceName), u"Fixed Metrics Test");
    // The result comes once, as UTF-16 text, not again as characters.
    EXPECT_EQ(Edit->Inserted, (std::vector<std::string>{"w:xy"}));
    Edit->SetReadOnly(true);
    SimulateImeComposition(u"z");
    EXPECT_EQ(Edit->Inserted.size(), 1u);
}

TEST_F(EditTest, ANewInputLanguageSwitchesTheCharsetOfTheCurrentStyle) {
    Edit->AppendTextParagraph("hello", 0, 0);
    Show();
    Edit->Perform(WM_INPUTLANGCHANGE, RUSSIAN_CHARSET, 0);
    EXPECT_EQ(Edit->CurTextStyleNo(), 0); // only with the option
    Edit->EditorOptions.Include(TRVEditorOption::rvoAutoSwitchLang);
    int events = 0;
    Edit->OnCurTextStyleChanged = [&](TObject*) { ++events; };
    Edit->Perform(WM_INPUTLANGCHANGE, RUSSIAN_CHARSET, 0);
    ASSERT_EQ(Style->TextStyles.Count(), 2);
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    EXPECT_EQ(Style->TextStyles[1].Charset, RUSSIAN_CHARSET);
    EXPECT_EQ(Style->TextStyles[1].FontName, kFixedFace);
    EXPECT_EQ(events, 1);
    // Back and forth: the existing styles are found, none is added.
    Edit->Perform(WM_INPUTLANGCHANGE, Style->TextStyles[0].Charset, 0);
    EXPECT_EQ(Edit->CurTextStyleNo(), 0);
    Edit->Perform(WM_INPUTLANGCHANGE, RUSSIAN_CHARSET, 0);
    EXPECT_EQ(Edit->CurTextStyleNo(), 1);
    EXPECT_EQ(Style->TextStyles.Count(), 2);
}

} // namespace
} // namespace epc

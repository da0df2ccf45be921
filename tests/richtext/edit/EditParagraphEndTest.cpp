// Typing at a paragraph's end and after full-line items, and the caret kept in view.

#include "platform/graphics/Bitmap.h"
#include "tests/richtext/edit/EditTestSupport.h"

namespace epc::test {
namespace {

using V = std::vector<int>;

using ParaEnd = EditFixture;

TEST_F(ParaEnd, SpaceTypedAtAParagraphEndStaysThere) {
    Load({"abc", "def"});
    CaretAt(0, 4);
    Type(" z");
    EXPECT_EQ(Text(), "abc z\ndef");
}

TEST_F(ParaEnd, EndGoesAfterLineEndSpaces) {
    Load({"abc  ", "def"});
    CaretAt(0, 1);
    Key(VK_END);
    EXPECT_EQ(Caret(), (V{0, 6}));
}

TEST_F(ParaEnd, TypingAfterABreakStartsAParagraph) {
    Data()->AddTextParagraph("abc", 0, 0, TRVTag());
    Data()->AddBreak();
    Show();
    Key(VK_END, {ssCtrl});
    Type("x");
    EXPECT_EQ(Text(), "abc\n[]\nx");
}

TEST_F(ParaEnd, DownKeepsTheCaretInView) {
    std::vector<std::string> paras(60, "line");
    Load(paras);
    Edit->SetBounds(0, 0, 300, 100);
    testing::Pump();
    CaretAt(0, 1);
    for (int i = 0; i < 40; ++i) {
        Key(VK_DOWN);
        TPoint p = Data()->GetCaretPoint();
        ASSERT_GE(p.Y, 0) << i;
        ASSERT_LE(p.Y + Data()->CaretHeight, Data()->GetClientHeight()) << i;
    }
}

} // namespace
} // namespace epc::test

namespace epc::test {
namespace {

TEST_F(ParaEnd, BackspaceJoinsAPictureParagraphAfterAnEmptyOneWentFirst) {
    Data()->AddTextParagraph("kek ", 0, 0, TRVTag());
    Data()->AddTextParagraph("", 0, 0, TRVTag());
    Data()->AddPictureItem("p", std::make_unique<TBitmap>(10, 12), 0, TRVVAlign::rvvaBaseline);
    Data()->AddTextParagraph("yrn", 0, -1, TRVTag());
    Show();
    CaretAt(2, 0);
    Key(VK_BACK);
    EXPECT_EQ(Text(), "kek \n[p]|yrn");
    EXPECT_EQ(Caret(), (V{1, 0}));
    Key(VK_BACK);
    EXPECT_EQ(Text(), "kek |[p]|yrn");
}

} // namespace
} // namespace epc::test

namespace epc::test {
namespace {

TEST_F(ParaEnd, CharactersRemovedOneAfterAnotherAreOneStep) {
    Load({"Hello world", "next"});
    CaretAt(0, 12);
    for (int i = 0; i < 5; ++i)
        Key(VK_BACK);
    EXPECT_EQ(Text(), "Hello \nnext");
    EXPECT_EQ(Data()->UndoList->Count(), 1);
    EXPECT_EQ(Edit->UndoAction(), TRVUndoType::Typing);
    // Elsewhere it is a step of its own; so is the paragraph join.
    CaretAt(1, 2);
    Key(VK_BACK);
    CaretAt(1, 1);
    Key(VK_BACK);
    EXPECT_EQ(Text(), "Hello ext");
    EXPECT_EQ(Data()->UndoList->Count(), 3);
    Key('Z', {ssCtrl});
    Key('Z', {ssCtrl});
    EXPECT_EQ(Text(), "Hello \nnext");
    Key('Z', {ssCtrl});
    EXPECT_EQ(Text(), "Hello world\nnext");
    EXPECT_EQ(Caret(), (V{0, 12}));
    Key('Z', {ssCtrl, ssShift});
    EXPECT_EQ(Text(), "Hello \nnext");
}

TEST_F(ParaEnd, PageDownAndUpKeepTheCaretInView) {
    Load(std::vector<std::string>(80, "line"));
    Edit->SetBounds(0, 0, 300, 100);
    testing::Pump();
    CaretAt(0, 1);
    auto inView = [this] {
        const TPoint p = Data()->GetCaretPoint();
        return p.Y >= -1 && p.Y + Data()->CaretHeight <= Data()->GetClientHeight() + 1;
    };
    int lastItem = 0;
    for (int i = 0; i < 40 && Edit->CaretItemIndex() < 79; ++i) {
        Key(VK_NEXT);
        ASSERT_TRUE(inView()) << i;
        ASSERT_GT(Edit->CaretItemIndex(), lastItem) << i;
        lastItem = Edit->CaretItemIndex();
    }
    EXPECT_EQ(Edit->CaretItemIndex(), 79);
    for (int i = 0; i < 40 && Edit->CaretItemIndex() > 0; ++i) {
        Key(VK_PRIOR);
        ASSERT_TRUE(inView()) << i;
    }
    EXPECT_EQ(Edit->CaretItemIndex(), 0);
}

} // namespace
} // namespace epc::test

namespace epc::test {
namespace {

// A conversion that gives every paragraph a style-protected one is taken back whole.
TEST_F(ParaEnd, UndoOfAParagraphStyleConversionIsExact) {
    Load({"one", "two", "three"});
    Edit->OnParaStyleConversion = [](TCustomRichViewEdit*, int styleNo, int, bool, int& newNo) {
        newNo = styleNo == 0 ? 3 : 1;
    };
    const std::string before = Rvf();
    Select(0, 9);
    Edit->ConvertSelectionParaStyles(0);
    const std::string after = Rvf();
    EXPECT_EQ(Data()->GetItemParaNo(0), 3);
    EXPECT_EQ(Data()->GetItemParaNo(1), 3);
    Edit->Undo();
    EXPECT_EQ(Rvf(), before);
    Edit->Redo();
    EXPECT_EQ(Rvf(), after);
}

} // namespace
} // namespace epc::test

#include <gtest/gtest.h>

#include "platform/graphics/Graphics.h"

using namespace epc;

TEST(FontSize, ConvertsThroughPixelsPerInch) {
    TFont f;
    EXPECT_EQ(f.PixelsPerInch(), 96);
    f.SetSize(10);
    EXPECT_EQ(f.Height(), -13); // -MulDiv(10, 96, 72) rounds 13.33 to 13
    EXPECT_EQ(f.Size(), 10);
    f.SetSize(9);
    EXPECT_EQ(f.Height(), -12);

    TFont p;
    p.SetPixelsPerInch(600);
    p.SetSize(10);
    EXPECT_EQ(p.Height(), -83); // 83.33
    EXPECT_EQ(p.Size(), 10);
    p.SetHeight(-100);
    EXPECT_EQ(p.Size(), 12);
    // A positive height is the cell height; its size comes out negative.
    p.SetHeight(100);
    EXPECT_EQ(p.Size(), -12);
}

TEST(FontSize, AssignAcrossResolutionsKeepsPoints) {
    TFont screen;
    screen.SetName("Arial");
    screen.SetSize(12);
    screen.SetStyle({fsBold, fsUnderline});
    screen.SetColor(clRed);
    TFont printer;
    printer.SetPixelsPerInch(600);
    printer.Assign(&screen);
    EXPECT_EQ(printer.Size(), 12);
    EXPECT_EQ(printer.Height(), -100);
    EXPECT_EQ(printer.Name(), "Arial");
    EXPECT_EQ(printer.Style(), (TFontStyles{fsBold, fsUnderline}));
    EXPECT_EQ(printer.Color(), clRed);
    // Same resolution: the height is copied as it is, even a cell height.
    TFont other;
    screen.SetHeight(20);
    other.Assign(&screen);
    EXPECT_EQ(other.Height(), 20);
}

TEST(FontHandle, DescribesTheFontAndIsCachedUntilAChange) {
    TFont f;
    f.SetName("Courier New");
    f.SetHeight(-20);
    f.SetStyle({fsBold, fsItalic, fsStrikeOut});
    f.SetCharset(SYMBOL_CHARSET);
    f.SetPitch(fpFixed);
    LOGFONTW lf = f.LogFont();
    EXPECT_EQ(lf.lfHeight, -20);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 0);
    EXPECT_EQ(lf.lfStrikeOut, 1);
    EXPECT_EQ(lf.lfCharSet, SYMBOL_CHARSET);
    EXPECT_EQ(lf.lfPitchAndFamily & 3, FIXED_PITCH);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"Courier New");

    HFONT h = f.Handle();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(f.Handle(), h);
    LOGFONTW back;
    ASSERT_GT(GetObjectW(reinterpret_cast<HGDIOBJ>(h), sizeof(back), &back), 0);
    EXPECT_EQ(back.lfHeight, -20);

    // Another font taking the handle's description matches the first.
    TFont copy;
    copy.SetHandle(h);
    EXPECT_EQ(copy.Name(), "Courier New");
    EXPECT_EQ(copy.Height(), -20);
    EXPECT_EQ(copy.Style(), (TFontStyles{fsBold, fsItalic, fsStrikeOut}));
    EXPECT_EQ(copy.Pitch(), fpFixed);

    f.SetStyle({});
    LOGFONTW changed;
    GetObjectW(reinterpret_cast<HGDIOBJ>(f.Handle()), sizeof(changed), &changed);
    EXPECT_EQ(changed.lfWeight, FW_NORMAL);
}

TEST(GraphicsObjectChange, FiresOncePerRealChange) {
    TPen pen;
    int changes = 0;
    pen.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &pen);
        ++changes;
    };
    pen.SetColor(clRed);
    pen.SetColor(clRed); // unchanged: no notification
    pen.SetWidth(3);
    pen.SetStyle(psDot);
    pen.SetMode(pmXor);
    EXPECT_EQ(changes, 4);

    TBrush brush;
    int brushChanges = 0;
    brush.OnChange = [&](TObject*) { ++brushChanges; };
    brush.SetStyle(bsClear);
    // A colour on a clear brush makes it solid again.
    brush.SetColor(clWhite);
    EXPECT_EQ(brush.Style(), bsSolid);
    EXPECT_EQ(brushChanges, 2);
}

TEST(GraphicsObjectChange, UpdateCountersNestAndFireOnceAtTheOutermostEnd) {
    TFont f;
    int changes = 0;
    f.OnChange = [&](TObject*) { ++changes; };
    f.BeginUpdate();
    f.SetSize(20);
    f.BeginUpdate();
    f.SetName("Arial");
    f.SetColor(clBlue);
    f.EndUpdate();
    EXPECT_EQ(changes, 0);
    f.EndUpdate();
    EXPECT_EQ(changes, 1);
    // A bracket without changes stays silent; an unbalanced EndUpdate is harmless.
    f.BeginUpdate();
    f.EndUpdate();
    f.EndUpdate();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(f.UpdateCount(), 0);
}

TEST(PenAndBrushHandles, FollowTheirProperties) {
    TPen pen;
    pen.SetColor(clBlue);
    pen.SetWidth(2);
    pen.SetStyle(psDash);
    LOGPEN lp;
    ASSERT_GT(GetObjectW(reinterpret_cast<HGDIOBJ>(pen.Handle()), sizeof(lp), &lp), 0);
    EXPECT_EQ(lp.lopnStyle, UINT(PS_DASH));
    EXPECT_EQ(lp.lopnWidth.X, 2);
    EXPECT_EQ(lp.lopnColor, RGB(0, 0, 255));
    // System colours are resolved for the handle.
    pen.SetColor(clBtnShadow);
    GetObjectW(reinterpret_cast<HGDIOBJ>(pen.Handle()), sizeof(lp), &lp);
    EXPECT_EQ(lp.lopnColor, GetSysColor(COLOR_BTNSHADOW));
    pen.SetStyle(psClear);
    GetObjectW(reinterpret_cast<HGDIOBJ>(pen.Handle()), sizeof(lp), &lp);
    EXPECT_EQ(lp.lopnStyle, UINT(PS_NULL));

    TBrush brush;
    brush.SetColor(clGreen);
    brush.SetStyle(bsDiagCross);
    LOGBRUSH lb;
    ASSERT_GT(GetObjectW(reinterpret_cast<HGDIOBJ>(brush.Handle()), sizeof(lb), &lb), 0);
    EXPECT_EQ(lb.lbStyle, UINT(BS_HATCHED));
    EXPECT_EQ(lb.lbHatch, uintptr_t(HS_DIAGCROSS));
    brush.SetStyle(bsClear);
    GetObjectW(reinterpret_cast<HGDIOBJ>(brush.Handle()), sizeof(lb), &lb);
    EXPECT_EQ(lb.lbStyle, UINT(BS_HOLLOW));

    EXPECT_EQ(PenModeToROP2(pmCopy), R2_COPYPEN);
    EXPECT_EQ(PenModeToROP2(pmNot), R2_NOT);
    EXPECT_EQ(PenModeToROP2(pmNotXor), R2_NOTXORPEN);
    EXPECT_EQ(PenModeToROP2(pmMaskPenNot), R2_MASKPENNOT);
}

TEST(GraphicsObjectAssign, CopiesOnlyItsOwnKind) {
    TPen a, b;
    a.SetColor(clRed);
    a.SetMode(pmNot);
    b.Assign(&a);
    EXPECT_EQ(b.Color(), clRed);
    EXPECT_EQ(b.Mode(), pmNot);
    TFont f;
    EXPECT_THROW(b.Assign(&f), EConvertError);
    TBrush br;
    EXPECT_THROW(br.Assign(&a), EConvertError);
}

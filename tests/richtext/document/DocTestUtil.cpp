#include "DocTestUtil.h"

#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"

#include <functional>

namespace epc::doctest {

void FillStyle(TRVStyle& style) {
    style.ResetTextStyles();
    style.ResetParaStyles();
    TFontInfo& bold = style.TextStyles.Add();
    bold.StyleName = "Bold";
    bold.Style.Include(TRVFontStyle::rvfsBold);
    bold.Color = clMaroon;
    TFontInfo& uni = style.TextStyles.Add();
    uni.StyleName = "Unicode \"quoted\" name";
    uni.Unicode = true;
    uni.FontName = "Times New Roman";
    uni.Size = 12;
    TFontInfo& link = style.TextStyles.Add();
    link.StyleName = "Link";
    link.Jump = true;
    link.Style.Include(TRVFontStyle::rvfsUnderline);
    link.Color = clBlue;
    link.HoverColor = clRed;
    link.Protection.Include(TRVProtectOption::rvprConcateProtect);
    TParaInfo& boxed = style.ParaStyles.Add();
    boxed.StyleName = "Boxed";
    boxed.LeftIndent = 20;
    boxed.FirstIndent = -10;
    boxed.Alignment = TRVAlignment::rvaCenter;
    boxed.Border.Style = TRVBorderStyle::rvbDouble;
    boxed.Border.Color = clNavy;
    boxed.Border.BorderOffsets = {2, 3, 4, 5};
    boxed.Border.VisibleBorders.SetValues(true, false, true, false);
    boxed.Background.Color = clYellow;
    boxed.Options.Include(TRVParaOption::rvpaoNoWrap);
    style.ListStyles.Clear();
    TRVListInfo& list = style.ListStyles.Add();
    list.StyleName = "Numbered";
    TRVListLevel& l0 = list.AddLevel();
    l0.ListType = TRVListType::rvlstDecimal;
    l0.FormatString = "%0:s.";
    l0.LeftIndent = 24;
    TRVListLevel& l1 = list.AddLevel();
    l1.ListType = TRVListType::rvlstLowerAlpha;
    l1.FormatString = "%0:s.%1:s)";
    l1.LeftIndent = 48;
}

namespace {
TRVTag MakeTag(bool stringTags, int n, const char* s) {
    return stringTags ? TRVTag::FromString(s) : TRVTag(n);
}
} // namespace

std::unique_ptr<TGraphic> MakeBitmap(int w, int h, TColor color) {
    auto bmp = std::make_unique<TBitmap>(w, h, pf24bit);
    bmp->Canvas()->Brush()->SetColor(color);
    bmp->Canvas()->FillRect(TRect{0, 0, w, h});
    bmp->Canvas()->SetPixels(0, 0, clBlack);
    return bmp;
}

void FillDocument(TCustomRVData& data, bool stringTags) {
    data.AddTextParagraph("Plain ANSI text, caf\xE9.", 0, 0, MakeTag(stringTags, 7, "a tag"));
    data.AddTextParagraph(" bold continuation", 1, -1, TRVTag());
    data.AddTextParagraphW(u"\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F600", 2, 1,
                           MakeTag(stringTags, -5, "with \"quotes\" and\r\nline"));
    data.AddTextParagraph("link", 3, -1, MakeTag(stringTags, 3, "http://x y"));
    data.AddBreak(2, TRVBreakStyle::rvbsDashed, clGreen);
    data.AddTextParagraph("first item", 0, 0, TRVTag());
    data.SetParagraphMarker(data.ItemCount() - 1, 0, 0, 1, false);
    data.AddTextParagraph("second item", 0, 0, TRVTag());
    data.SetParagraphMarker(data.ItemCount() - 1, 0, 1, 1, false);
    data.AddTextParagraph("third item", 0, 0, TRVTag());
    data.SetParagraphMarker(data.ItemCount() - 1, 0, 0, 5, true);
    data.AddPictureItem("picture name", MakeBitmap(5, 3, clRed), 1, TRVVAlign::rvvaAbsMiddle,
                        MakeTag(stringTags, 11, "pic"));
    data.AddHotPicture("hot\\picture", MakeBitmap(2, 2, clBlue), -1, TRVVAlign::rvvaBaseline);
    static_cast<TRVGraphicItemInfo*>(data.GetItem(data.ItemCount() - 1))->ImageWidth = 40;
    data.AddPictureItem("no picture", nullptr, -1, TRVVAlign::rvvaBaseline);
    data.AddBullet("bullet", 3, nullptr, 42, -1);
    data.AddHotspot("hotspot", 4, 5, nullptr, 42, -1);
    data.AddControlItem("control", nullptr, 0, TRVVAlign::rvvaMiddle);
    data.AddTextParagraph("after a line break", 0, 0, TRVTag());
    data.GetItem(data.ItemCount() - 1)->SetLineBreakBefore(true);
    data.AddTextParagraph("on a new page", 1, 0, TRVTag());
    data.GetItem(data.ItemCount() - 1)->SetPageBreakBefore(true);
    data.SetCheckpointInfo(0, "start", MakeTag(stringTags, 1, "cp tag"), true);
    data.SetCheckpointInfo(5, "list", TRVTag(), false);
    data.SetDocumentEndCheckpoint("end", MakeTag(stringTags, 9, "end tag"), false);
}

std::string Dump(const TCustomRVData& data) {
    std::string s;
    auto tag = [](const TRVTag& t) {
        if (t.IsEmpty()) return std::string("-");
        return t.IsString() ? "s:" + t.Text() : "n:" + std::to_string(t.Number());
    };
    for (int i = 0; i < data.ItemCount(); ++i) {
        const TRVItemEntry& e = data.Items()[i];
        TCustomRVItemInfo* it = e.Item.get();
        s += std::to_string(i) + " " + it->ClassName() + " style=" + std::to_string(it->StyleNo) +
             " para=" + std::to_string(it->ParaNo) + " opt=" + std::to_string(it->ItemOptions) +
             " tag=" + tag(it->Tag) + " text=" + BytesToHex(e.Text);
        if (auto* b = dynamic_cast<TRVBreakItemInfo*>(it))
            s += " break=" + std::to_string(b->Color) + "/" + std::to_string(b->LineWidth) + "/" +
                 std::to_string(int(b->Style));
        if (auto* r = dynamic_cast<TRVRectItemInfo*>(it))
            s += " rect=" + std::to_string(int(r->VAlign)) + "/" + std::to_string(r->Spacing) +
                 "/" + std::to_string(r->VShift) + "/" + std::to_string(r->MinHeightOnPage);
        if (auto* b = dynamic_cast<TRVBulletItemInfo*>(it))
            s += " image=" + std::to_string(b->ImageIndex) + "/" + std::to_string(b->ImageListTag);
        if (auto* h = dynamic_cast<TRVHotspotItemInfo*>(it))
            s += " hot=" + std::to_string(h->HotImageIndex);
        if (auto* m = dynamic_cast<TRVMarkerItemInfo*>(it))
            s += " marker=" + std::to_string(m->ListNo) + "/" + std::to_string(m->Level) + "/" +
                 std::to_string(m->StartFrom) + "/" + std::to_string(m->Reset) + "/" +
                 m->MarkerText;
        if (auto* g = dynamic_cast<TRVGraphicItemInfo*>(it)) {
            s += " size=" + std::to_string(g->ImageWidth) + "x" + std::to_string(g->ImageHeight);
            if (g->Image)
                s += " image=" + g->Image->ClassName() + "/" + std::to_string(g->Image->Width()) +
                     "x" + std::to_string(g->Image->Height()) + "/" +
                     std::to_string(std::hash<std::string>()(g->Image->SaveToString()));
        }
        if (auto* c = dynamic_cast<TRVControlItemInfo*>(it))
            s += " control=" + (c->Control ? c->Control->Name() : std::string("none"));
        if (it->Checkpoint)
            s += " cp=" + it->Checkpoint->Name + "/" + tag(it->Checkpoint->Tag) + "/" +
                 std::to_string(it->Checkpoint->RaiseEvent);
        s += "\n";
    }
    s += "chain:";
    for (TRVCPInfo* cp = data.FirstCP; cp; cp = cp->Next)
        s += " " + cp->Name;
    s += " count=" + std::to_string(data.CPCount);
    if (data.NotAddedCP) s += " end=" + data.NotAddedCP->Name + "/" + tag(data.NotAddedCP->Tag);
    s += "\n";
    return s;
}

} // namespace epc::doctest

// A rich-text document built item by item, saved as RVF (text and binary bodies), plain text,
// RTF and HTML (plain and with CSS), plus a simple one-line-per-paragraph preview drawn with the
// style sheet.

#include <algorithm>
#include <string>

#include "demo/DemoRegistry.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ImageFormats.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVGraphicSupport.h"

using namespace epc;

namespace {

void BuildStyles(TRVStyle& style) {
    style.TextStyles[0].FontName = "Arial";
    style.TextStyles[0].Size = 11;
    TFontInfo& heading = style.TextStyles.Add(); // 1
    heading.StyleName = "Heading";
    heading.Size = 16;
    heading.Style.Include(TRVFontStyle::rvfsBold);
    heading.Color = clNavy;
    TFontInfo& link = style.TextStyles.Add(); // 2
    link.StyleName = "Hyperlink";
    link.Size = 11;
    link.Jump = true;
    link.Color = clBlue;
    link.Style.Include(TRVFontStyle::rvfsUnderline);
    TFontInfo& wide = style.TextStyles.Add(); // 3
    wide.StyleName = "Unicode";
    wide.Unicode = true;
    wide.Size = 11;
    wide.Style.Include(TRVFontStyle::rvfsItalic);
    TFontInfo& russian = style.TextStyles.Add(); // 4: 8-bit text in the Cyrillic code page
    russian.StyleName = "Russian";
    russian.FontName = "Times New Roman";
    russian.Charset = RUSSIAN_CHARSET;
    russian.Size = 12;
    russian.Color = clRed;
    TParaInfo& centered = style.ParaStyles.Add(); // 1
    centered.StyleName = "Centered";
    centered.Alignment = TRVAlignment::rvaCenter;
    TParaInfo& note = style.ParaStyles.Add(); // 2
    note.StyleName = "Note";
    note.LeftIndent = 16;
    note.Background.Color = clCream;
    note.Border.Style = TRVBorderStyle::rvbSingle;
    note.Border.Color = clGray;
    TParaInfo& right = style.ParaStyles.Add(); // 3
    right.StyleName = "Right";
    right.Alignment = TRVAlignment::rvaRight;
    right.RightIndent = 32;
    right.SpaceBefore = 8;
    TRVListInfo& list = style.ListStyles.Add();
    list.StyleName = "Steps";
    TRVListLevel& l0 = list.AddLevel();
    l0.ListType = TRVListType::rvlstDecimal;
    l0.FormatString = "%0:s.";
    l0.LeftIndent = 24;
    TRVListLevel& l1 = list.AddLevel();
    l1.ListType = TRVListType::rvlstLowerAlpha;
    l1.FormatString = "%1:s)";
    l1.LeftIndent = 48;
}

std::unique_ptr<TGraphic> MakePicture() {
    auto bmp = std::make_unique<TBitmap>(120, 60, pf24bit);
    TCanvas* c = bmp->Canvas();
    c->Brush()->SetColor(clSkyBlue);
    c->FillRect(TRect{0, 0, 120, 60});
    c->Brush()->SetColor(clYellow);
    c->Pen()->SetColor(clOlive);
    c->Ellipse(8, 8, 52, 52);
    c->Brush()->SetColor(clGreen);
    c->Polygon(std::vector<TPoint>{{60, 55}, {90, 10}, {115, 55}});
    return bmp;
}

void BuildDocument(TCustomRVData& data) {
    data.AddTextParagraph("Question 12", 1, 1, TRVTag());
    data.SetCheckpointInfo(0, "question", TRVTag(12), false);
    data.AddTextParagraph("Read the exhibit, then answer. See ", 0, 0, TRVTag());
    data.AddTextParagraph("the reference", 2, -1, TRVTag(1));
    data.AddTextParagraph(" for details.", 0, -1, TRVTag());
    data.AddTextParagraphW(u"Unicode: \u00C9t\u00E9, \u041F\u0440\u0438\u0432\u0435\u0442, "
                           u"\u03B1\u03B2\u03B3",
                           3, 0, TRVTag());
    data.AddPictureItem("exhibit", MakePicture(), 1, TRVVAlign::rvvaBaseline);
    data.AddTextParagraph(WideToAnsi(u"\u041E\u0442\u0432\u0435\u0442: ", 1251), 4, 3, TRVTag());
    auto photo = std::make_unique<TJPEGImage>();
    photo->Assign(MakePicture().get());
    data.AddPictureItem("photo", std::move(photo), -1, TRVVAlign::rvvaBaseline);
    const char* steps[] = {"Open the exhibit", "Compare the values", "Check the units",
                           "Choose the answer"};
    for (int i = 0; i < 4; ++i) {
        data.AddTextParagraph(steps[i], 0, 0, TRVTag());
        data.SetParagraphMarker(data.ItemCount() - 1, 0, i == 2 ? 1 : 0, 1, false);
    }
    data.AddBreak(1, TRVBreakStyle::rvbsLine, clGray);
    data.AddTextParagraph("Time allowed: 2 minutes.", 0, 2, TRVTag());
    data.SetDocumentEndCheckpoint("end", TRVTag(), false);
}

bool Write(const std::string& path, const std::function<void(TStream&)>& writer) {
    try {
        TFileStream fs(path, fmCreate);
        writer(fs);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// A preview without line breaking: one row per paragraph, items left to right.
void DrawPreview(TCustomRVData& data, TRVStyle& style, const std::string& path) {
    TBitmap page(480, 420, pf24bit);
    TCanvas* c = page.Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(TRect{0, 0, 480, 420});
    int x = 10, y = 10, rowHeight = 0;
    auto newRow = [&]() {
        y += rowHeight + 6;
        rowHeight = 0;
        x = 10;
    };
    for (int i = 0; i < data.ItemCount(); ++i) {
        TCustomRVItemInfo* item = data.GetItem(i);
        if (i > 0 && !item->GetJoinsPrevious()) newRow();
        const TParaInfo& para = style.ParaStyles[item->ParaNo];
        if (item->StartsParagraph()) x = 10 + para.LeftIndent;
        if (item->StyleNo >= 0) {
            const std::string& text = data.GetItemText(i);
            style.ApplyStyle(c, item->StyleNo, TRVBiDiMode::rvbdUnspecified);
            style.ApplyStyleColor(c, item->StyleNo, {}, false, TRVColorMode::rvcmColor);
            int w = GetTextWidth(c, text, item->IsUnicode());
            int h = c->TextHeight(std::string("Ag"));
            if (item->StartsParagraph() && para.Background.Color != clNone) {
                style.DrawParaBack(c, item->ParaNo, TRect{x - 2, y - 2, 470, y + h + 2}, false,
                                   TRVColorMode::rvcmColor);
                para.Border.Draw(TRect{x - 2, y - 2, 470, y + h + 2}, c);
                style.ApplyStyleColor(c, item->StyleNo, {}, false, TRVColorMode::rvcmColor);
            }
            style.DrawStyleText(text, c, i, x, y, w, h, item->StyleNo, &data, {}, false, false,
                                TRVColorMode::rvcmColor, TRVBiDiMode::rvbdUnspecified);
            x += w;
            rowHeight = std::max(rowHeight, h);
        } else if (item->StyleNo == rvsBreak) {
            TRVDrawLineInfo dli;
            dli.Height = 11;
            item->PaintFullWidth(10, 470, y, c, 0, &style, TRect{0, 0, 480, 420}, &dli);
            rowHeight = 11;
        } else if (item->StyleNo == rvsListMarker) {
            auto* m = static_cast<TRVMarkerItemInfo*>(item);
            TRVListLevel* lvl = m->GetLevelInfo(&style);
            x = 10 + (lvl ? lvl->LeftIndent : 0);
            style.ApplyStyle(c, 0, TRVBiDiMode::rvbdUnspecified);
            style.ApplyStyleColor(c, 0, {}, false, TRVColorMode::rvcmColor);
            c->TextOut(x, y, m->MarkerText);
            x += 24;
        } else {
            item->Paint(x, y, c, 0, &style, nullptr);
            x += item->GetBoxWidth();
            rowHeight = std::max(rowHeight, item->GetBoxHeight());
        }
        if (item->Checkpoint) style.DrawCheckpoint(c, 4, y + 4, i, 0, false, nullptr);
    }
    style.DrawPageBreak(c, 410, 0, TRVPageBreakType::rvpbSoftPageBreak, nullptr, 480);
    page.SaveToPngFile(path);
}

bool RunDocumentDemo(const std::string& dir) {
    TRVStyle style(nullptr);
    BuildStyles(style);
    TRVDocument data;
    data.SetRVStyle(&style);
    BuildDocument(data);
    TRVLayoutInfo layout;
    bool ok = true;
    ok &= Write(dir + "/document.rvf", [&](TStream& s) {
        data.SaveToRvfStream(s, false, clWhite, TBackgroundStyle::bsNoBitmap, nullptr, &layout);
    });
    data.SetRVFOptions(data.GetRVFOptions() | TRVFOption::rvfoSaveBinary);
    ok &= Write(dir + "/document-binary.rvf", [&](TStream& s) {
        data.SaveToRvfStream(s, false, clWhite, TBackgroundStyle::bsNoBitmap, nullptr, &layout);
    });
    ok &= Write(dir + "/document.txt",
                [&](TStream& s) { data.WriteTextToStream(s, dir, 40, false, false); });
    ok &= Write(dir + "/document-utf16.txt",
                [&](TStream& s) { data.WriteTextToStream(s, dir, 40, false, true); });
    ok &= data.SaveRtfToFile(dir + "/document.rtf", false, clWhite);
    ok &= Write(dir + "/document.html",
                [&](TStream& s) { data.WriteHtmlToStream(s, dir, "Question 12", false); });
    ok &= Write(dir + "/document-css.html",
                [&](TStream& s) { data.WriteHtmlCssToStream(s, dir, "Question 12", false); });
    // The binary file must read back into an equal document.
    TRVDocument again;
    TRVStyle style2(nullptr);
    again.SetRVStyle(&style2);
    TFileStream in(dir + "/document-binary.rvf", fmOpenRead);
    ok &= again.LoadFromRvfStream(in) && again.ItemCount() == data.ItemCount();
    DrawPreview(again, style2, dir + "/document.png");
    return ok;
}

} // namespace

static demo::DemoSection documentSection("05-document", RunDocumentDemo);

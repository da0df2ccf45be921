// Feeds arbitrary bytes to the RVF reader, both loading and inserting into a document, with
// numeric and string tags. The reader must return false or succeed, never crash or leak, and
// a document that loaded must save and load again, and save to the same bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "richtext/document/RVData.h"
#include "richtext/table/RVTable.h"

using namespace epc;

namespace {

void FillSheet(TRVStyle& style) {
    style.TextStyles.Add().Unicode = true;
    style.TextStyles.Add().Jump = true;
    style.ParaStyles.Add().StyleName = "Second";
    TRVListInfo& list = style.ListStyles.Add();
    TRVListLevel& lvl = list.AddLevel();
    lvl.ListType = TRVListType::rvlstDecimal;
    lvl.FormatString = "%0:s.";
    list.AddLevel().ListType = TRVListType::rvlstUpperRoman;
}

void BuildSeedDocument(TCustomRVData& data, bool stringTags) {
    auto tag = [&](int n) {
        return stringTags ? TRVTag::FromString("t " + std::to_string(n)) : TRVTag(n);
    };
    data.AddTextParagraph("Hello, world", 0, 0, tag(1));
    data.AddTextParagraphW(u"\u00E9t\u00E9 \U0001F600", 1, -1, tag(2));
    data.AddTextParagraph("link", 2, -1, TRVTag());
    data.AddBreak(2, TRVBreakStyle::rvbsDotted, clRed);
    data.AddTextParagraph("numbered", 0, 1, TRVTag());
    data.SetParagraphMarker(data.ItemCount() - 1, 0, 1, 3, true);
    data.AddPictureItem("pic", nullptr, 0, TRVVAlign::rvvaMiddle, tag(3));
    auto bmp = std::make_unique<TBitmap>(3, 2, pf24bit);
    bmp->Canvas()->SetPixels(1, 1, clRed);
    data.AddHotPicture("hot", std::move(bmp), -1, TRVVAlign::rvvaBaseline);
    data.AddBullet("b", 2, nullptr, 5, -1);
    data.AddHotspot("h", 1, 2, nullptr, 5, -1);
    data.AddControlItem("c", nullptr, 0, TRVVAlign::rvvaBaseline);
    // A table with a merged title row, a spanning column, a nested table and row alignments.
    auto table = TRVTableItemInfo::CreateSized(3, &data, 3);
    TRVTableItemInfo* t = table.get();
    data.AppendItem(std::string(), std::move(table));
    t->Inserted(&data, data.ItemCount() - 1);
    t->Rows.MergeCellRange(0, 0, 3, 1, true, false);
    t->Rows.MergeCellRange(1, 2, 1, 2, true, false);
    t->Rows.GetRow(2)->VAlign = rvcBottom;
    t->GetCell(0, 0)->ClearAllItems();
    t->GetCell(0, 0)->AddTextParagraph("title", 2, 1, tag(6));
    t->GetCell(1, 1)->Color = clYellow;
    TBitmap cellPicture(2, 2, pf24bit);
    cellPicture.Canvas()->SetPixels(0, 1, clBlue);
    t->GetCell(1, 1)->SetBackgroundImage(&cellPicture);
    auto inner = TRVTableItemInfo::CreateSized(1, t->GetCell(2, 0), 2);
    TRVTableItemInfo* in = inner.get();
    t->GetCell(2, 0)->ClearAllItems();
    t->GetCell(2, 0)->AppendItem(std::string(), std::move(inner));
    in->Inserted(t->GetCell(2, 0), 0);
    data.SetCheckpointInfo(0, "start", tag(4), true);
    data.SetDocumentEndCheckpoint("end", tag(5), false);
}

// No item points past a table of the sheet.
void CheckStyles(const TCustomRVData& data, const TRVStyle& style) {
    for (int i = 0; i < data.ItemCount(); ++i) {
        const TCustomRVItemInfo* item = data.GetItem(i);
        if (item->StyleNo >= style.TextStyles.Count() || item->ParaNo < 0 ||
            item->ParaNo >= style.ParaStyles.Count())
            __builtin_trap();
        if (auto* m = dynamic_cast<const TRVMarkerItemInfo*>(item))
            if (m->ListNo >= style.ListStyles.Count()) __builtin_trap();
    }
}

} // namespace

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    for (int variant = 0; variant < 4; ++variant) {
        bool binary = variant & 1, stringTags = variant & 2;
        TRVStyle style(nullptr);
        FillSheet(style);
        TRVDocument data;
        data.SetRVStyle(&style);
        if (stringTags) data.SetOptions(TRVOptions{TRVOption::rvoTagsArePChars});
        TRVFOptions o = data.GetRVFOptions();
        if (binary) o.Include(TRVFOption::rvfoSaveBinary);
        if (variant == 2) o.Include(TRVFOption::rvfoUseStyleNames);
        data.SetRVFOptions(o);
        BuildSeedDocument(data, stringTags);
        TRVLayoutInfo layout;
        TMemoryStream ms;
        data.SaveToRvfStream(ms, false, clWhite, TBackgroundStyle::bsNoBitmap, nullptr, &layout);
        // The seeds must load, or the tables in them would never be reached.
        TRVDocument check;
        check.SetRVStyle(&style);
        check.SetOptions(data.GetOptions());
        ms.SetPosition(0);
        if (!check.LoadFromRvfStream(ms) || check.ItemCount() != data.ItemCount()) __builtin_trap();
        seeds.push_back(ms.DataString());
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::string input(reinterpret_cast<const char*>(bytes), size);
    for (int variant = 0; variant < 2; ++variant) {
        TRVStyle style(nullptr);
        FillSheet(style);
        TRVDocument data;
        data.SetRVStyle(&style);
        if (variant) data.SetOptions(TRVOptions{TRVOption::rvoTagsArePChars});
        TStringStream in(input);
        if (data.LoadFromRvfStream(in)) {
            CheckStyles(data, style);
            TMemoryStream out;
            data.SaveToRvfStream(out, false);
            TRVDocument again;
            again.SetRVStyle(&style);
            again.SetOptions(data.GetOptions());
            out.SetPosition(0);
            if (!again.LoadFromRvfStream(out)) __builtin_trap();
            // And saving what loaded gives the same bytes again.
            TMemoryStream second;
            again.SaveToRvfStream(second, false);
            if (second.DataString() != out.DataString()) __builtin_trap();
            TMemoryStream text;
            data.WriteTextToStream(text, "", 20, false, variant == 1);
        }
        // Inserting into the middle of an existing document (whose sheet no load replaced).
        TRVStyle insertStyle(nullptr);
        FillSheet(insertStyle);
        TRVDocument target;
        target.SetRVStyle(&insertStyle);
        target.SetOptions(data.GetOptions());
        target.AddTextParagraph("a", 0, 0, TRVTag());
        target.AddTextParagraph("b", 0, 0, TRVTag());
        TStringStream in2(input);
        int index = 1, first, last;
        bool full;
        if (target.RvfReadLoop(in2, index, first, last, full)) CheckStyles(target, insertStyle);
    }
    return 0;
}

// Splitting a printed table into page parts between rows, with heading rows repeated on top of
// every part.

#include <algorithm>

#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/table/RVTable.h"

namespace epc {

TRVTablePrintInfo::TRVTablePrintInfo(TRVTableItemInfo* table) : FTable(table) {}

bool TRVTablePrintInfo::CanSplit() const {
    return FTable && FTable->RowCount() > 0 &&
           FTable->PrintOptions.Contains(TRVTablePrintOption::rvtoRowsSplit);
}

int TRVTablePrintInfo::RepeatedHeadingRows() const {
    if (!FTable || !FTable->HeadingRowsValid()) return 0;
    const int n = std::min(FTable->HeadingRowCount(), FTable->RowCount());
    return n < FTable->RowCount() ? n : 0;
}

int TRVTablePrintInfo::PartHeight(int first, int count) const {
    const TRVTableItemFormattingInfo& fi = FTable->Formatting();
    const int rows = FTable->RowCount();
    if (rows == 0 || fi.RowStarts.Count() != rows || count <= 0) return fi.Height;
    const int lastRow = rows - 1;
    const int top = fi.RowStarts[0];
    const int bottom = fi.Height - (fi.RowStarts[lastRow] + fi.RowHeights[lastRow]);
    const int headings = RepeatedHeadingRows();
    const int headingExtent =
        headings > 0 && first >= headings ? fi.RowStarts[headings] - fi.RowStarts[0] : 0;
    const int last = std::min(first + count, rows) - 1;
    return ToDevice(top + headingExtent + fi.RowStarts[last] + fi.RowHeights[last] -
                    fi.RowStarts[first] + bottom);
}

int TRVTablePrintInfo::ToDevice(int v) const {
    return Sad.DevicePPIY == Sad.ScreenPPIY
               ? v
               : MulDiv(v, Sad.DevicePPIY, std::max(Sad.ScreenPPIY, 1));
}

void TRVTablePrintInfo::PartRows(int part, int& first, int& count) const {
    first = 0;
    count = FTable->RowCount();
    TRVTablePrintPart* p = part >= 0 && part < PartsList.Count() ? Part(part) : nullptr;
    if (!p) return;
    // The first part prints the heading rows as rows of its own.
    first = part == 0 ? 0 : p->FirstRow;
    count = p->FirstRow + p->RowCount - first;
}

int TRVTablePrintInfo::RowBandTop(int row) const {
    const TRVTableItemFormattingInfo& fi = FTable->Formatting();
    const int rows = fi.RowStarts.Count();
    if (row <= 0 || rows == 0) return 0;
    if (row >= rows) return fi.Height;
    // Half way between the bottom of the row above and the top of this one.
    const int above = fi.RowStarts[row - 1] + fi.RowHeights[row - 1] + 2 * FTable->CellPadding();
    return std::max(above, (above + fi.RowStarts[row]) / 2);
}

TRVTablePrintPart* TRVTablePrintInfo::Part(int index) const {
    return dynamic_cast<TRVTablePrintPart*>(PartsList.Items(index));
}

void TRVTablePrintInfo::EnsureRowParts() {
    if (PartsList.Count() > 0 && Part(0)) return;
    PartsList.Clear();
    auto first = std::make_unique<TRVTablePrintPart>();
    first->FirstRow = RepeatedHeadingRows();
    first->RowCount = FTable->RowCount() - first->FirstRow;
    first->Height = Height > 0 ? Height : FTable->Formatting().Height;
    PartsList.Add(std::move(first));
}

bool TRVTablePrintInfo::FitsFirstPart(int height) const {
    if (!CanSplit()) return false;
    const int first = RepeatedHeadingRows();
    if (first >= FTable->RowCount()) return false;
    // The first part prints the rows before its first body row as well (the headings).
    return PartHeight(0, first + 1) <= height;
}

bool TRVTablePrintInfo::SplitAt(int height) {
    if (PartsList.Count() == 0) throw ERichViewError(errRVInternalPrinting);
    EnsureRowParts();
    TRVTablePrintPart* last = Part(PartsList.Count() - 1);
    if (!last) throw ERichViewError(errRVInternalPrinting);
    const int f = last->FirstRow, n = last->RowCount;
    if (n <= 1 || last->Height <= height) return false;
    // The first part holds the heading rows as body rows of its own.
    const int partTop = PartsList.Count() == 1 ? 0 : f;
    int fit = 0;
    while (fit < n && PartHeight(partTop, f + fit + 1 - partTop) <= height)
        ++fit;
    // A row taller than the page goes alone onto its page, cut at the bottom.
    fit = std::max(fit, 1);
    int split = f + fit;
    // No cell spanning several rows is cut: end before its first row...
    for (bool moved = true; moved && split > f;) {
        moved = false;
        for (int r = f; r < split && !moved; ++r)
            for (int c = 0; c < FTable->ColCount(); ++c)
                if (TRVTableCellData* cell = FTable->Rows.GetRow(r)->Cell(c);
                    cell && r < split && r + cell->RowSpan > split) {
                    split = r;
                    moved = true;
                    break;
                }
    }
    // ...or, when that leaves nothing, after the cells spanning from the part's first row.
    if (split <= f) {
        split = f + 1;
        for (int c = 0; c < FTable->ColCount(); ++c) {
            int mr, mc;
            TRVTableCellData* cell = FTable->Rows.GetMainCell(f, c, mr, mc);
            if (cell) split = std::max(split, mr + cell->RowSpan);
        }
    }
    if (split > f + n) throw ERichViewError(errRVInternalPrinting);
    if (split == f + n) return false;
    auto rest = std::make_unique<TRVTablePrintPart>();
    rest->FirstRow = split;
    rest->RowCount = f + n - split;
    rest->Height = PartHeight(split, rest->RowCount);
    last->RowCount = split - f;
    last->Height = std::min(PartHeight(partTop, split - partTop), height);
    PartsList.Add(std::move(rest));
    return true;
}

// ---------------------------------------------------------------- the table item

std::unique_ptr<TRVDrawLineInfo>
TRVTableItemInfo::CreatePrintingDrawItem(TCustomRVData*, const TRVScreenAndDevice* sad) {
    auto info = std::make_unique<TRVTablePrintInfo>(this);
    if (sad) info->Sad = *sad;
    return info;
}

void TRVTableItemInfo::PaintPrintPart(TCanvas* canvas, int x, int y, const TRVTablePrintInfo& info,
                                      int part) {
    const TRVTableItemFormattingInfo& fi = FFormatting;
    int first = 0, count = 0;
    info.PartRows(part, first, count);
    // One band of the layout (from layout y Top to Bottom) painted at canvas y At, clipped to it.
    auto band = [&](int top, int bottom, int at) {
        if (bottom <= top) return;
        HDC dc = canvas->Handle();
        const int saved = SaveDC(dc);
        auto restore = Finally([&] { RestoreDC(dc, saved); });
        IntersectClipRect(dc, x, at, x + fi.Width, at + bottom - top);
        // Cell documents take the clip rectangle's corner as the canvas origin: it stays at
        // (0, 0), and the device clip keeps the band.
        PaintAt(x, at - top, canvas, TRect(0, 0, x + fi.Width, at + bottom - top), false, clNone);
    };
    int at = y;
    const int headings = part > 0 ? info.RepeatedHeadingRows() : 0;
    if (headings > 0) {
        const int bottom = info.RowBandTop(headings);
        band(0, bottom, at);
        at += bottom;
    }
    const int top = info.RowBandTop(first);
    band(top, info.RowBandTop(first + count), at);
}

void TRVTableItemInfo::Print(TCanvas* canvas, int x, int y, bool, bool,
                             const TRVScreenAndDevice* sad, TRVColorMode, int part,
                             TRVDrawLineInfo* dli, TCustomRVData*) {
    auto* info = dynamic_cast<TRVTablePrintInfo*>(dli);
    if (!canvas || !info || Rows.IsEmpty()) return;
    const TRVScreenAndDevice s = sad ? *sad : info->Sad;
    if (s.DevicePPIX == s.ScreenPPIX && s.DevicePPIY == s.ScreenPPIY) {
        PaintPrintPart(canvas, x, y, *info, part);
        return;
    }
    // Laid out in screen pixels: the part is painted into a picture scaled to the printer.
    int first = 0, count = 0;
    info->PartRows(part, first, count);
    const int headings = part > 0 ? info->RepeatedHeadingRows() : 0;
    const int h = (headings > 0 ? info->RowBandTop(headings) : 0) +
                  info->RowBandTop(first + count) - info->RowBandTop(first);
    const int w = FFormatting.Width;
    if (w <= 0 || h <= 0) return;
    TBitmap bmp;
    bmp.SetSize(w, h);
    bmp.Canvas()->Brush()->SetColor(clWhite);
    bmp.Canvas()->FillRect(TRect(0, 0, w, h));
    PaintPrintPart(bmp.Canvas(), 0, 0, *info, part);
    TRVResolutionInfo res;
    res.ScreenResX = s.ScreenPPIX;
    res.ScreenResY = s.ScreenPPIY;
    res.DeviceResX = s.DevicePPIX;
    res.DeviceResY = s.DevicePPIY;
    DrawGraphicForDevice(canvas, x, y, &bmp, res, w, h);
}

} // namespace epc

// Printing a table: a print record with a layout of its own at the printer's resolution and a
// printable copy of every cell, split into page parts between rows, with heading rows repeated
// on top of every part. The table's screen layout and its cells are never touched.

#include <algorithm>

#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableInplace.h"

namespace epc {

// ---------------------------------------------------------------- printable cell documents

TCellPtblRVData::TCellPtblRVData(TCustomRichView* richView, TCustomMainPtblRVData* main,
                                 TCustomRVData* holder, TRVTableCellData& cell)
    : TRectPtblRVData(richView, main, cell), Cell(&cell), FHolder(holder) {}

TRVStyle* TCellPtblRVData::GetRVStyle() const {
    return FHolder ? FHolder->GetRVStyle() : TRectPtblRVData::GetRVStyle();
}

TRVFlags TCellPtblRVData::GetFlags() const {
    // Embedded controls belong to the shown document: printing never moves them.
    return TRVFlags{TRVFlag::TrimSpaces, TRVFlag::SubDocument, TRVFlag::Printing,
                    TRVFlag::NoControlMoves};
}

TRVOptions TCellPtblRVData::GetOptions() const {
    TRVOptions options = TRectPtblRVData::GetOptions();
    options.Exclude(TRVOption::rvoClientTextWidth);
    return options;
}

void TCellPtblRVData::FormatForWidth(int width, TCanvas* canvas) {
    SetSize(width, 0);
    FormatOn(canvas);
}

int TCellPtblRVData::GetVAlignOffset() const {
    switch (Cell->GetEffectiveVAlign()) {
    case rvcMiddle:
        return (Height() - DocumentHeight) / 2;
    case rvcBottom:
        return Height() - DocumentHeight;
    default:
        return 0;
    }
}

void TCellPtblRVData::DrawAt(TCanvas* canvas, int x, int y, bool preview, bool correction) {
    FOriginX = x;
    FOriginY = y + GetVAlignOffset();
    DrawPage(1, canvas, preview, correction);
}

// ---------------------------------------------------------------- the print record

TRVTablePrintInfo::TRVTablePrintInfo(TRVTableItemInfo* table) : FTable(table) {
    RepeatHeadings = table && table->HeadingRowsValid();
    if (table) FTableAlive = table->AliveToken();
}

bool TRVTablePrintInfo::Splittable() const {
    return FTable && FTable->RowCount() > 0 &&
           FTable->PrintOptions.Contains(TRVTablePrintOption::rvtoRowsSplit);
}

bool TRVTablePrintInfo::CanSplit() {
    if (!Splittable()) return false;
    PartsList.Clear();
    EnsureRowParts();
    return true;
}

int TRVTablePrintInfo::RepeatedHeadingRows() const {
    if (!FTable || !RepeatHeadings) return 0;
    const int n = std::min(FTable->HeadingRowCount(), FTable->RowCount());
    return n < FTable->RowCount() ? n : 0;
}

TCellPtblRVData* TRVTablePrintInfo::CellDoc(int row, int col) const {
    const size_t k = size_t(row) * size_t(FTable->ColCount()) + size_t(col);
    return row >= 0 && col >= 0 && k < PrintCells.size() ? PrintCells[k].get() : nullptr;
}

bool TRVTablePrintInfo::LayoutOutdated() const {
    // A table deleted from its document since is outdated too (and never read).
    if (!FTable || FTableAlive.expired() || FTable->ChangeStamp() != Stamp) return true;
    return std::any_of(Nested.begin(), Nested.end(),
                       [](const TRVMultiDrawItemInfo* multi) { return multi->LayoutOutdated(); });
}

int TRVTablePrintInfo::RowEnd(int row) const {
    const int pad = Sad.YToDevice(FTable->CellPadding());
    return Fmt.RowStarts[row] + Fmt.RowHeights[row] + 2 * pad;
}

int TRVTablePrintInfo::PartHeight(int first, int count) const {
    const int rows = FTable->RowCount();
    if (rows == 0 || Fmt.RowStarts.Count() != rows || count <= 0 || first < 0 || first >= rows)
        return Fmt.Height;
    const int last = std::min(first + count, rows) - 1;
    const int headings = RepeatedHeadingRows();
    // The table's top edge, the headings when the part comes after them, its rows, and the
    // table's bottom edge.
    const int headingExtent =
        headings > 0 && first >= headings ? Fmt.RowStarts[headings] - Fmt.RowStarts[0] : 0;
    const int bottomEdge = Fmt.Height - RowEnd(rows - 1);
    return Fmt.RowStarts[0] + headingExtent + RowEnd(last) - Fmt.RowStarts[first] + bottomEdge;
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

TRVTablePrintPart* TRVTablePrintInfo::Part(int index) const {
    return dynamic_cast<TRVTablePrintPart*>(PartsList.Items(index));
}

void TRVTablePrintInfo::EnsureRowParts() {
    if (PartsList.Count() > 0 && Part(0)) return;
    PartsList.Clear();
    auto first = std::make_unique<TRVTablePrintPart>();
    first->FirstRow = RepeatedHeadingRows();
    first->RowCount = FTable->RowCount() - first->FirstRow;
    first->Height = Height;
    PartsList.Add(std::move(first));
}

bool TRVTablePrintInfo::FitsFirstPart(int height) const {
    if (!Splittable()) return false;
    // A table of heading rows only has no body row to begin with: it starts on a new page.
    if (RepeatHeadings && FTable->HeadingRowCount() >= FTable->RowCount()) return false;
    const int first = RepeatedHeadingRows();
    if (first >= FTable->RowCount()) return false;
    // The first part prints the heading rows as rows of its own above its first body row.
    return PartHeight(0, first + 1) <= height;
}

bool TRVTablePrintInfo::SplitAt(int height) {
    if (PartsList.Count() == 0 || !FTable) throw ERichViewError(errRVInternalPrinting);
    EnsureRowParts();
    TRVTablePrintPart* last = Part(PartsList.Count() - 1);
    if (!last || Fmt.RowStarts.Count() != FTable->RowCount())
        throw ERichViewError(errRVInternalPrinting);
    const int f = last->FirstRow, n = last->RowCount;
    if (n <= 1 || last->Height <= height) return false;
    int fit = 0;
    while (fit < n && PartHeight(f, fit + 1) <= height)
        ++fit;
    if (fit >= n) return false;
    // A row taller than a page goes alone onto its page and is cut at the bottom.
    int split = f + std::max(fit, 1);
    // No cell spanning several rows is cut: the piece ends before the first row of a cell
    // that spans into the split row...
    const int cols = FTable->ColCount();
    for (bool moved = true; moved && split > f;) {
        moved = false;
        for (int c = 0; c < cols; ++c) {
            int mr = 0, mc = 0;
            FTable->Rows.GetMainCell(split, c, mr, mc);
            if (mr < split) {
                split = mr;
                moved = true;
            }
        }
    }
    // ...or, when that leaves nothing, after the cells that span from the part's first row.
    if (split <= f) {
        split = f + 1;
        for (int c = 0; c < cols; ++c) {
            int mr = 0, mc = 0;
            if (TRVTableCellData* cell = FTable->Rows.GetMainCell(f, c, mr, mc))
                split = std::max(split, mr + int(cell->RowSpan));
        }
    }
    if (split > f + n) throw ERichViewError(errRVInternalPrinting);
    if (split == f + n) return false;
    auto rest = std::make_unique<TRVTablePrintPart>();
    rest->FirstRow = split;
    rest->RowCount = f + n - split;
    rest->Height = PartHeight(split, rest->RowCount);
    last->RowCount = split - f;
    last->Height = PartHeight(f, split - f);
    PartsList.Add(std::move(rest));
    return true;
}

// ---------------------------------------------------------------- the table item

std::unique_ptr<TRVTablePrintInfo>
TRVTableItemInfo::CreatePrintInfo(const TRVScreenAndDevice* sad) {
    auto info = std::make_unique<TRVTablePrintInfo>(this);
    if (sad) info->Sad = *sad;
    return info;
}

std::unique_ptr<TRVDrawLineInfo>
TRVTableItemInfo::CreatePrintingDrawItem(TCustomRVData*, const TRVScreenAndDevice* sad) {
    return CreatePrintInfo(sad);
}

void TRVTableItemInfo::FormatForPrinting(int docWidth, TCanvas* canvas, TRVTablePrintInfo& info,
                                         TCustomRVData* rvData) {
    TRVTableItemFormattingInfo& fi = info.Fmt;
    info.PartsList.Clear();
    info.PrintCells.clear();
    // Every position that holds a cell gets a printable document, empty cells too: the
    // painter takes each cell's box from it.
    auto* holder = dynamic_cast<TRichViewRVData*>(rvData);
    TCustomMainPtblRVData* main = dynamic_cast<TCustomMainPtblRVData*>(rvData);
    if (auto* rect = dynamic_cast<TRectPtblRVData*>(rvData); !main && rect) main = rect->Main();
    const int n = ColCount();
    info.PrintCells.resize(size_t(RowCount()) * size_t(n));
    if (holder)
        for (int r = 0; r < RowCount(); ++r)
            for (int c = 0; c < n; ++c)
                if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c)) {
                    auto doc =
                        std::make_unique<TCellPtblRVData>(holder->RichView, main, rvData, *cell);
                    // The edited cell's items are its editor's: the page shows what the
                    // screen does. A record made then is outdated once the editor closes.
                    if (FInplaceEditor && r == FEditedRow && c == FEditedCol &&
                        cell->ItemCount() == 0)
                        doc->ShareItemsOf(*FInplaceEditor->EditData());
                    doc->PrnSad = info.Sad.Resolutions();
                    // Pictures in the cell are printed on its colour.
                    doc->Color = GetCellColor(cell);
                    info.PrintCells[size_t(r * n + c)] = std::move(doc);
                }
    const TRVScreenAndDevice* oldSad = FSad;
    FSad = &info.Sad;
    auto restore = Finally([&] { FSad = oldSad; });
    FormatTable(docWidth, canvas, true, fi, &info);
    info.Width = fi.Width;
    info.Height = fi.Height;
    info.DeviceSized = true;
    info.RepeatHeadings = HeadingRowsValid();
    info.Stamp = FChangeStamp;
    // Tables inside cells keep records of their own.
    info.Nested.clear();
    for (const auto& doc : info.PrintCells)
        for (int i = 0; doc && i < doc->DrawItems.Count(); ++i)
            if (auto* multi = dynamic_cast<const TRVMultiDrawItemInfo*>(doc->DrawItems[i]))
                info.Nested.push_back(multi);
}

void TRVTableItemInfo::PrintPart(TCanvas* canvas, int x, int y, const TRVTablePrintInfo& info,
                                 int part, TRVColorMode colorMode, bool preview, bool correction) {
    const TRVScreenAndDevice* oldSad = FSad;
    FSad = &info.Sad;
    auto restore = Finally([&] { FSad = oldSad; });
    TPaintJob job;
    job.Fmt = &info.Fmt;
    job.Print = &info;
    info.PartRows(part, job.FirstRow, job.RowCount);
    const int headings = info.RepeatedHeadingRows();
    job.Headings = part > 0 && job.FirstRow >= headings ? headings : 0;
    job.ColorMode = colorMode;
    job.Preview = preview;
    job.Correction = correction;
    const int height = info.PartHeight(job.FirstRow, job.RowCount);
    PaintTable(x, y, canvas, TRect(x - 1, y - 1, x + info.Fmt.Width + 1, y + height + 1), job);
}

void TRVTableItemInfo::Print(TCanvas* canvas, int x, int y, bool preview, bool correction,
                             const TRVScreenAndDevice*, TRVColorMode colorMode, int part,
                             TRVDrawLineInfo* dli, TCustomRVData*) {
    auto* info = dynamic_cast<TRVTablePrintInfo*>(dli);
    // A record made before the table changed is never drawn from.
    if (!canvas || !info || info->LayoutOutdated()) return;
    PrintPart(canvas, x, y, *info, part, colorMode, preview, correction);
}

} // namespace epc

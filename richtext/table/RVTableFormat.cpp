// Table layout: column widths, cell formatting, row heights and cell placement.
#include <algorithm>
#include <vector>

#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "richtext/table/RVTable.h"
#include "richtext/table/RVTableInplace.h"

namespace epc {

int TRVTableItemInfo::SX(int v) const {
    return FSad ? FSad->XToDevice(v) : v;
}

int TRVTableItemInfo::SY(int v) const {
    return FSad ? FSad->YToDevice(v) : v;
}

int TRVTableItemInfo::GetExtraWidth() const {
    const int n = ColCount();
    return SX((n - 1) * CellHSpacing() + 2 * (BorderWidth() + BorderHSpacing()) +
              n * 2 * CellBorderWidth());
}

// What one pass over the cells in storage order gathers for the column passes: large tables
// are laid out in time proportional to their size, not to their size times the number of
// passes through memory.
struct TRVTableItemInfo::TColumnFacts {
    std::vector<int> MinWidths, BestWidths, Percents;
    std::vector<bool> HasPercent, Own, FixedEnd;
    std::vector<std::pair<int, int>> HSpans, VSpans; // cells spanning columns, rows
    bool AnyPercent = false;

    int BestWidth(int c) const { return HasPercent[size_t(c)] ? 0 : BestWidths[size_t(c)]; }
    int PercentWidth(int c, int tableWidth) const {
        return int(int64_t(Percents[size_t(c)]) * tableWidth / 100);
    }
    // Notes the width of a cell that starts in column C.
    void NoteFixedWidth(const TRVTableCellData& cell, int c) {
        Own[size_t(c)] = true;
        if (cell.BestWidth < 0) AnyPercent = true;
        if (cell.BestWidth > 0) FixedEnd[size_t(c + cell.ColSpan - 1)] = true;
    }
    // No cell has a percentage width, every column has a cell of its own, and a cell with a
    // pixel width ends in it.
    bool AllFixed() const {
        bool allFixed = !AnyPercent;
        for (size_t c = 0; c < Own.size(); ++c)
            allFixed = allFixed && Own[c] && FixedEnd[c];
        return allFixed;
    }
};

// Where the column passes are: which columns have their width (0: not yet, 1: a pixel width,
// 2: a percentage) and the width still to share among the columns.
struct TRVTableItemInfo::TColumnFit {
    bool FixedMode = false; // the table is as wide as its columns' pixel widths
    int ColumnsWidth = 0;   // the table's width less borders and spacing
    std::vector<int> State;
    int Spare = 0;
    int Assigned = 0;     // columns that have their width
    int PixelColumns = 0; // of them, those with a pixel width
};

bool TRVTableItemInfo::AreAllColumnsFixed() const {
    const int n = ColCount();
    TColumnFacts facts;
    facts.Own.assign(size_t(n), false);
    facts.FixedEnd.assign(size_t(n), false);
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < n; ++c)
            if (const TRVTableCellData* cell = Rows.GetRow(r)->Cell(c))
                facts.NoteFixedWidth(*cell, c);
    return facts.AllFixed();
}

// Widens the columns a spanning cell covers until its content width fits; returns the width
// the columns gained.
int TRVTableItemInfo::FitSpanningCell(int row, int col, int needed, bool minMode, int highestState,
                                      std::vector<int>& state, int& spare, bool fixedMode,
                                      TRVTableItemFormattingInfo& fi) const {
    TRVTableCellData* cell = Rows.GetRow(row)->Cell(col);
    const int last = col + cell->ColSpan;
    const int pad2 = SX(2 * CellPadding());
    needed += pad2;
    const int step = SX(CellHSpacing() + 2 * CellPadding() + 2 * CellBorderWidth());
    std::vector<bool> eligible(size_t(last - col), minMode);
    bool any = minMode;
    for (int level = 0; !minMode && level <= highestState && !any; ++level)
        for (int c = col; c < last; ++c)
            if (state[size_t(c)] <= level) {
                eligible[size_t(c - col)] = true;
                any = true;
            }
    int available = SX(-CellHSpacing() - 2 * CellBorderWidth());
    int64_t weight = 0;
    for (int c = col; c < last; ++c) {
        available += fi.ColWidths[c] + step;
        if (eligible[size_t(c - col)]) weight += fi.ColWidths[c] + pad2;
    }
    if (available >= needed || !any) return 0;
    int extra = needed - available;
    if (!minMode && !fixedMode) {
        extra = std::min(extra, spare);
        spare -= extra;
    }
    if (extra <= 0) return 0;
    if (weight <= 0) {
        // Nothing to share by: the last eligible column takes it all.
        for (int c = last - 1; c >= col; --c)
            if (eligible[size_t(c - col)]) {
                fi.ColWidths.SetValue(c, fi.ColWidths[c] + extra);
                break;
            }
        return extra;
    }
    int64_t total = extra + weight;
    for (int c = col; c < last; ++c) {
        if (!eligible[size_t(c - col)]) continue;
        const int w = fi.ColWidths[c] + pad2;
        const int part = MulDiv(int(total), w, int(weight));
        fi.ColWidths.SetValue(c, part - pad2);
        weight -= w;
        total -= part;
        if (weight <= 0) break;
    }
    return extra;
}

int TRVTableItemInfo::GetMinWidth(const TRVScreenAndDevice* sad, TCanvas* canvas,
                                  TCustomRVData* /*rvData*/) const {
    auto* self = const_cast<TRVTableItemInfo*>(this);
    const TRVScreenAndDevice* oldSad = FSad;
    self->FSad = sad;
    auto restore = Finally([&] { self->FSad = oldSad; });
    if (Rows.IsEmpty()) return SX(2 * (BorderWidth() + BorderHSpacing()));
    const int n = ColCount();
    TRVTableItemFormattingInfo fi;
    int sum = 0;
    for (int c = 0; c < n; ++c) {
        int w = Rows.GetColMinWidth(c, sad, canvas);
        if (BestWidth() == 0) w = std::max(w, SX(Rows.GetColBestWidth(c)));
        fi.ColWidths.AddValue(w);
        sum += w;
    }
    std::vector<int> state(size_t(n), 0);
    int spare = 0;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < n; ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell || cell->ColSpan < 2) continue;
            int w = cell->GetMinWidth(sad, canvas);
            if (BestWidth() == 0) w = std::max(w, SX(cell->BestWidth));
            sum += FitSpanningCell(r, c, w, true, 2, state, spare, false, fi);
        }
    int result = SX(n * 2 * CellPadding()) + GetExtraWidth() + sum;
    if (BestWidth() > 0) result = std::max(result, SX(BestWidth()));
    return result;
}

void TRVTableItemInfo::AdjustToDocWidth(int docWidth, TRVDrawLineInfo* dli, bool noCaching,
                                        int& /*out1*/, int& /*out2*/,
                                        const TRVScreenAndDevice* /*sad*/, TCustomRVData* rvData,
                                        TCanvas* canvas, bool /*canUseDeviceFit*/) {
    if (auto* info = dynamic_cast<TRVTablePrintInfo*>(dli)) {
        FormatForPrinting(docWidth, canvas, *info, rvData);
        return;
    }
    if (rvData && rvData != FRVData) Inserted(rvData, rvData->FindItemIndex(this));
    FormatForDocWidth(docWidth, canvas, noCaching);
}

void TRVTableItemInfo::FormatForDocWidth(int docWidth, TCanvas* canvas, bool force) {
    if (NeedsLayout) {
        NeedsLayout = false;
        FFormatting.Width = 0;
        force = true;
    }
    if (FormatTable(docWidth, canvas, force, FFormatting, nullptr)) ++FChangeStamp;
}

bool TRVTableItemInfo::FormatTable(int docWidth, TCanvas* canvas, bool force,
                                   TRVTableItemFormattingInfo& fi, TRVTablePrintInfo* print) {
    FCanvas = canvas;
    auto release = Finally([&] { FCanvas = nullptr; });
    if (Rows.IsEmpty()) {
        fi.Clear();
        fi.Width = SX(2 * (BorderWidth() + BorderHSpacing()));
        fi.Height = SY(2 * (BorderWidth() + BorderVSpacing()));
        return true;
    }
    const TColumnFacts facts = GatherColumnFacts();
    TColumnFit fit;
    const int target = TargetWidth(docWidth, facts, fit.FixedMode);
    if (target != 0 && target == fi.Width && !force) return false;
    fi.Width = target;
    FitColumnWidths(facts, fit, fi);
    // Cells are formatted for their widths, and each row then knows its height.
    PlaceColumns(fi, force, print);
    const int rowCount = RowCount();
    fi.Height = SY(2 * (rowCount * CellPadding() + BorderWidth() + BorderVSpacing()) +
                   (rowCount - 1) * CellVSpacing() + rowCount * 2 * CellBorderWidth());
    for (int r = 0; r < rowCount; ++r)
        fi.Height += fi.RowHeights[r];
    FitSpanningRow(fi, facts.VSpans, print);
    PlaceRows(fi, print);
    return true;
}

TRVTableItemInfo::TColumnFacts TRVTableItemInfo::GatherColumnFacts() const {
    const size_t n = size_t(ColCount());
    TColumnFacts f;
    f.MinWidths.assign(n, 0);
    f.BestWidths.assign(n, 0);
    f.Percents.assign(n, 0);
    f.HasPercent.assign(n, false);
    f.Own.assign(n, false);
    f.FixedEnd.assign(n, false);
    for (int r = 0; r < RowCount(); ++r) {
        const TRVTableRow* row = Rows.GetRow(r);
        for (int c = 0; c < int(n); ++c) {
            TRVTableCellData* cell = row->Cell(c);
            if (!cell) continue;
            const size_t k = size_t(c);
            f.NoteFixedWidth(*cell, c);
            if (cell->ColSpan < 2) {
                f.MinWidths[k] = std::max(f.MinWidths[k], cell->GetMinWidth(FSad, FCanvas));
                if (cell->BestWidth < 0) {
                    f.HasPercent[k] = true;
                    f.Percents[k] = std::max(f.Percents[k], int(-cell->BestWidth));
                } else {
                    f.BestWidths[k] = std::max(f.BestWidths[k], int(cell->BestWidth));
                }
            } else {
                f.HSpans.emplace_back(r, c);
            }
            if (cell->RowSpan > 1) f.VSpans.emplace_back(r, c);
        }
    }
    return f;
}

// The width the table is laid out for: its own, a share of the document's, or (FixedMode) the
// sum of its columns' pixel widths, known only when they are laid out.
int TRVTableItemInfo::TargetWidth(int docWidth, const TColumnFacts& facts, bool& fixedMode) const {
    fixedMode = false;
    if (BestWidth() > 0) return SX(BestWidth());
    if (BestWidth() < 0) return int(int64_t(-BestWidth()) * docWidth / 100);
    if (facts.AllFixed()) {
        fixedMode = true;
        return 0;
    }
    return docWidth;
}

// The columns take their minimum widths, then percentage and pixel widths as the room allows,
// and share what is left; a table whose minimum widths do not fit grows.
void TRVTableItemInfo::FitColumnWidths(const TColumnFacts& facts, TColumnFit& fit,
                                       TRVTableItemFormattingInfo& fi) const {
    const int n = ColCount();
    int room = 0;
    if (!fit.FixedMode) {
        fit.ColumnsWidth = fi.Width - GetExtraWidth();
        room = fit.ColumnsWidth - SX(n * 2 * CellPadding());
    }
    fi.Clear();
    fit.State.assign(size_t(n), 0);
    const int minSum = FitMinimumWidths(facts, fit, fi);
    if (!fit.FixedMode && minSum >= room) {
        fi.Width = fi.Width - room + minSum;
        return;
    }
    fit.Spare = room - minSum;
    if (!fit.FixedMode) FitPercentWidths(facts, fit, fi);
    FitPixelWidths(facts, fit, fi);
    if (fit.FixedMode) {
        int sum = 0;
        for (int c = 0; c < n; ++c)
            sum += fi.ColWidths[c];
        fi.Width = GetExtraWidth() + SX(n * 2 * CellPadding()) + sum;
    } else if (fit.Spare > 0) {
        ShareSpareWidth(facts, fit, fi);
    }
}

// Returns the sum of the minimum widths.
int TRVTableItemInfo::FitMinimumWidths(const TColumnFacts& facts, TColumnFit& fit,
                                       TRVTableItemFormattingInfo& fi) const {
    int minSum = 0;
    for (int c = 0; c < ColCount(); ++c) {
        fi.ColWidths.AddValue(facts.MinWidths[size_t(c)]);
        minSum += facts.MinWidths[size_t(c)];
    }
    int spare = 0; // the minimum pass takes no spare width
    for (auto [r, c] : facts.HSpans)
        minSum += FitSpanningCell(r, c, Rows.GetRow(r)->Cell(c)->GetMinWidth(FSad, FCanvas), true,
                                  2, fit.State, spare, fit.FixedMode, fi);
    return minSum;
}

void TRVTableItemInfo::FitPercentWidths(const TColumnFacts& facts, TColumnFit& fit,
                                        TRVTableItemFormattingInfo& fi) const {
    const int n = ColCount();
    const int pad2 = SX(2 * CellPadding());
    std::vector<int> p(size_t(n), 0);
    int64_t total = 0;
    for (int c = 0; c < n; ++c) {
        const int pw = facts.PercentWidth(c, fit.ColumnsWidth);
        if (pw > 0) p[size_t(c)] = std::max(pw - pad2, 0);
        total += p[size_t(c)];
    }
    if (total > 0) {
        const int spareAtStart = fit.Spare;
        const int64_t d = std::max<int64_t>(total, spareAtStart);
        for (int c = 0; c < n && fit.Spare > 0; ++c) {
            int v = MulDiv(p[size_t(c)], spareAtStart, int(d));
            if (v > 0) {
                fit.State[size_t(c)] = 2;
                ++fit.Assigned;
            }
            if (v > fi.ColWidths[c]) {
                fit.Spare += fi.ColWidths[c];
                v = std::min(v, fit.Spare);
                fi.ColWidths.SetValue(c, v);
                fit.Spare -= v;
            }
        }
    }
    for (auto [r, c] : facts.HSpans) {
        if (fit.Spare <= 0) break;
        TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
        if (cell->BestWidth >= 0) continue;
        const int needed = MulDiv(-cell->BestWidth, fit.ColumnsWidth, 100) - pad2;
        FitSpanningCell(r, c, needed, false, 2, fit.State, fit.Spare, false, fi);
        for (int k = c; k < c + cell->ColSpan; ++k)
            if (fit.State[size_t(k)] == 0) {
                fit.State[size_t(k)] = 2;
                ++fit.Assigned;
            }
    }
}

void TRVTableItemInfo::FitPixelWidths(const TColumnFacts& facts, TColumnFit& fit,
                                      TRVTableItemFormattingInfo& fi) const {
    const int n = ColCount();
    const bool fixedMode = fit.FixedMode;
    if (fixedMode || fit.Spare >= 1)
        for (int c = 0; c < n; ++c) {
            if (fit.State[size_t(c)] != 0) continue;
            int w = SX(facts.BestWidth(c));
            if (w > 0) {
                fit.State[size_t(c)] = 1;
                ++fit.Assigned;
                ++fit.PixelColumns;
            }
            if (w > fi.ColWidths[c]) {
                if (!fixedMode) {
                    fit.Spare += fi.ColWidths[c];
                    w = std::min(w, fit.Spare);
                }
                fi.ColWidths.SetValue(c, w);
                if (!fixedMode) {
                    fit.Spare -= w;
                    if (fit.Spare == 0) break;
                }
            }
        }
    for (auto [r, c] : facts.HSpans) {
        if (!fixedMode && fit.Spare <= 0) break;
        TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
        if (cell->BestWidth <= 0) continue;
        FitSpanningCell(r, c, SX(cell->BestWidth), false, 1, fit.State, fit.Spare, fixedMode, fi);
        for (int k = c; k < c + cell->ColSpan; ++k)
            if (fit.State[size_t(k)] == 0) {
                fit.State[size_t(k)] = 1;
                ++fit.Assigned;
                ++fit.PixelColumns;
            }
    }
}

// The spare width goes in equal parts to the columns without a width; when every column has
// one, to the pixel columns by their widths (or, without any, to the percentage columns by
// theirs).
void TRVTableItemInfo::ShareSpareWidth(const TColumnFacts& facts, TColumnFit& fit,
                                       TRVTableItemFormattingInfo& fi) const {
    const int n = ColCount();
    if (n > fit.Assigned) {
        for (int c = 0; c < n && fit.Spare > 0; ++c) {
            if (fit.State[size_t(c)] != 0) continue;
            const int share = fit.Spare / (n - fit.Assigned);
            fi.ColWidths.SetValue(c, fi.ColWidths[c] + share);
            fit.Spare -= share;
            ++fit.Assigned;
        }
        return;
    }
    const int pad2 = SX(2 * CellPadding());
    const bool byPixels = fit.PixelColumns > 0;
    std::vector<int64_t> weight(size_t(n), 0);
    int64_t total = 0;
    for (int c = 0; c < n; ++c) {
        if (byPixels ? fit.State[size_t(c)] == 2 : fit.State[size_t(c)] != 2) continue;
        const int64_t w =
            byPixels ? facts.BestWidth(c) : facts.PercentWidth(c, fit.ColumnsWidth) - pad2;
        weight[size_t(c)] = std::max<int64_t>(w, 1);
        total += weight[size_t(c)];
    }
    for (int c = 0; c < n && fit.Spare > 0 && total > 0; ++c) {
        if (weight[size_t(c)] == 0) continue;
        const int add = std::min(MulDiv(fit.Spare, int(weight[size_t(c)]), int(total)), fit.Spare);
        fi.ColWidths.SetValue(c, fi.ColWidths[c] + add);
        fit.Spare -= add;
        total -= weight[size_t(c)];
    }
}

void TRVTableItemInfo::LayOutColumns(int docWidth, TCanvas* canvas,
                                     TRVTableItemFormattingInfo& fi) {
    FCanvas = canvas;
    auto release = Finally([&] { FCanvas = nullptr; });
    fi.Clear();
    fi.Width = fi.Height = 0;
    if (Rows.IsEmpty()) return;
    const TColumnFacts facts = GatherColumnFacts();
    TColumnFit fit;
    fi.Width = TargetWidth(docWidth, facts, fit.FixedMode);
    FitColumnWidths(facts, fit, fi);
    PlaceColumnStarts(fi);
}

int TRVTableItemInfo::PlaceColumnStarts(TRVTableItemFormattingInfo& fi) const {
    const int n = ColCount();
    const int gaps = SX(n * (2 * (CellPadding() + CellBorderWidth()) + CellHSpacing()));
    int rest = gaps;
    int x = SX(BorderWidth() + BorderHSpacing() + CellBorderWidth());
    for (int c = 0; c < n; ++c) {
        fi.ColStarts.AddValue(x);
        const int g = rest / (n - c);
        rest -= g;
        x += g + fi.ColWidths[c];
    }
    return gaps;
}

void TRVTableItemInfo::PlaceColumns(TRVTableItemFormattingInfo& fi, bool force,
                                    TRVTablePrintInfo* print) {
    const int n = ColCount();
    const int gaps = PlaceColumnStarts(fi);
    // Both paddings are scaled as one value, each side of a printed document as one: on paper
    // the two can differ by a device pixel, which the cell box keeps.
    const int padX = SX(CellPadding()), pad2 = SX(2 * CellPadding());
    for (int r = 0; r < RowCount(); ++r) {
        // Printed rows take the heights of the printable cell documents.
        int printHeight = print ? std::max(SY(Rows.GetRow(r)->GetBestHeight()), SY(10)) : 0;
        for (int c = 0; c < n; ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            int w = fi.ColWidths[c] + pad2 + MulDiv(gaps, cell->ColSpan - 1, n);
            for (int k = c + 1; k < c + cell->ColSpan && k < n; ++k)
                w += fi.ColWidths[k];
            if (print) {
                TCellPtblRVData* doc = print->CellDoc(r, c);
                if (!doc) continue;
                doc->Left = fi.ColStarts[c] + padX;
                doc->FormatForWidth(std::max(w - 2 * padX, 0), FCanvas);
                if (cell->RowSpan == 1) printHeight = std::max(printHeight, doc->DocumentHeight);
                continue;
            }
            cell->Left = fi.ColStarts[c];
            cell->Width = w;
            cell->FormatAll(false, force, false, false, FCanvas, 0, true);
            // The cell editor lays its items out for the cell's new width at once: the row
            // takes the height they need then.
            if (FInplaceEditor && r == FEditedRow && c == FEditedCol &&
                FInplaceEditor->Width() != std::max(w, 1))
                FInplaceEditor->SetBounds(FInplaceEditor->Left(), FInplaceEditor->Top(),
                                          std::max(w, 1), FInplaceEditor->Height());
        }
        fi.RowHeights.AddValue(print ? printHeight : SY(Rows.GetRow(r)->GetHeight()));
    }
}

void TRVTableItemInfo::FitSpanningRow(TRVTableItemFormattingInfo& fi,
                                      const std::vector<std::pair<int, int>>& spans,
                                      TRVTablePrintInfo* print) {
    const int rowCount = RowCount(), n = ColCount();
    const int step = SY(CellVSpacing() + 2 * CellPadding() + 2 * CellBorderWidth());
    for (auto [r, c] : spans) {
        TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
        const int last = std::min(r + int(cell->RowSpan), rowCount);
        int needed = SY(cell->GetNeededHeight() + 2 * CellPadding());
        if (print) {
            needed = SY(std::max(int(cell->BestHeight), 10));
            if (TCellPtblRVData* doc = print->CellDoc(r, c))
                needed = std::max(needed, doc->DocumentHeight);
            needed += SY(2 * CellPadding());
        }
        int available = SY(-CellVSpacing() - 2 * CellBorderWidth());
        for (int k = r; k < last; ++k)
            available += fi.RowHeights[k] + step;
        if (available >= needed) continue;
        int extra = needed - available;
        fi.Height += extra;
        // Rows held by cells of their own that end inside the span keep their height, as
        // long as some covered row is free to grow.
        std::vector<bool> share(size_t(last - r), true);
        bool anyFree = false;
        for (int k = r; k < last; ++k) {
            bool own = false;
            for (int cc = 0; cc < n && !own; ++cc) {
                TRVTableCellData* other = Rows.GetRow(k)->Cell(cc);
                own = other && other != cell && k + other->RowSpan <= last;
            }
            share[size_t(k - r)] = !own;
            anyFree = anyFree || !own;
        }
        int64_t weight = 0;
        for (int k = r; k < last; ++k) {
            if (!anyFree) share[size_t(k - r)] = true;
            if (share[size_t(k - r)]) weight += fi.RowHeights[k];
        }
        for (int k = r; k < last && extra > 0; ++k) {
            if (!share[size_t(k - r)]) continue;
            const int h = fi.RowHeights[k];
            int add;
            if (weight > 0)
                add = MulDiv(h, extra, int(weight));
            else
                add = extra; // no weights: the first sharing row takes it
            fi.RowHeights.SetValue(k, h + add);
            extra -= add;
            weight -= h;
        }
    }
}

void TRVTableItemInfo::PlaceRows(TRVTableItemFormattingInfo& fi, TRVTablePrintInfo* print) {
    const int rowCount = RowCount(), n = ColCount();
    const int gaps = SY(rowCount * (2 * (CellPadding() + CellBorderWidth()) + CellVSpacing()));
    int rest = gaps;
    int y = SY(BorderWidth() + BorderVSpacing() + CellBorderWidth());
    for (int r = 0; r < rowCount; ++r) {
        fi.RowStarts.AddValue(y);
        for (int c = 0; c < n; ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            int h = fi.RowHeights[r] + SY(2 * CellPadding()) +
                    MulDiv(gaps, cell->RowSpan - 1, rowCount);
            for (int k = r + 1; k < r + cell->RowSpan && k < rowCount; ++k)
                h += fi.RowHeights[k];
            if (print) {
                if (TCellPtblRVData* doc = print->CellDoc(r, c)) {
                    const int padY = SY(CellPadding());
                    doc->Top = y + padY;
                    doc->SetSize(doc->Width(), std::max(h - 2 * padY, 0));
                }
                continue;
            }
            cell->Top = y;
            cell->Height = h;
        }
        const int g = rest / (rowCount - r);
        rest -= g;
        y += g + fi.RowHeights[r];
    }
}

} // namespace epc

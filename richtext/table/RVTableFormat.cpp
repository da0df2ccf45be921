// Table layout: column widths, cell formatting, row heights and cell placement.
#include <algorithm>
#include <vector>

#include "platform/core/Arithmetic.h"
#include "platform/core/ScopeGuard.h"
#include "richtext/table/RVTable.h"

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

bool TRVTableItemInfo::AreAllColumnsFixed() const {
    const int n = ColCount();
    std::vector<bool> own(size_t(n), false), fixedEnd(size_t(n), false);
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < n; ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            if (cell->BestWidth < 0) return false;
            own[size_t(c)] = true;
            if (cell->BestWidth > 0) fixedEnd[size_t(c + cell->ColSpan - 1)] = true;
        }
    for (int c = 0; c < n; ++c)
        if (!own[size_t(c)] || !fixedEnd[size_t(c)]) return false;
    return true;
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
    const int n = ColCount();
    const int pad2 = SX(2 * CellPadding());
    // One pass over the cells in storage order gathers what the column passes need: large
    // tables are laid out in time proportional to their size, not to their size times the
    // number of passes through memory.
    std::vector<int> minWidths(size_t(n), 0), bestWidths(size_t(n), 0), percents(size_t(n), 0);
    std::vector<bool> hasPercent(size_t(n), false), own(size_t(n), false),
        fixedEnd(size_t(n), false);
    std::vector<std::pair<int, int>> hSpans, vSpans;
    bool anyPercent = false;
    for (int r = 0; r < RowCount(); ++r) {
        const TRVTableRow* row = Rows.GetRow(r);
        for (int c = 0; c < n; ++c) {
            TRVTableCellData* cell = row->Cell(c);
            if (!cell) continue;
            const size_t k = size_t(c);
            own[k] = true;
            if (cell->BestWidth < 0) anyPercent = true;
            if (cell->BestWidth > 0) fixedEnd[size_t(c + cell->ColSpan - 1)] = true;
            if (cell->ColSpan < 2) {
                minWidths[k] = std::max(minWidths[k], cell->GetMinWidth(FSad, canvas));
                if (cell->BestWidth < 0) {
                    hasPercent[k] = true;
                    percents[k] = std::max(percents[k], int(-cell->BestWidth));
                } else {
                    bestWidths[k] = std::max(bestWidths[k], int(cell->BestWidth));
                }
            } else {
                hSpans.emplace_back(r, c);
            }
            if (cell->RowSpan > 1) vSpans.emplace_back(r, c);
        }
    }
    auto colBestWidth = [&](int c) { return hasPercent[size_t(c)] ? 0 : bestWidths[size_t(c)]; };
    auto colPercentWidth = [&](int c, int tableWidth) {
        return int(int64_t(percents[size_t(c)]) * tableWidth / 100);
    };
    bool allFixed = !anyPercent;
    for (int c = 0; c < n; ++c)
        allFixed = allFixed && own[size_t(c)] && fixedEnd[size_t(c)];

    bool fixedMode = false;
    int target;
    if (BestWidth() > 0)
        target = SX(BestWidth());
    else if (BestWidth() < 0)
        target = int(int64_t(-BestWidth()) * docWidth / 100);
    else if (allFixed) {
        fixedMode = true;
        target = 0;
    } else
        target = docWidth;
    if (target != 0 && target == fi.Width && !force) return false;
    fi.Width = target;

    int columnsWidth = 0, room = 0;
    if (!fixedMode) {
        columnsWidth = target - GetExtraWidth();
        room = columnsWidth - SX(n * 2 * CellPadding());
    }
    // Minimum pass.
    fi.Clear();
    std::vector<int> state(size_t(n), 0);
    int minSum = 0;
    for (int c = 0; c < n; ++c) {
        fi.ColWidths.AddValue(minWidths[size_t(c)]);
        minSum += minWidths[size_t(c)];
    }
    int spare = 0;
    for (auto [r, c] : hSpans)
        minSum += FitSpanningCell(r, c, Rows.GetRow(r)->Cell(c)->GetMinWidth(FSad, canvas), true, 2,
                                  state, spare, fixedMode, fi);

    if (!fixedMode && minSum >= room) {
        fi.Width = fi.Width - room + minSum;
    } else {
        spare = room - minSum;
        int assigned = 0, pixelColumns = 0;
        // Percentage columns.
        if (!fixedMode) {
            std::vector<int> p(size_t(n), 0);
            int64_t total = 0;
            for (int c = 0; c < n; ++c) {
                const int pw = colPercentWidth(c, columnsWidth);
                if (pw > 0) p[size_t(c)] = std::max(pw - pad2, 0);
                total += p[size_t(c)];
            }
            if (total > 0) {
                const int spareAtStart = spare;
                const int64_t d = std::max<int64_t>(total, spareAtStart);
                for (int c = 0; c < n && spare > 0; ++c) {
                    int v = MulDiv(p[size_t(c)], spareAtStart, int(d));
                    if (v > 0) {
                        state[size_t(c)] = 2;
                        ++assigned;
                    }
                    if (v > fi.ColWidths[c]) {
                        spare += fi.ColWidths[c];
                        v = std::min(v, spare);
                        fi.ColWidths.SetValue(c, v);
                        spare -= v;
                    }
                }
            }
            for (auto [r, c] : hSpans) {
                if (spare <= 0) break;
                TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
                if (cell->BestWidth >= 0) continue;
                const int needed = MulDiv(-cell->BestWidth, columnsWidth, 100) - pad2;
                FitSpanningCell(r, c, needed, false, 2, state, spare, false, fi);
                for (int k = c; k < c + cell->ColSpan; ++k)
                    if (state[size_t(k)] == 0) {
                        state[size_t(k)] = 2;
                        ++assigned;
                    }
            }
        }
        // Pixel columns.
        if (fixedMode || spare >= 1)
            for (int c = 0; c < n; ++c) {
                if (state[size_t(c)] != 0) continue;
                int w = SX(colBestWidth(c));
                if (w > 0) {
                    state[size_t(c)] = 1;
                    ++assigned;
                    ++pixelColumns;
                }
                if (w > fi.ColWidths[c]) {
                    if (!fixedMode) {
                        spare += fi.ColWidths[c];
                        w = std::min(w, spare);
                    }
                    fi.ColWidths.SetValue(c, w);
                    if (!fixedMode) {
                        spare -= w;
                        if (spare == 0) break;
                    }
                }
            }
        for (auto [r, c] : hSpans) {
            if (!fixedMode && spare <= 0) break;
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (cell->BestWidth <= 0) continue;
            FitSpanningCell(r, c, SX(cell->BestWidth), false, 1, state, spare, fixedMode, fi);
            for (int k = c; k < c + cell->ColSpan; ++k)
                if (state[size_t(k)] == 0) {
                    state[size_t(k)] = 1;
                    ++assigned;
                    ++pixelColumns;
                }
        }
        if (fixedMode) {
            int sum = 0;
            for (int c = 0; c < n; ++c)
                sum += fi.ColWidths[c];
            fi.Width = GetExtraWidth() + SX(n * 2 * CellPadding()) + sum;
        } else if (spare > 0) {
            if (n > assigned) {
                for (int c = 0; c < n && spare > 0; ++c) {
                    if (state[size_t(c)] != 0) continue;
                    const int share = spare / (n - assigned);
                    fi.ColWidths.SetValue(c, fi.ColWidths[c] + share);
                    spare -= share;
                    ++assigned;
                }
            } else {
                std::vector<int64_t> weight(size_t(n), 0);
                int64_t total = 0;
                for (int c = 0; c < n; ++c) {
                    if (pixelColumns > 0 ? state[size_t(c)] == 2 : state[size_t(c)] != 2) continue;
                    int64_t w = pixelColumns > 0 ? colBestWidth(c)
                                                 : colPercentWidth(c, columnsWidth) - pad2;
                    weight[size_t(c)] = std::max<int64_t>(w, 1);
                    total += weight[size_t(c)];
                }
                for (int c = 0; c < n && spare > 0 && total > 0; ++c) {
                    if (weight[size_t(c)] == 0) continue;
                    const int add =
                        std::min(MulDiv(spare, int(weight[size_t(c)]), int(total)), spare);
                    fi.ColWidths.SetValue(c, fi.ColWidths[c] + add);
                    spare -= add;
                    total -= weight[size_t(c)];
                }
            }
        }
    }
    // Cells are formatted for their widths, and each row then knows its height.
    PlaceColumns(fi, force, print);
    const int rowCount = RowCount();
    fi.Height = SY(2 * (rowCount * CellPadding() + BorderWidth() + BorderVSpacing()) +
                   (rowCount - 1) * CellVSpacing() + rowCount * 2 * CellBorderWidth());
    for (int r = 0; r < rowCount; ++r)
        fi.Height += fi.RowHeights[r];
    FitSpanningRows(fi, vSpans, print);
    PlaceRows(fi, print);
    return true;
}

void TRVTableItemInfo::PlaceColumns(TRVTableItemFormattingInfo& fi, bool force,
                                    TRVTablePrintInfo* print) {
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
    const int padX = SX(CellPadding());
    for (int r = 0; r < RowCount(); ++r) {
        // Printed rows take the heights of the printable cell documents.
        int printHeight = print ? std::max(SY(Rows.GetRow(r)->GetBestHeight()), SY(10)) : 0;
        for (int c = 0; c < n; ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            int w = fi.ColWidths[c] + 2 * padX + MulDiv(gaps, cell->ColSpan - 1, n);
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
        }
        fi.RowHeights.AddValue(print ? printHeight : SY(Rows.GetRow(r)->GetHeight()));
    }
}

void TRVTableItemInfo::FitSpanningRows(TRVTableItemFormattingInfo& fi,
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

#include "richtext/view/RVDrawLines.h"

#include <algorithm>

#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"

namespace epc {

void TRVDrawLines::Insert(int index, std::unique_ptr<TRVDrawLineInfo> info) {
    if (GapCount > 0) {
        // The layout fills the gap in order, so Index is the gap's first slot.
        index = GapStart;
        FItems[size_t(index)] = std::move(info);
        ++GapStart;
        --GapCount;
        if (GapCount == 0) {
            FSpillAt = GapStart;
            GapStart = -1;
        }
        return;
    }
    if (FGapOpen && FSpillAt >= 0 && index == FSpillAt + int(FSpill.size())) {
        FSpill.push_back(std::move(info));
        return;
    }
    MergeSpill();
    FItems.insert(FItems.begin() + index, std::move(info));
}

void TRVDrawLines::Delete(int index) {
    if (!FSpill.empty() && index == FSpillAt + int(FSpill.size()) - 1) {
        FSpill.pop_back();
        return;
    }
    MergeSpill();
    FItems[size_t(index)].reset();
    if (GapCount > 0 && index == GapStart - 1) {
        --GapStart;
        ++GapCount;
        return;
    }
    FItems.erase(FItems.begin() + index);
    if (GapCount > 0 && index < GapStart) --GapStart;
    if (FSpillAt > index) --FSpillAt;
}

void TRVDrawLines::Clear() {
    FItems.clear();
    FSpill.clear();
    FSpillAt = -1;
    FGapOpen = false;
    GapStart = -1;
    GapCount = 0;
}

void TRVDrawLines::MergeSpill() {
    if (FSpill.empty()) return;
    const int at = FSpillAt;
    FItems.insert(FItems.begin() + at, std::make_move_iterator(FSpill.begin()),
                  std::make_move_iterator(FSpill.end()));
    FSpillAt = at + int(FSpill.size());
    FSpill.clear();
}

void TRVDrawLines::SetGap(int first, int last) {
    CloseGap();
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first > last) return;
    for (int i = first; i <= last; ++i)
        FItems[size_t(i)].reset();
    GapStart = first;
    GapCount = last - first + 1;
    FGapOpen = true;
}

void TRVDrawLines::CloseGap() {
    MergeSpill();
    if (GapCount > 0) FItems.erase(FItems.begin() + GapStart, FItems.begin() + GapStart + GapCount);
    GapStart = -1;
    GapCount = 0;
    FSpillAt = -1;
    FGapOpen = false;
}

std::string TRVDrawLines::GetDrawItemText(int index, const TCustomRVData* rvData) const {
    const TRVDrawLineInfo* d = GetLineInfo(index);
    return CopyItemTextChars(rvData->GetItemText(d->ItemNo), rvData->ReadItemOptionBits(d->ItemNo),
                             d->Offs, d->Length);
}

std::string TRVDrawLines::GetDrawItemTextPart(int index, const TCustomRVData* rvData, int start,
                                              int count) const {
    const TRVDrawLineInfo* d = GetLineInfo(index);
    if (start < 1) {
        count += start - 1;
        start = 1;
    }
    count = std::min(count, d->Length - start + 1);
    if (count <= 0) return std::string();
    return CopyItemTextChars(rvData->GetItemText(d->ItemNo), rvData->ReadItemOptionBits(d->ItemNo),
                             d->Offs + start - 1, count);
}

} // namespace epc

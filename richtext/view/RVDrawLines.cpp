#include "richtext/view/RVDrawLines.h"

#include <algorithm>

#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"

namespace epc {

void TRVDrawLines::MoveHole(int index) {
    if (FHoleLen == 0) {
        FHoleAt = index;
        return;
    }
    auto at = [this](int i) { return FItems.begin() + i; };
    if (index < FHoleAt)
        std::move_backward(at(index), at(FHoleAt), at(FHoleAt + FHoleLen));
    else if (index > FHoleAt)
        std::move(at(FHoleAt + FHoleLen), at(index + FHoleLen), at(FHoleAt));
    FHoleAt = index;
}

void TRVDrawLines::FillHole(std::unique_ptr<TRVDrawLineInfo> info) {
    if (FHoleLen == 0) {
        // Room for many more at once: the tail moves again only after as many inserts.
        const int grow = std::max(64, Count() / 32);
        const size_t oldSize = FItems.size();
        FItems.resize(oldSize + size_t(grow));
        std::move_backward(FItems.begin() + FHoleAt, FItems.begin() + long(oldSize), FItems.end());
        FHoleLen = grow;
    }
    FItems[size_t(FHoleAt)] = std::move(info);
    ++FHoleAt;
    --FHoleLen;
}

void TRVDrawLines::Add(std::unique_ptr<TRVDrawLineInfo> info) {
    if (FHoleLen == 0) {
        FItems.push_back(std::move(info));
        FHoleAt = int(FItems.size());
        return;
    }
    MoveHole(Count());
    FillHole(std::move(info));
}

void TRVDrawLines::Insert(int index, std::unique_ptr<TRVDrawLineInfo> info) {
    if (GapCount > 0) {
        // The layout fills the gap in order, so Index is the gap's first slot.
        FItems[Phys(GapStart)] = std::move(info);
        ++GapStart;
        --GapCount;
        if (GapCount == 0) GapStart = -1;
        return;
    }
    MoveHole(index);
    FillHole(std::move(info));
}

void TRVDrawLines::Delete(int index) {
    if (GapCount > 0 && index == GapStart - 1) {
        FItems[Phys(index)].reset();
        --GapStart;
        ++GapCount;
        return;
    }
    if (GapCount > 0 && index < GapStart) --GapStart;
    MoveHole(index + 1);
    --FHoleAt;
    ++FHoleLen;
    FItems[size_t(FHoleAt)].reset();
}

void TRVDrawLines::Clear() {
    FItems.clear();
    FHoleAt = 0;
    FHoleLen = 0;
    GapStart = -1;
    GapCount = 0;
}

void TRVDrawLines::SetGap(int first, int last) {
    CloseGap();
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first > last) return;
    // The hole goes after the gap, where drawing items beyond its slots are put.
    MoveHole(last + 1);
    for (int i = first; i <= last; ++i)
        FItems[size_t(i)].reset();
    GapStart = first;
    GapCount = last - first + 1;
}

void TRVDrawLines::CloseGap() {
    if (GapCount > 0) {
        // The unused slots lie just before the hole (nothing went past the gap's slots).
        MoveHole(GapStart + GapCount);
        FHoleAt = GapStart;
        FHoleLen += GapCount;
    }
    GapStart = -1;
    GapCount = 0;
    // A hole much larger than the list gives its memory back.
    if (FHoleLen > 4096 && FHoleLen > Count() / 4) {
        MoveHole(Count());
        FItems.resize(size_t(Count()));
        FHoleLen = 0;
    }
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

#pragma once
// The drawing-item list of a formatted document and the hyperlink areas made with it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Types.h"
#include "richtext/document/RVItem.h"

namespace epc {

class TCustomRVData;

// The ordered drawing items of a document. A gap of empty slots can be opened where
// a range is laid out again, so that the new drawing items fill the old slots and the tail of
// the list moves at most once (when the gap is closed). Drawing items beyond the gap's slots
// wait in a spill list that is read in place and joins the list when the gap is closed.
class TRVDrawLines {
public:
    TRVDrawLines() = default;
    TRVDrawLines(const TRVDrawLines&) = delete;
    TRVDrawLines& operator=(const TRVDrawLines&) = delete;
    ~TRVDrawLines() = default;

    int Count() const { return int(FItems.size() + FSpill.size()); }
    TRVDrawLineInfo* GetLineInfo(int index) const { return Slot(index).get(); }
    TRVDrawLineInfo* operator[](int index) const { return Slot(index).get(); }
    TRVDrawLineInfo* Last() const { return Count() == 0 ? nullptr : Slot(Count() - 1).get(); }

    void Add(std::unique_ptr<TRVDrawLineInfo> info) { FItems.push_back(std::move(info)); }
    // Into the gap's first slot while a gap is open, else a plain insert.
    void Insert(int index, std::unique_ptr<TRVDrawLineInfo> info);
    // Frees the drawing item; while a gap is open its slot (the one before the gap) joins it.
    void Delete(int index);
    // Frees every drawing item and empties the list (and the gap).
    void Clear();
    void Reserve(int count) { FItems.reserve(size_t(count)); }

    // Frees First..Last and keeps their slots as the gap.
    void SetGap(int first, int last);
    // Removes the remaining gap slots in one move.
    void CloseGap();
    int GapStart = -1;
    int GapCount = 0;

    // The characters Offs .. Offs + Length - 1 of the drawing item's item text (bytes: 8-bit
    // text or UTF-16LE as the item holds it).
    std::string GetDrawItemText(int index, const TCustomRVData* rvData) const;
    // Count characters from the Start-th character of the drawing item (1-based), cut at the
    // drawing item's end.
    std::string GetDrawItemTextPart(int index, const TCustomRVData* rvData, int start,
                                    int count) const;

private:
    const std::unique_ptr<TRVDrawLineInfo>& Slot(int index) const {
        if (FSpill.empty() || index < FSpillAt) return FItems[size_t(index)];
        const size_t k = size_t(index - FSpillAt);
        return k < FSpill.size() ? FSpill[k] : FItems[size_t(index) - FSpill.size()];
    }
    // Puts the spilled drawing items into the list.
    void MergeSpill();
    std::vector<std::unique_ptr<TRVDrawLineInfo>> FItems;
    std::vector<std::unique_ptr<TRVDrawLineInfo>> FSpill; // logically at FSpillAt
    int FSpillAt = -1;      // where the filled gap ended
    bool FGapOpen = false;  // between SetGap and CloseGap
};

// One clickable hyperlink area, in the coordinates of the outermost document.
class TRVJumpInfo : public TObject {
public:
    std::string ClassName() const override { return "TRVJumpInfo"; }
    TCustomRVData* RVData = nullptr;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Id = 0;
    int32_t DrawItemNo = -1;
    int16_t Cursor = 0;
};

} // namespace epc

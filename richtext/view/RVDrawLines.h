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
// the list moves at most once (when the gap is closed). The list keeps a hidden hole of spare
// slots where it was last changed: drawing items beyond the gap's slots fill it, the gap's
// unused slots join it, and it moves only as far as the next change is away, so that edits in
// one place never move the tail.
class TRVDrawLines {
public:
    TRVDrawLines() = default;
    TRVDrawLines(const TRVDrawLines&) = delete;
    TRVDrawLines& operator=(const TRVDrawLines&) = delete;
    ~TRVDrawLines() = default;

    int Count() const { return int(FItems.size()) - FHoleLen; }
    TRVDrawLineInfo* GetLineInfo(int index) const { return Slot(index).get(); }
    TRVDrawLineInfo* operator[](int index) const { return Slot(index).get(); }
    TRVDrawLineInfo* Last() const { return Count() == 0 ? nullptr : Slot(Count() - 1).get(); }

    void Add(std::unique_ptr<TRVDrawLineInfo> info);
    // Into the gap's first slot while a gap is open, else a plain insert.
    void Insert(int index, std::unique_ptr<TRVDrawLineInfo> info);
    // Frees the drawing item; while a gap is open its slot (the one before the gap) joins it.
    void Delete(int index);
    // Frees every drawing item and empties the list (and the gap).
    void Clear();
    void Reserve(int count) { FItems.reserve(size_t(count + FHoleLen)); }

    // Frees First..Last and keeps their slots as the gap.
    void SetGap(int first, int last);
    // Removes the remaining gap slots.
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
    size_t Phys(int index) const { return size_t(index < FHoleAt ? index : index + FHoleLen); }
    const std::unique_ptr<TRVDrawLineInfo>& Slot(int index) const { return FItems[Phys(index)]; }
    // Moves the hole to lie before the drawing item numbered Index.
    void MoveHole(int index);
    // Puts a drawing item at the hole's start, the hole made larger first when it is used up.
    void FillHole(std::unique_ptr<TRVDrawLineInfo> info);
    std::vector<std::unique_ptr<TRVDrawLineInfo>> FItems; // with the hole
    int FHoleAt = 0;  // the number of the drawing item after the hole
    int FHoleLen = 0; // spare slots
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

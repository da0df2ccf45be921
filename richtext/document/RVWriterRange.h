#pragma once
// The item range the document writers write: the whole document or the selection.

#include <string>

namespace epc {

class TCustomRVData;

namespace rvwriter {

// First/Last item and the offsets inside them; False when there is nothing to write.
bool OutputRange(const TCustomRVData& data, bool selectionOnly, int& first, int& startOffs,
                 int& last, int& endOffs);
// The bytes of item I's text that lie inside the range.
std::string TextPart(const TCustomRVData& data, int i, int first, int startOffs, int last,
                     int endOffs);
// A non-text item at an end of a selection that the selection only touches.
bool OutsideSelection(bool selectionOnly, int i, int first, int startOffs, int last, int endOffs);

} // namespace rvwriter
} // namespace epc

// The row- and column-selection cursors: the program's cursors of those names, drawn here when
// the program has none, made the screen cursors the table's mouse handling names.

#include <cstdint>
#include <vector>

#include "platform/controls/Forms.h"
#include "richtext/table/RVTable.h"

namespace epc {

namespace {

constexpr int CursorSize = 32;

// A black arrow with a white rim pointing down (columns) or right (rows), its tip at the edge.
std::vector<uint32_t> ArrowPixels(bool down) {
    std::vector<bool> shape(CursorSize * CursorSize, false);
    auto set = [&](int along, int across) {
        const int x = down ? across : along, y = down ? along : across;
        if (x >= 0 && y >= 0 && x < CursorSize && y < CursorSize)
            shape[size_t(y * CursorSize + x)] = true;
    };
    const int mid = CursorSize / 2;
    for (int along = 4; along < 20; ++along)
        for (int across = mid - 1; across <= mid + 1; ++across)
            set(along, across);
    for (int along = 20; along < 29; ++along)
        for (int across = mid - (28 - along); across <= mid + (28 - along); ++across)
            set(along, across);
    std::vector<uint32_t> pixels(shape.size(), 0);
    for (int y = 0; y < CursorSize; ++y)
        for (int x = 0; x < CursorSize; ++x) {
            auto at = [&](int xx, int yy) {
                return xx >= 0 && yy >= 0 && xx < CursorSize && yy < CursorSize &&
                       shape[size_t(yy * CursorSize + xx)];
            };
            if (at(x, y))
                pixels[size_t(y * CursorSize + x)] = 0xFF000000u;
            else if (at(x - 1, y) || at(x + 1, y) || at(x, y - 1) || at(x, y + 1))
                pixels[size_t(y * CursorSize + x)] = 0xFFFFFFFFu;
        }
    return pixels;
}

HCURSOR TableCursor(const char* name, bool down) {
    if (HCURSOR own = LoadCursorA(nullptr, name)) return own;
    const TPoint tip = down ? TPoint(CursorSize / 2, 28) : TPoint(28, CursorSize / 2);
    return RegisterCursorImage(name, CursorSize, CursorSize, tip, ArrowPixels(down));
}

} // namespace

void RVLoadTableCursors() {
    if (!Screen) return;
    Screen->SetCursors(crRVTableColSelect, TableCursor("RV_SELECTCOL_CURSOR", true));
    Screen->SetCursors(crRVTableRowSelect, TableCursor("RV_SELECTROW_CURSOR", false));
}

} // namespace epc

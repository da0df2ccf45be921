#pragma once
// The private window messages of the viewer, the editor and the table's cell editor. Each is
// defined here once; the side that posts and the side that performs both use these names.

#include <cstdint>

#include "platform/windows/Messages.h"

namespace epc {

// To a table's cell editor: move out of the cell or close. WParam: a direction of
// TRVInplaceMove.
inline constexpr uint32_t WM_RVINPLACEMOVE = WM_USER + 10;
// To a table's cell editor: become writable, then redo (undo) its own last step.
inline constexpr uint32_t WM_RVINPLACEREDO = WM_USER + 11;
inline constexpr uint32_t WM_RVINPLACEUNDO = WM_USER + 12;
// To an editor: close its cell editor, then undo (redo) its own last step.
inline constexpr uint32_t WM_RVUNDOFROMINPLACE = WM_USER + 13;
inline constexpr uint32_t WM_RVREDOFROMINPLACE = WM_USER + 14;
// An event raised inside an in-place cell editor, posted to the viewer that holds the table
// so that its handler runs after the editor's own message (LParam: a TRVMessageData the
// receiver frees).
inline constexpr uint32_t WM_RVEVENT = WM_USER + 15;

// Where WM_RVINPLACEMOVE sends the cell editor.
enum TRVInplaceMove : uint8_t {
    rvimLeft = 0,
    rvimUp = 1,
    rvimRight = 2,
    rvimDown = 3,
    rvimBeforeTable = 4,
    rvimAfterTable = 5,
    rvimNext = 6,
    rvimPrev = 7,
    rvimClose = 8, // close without moving the caret
};

} // namespace epc

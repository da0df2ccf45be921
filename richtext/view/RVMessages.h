#pragma once
// The private window messages of the viewer, the editor and the table's cell editor.

#include <cstdint>

#include "platform/windows/Messages.h"

namespace epc {

// An event raised inside an in-place cell editor, posted to the viewer that holds the table
// so that its handler runs after the editor's own message (LParam: a TRVMessageData the
// receiver frees).
inline constexpr uint32_t WM_RVEVENT = WM_USER + 15;

} // namespace epc

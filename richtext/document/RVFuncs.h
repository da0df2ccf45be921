#pragma once
// The refusal beep of the document layer.

namespace epc {

// The beep of refused edit operations (MessageBeep(0)).
void RVBeep();

} // namespace epc

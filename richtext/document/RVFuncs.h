#pragma once
// Helpers that reach the platform: the refusal beep, text measuring and fitting on a canvas,
// caret positions, device resolutions and device-scaled picture drawing.

#include <functional>
#include <string>
#include <vector>

#include "richtext/document/RVTypes.h"

namespace epc {

// The beep of refused edit operations. The handler defaults to a counter so that headless
// runs can observe it; a windowing layer installs the system beep.
std::function<void()>& RVBeepHandler();
int RVBeepCount();
void RVBeep();

}  // namespace epc

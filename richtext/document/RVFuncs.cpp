#include "richtext/document/RVFuncs.h"

#include "platform/windows/Window.h"

namespace epc {

void RVBeep() {
    MessageBeep(0);
}

} // namespace epc

#include "richtext/document/RVFuncs.h"

#include "platform/windows/Window.h"

namespace epc {

std::function<void()>& RVBeepHandler() {
    static std::function<void()> handler;
    return handler;
}

int RVBeepCount() {
    return BeepCount();
}

void RVBeep() {
    if (RVBeepHandler())
        RVBeepHandler()();
    else
        MessageBeep(0);
}

void MessageBeepForDocument() {
    RVBeep();
}

} // namespace epc

#include "richtext/document/RVFuncs.h"

namespace epc {

namespace {
int beepCount = 0;
}

std::function<void()>& RVBeepHandler() {
    static std::function<void()> handler;
    return handler;
}

int RVBeepCount() { return beepCount; }

void RVBeep() {
    ++beepCount;
    if (RVBeepHandler()) RVBeepHandler()();
}

void MessageBeepForDocument() { RVBeep(); }

}  // namespace epc

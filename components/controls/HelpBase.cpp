#include "components/controls/HelpBase.h"

#include "platform/core/Exceptions.h"

namespace epc {

THelpBase::~THelpBase() {
    if (FHandle) DeallocateHWnd(FHandle);
}

void THelpBase::Loaded() {
    TComponent::Loaded();
    if (!ComponentState().Contains(TComponentStateItem::csDesigning)) CreateHandle();
}

void THelpBase::CreateHandle() {
    if (FHandle) return;
    FHandle = AllocateHWnd([this](TMessage& m) { HandleMessage(m); });
    if (!FHandle) throw Exception(SNoHelpWindow);
}

void THelpBase::HandleMessage(TMessage& message) {
    message.Result = DefWindowProc(FHandle, message.Msg, message.WParam, message.LParam);
}

} // namespace epc

#include "platform/controls/ActnList.h"

#include <algorithm>

#include "platform/controls/Forms.h"
#include "platform/controls/ImageList.h"

namespace epc {

void TCustomActionList::SetImages(TCustomImageList* value) {
    if (FImages == value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = value;
    if (FImages) FImages->FreeNotification(this);
}

void TCustomActionList::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FImages) FImages = nullptr;
}

TBasicAction::~TBasicAction() = default;

bool TBasicAction::Execute() {
    if (!OnExecute) return false;
    OnExecute(this);
    return true;
}

void TBasicAction::RegisterChanges(const void* client, TChangeHandler handler) {
    UnRegisterChanges(client);
    FClients.emplace_back(client, std::move(handler));
}

void TBasicAction::UnRegisterChanges(const void* client) {
    std::erase_if(FClients, [client](const auto& c) { return c.first == client; });
}

void TBasicAction::Change() {
    // A copy: a handler may unregister itself.
    auto clients = FClients;
    for (auto& c : clients)
        if (c.second) c.second(this);
}

void TCustomAction::SetActionList(TCustomActionList* value) {
    if (FActionList == value) return;
    if (FActionList) FActionList->RemoveFreeNotification(this);
    FActionList = value;
    if (FActionList) FActionList->FreeNotification(this);
    Change();
}

void TCustomAction::SetCaption(const std::string& value) {
    if (FCaption == value) return;
    FCaption = value;
    Change();
}

void TCustomAction::SetHint(const std::string& value) {
    if (FHint == value) return;
    FHint = value;
    Change();
}

void TCustomAction::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    Change();
}

void TCustomAction::SetChecked(bool value) {
    if (FChecked == value) return;
    FChecked = value;
    Change();
}

void TCustomAction::SetImageIndex(int value) {
    if (FImageIndex == value) return;
    FImageIndex = value;
    Change();
}

void TCustomAction::Notification(TComponent* component, TOperation operation) {
    TBasicAction::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FActionList) FActionList = nullptr;
}

bool TEditAction::Execute() {
    if (TCustomAction::Execute()) return true;
    TWinControl* target = Screen ? Screen->ActiveControl() : nullptr;
    return target && target->ExecuteAction(this);
}

bool TEditAction::Update() {
    TWinControl* target = Screen ? Screen->ActiveControl() : nullptr;
    return target && target->UpdateAction(this);
}

} // namespace epc

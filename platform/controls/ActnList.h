#pragma once
// Actions: a command with a caption, hint, enabled and checked state and an image index into
// its action list's images, shared by the controls linked to it. Linked controls hear of every
// change through a registered callback.

#include <functional>
#include <string>
#include <vector>

#include "platform/core/Classes.h"

namespace epc {

class TCustomImageList;
class TBasicAction;

class TCustomActionList : public TComponent {
public:
    explicit TCustomActionList(TComponent* owner) : TComponent(owner) {}
    std::string ClassName() const override { return "TCustomActionList"; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value);
    void Notification(TComponent* component, TOperation operation) override;

private:
    TCustomImageList* FImages = nullptr;
};

class TActionList : public TCustomActionList {
public:
    using TCustomActionList::TCustomActionList;
    std::string ClassName() const override { return "TActionList"; }
};

class TBasicAction : public TComponent {
public:
    using TChangeHandler = std::function<void(TBasicAction* sender)>;

    explicit TBasicAction(TComponent* owner) : TComponent(owner) {}
    ~TBasicAction() override;
    std::string ClassName() const override { return "TBasicAction"; }

    // True when OnExecute ran.
    virtual bool Execute();
    TNotifyEvent OnExecute;

    // A client hears of every change until it unregisters (clients must before they go).
    void RegisterChanges(const void* client, TChangeHandler handler);
    void UnRegisterChanges(const void* client);

protected:
    void Change();

private:
    std::vector<std::pair<const void*, TChangeHandler>> FClients;
};

class TCustomAction : public TBasicAction {
public:
    using TBasicAction::TBasicAction;
    std::string ClassName() const override { return "TCustomAction"; }

    TCustomActionList* ActionList() const { return FActionList; }
    void SetActionList(TCustomActionList* value);
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    void Notification(TComponent* component, TOperation operation) override;

private:
    TCustomActionList* FActionList = nullptr;
    std::string FCaption;
    std::string FHint;
    bool FEnabled = true;
    bool FChecked = false;
    int FImageIndex = -1;
};

class TAction : public TCustomAction {
public:
    using TCustomAction::TCustomAction;
    std::string ClassName() const override { return "TAction"; }
};

// The standard edit actions; the control they target carries them out and enables them.
class TEditAction : public TCustomAction {
public:
    using TCustomAction::TCustomAction;
    std::string ClassName() const override { return "TEditAction"; }
    // Its own OnExecute when assigned, else the focused control's ExecuteAction.
    bool Execute() override;
    // The focused control sets the action's state; false when none does.
    bool Update();
};
class TEditCut : public TEditAction {
public:
    using TEditAction::TEditAction;
    std::string ClassName() const override { return "TEditCut"; }
};
class TEditCopy : public TEditAction {
public:
    using TEditAction::TEditAction;
    std::string ClassName() const override { return "TEditCopy"; }
};
class TEditPaste : public TEditAction {
public:
    using TEditAction::TEditAction;
    std::string ClassName() const override { return "TEditPaste"; }
};
class TEditDelete : public TEditAction {
public:
    using TEditAction::TEditAction;
    std::string ClassName() const override { return "TEditDelete"; }
};
class TEditSelectAll : public TEditAction {
public:
    using TEditAction::TEditAction;
    std::string ClassName() const override { return "TEditSelectAll"; }
};

} // namespace epc

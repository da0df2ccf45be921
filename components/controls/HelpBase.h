#pragma once
// The base of the help components: a component with a hidden utility window, made when
// loading finishes at run time, whose messages go to HandleMessage.

#include <string>

#include "platform/core/Classes.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Window.h"

namespace epc {

inline constexpr const char* SNoHelpWindow = "Help component cannot create window handle.";

class THelpBase : public TComponent {
public:
    explicit THelpBase(TComponent* owner) : TComponent(owner) {}
    ~THelpBase() override;
    std::string ClassName() const override { return "THelpBase"; }

    void Loaded() override;
    // The utility window (null before loading finished).
    HWND Handle() const { return FHandle; }

protected:
    virtual void HandleMessage(TMessage& message);
    void CreateHandle();

private:
    HWND FHandle = nullptr;
};

} // namespace epc

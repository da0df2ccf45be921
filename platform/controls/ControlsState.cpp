// The controls module's state record and the scope that binds it.

#include "platform/controls/ControlsState.h"

namespace epc {

TControlsState::TControlsState()
    : ApplicationObject(std::make_unique<TApplication>(nullptr)),
      ScreenObject(std::make_unique<TScreen>(nullptr)), MouseObject(std::make_unique<TMouse>()) {
    SetMessageFilter([](MSG& msg) { return Application && Application->MessageFilter(msg); });
    SetMessageExceptionHandler([](std::exception_ptr e) {
        if (Application) Application->HandleException(nullptr, e);
    });
}

TControlsState::~TControlsState() = default;

void TControlsState::ShutDown() {
    if (IsDragging()) CancelDrag();
    // Forms first (they free their controls); forms of other owners go with their owners.
    TScreen& screen = *ScreenObject;
    for (int guard = 0; guard < 1000 && screen.FormCount() > 0; ++guard) {
        TCustomForm* f = screen.Forms(screen.FormCount() - 1);
        if (f->Owner() == nullptr || f->Owner() == ApplicationObject.get())
            FreeComponent(f);
        else
            screen.RemoveForm(f);
    }
    screen.SetCursor(crDefault);
    TApplication& app = *ApplicationObject;
    app.CancelHint();
    if (app.FHintWindow) {
        FreeComponent(app.FHintWindow);
        app.FHintWindow = nullptr;
    }
    // While it goes, Application is null, as the components' guards expect.
    ApplicationObject.reset();
    SetMessageFilter(nullptr);
    SetMessageExceptionHandler(nullptr);
}

TControlsScope::TControlsScope() = default;
TControlsScope::~TControlsScope() = default;

TApplication* CurrentApplication() {
    return ControlsState().ApplicationObject.get();
}
TScreen* CurrentScreen() {
    return ControlsState().ScreenObject.get();
}
TMouse* CurrentMouse() {
    return ControlsState().MouseObject.get();
}

void InitializeForms() {
    ControlsState();
}

} // namespace epc

#pragma once
// The controls module's state of one program run, in one record, shared by its source files
// only: the application, screen and mouse objects, the clipboard object, the window-to-control
// map, menus, mouse capture and dragging, and the popup and modal handlers.

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/controls/Clipbrd.h"
#include "platform/controls/Forms.h"
#include "platform/controls/Menus.h"
#include "platform/core/BoundState.h"

namespace epc {

struct TMenuState {
    Word NextCommand = 1;
    std::vector<TMenu*> Menus;
    TPopupMenu* Open = nullptr;
};

struct TDragTracking {
    TControl* Control = nullptr; // the control being dragged
    TDragObject* Object = nullptr;
    bool OwnsObject = false;
    bool Active = false; // past the threshold
    TPoint StartPos;     // screen
    int Threshold = 5;
    TControl* Target = nullptr;
    bool Accepted = false;
    HWND CaptureWindow = nullptr;
};

struct TControlsState {
    // Makes the application, screen and mouse, and lets the application see and guard the
    // message pump of the windows state bound now.
    TControlsState();
    ~TControlsState();

    std::unique_ptr<TApplication> ApplicationObject;
    std::unique_ptr<TScreen> ScreenObject;
    std::unique_ptr<TMouse> MouseObject;
    TClipboard ClipboardObject;
    std::unordered_map<HWND, TWinControl*> HandleMap;
    TMenuState Menus;
    TDragTracking Drag;
    TControl* CaptureControl = nullptr;
    TPopupHandler PopupHandler;
    std::function<void(TCustomForm*)> ModalHandler;

    // Ends a drag, frees the forms and the application (with what it owns) while still bound.
    void ShutDown();
};

inline TControlsState& ControlsState() {
    return TBoundState<TControlsState>::Current();
}

} // namespace epc

// Mouse capture of controls and the framework's drag protocol: BeginDrag with a threshold,
// drag objects, CM_DRAG enter/move/leave/drop/cancel/find-target, and the drag events.

#include <cstdlib>

#include "platform/controls/Controls.h"
#include "platform/controls/ControlsState.h"

namespace epc {

TControl*& CaptureControlRef() {
    return ControlsState().CaptureControl;
}

namespace {

TDragTracking& Drag() {
    return ControlsState().Drag;
}

HWND WindowOf(TControl* c) {
    if (auto* w = dynamic_cast<TWinControl*>(c)) return w->Handle();
    return c->Parent() ? c->Parent()->Handle() : nullptr;
}

LRESULT SendDragMessage(TControl* target, TDragMessage msg, TDragObject* source, TPoint pos) {
    if (!target) return 0;
    TDragRec rec;
    rec.Pos = pos;
    rec.Source = source;
    rec.Target = target;
    return target->Perform(CM_DRAG, msg, reinterpret_cast<LPARAM>(&rec));
}

}  // namespace

// ---- Capture ---------------------------------------------------------------------------------

bool TControl::MouseCapture() const {
    if (auto* w = dynamic_cast<const TWinControl*>(this))
        return w->HandleAllocated() && GetCapture() == w->FHandle;
    return CaptureControlRef() == this;
}

void TControl::SetMouseCapture(bool v) {
    if (MouseCapture() == v) return;
    if (v) {
        CaptureControlRef() = this;
        if (HWND h = WindowOf(this)) SetCapture(h);
    } else {
        CaptureControlRef() = nullptr;
        ReleaseCapture();
    }
}

// ---- Drag objects ----------------------------------------------------------------------------

TCursor TDragObject::GetDragCursor(bool accepted, int, int) {
    if (accepted) {
        if (TControl* c = DragControl()) return c->DragCursor();
        return crDrag;
    }
    return crNoDrop;
}

void TBaseDragControlObject::Finished(TObject* target, int x, int y, bool accepted) {
    if (!FControl) return;
    if (!accepted) {
        target = nullptr;
        x = y = 0;
    }
    FControl->DoEndDrag(target, x, y);
}

TDragObject* CurrentDragObject() { return Drag().Object; }
TControl* CurrentDragControl() { return Drag().Control; }
bool IsDragging() { return Drag().Control != nullptr; }

TControl* FindDragTarget(TPoint pos, bool allowDisabled) {
    HWND h = WindowFromPoint(pos);
    TWinControl* w = nullptr;
    for (; h && !(w = TWinControl::FindControl(h)); h = GetParent(h)) {
    }
    if (!w) return nullptr;
    // The window's control may name a part of itself as the target.
    TDragRec rec;
    rec.Pos = pos;
    rec.Source = Drag().Object;
    LRESULT found = w->Perform(CM_DRAG, dmFindTarget, reinterpret_cast<LPARAM>(&rec));
    TControl* target = found ? reinterpret_cast<TControl*>(found) : w;
    if (!allowDisabled && !target->Enabled()) return nullptr;
    return target;
}

static void DragTo(TPoint pos) {
    auto& d = Drag();
    if (!d.Object) return;
    TControl* target = FindDragTarget(pos, false);
    if (target != d.Target) {
        if (d.Target) SendDragMessage(d.Target, dmDragLeave, d.Object, pos);
        d.Target = target;
        d.Accepted = false;
        if (d.Target) {
            d.Object->DragTarget = d.Target;
            d.Accepted = SendDragMessage(d.Target, dmDragEnter, d.Object, pos) != 0;
        }
    }
    if (d.Target) d.Accepted = SendDragMessage(d.Target, dmDragMove, d.Object, pos) != 0;
    d.Object->DragPos = pos;
    d.Object->DragTarget = d.Target;
    if (d.Target) d.Object->DragTargetPos = d.Target->ScreenToClient(pos);
    if (Screen) {
        TCursor c = d.Object->GetDragCursor(d.Accepted, pos.X, pos.Y);
        ::epc::SetCursor(Screen->Cursors(c));
    }
}

static void FinishDrag(bool drop) {
    auto& d = Drag();
    if (!d.Control) return;
    TDragTracking s = d;
    d = TDragTracking();
    CaptureControlRef() = nullptr;
    if (s.CaptureWindow && GetCapture() == s.CaptureWindow) ReleaseCapture();
    if (!s.Object) return;
    TPoint pos = s.Object->DragPos;
    bool accepted = drop && s.Active && s.Target && s.Accepted;
    if (s.Target) {
        if (accepted) {
            s.Object->Dropped = true;
            SendDragMessage(s.Target, dmDragDrop, s.Object, pos);
        } else {
            s.Object->Cancelling = !drop;
            SendDragMessage(s.Target, drop ? dmDragLeave : dmDragCancel, s.Object, pos);
        }
    }
    TPoint local = s.Target ? s.Target->ScreenToClient(pos) : TPoint();
    s.Object->Finished(accepted ? s.Target : nullptr, local.X, local.Y, accepted);
    if (s.OwnsObject) delete s.Object;
    if (Screen) ::epc::SetCursor(Screen->Cursors(crDefault));
}

void DragDone(bool drop) { FinishDrag(drop); }
void CancelDrag() { FinishDrag(false); }

bool DragTrackMessage(const MSG& msg) {
    auto& d = Drag();
    if (!d.Control) return false;
    TPoint screen = msg.pt;
    switch (msg.message) {
    case WM_MOUSEMOVE:
        if (!d.Active) {
            if (std::abs(screen.X - d.StartPos.X) < d.Threshold &&
                std::abs(screen.Y - d.StartPos.Y) < d.Threshold)
                return false;  // the control still sees moves below the threshold
            d.Active = true;
        }
        DragTo(screen);
        return true;
    case WM_LBUTTONUP:
        if (!d.Active) {
            // Released before the threshold: no drag, the click goes on as usual.
            FinishDrag(false);
            return false;
        }
        FinishDrag(true);
        return true;
    case WM_RBUTTONDOWN:
        FinishDrag(false);
        return true;
    case WM_KEYDOWN:
        if (msg.wParam == VK_ESCAPE) {
            FinishDrag(false);
            return true;
        }
        return d.Active;
    case WM_CANCELMODE:
        FinishDrag(false);
        return false;
    }
    return false;
}

// ---- TControl's side -------------------------------------------------------------------------

void TControl::BeginDrag(bool immediate, int threshold) {
    if (FDragKind != dkDrag) return;
    auto& d = Drag();
    if (d.Control) return;
    TDragObject* obj = nullptr;
    DoStartDrag(obj);
    d.Control = this;
    if (obj) {
        d.Object = obj;
        d.OwnsObject = false;
    } else {
        d.Object = new TDragControlObject(this);
        d.OwnsObject = true;
    }
    if (threshold < 0) threshold = Mouse ? Mouse->DragThreshold() : 5;
    d.Threshold = threshold;
    POINT p;
    GetCursorPos(&p);
    d.StartPos = p;
    d.Object->DragPos = p;
    d.CaptureWindow = WindowOf(this);
    if (d.CaptureWindow) SetCapture(d.CaptureWindow);
    CaptureControlRef() = this;
    if (immediate) {
        d.Active = true;
        DragTo(p);
    }
}

void TControl::EndDrag(bool drop) {
    if (Drag().Control == this) FinishDrag(drop);
}

bool TControl::Dragging() const { return Drag().Control == this; }

void TControl::DoStartDrag(TDragObject*& dragObject) {
    if (OnStartDrag) OnStartDrag(this, dragObject);
}

void TControl::DoEndDrag(TObject* target, int x, int y) {
    if (OnEndDrag) OnEndDrag(this, target, x, y);
}

bool TControl::DragOver(TObject* source, int x, int y, TDragState state) {
    bool accept = false;
    if (OnDragOver) {
        accept = true;
        OnDragOver(this, source, x, y, state, accept);
    }
    return accept;
}

void TControl::DragDrop(TObject* source, int x, int y) {
    if (OnDragDrop) OnDragDrop(this, source, x, y);
}

void TControl::CMDrag(TMessage& message) {
    auto* rec = reinterpret_cast<TDragRec*>(message.LParam);
    if (!rec) return;
    TDragMessage kind = TDragMessage(message.WParam);
    if (kind == dmFindTarget) {
        // A windowed control names the graphic child under the point, or itself.
        TControl* target = this;
        if (auto* w = dynamic_cast<TWinControl*>(this)) {
            TPoint p = w->ScreenToClient(rec->Pos);
            if (TControl* c = w->ControlAtPos(p, false)) target = c;
        }
        message.Result = reinterpret_cast<LRESULT>(target);
        return;
    }
    TPoint p = ScreenToClient(rec->Pos);
    // A drag object of the control kind is seen as its control.
    TObject* source = rec->Source;
    if (auto* co = dynamic_cast<TBaseDragControlObject*>(rec->Source)) source = co->Control();
    switch (kind) {
    case dmDragEnter: message.Result = DragOver(source, p.X, p.Y, dsDragEnter) ? 1 : 0; break;
    case dmDragMove: message.Result = DragOver(source, p.X, p.Y, dsDragMove) ? 1 : 0; break;
    case dmDragLeave:
    case dmDragCancel: DragOver(source, p.X, p.Y, dsDragLeave); break;
    case dmDragDrop: DragDrop(source, p.X, p.Y); break;
    default: break;
    }
}

}  // namespace epc

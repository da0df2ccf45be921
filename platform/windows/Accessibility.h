#pragma once
// Accessibility in process: the accessible-object interface, a standard object per window
// (role, state, name, location), objects handed out through WM_GETOBJECT as result cookies,
// and a log of NotifyWinEvent calls.

#include <string>
#include <vector>

#include "platform/windows/DataTransfer.h"

namespace epc {

extern const IID IID_IAccessible;

enum : LONG { OBJID_WINDOW = 0, OBJID_CLIENT = -4, CHILDID_SELF = 0 };
enum : DWORD { EVENT_OBJECT_CREATE = 0x8000, EVENT_OBJECT_DESTROY = 0x8001,
               EVENT_OBJECT_FOCUS = 0x8005, EVENT_OBJECT_SELECTION = 0x8006,
               EVENT_OBJECT_STATECHANGE = 0x800A, EVENT_OBJECT_NAMECHANGE = 0x800C,
               EVENT_OBJECT_VALUECHANGE = 0x800E };
enum : LONG { ROLE_SYSTEM_CLIENT = 10, ROLE_SYSTEM_OUTLINE = 35, ROLE_SYSTEM_STATICTEXT = 41,
              ROLE_SYSTEM_CHECKBUTTON = 44, ROLE_SYSTEM_RADIOBUTTON = 45,
              ROLE_SYSTEM_OUTLINEITEM = 36, ROLE_SYSTEM_LIST = 33, ROLE_SYSTEM_LISTITEM = 34 };
enum : DWORD { STATE_SYSTEM_UNAVAILABLE = 0x1, STATE_SYSTEM_SELECTED = 0x2,
               STATE_SYSTEM_FOCUSED = 0x4, STATE_SYSTEM_CHECKED = 0x10,
               STATE_SYSTEM_MIXED = 0x20, STATE_SYSTEM_INVISIBLE = 0x8000,
               STATE_SYSTEM_FOCUSABLE = 0x100000 };

// The queries components answer; child 0 (CHILDID_SELF) is the object itself.
class IAccessible : public IUnknown {
public:
    virtual HRESULT get_accChildCount(LONG* count) = 0;
    virtual HRESULT get_accName(LONG child, std::u16string* name) = 0;
    virtual HRESULT get_accValue(LONG child, std::u16string* value) = 0;
    virtual HRESULT get_accRole(LONG child, LONG* role) = 0;
    virtual HRESULT get_accState(LONG child, DWORD* state) = 0;
    virtual HRESULT accLocation(LONG* left, LONG* top, LONG* width, LONG* height, LONG child) = 0;
};

// The standard object of a window's client area: role client, state from the window
// (unavailable, invisible, focusable, focused), name the window text, location its screen
// rectangle; no children.
HRESULT CreateStdAccessibleObject(HWND h, LONG objectId, const IID& iid, void** object);
// A cookie for WM_GETOBJECT's answer (keeps a reference until fetched) and the way back.
LRESULT LresultFromObject(const IID& iid, WPARAM w, IUnknown* object);
HRESULT ObjectFromLresult(LRESULT result, const IID& iid, WPARAM w, void** object);
// Asks the window (WM_GETOBJECT) and falls back on the standard object.
HRESULT AccessibleObjectFromWindow(HWND h, DWORD objectId, const IID& iid, void** object);

struct TWinEventRecord {
    DWORD Event;
    HWND Window;
    LONG ObjectId;
    LONG ChildId;
};
void NotifyWinEvent(DWORD event, HWND h, LONG objectId, LONG childId);
const std::vector<TWinEventRecord>& WinEventLog();
void ClearWinEventLog();

}  // namespace epc

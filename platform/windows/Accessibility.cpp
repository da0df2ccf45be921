// Standard accessible objects, WM_GETOBJECT cookies and the event log.

#include "platform/windows/Accessibility.h"

#include <map>

#include "platform/core/Strings.h"
#include "platform/windows/WindowsState.h"

namespace epc {

const IID IID_IAccessible{0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

namespace {

class TStdAccessible : public TUnknownImpl<IAccessible> {
public:
    explicit TStdAccessible(HWND h) : FWindow(h) {}
    HRESULT QueryInterface(const IID& iid, void** object) override {
        return QueryFor(iid, object, {IID_IAccessible});
    }
    HRESULT get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT get_accName(LONG child, std::u16string* name) override {
        if (!name) return E_POINTER;
        if (child != CHILDID_SELF) return E_INVALIDARG;
        *name = AnsiToWide(GetWindowText(FWindow));
        return S_OK;
    }
    HRESULT get_accValue(LONG child, std::u16string* value) override {
        if (!value) return E_POINTER;
        return child == CHILDID_SELF ? S_FALSE : E_INVALIDARG;
    }
    HRESULT get_accRole(LONG child, LONG* role) override {
        if (!role) return E_POINTER;
        if (child != CHILDID_SELF) return E_INVALIDARG;
        *role = ROLE_SYSTEM_CLIENT;
        return S_OK;
    }
    HRESULT get_accState(LONG child, DWORD* state) override {
        if (!state) return E_POINTER;
        if (child != CHILDID_SELF) return E_INVALIDARG;
        if (!IsWindow(FWindow)) return E_FAIL;
        DWORD s = STATE_SYSTEM_FOCUSABLE;
        if (!IsWindowEnabled(FWindow)) s |= STATE_SYSTEM_UNAVAILABLE;
        if (!IsWindowVisible(FWindow)) s |= STATE_SYSTEM_INVISIBLE;
        if (GetFocus() == FWindow) s |= STATE_SYSTEM_FOCUSED;
        *state = s;
        return S_OK;
    }
    HRESULT accLocation(LONG* left, LONG* top, LONG* width, LONG* height, LONG child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        if (child != CHILDID_SELF) return E_INVALIDARG;
        RECT r;
        GetClientRect(FWindow, &r);
        POINT p(0, 0);
        ClientToScreen(FWindow, &p);
        *left = p.X;
        *top = p.Y;
        *width = r.Width();
        *height = r.Height();
        return S_OK;
    }

private:
    HWND FWindow;
};

TAccState& Acc() {
    return WindowsState().Accessibility;
}

}  // namespace

HRESULT CreateStdAccessibleObject(HWND h, LONG, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsWindow(h)) return E_INVALIDARG;
    auto* acc = new TStdAccessible(h);
    HRESULT hr = acc->QueryInterface(iid, object);
    acc->Release();
    return hr;
}

LRESULT LresultFromObject(const IID&, WPARAM, IUnknown* object) {
    if (!object) return LRESULT(E_INVALIDARG);
    object->AddRef();
    auto& st = Acc();
    LRESULT cookie = st.NextCookie++;
    st.Cookies[cookie] = object;
    return cookie;
}

HRESULT ObjectFromLresult(LRESULT result, const IID& iid, WPARAM, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    auto& st = Acc();
    auto it = st.Cookies.find(result);
    if (it == st.Cookies.end()) return E_INVALIDARG;
    IUnknown* unk = it->second;
    st.Cookies.erase(it);
    HRESULT hr = unk->QueryInterface(iid, object);
    unk->Release();
    return hr;
}

HRESULT AccessibleObjectFromWindow(HWND h, DWORD objectId, const IID& iid, void** object) {
    if (!IsWindow(h)) return E_INVALIDARG;
    LRESULT r = SendMessage(h, WM_GETOBJECT, 0, LPARAM(LONG(objectId)));
    if (r > 0) return ObjectFromLresult(r, iid, 0, object);
    return CreateStdAccessibleObject(h, LONG(objectId), iid, object);
}

void NotifyWinEvent(DWORD event, HWND h, LONG objectId, LONG childId) {
    Acc().Events.push_back({event, h, objectId, childId});
}

const std::vector<TWinEventRecord>& WinEventLog() { return Acc().Events; }
void ClearWinEventLog() { Acc().Events.clear(); }

void ShutDownAccessibility() {
    auto& st = Acc();
    // Objects handed out as results that nobody took back.
    for (auto& [cookie, object] : st.Cookies)
        object->Release();
    st.Cookies.clear();
}

}  // namespace epc

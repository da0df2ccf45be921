#pragma once
// Typed GDI handles point at objects whose definitions are private to the gdi module, so the
// conversion to the generic object handle cannot be implicit here. Every handle type derives
// singly from the generic object, so the pointer value is the same.

#include "platform/gdi/Gdi.h"

namespace epc {

template <typename T> inline HGDIOBJ GdiObj(T* handle) {
    return reinterpret_cast<HGDIOBJ>(handle);
}

} // namespace epc

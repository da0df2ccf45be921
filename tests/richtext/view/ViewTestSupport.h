#pragma once
// The form the viewer, editor and table tests put their controls on.

#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

namespace epc::test {

// One borderless form at (50, 50), 400 x 300, on the platform context of the case.
inline TForm* NewTestForm() {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(50, 50, 400, 300);
    return form;
}

} // namespace epc::test

#pragma once
// A demo form with a viewer filling it, on the section's platform context.

#include <functional>

#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"
#include "richtext/view/RichView.h"

namespace demo {

struct TViewerForm {
    epc::TForm* Form;
    epc::TRichView* View;
};

// A new form of the caption and size, and on it a viewer with a style sheet that buildStyles
// fills and margins of 10 at the sides and 8 at the top.
inline TViewerForm NewViewerForm(const char* caption, int width, int height, const char* name,
                                 const std::function<void(epc::TRVStyle&)>& buildStyles) {
    using namespace epc;
    auto* form = Application->CreateForm<TForm>();
    form->SetCaption(caption);
    form->SetBounds(40, 40, width, height);
    auto* style = new TRVStyle(form);
    buildStyles(*style);
    auto* view = new TRichView(form);
    view->SetName(name);
    view->SetParent(form);
    view->SetAlign(alClient);
    view->SetStyle(style);
    view->LeftMargin = 10;
    view->RightMargin = 10;
    view->TopMargin = 8;
    return {form, view};
}

} // namespace demo

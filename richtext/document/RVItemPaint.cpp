// Pictures of image lists (bullets and hotspots) and embedded controls: painting on the screen
// and printing through a bitmap of their box.

#include "platform/controls/Controls.h"
#include "platform/controls/Forms.h"
#include "platform/controls/ImageList.h"
#include "platform/graphics/Bitmap.h"
#include "richtext/document/RVItem.h"

namespace epc {

namespace {

constexpr int kItemHover = 4; // draw-state bit of an item under the mouse

// A control paints through its window: it needs one, or a form above it that can make one.
bool CanPaintControl(TWinControl* control) {
    TWinControl* top = control;
    for (TWinControl* p = control; p; p = p->Parent()) {
        if (p->HandleAllocated()) return true;
        top = p;
    }
    return dynamic_cast<TCustomForm*>(top) != nullptr;
}

} // namespace

void TRVBulletItemInfo::Paint(int x, int y, TCanvas* canvas, int state, TRVStyle*,
                              TRVDrawLineInfo*) {
    if (!canvas || !ImageList) return;
    ImageList->Draw(canvas, x + Spacing, y + Spacing, ImageIndexFor(state));
}

bool TRVBulletItemInfo::PrintToBitmap(TGraphic* bkgnd, bool, TRVStyle*, TRVColorMode) {
    auto* bmp = dynamic_cast<TBitmap*>(bkgnd);
    if (!bmp || !ImageList || ImageIndex < 0 || ImageIndex >= ImageList->Count()) return false;
    ImageList->Draw(bmp->Canvas(), Spacing, Spacing, ImageIndex);
    return true;
}

int TRVHotspotItemInfo::ImageIndexFor(int state) const {
    return (state & kItemHover) ? HotImageIndex : ImageIndex;
}

bool TRVControlItemInfo::PrintToBitmap(TGraphic* bkgnd, bool, TRVStyle*, TRVColorMode) {
    auto* bmp = dynamic_cast<TBitmap*>(bkgnd);
    auto* control = dynamic_cast<TWinControl*>(Control.get());
    if (!bmp || !control || !CanPaintControl(control)) return false;
    control->PaintTo(bmp->Canvas()->Handle(), Spacing, Spacing);
    return true;
}

} // namespace epc

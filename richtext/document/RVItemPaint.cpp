// Painting of the items that draw themselves.

#include "richtext/document/RVItem.h"

namespace epc {

void TRVBreakItemInfo::PaintFullWidth(int, int, int, TCanvas*, int, TRVStyle*, const TRect&,
                                      TRVDrawLineInfo*) {}

void TRVGraphicItemInfo::Paint(int, int, TCanvas*, int, TRVStyle*, TRVDrawLineInfo*) {}

bool TRVGraphicItemInfo::PrintToBitmap(TGraphic*, bool, TRVStyle*, TRVColorMode) {
    return false;
}

}  // namespace epc

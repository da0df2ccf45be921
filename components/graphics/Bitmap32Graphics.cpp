#include "components/graphics/Bitmap32.h"

namespace epc {

bool TBitmap32::AssignFromGraphic(TPersistent*) { return false; }
bool TBitmap32::AssignToGraphic(TPersistent*) { return false; }

}  // namespace epc

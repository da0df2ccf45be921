#include "platform/context/PlatformContext.h"

namespace epc {

TPlatformContext::TPlatformContext() = default;
TPlatformContext::~TPlatformContext() = default;

} // namespace epc

#pragma once
// Embedded controls in stored documents: controls are kept as component streams.

#include <string>

#include "richtext/document/RVItem.h"

namespace epc {

class TComponent;
class TStream;

// The control's component stream.
std::string RVSaveControlStream(TComponent* control);
// A new control of ClassName read from a component stream; nullptr when the class is not
// registered. Stream errors raise.
TRVComponentPtr RVLoadControlStream(TStream& stream, const std::string& className);

// Reads a component stream into Control, making a control of ClassName first when Control is
// null; false when the class is not registered. Stream errors raise (a control made here is
// freed again).
bool RVFLoadControlStream(TStream& stream, TRVComponentPtr& control, const std::string& className);
// Binary body: int32 length placeholder, the component stream, then the length back-patched.
void RVFSaveControlBinary(TStream& stream, TComponent* control);
std::string RVFSaveControlHex(TComponent* control);
void RVFLoadControlBinary(const std::string& body, TRVComponentPtr& control,
                          const std::string& className);
// False for text that is not hexadecimal.
bool RVFLoadControlHex(const std::string& hex, TRVComponentPtr& control,
                       const std::string& className);

} // namespace epc

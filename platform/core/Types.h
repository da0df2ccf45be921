#pragma once
// Basic types shared by the whole code base: the root object class, event types and the
// assertion helper that raises instead of aborting.

#include <cstdint>
#include <functional>
#include <string>

namespace epc {

// Root of the class tree. ClassName is what stored formats and registries know a class by.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
    virtual std::string ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// Raises EAssertionFailed with the message.
[[noreturn]] void AssertionFailed(const std::string& message);

// Raises EAssertionFailed with the message when the condition is false. Assertions stay on in
// release builds: callers rely on the raised message. The check comes first, so that a passing
// assertion on a hot path builds no message string.
inline void Assert(bool condition, const char* message) {
    if (!condition) AssertionFailed(message);
}
inline void Assert(bool condition, const std::string& message) {
    if (!condition) AssertionFailed(message);
}

using Byte = uint8_t;
using Word = uint16_t;
using Cardinal = uint32_t;

} // namespace epc

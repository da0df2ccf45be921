#include "platform/core/Exceptions.h"

#include "platform/core/Types.h"

namespace epc {

namespace {
std::string ReplaceFirst(const std::string& pattern, const char* placeholder,
                         const std::string& text) {
    auto at = pattern.find(placeholder);
    if (at == std::string::npos) return pattern;
    return pattern.substr(0, at) + text + pattern.substr(at + 2);
}
}  // namespace

std::string FormatMessage(const std::string& pattern, long long value) {
    return ReplaceFirst(pattern, "%d", std::to_string(value));
}

std::string FormatMessage(const std::string& pattern, const std::string& value) {
    return ReplaceFirst(pattern, "%s", value);
}

void AssertionFailed(const std::string& message) {
    throw EAssertionFailed(message.empty() ? "Assertion failed" : message);
}

}  // namespace epc

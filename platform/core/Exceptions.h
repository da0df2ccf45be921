#pragma once
// The exception classes of the framework. Every failure the components raise derives from
// Exception and carries a fixed English message.

#include <stdexcept>
#include <string>

namespace epc {

class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : FMessage(std::move(message)), FHelpContext(helpContext) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }
    int HelpContext() const { return FHelpContext; }

private:
    std::string FMessage;
    int FHelpContext;
};

#define EPC_EXCEPTION_CLASS(Name, Base)        \
    class Name : public Base {                 \
    public:                                    \
        using Base::Base;                      \
    };

// Silent exception used to unwind without a report.
EPC_EXCEPTION_CLASS(EAbort, Exception)
EPC_EXCEPTION_CLASS(EAssertionFailed, Exception)
EPC_EXCEPTION_CLASS(EConvertError, Exception)
EPC_EXCEPTION_CLASS(EListError, Exception)
EPC_EXCEPTION_CLASS(EInvalidOperation, Exception)
EPC_EXCEPTION_CLASS(EInvalidPointer, Exception)
EPC_EXCEPTION_CLASS(EOutOfMemory, Exception)
EPC_EXCEPTION_CLASS(EOutOfResources, Exception)
EPC_EXCEPTION_CLASS(EComponentError, Exception)
EPC_EXCEPTION_CLASS(EStreamError, Exception)
EPC_EXCEPTION_CLASS(EReadError, EStreamError)
EPC_EXCEPTION_CLASS(EWriteError, EStreamError)
EPC_EXCEPTION_CLASS(EFilerError, EStreamError)
EPC_EXCEPTION_CLASS(EClassNotFound, EFilerError)
EPC_EXCEPTION_CLASS(EFOpenError, EStreamError)
EPC_EXCEPTION_CLASS(EFCreateError, EStreamError)
EPC_EXCEPTION_CLASS(EInvalidGraphic, Exception)
EPC_EXCEPTION_CLASS(EInvalidGraphicOperation, Exception)

// Fixed messages shared by several units.
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";

// Formats one %d or %s placeholder the way the framework's Format does for these messages.
std::string FormatMessage(const std::string& pattern, long long value);
std::string FormatMessage(const std::string& pattern, const std::string& value);

}  // namespace epc

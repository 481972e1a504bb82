#include "core/VbError.h"

namespace tarvex {

VbError::VbError(int32_t number, std::string description)
    : std::runtime_error(description), m_number(number), m_description(std::move(description))
{}

VbError::VbError(int32_t number) : VbError(number, standardDescription(number)) {}

std::string standardDescription(int32_t number)
{
    switch (number) {
    case errc::InvalidProcedureCall: return "Invalid procedure call or argument";
    case errc::Overflow: return "Overflow";
    case errc::SubscriptOutOfRange: return "Subscript out of range";
    case errc::DivisionByZero: return "Division by zero";
    case errc::TypeMismatch: return "Type mismatch";
    case errc::BadFileLength: return "Bad record length";
    case errc::InputPastEndOfFile: return "Input past end of file";
    case errc::ObjectVariableNotSet: return "Object variable or With block variable not set";
    case errc::InvalidUseOfNull: return "Invalid use of Null";
    case errc::ObjectRequired: return "Object required";
    case errc::NoSuchMember: return "Object doesn't support this property or method";
    default: return "Application-defined or object-defined error";
    }
}

void raise(int32_t number)
{
    throw VbError(number);
}

} // namespace tarvex

#pragma once
// The one error type of the program: a number and a description, the standard numbers being
// those the host knows ("Overflow" is 6, "Type mismatch" 13).

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvex {

// Error numbers used across the program.
namespace errc {
constexpr int32_t SubscriptOutOfRange = 9;
constexpr int32_t Overflow = 6;
constexpr int32_t DivisionByZero = 11;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t InvalidProcedureCall = 5;
constexpr int32_t BadFileLength = 59;
constexpr int32_t ObjectVariableNotSet = 91;
constexpr int32_t InputPastEndOfFile = 62;
constexpr int32_t InvalidUseOfNull = 94;
constexpr int32_t ObjectRequired = 424;
constexpr int32_t NoSuchMember = 438;
constexpr int32_t PathFileAccess = 75;
// Application errors are numbered from this base (0x80040000).
constexpr int32_t ApplicationBase = static_cast<int32_t>(0x80040000u);
} // namespace errc

class VbError : public std::runtime_error {
public:
    VbError(int32_t number, std::string description);
    // An error with the standard description of its number.
    explicit VbError(int32_t number);

    int32_t number() const { return m_number; }
    const std::string &description() const { return m_description; }

private:
    int32_t m_number;
    std::string m_description;
};

// The description of a standard error number ("Overflow", "Type mismatch", ...).
std::string standardDescription(int32_t number);

[[noreturn]] void raise(int32_t number);

} // namespace tarvex

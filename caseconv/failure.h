#pragma once

#include <cstdint>
#include <exception>

namespace morvane {

// The program's one failure: carries the signed 32-bit error number (see error_number below).
// Raised where a failure arises and caught only in the select-text command's failure dispatch.
class Failure : public std::exception {
public:
    explicit Failure(std::int32_t number) noexcept : number_(number) {}

    [[nodiscard]] std::int32_t number() const noexcept { return number_; }
    [[nodiscard]] const char* what() const noexcept override { return "morvane::Failure"; }

private:
    std::int32_t number_;
};

// The error numbers the program raises itself or tells apart. Small positive numbers are failures
// on this side of a call; negative numbers are HRESULTs the CAD application or COM passed back.
namespace error_number {

inline constexpr std::int32_t kInvalidCall = 5;        // no window carries the CAD application's activation title
inline constexpr std::int32_t kOverflow = 6;           // the text behind the underline code exceeds 32,767 units
inline constexpr std::int32_t kOutOfMemory = 7;        // memory ran out
inline constexpr std::int32_t kInternalError = 51;     // an unexpected failure that is not the program's own
inline constexpr std::int32_t kObjectNotSet = 91;      // a call succeeded but handed back no object where one is needed
inline constexpr std::int32_t kCannotAttach = 429;     // no running CAD application could be attached
inline constexpr std::int32_t kNoSuchInterface = 430;  // an object lacks an interface it must support
inline constexpr std::int32_t kNoSuchMember = 438;     // an object has no property or method of the name used
// 0x80020009 (DISP_E_EXCEPTION): the CAD application raised an exception; the pick gives it when missed or cancelled.
inline constexpr std::int32_t kMissedPick = static_cast<std::int32_t>(0x80020009);
// 0x80020005 (DISP_E_TYPEMISMATCH): the CAD application answered with a value of the wrong type.
inline constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);

}  // namespace error_number

}  // namespace morvane

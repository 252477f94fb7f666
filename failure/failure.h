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

// The numbers of failures on this side of a call, small and positive. The numbers that COM and the
// CAD application pass back are in failure/com_error_number.h.
namespace error_number {

inline constexpr std::int32_t kInvalidCall = 5;        // no window carries the CAD application's activation title
inline constexpr std::int32_t kOverflow = 6;           // the text behind the underline code exceeds 32,767 units
inline constexpr std::int32_t kOutOfMemory = 7;        // memory ran out
inline constexpr std::int32_t kUserInterrupt = 18;     // the user cancelled inside an undo group: no further write
inline constexpr std::int32_t kInternalError = 51;     // an unexpected failure that is not the program's own
inline constexpr std::int32_t kObjectNotSet = 91;      // a call succeeded but handed back no object where one is needed
inline constexpr std::int32_t kCannotAttach = 429;     // no running CAD application could be attached
inline constexpr std::int32_t kNoSuchInterface = 430;  // an object lacks an interface it must support
inline constexpr std::int32_t kNoSuchMember = 438;     // an object has no property or method of the name used
}  // namespace error_number

}  // namespace morvane

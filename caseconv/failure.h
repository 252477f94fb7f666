#pragma once

#include <cstdint>
#include <exception>

namespace morvane {

// The program's one failure: carries the signed 32-bit error number (6 overflow, 429 no running
// application, 438 no such property or method, negative numbers are HRESULTs passed back by COM).
// Raised where a failure arises and caught only in the select-text command's failure dispatch.
class Failure : public std::exception {
public:
    explicit Failure(std::int32_t number) noexcept : number_(number) {}

    [[nodiscard]] std::int32_t number() const noexcept { return number_; }
    [[nodiscard]] const char* what() const noexcept override { return "morvane::Failure"; }

private:
    std::int32_t number_;
};

}  // namespace morvane

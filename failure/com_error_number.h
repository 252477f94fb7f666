#pragma once

#include <cstdint>

// The error numbers the program tells apart among those that COM and the CAD application pass back:
// HRESULTs, as negative signed 32-bit numbers.

namespace morvane::error_number {

// 0x80020009 (DISP_E_EXCEPTION): the CAD application raised an exception, and the number of one that
// carries no number of its own. The pick raises it when missed or cancelled.
inline constexpr std::int32_t kApplicationException = static_cast<std::int32_t>(0x80020009);
// 0x80020005 (DISP_E_TYPEMISMATCH): the CAD application answered with a value of the wrong type.
inline constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);
// 0x80010001 (RPC_E_CALL_REJECTED): the CAD application was busy and refused a call for as long as the binding retried it.
inline constexpr std::int32_t kCallRejected = static_cast<std::int32_t>(0x80010001);
// 0x8001010A (RPC_E_SERVERCALL_RETRYLATER): the same, the CAD application asking to be called again later.
inline constexpr std::int32_t kCallRetryLater = static_cast<std::int32_t>(0x8001010A);
// 0x80200014: the CAD application's "Key not found", raised by a dictionary asked for a name it does
// not hold.
inline constexpr std::int32_t kKeyNotFound = static_cast<std::int32_t>(0x80200014);

}  // namespace morvane::error_number

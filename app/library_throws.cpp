// The C++ library throws its own exceptions through helpers (std::__throw_length_error and the like)
// that all live in one object of the library; linking it brings std::logic_error and its family,
// a second, copy-on-write std::string, std::random_device and their unwind tables: a fifth of the
// 32-bit program. The program defines the helpers its code calls instead. Running out of memory
// stays std::bad_alloc (the failure dispatch's 7); every other is a fault of the program's own and
// reaches the dispatch as its internal error (51), as the library's exceptions did. Should the
// program come to call a helper not defined here, the library's object comes back and the link
// fails on the ones defined twice: define that one here too.
#include <new>

#include "failure/failure.h"

namespace {

[[noreturn]] void InternalError() { throw morvane::Failure(morvane::error_number::kInternalError); }

}  // namespace

namespace std {

void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_length_error(const char*) { InternalError(); }
void __throw_logic_error(const char*) { InternalError(); }
void __throw_out_of_range(const char*) { InternalError(); }
void __throw_out_of_range_fmt(const char*, ...) { InternalError(); }
void __throw_invalid_argument(const char*) { InternalError(); }
void __throw_bad_function_call() { InternalError(); }

}  // namespace std

// The C++ library's handler for an exception that escapes everything writes the exception type's
// name to the standard error stream, demangled. morvane.exe has neither a console nor an escaping
// exception (wWinMain catches them all), yet the demangler and the formatted printing it uses
// would be a third of the program's size. The link sends the handler's one call to the demangler
// here (ld --wrap), which declines, so the handler would print the name as it is.
#include <cstddef>

extern "C" char* __wrap___cxa_demangle(const char*, char*, std::size_t*, int* status) {
    if (status != nullptr) {
        *status = -2;  // "not a valid mangled name": the caller keeps the name as it is
    }
    return nullptr;
}

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "failure/failure.h"

// GoogleTest's streams call two helpers that the program does not. They are defined here as the
// library defines them: the library's own object of helpers would define the program's a second
// time, and the link would fail.
namespace std {

void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_runtime_error(const char* what) { throw std::runtime_error(what); }

}  // namespace std

namespace {

// One way into the C++ library that ends in one of its throw helpers, and what must come out.
struct ThrowCase {
    const char* name;
    void (*call)();
    std::optional<std::int32_t> failure;  // none: std::bad_alloc
};

void PrintTo(const ThrowCase& row, std::ostream* os) { *os << row.name; }

// Read through a volatile, so that the compiler cannot see the call fail and warn or fold it away.
template <class T>
T Opaque(T value) {
    volatile T held = value;
    return held;
}

const ThrowCase kCases[] = {
    // __throw_bad_alloc: more bytes than a ptrdiff_t counts, fewer than a size_t does.
    {"AllocatorPastPtrdiffMax",
     [] {
         (void)std::allocator<std::uint64_t>().allocate(
             Opaque(static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / 8 + 1));
     },
     std::nullopt},
    // __throw_bad_array_new_length: more bytes than a size_t counts.
    {"AllocatorPastSizeMax",
     [] { (void)std::allocator<std::uint64_t>().allocate(Opaque(std::numeric_limits<std::size_t>::max() / 8 + 1)); },
     std::nullopt},
    // __throw_length_error.
    {"VectorReservePastMaxSize",
     [] {
         std::vector<char> v;
         v.reserve(Opaque(v.max_size() + 1));
     },
     morvane::error_number::kInternalError},
    // __throw_logic_error.
    {"StringFromNull", [] { std::string s(Opaque<const char*>(nullptr)); }, morvane::error_number::kInternalError},
    // __throw_out_of_range.
    {"MapAtMissingKey", [] { (void)std::map<int, int>().at(Opaque(1)); }, morvane::error_number::kInternalError},
    // __throw_out_of_range_fmt.
    {"StringAtPastEnd", [] { (void)std::u16string(u"ab").at(Opaque(2)); }, morvane::error_number::kInternalError},
    // __throw_invalid_argument.
    {"StoiOfNoNumber", [] { (void)std::stoi(std::string(Opaque("x"))); }, morvane::error_number::kInternalError},
    // __throw_bad_function_call.
    {"EmptyFunctionCalled",
     [] {
         const std::function<void()> empty;
         empty();
     },
     morvane::error_number::kInternalError},
};

class LibraryThrows : public ::testing::TestWithParam<ThrowCase> {};

// The program's own throw helpers: running out of memory stays std::bad_alloc (the failure
// dispatch's 7), every other helper's exception is the internal error 51.
TEST_P(LibraryThrows, AsTheFailureDispatchExpects) {
    const ThrowCase& row = GetParam();
    try {
        row.call();
        ADD_FAILURE() << "nothing thrown";
    } catch (const morvane::Failure& failure) {
        ASSERT_TRUE(row.failure.has_value()) << "Failure(" << failure.number() << ") instead of std::bad_alloc";
        EXPECT_EQ(failure.number(), *row.failure);
    } catch (const std::bad_alloc&) {
        EXPECT_FALSE(row.failure.has_value()) << "std::bad_alloc instead of Failure(" << *row.failure << ")";
    } catch (const std::exception& other) {
        ADD_FAILURE() << "the library's own exception: " << other.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, LibraryThrows, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

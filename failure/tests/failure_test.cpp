#include <gtest/gtest.h>

#include "failure/failure.h"

// A failure keeps its signed 32-bit number.
TEST(Failure, CarriesItsNumber) {
    EXPECT_EQ(morvane::Failure(6).number(), 6);
    EXPECT_EQ(morvane::Failure(static_cast<std::int32_t>(0x80020009)).number(), -2147352567);
}

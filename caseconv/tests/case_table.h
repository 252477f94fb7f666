#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "caseconv/caseconv.h"

namespace morvane::testing {

// One row of a conversion table: the text, the mode and what it must become.
struct ConversionCase {
    const char* name;
    std::u16string text;
    CaseMode mode;
    std::u16string expected;
};

inline void PrintTo(const ConversionCase& row, std::ostream* os) { *os << row.name; }

// One row of a mapping table: a run of text and what the mapping must make of it.
struct RunCase {
    const char* name;
    std::u16string run;
    std::u16string expected;
};

inline void PrintTo(const RunCase& row, std::ostream* os) { *os << row.name; }

// Names each instantiated test after its row.
struct RowName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
        return info.param.name;
    }
};

}  // namespace morvane::testing

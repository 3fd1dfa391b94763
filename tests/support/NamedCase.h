#pragma once

#include <gtest/gtest.h>

#include <concepts>
#include <ostream>
#include <string>

namespace qby::testsupport {

// A row of a test table that shows as its name, not as its bytes, in test names and failure
// messages: derive the row from it and list the name first.
struct NamedCase {
    const char* name;
};

// Found by argument-dependent lookup through the base; more constrained than GoogleTest's own.
template <typename Case>
requires std::derived_from<Case, NamedCase>
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// The name generator of INSTANTIATE_TEST_SUITE_P for such rows.
struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

}  // namespace qby::testsupport

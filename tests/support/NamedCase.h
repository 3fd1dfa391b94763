#pragma once

#include <gtest/gtest.h>

#include <concepts>
#include <ostream>
#include <string>

namespace qby::testsupport {

// A table row that shows as its name in test names and messages: derive from it, name first.
struct NamedCase {
    const char* name;
};

// Found through the base by argument-dependent lookup.
template <typename Case>
requires std::derived_from<Case, NamedCase>
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

}  // namespace qby::testsupport

#include "NamedCase.h"
#include "platform/linux/archive/TarListing.h"

#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

using Kind = ArchiveMember::Kind;

struct ListingCase : testsupport::NamedCase {
    QByteArray line;  // as GNU tar writes it with --quoting-style=c
    std::optional<ArchiveMember> expected;
};

class TarListingTest : public testing::TestWithParam<ListingCase> {};

TEST_P(TarListingTest, ReadsNamesExactly) {
    const ListingCase& c = GetParam();
    const auto members = TarListing::parse(c.line + "\n");
    ASSERT_EQ(members.has_value(), c.expected.has_value());
    if (!members) return;
    ASSERT_EQ(members->size(), 1u);
    const ArchiveMember& m = members->front();
    EXPECT_EQ(std::tie(m.name, m.kind, m.linkTarget),
              std::tie(c.expected->name, c.expected->kind, c.expected->linkTarget));
}

const char* const kColumns = "0/0               0 2024-01-01 00:00 ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Lines, TarListingTest,
    testing::Values(
        ListingCase{"Octal", QByteArray("-rw-r--r-- ") + kColumns + R"("Spiel \303\244/x")",
                    ArchiveMember{"Spiel \xC3\xA4/x", Kind::File, {}}},
        // An escape has three digits; a digit after it is the name's own.
        ListingCase{"OctalThenDigit", QByteArray("-rw-r--r-- ") + kColumns + R"("a\0012")",
                    ArchiveMember{"a\x01" "2", Kind::File, {}}},
        ListingCase{"Escapes", QByteArray("drwxr-xr-x ") + kColumns + R"("a\"\\\n\t/")",
                    ArchiveMember{"a\"\\\n\t/", Kind::Folder, {}}},
        ListingCase{"ArrowInName", QByteArray("lrwxrwxrwx ") + kColumns + R"("a -> b" -> "/c")",
                    ArchiveMember{"a -> b", Kind::SymbolicLink, "/c"}},
        ListingCase{"HardLink", QByteArray("hrw-r--r-- ") + kColumns + R"("h" link to "../x")",
                    ArchiveMember{"h", Kind::HardLink, "../x"}},
        ListingCase{"Unquoted", QByteArray("-rw-r--r-- ") + kColumns + "plain", std::nullopt},
        ListingCase{"Unterminated", QByteArray("-rw-r--r-- ") + kColumns + R"("a\")", std::nullopt},
        ListingCase{"TextAfterName", QByteArray("-rw-r--r-- ") + kColumns + R"("a" x)", std::nullopt},
        ListingCase{"LinkWithoutTarget", QByteArray("lrwxrwxrwx ") + kColumns + R"("a")", std::nullopt}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost

// The launcher's parts: version order, its texts' language and Latin-1 form, the C++ runtime.
#include "NamedCase.h"

extern "C" {
#include "elf_versions.h"
#include "latin1.h"
#include "texts.h"
#include "versions.h"
}

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

using qby::testsupport::CaseName;
using qby::testsupport::NamedCase;

struct VersionCase : NamedCase {
    const char *have, *need;
    int expected;  // the sign
};

class LauncherVersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(LauncherVersionTest, OrdersLikeNumbers) {
    const VersionCase& c = GetParam();
    const int result = qby_compare_versions(c.have, c.need);
    EXPECT_EQ((result > 0) - (result < 0), c.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, LauncherVersionTest, testing::Values(
    VersionCase{"numeric_not_textual", "2.100", "2.35", 1},
    VersionCase{"single_digit_minor", "2.4", "2.35", -1},
    VersionCase{"missing_part_is_zero", "2.35", "2.35.0", 0},
    VersionCase{"extra_part_counts", "2.35.1", "2.35", 1},
    VersionCase{"newer_major", "3.0", "2.35", 1},
    VersionCase{"suffix_ends_it", "2.35-pre", "2.35", 0},
    VersionCase{"empty_is_oldest", "", "2.17", -1},
    VersionCase{"words_are_zero", "glibc", "2.17", -1}), CaseName());
// clang-format on

struct LanguageCase : NamedCase {
    const char *locale, *quit;  // the texts' language shows in their Quit
};

class LauncherLanguageTest : public testing::TestWithParam<LanguageCase> {};

// The locale's translation or English, of the Linux wording rather than the original's.
TEST_P(LauncherLanguageTest, PicksTheLocalesTranslationOrEnglish) {
    const qby_too_old_texts* texts = qby_too_old_texts_for(GetParam().locale);
    EXPECT_STREQ(texts->quit, GetParam().quit);
    EXPECT_NE(std::string(texts->message).find("glibc 2.35"), std::string::npos);
    EXPECT_EQ(std::string(texts->title).find("Mac OS"), std::string::npos);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, LauncherLanguageTest, testing::Values(
    LanguageCase{"bare_language", "fr", "Quitter"},
    LanguageCase{"region_and_modifier", "fr_CA@euro", "Quitter"},
    LanguageCase{"language_list", "de:en", "Beenden"},
    LanguageCase{"untranslated", "es_ES.UTF-8", "Quit"},
    LanguageCase{"prefix_only", "d", "Quit"},
    LanguageCase{"longer_name", "deu", "Quit"},
    LanguageCase{"unset", nullptr, "Quit"}), CaseName());
// clang-format on

struct Latin1Case : NamedCase {
    const char* utf8;
    size_t size;
    const char* expected;
};

class LauncherLatin1Test : public testing::TestWithParam<Latin1Case> {};

TEST_P(LauncherLatin1Test, ConvertsWithinTheBuffer) {
    const Latin1Case& c = GetParam();
    char out[64];
    const size_t length = qby_utf8_to_latin1(c.utf8, out, c.size);
    EXPECT_STREQ(out, c.expected);
    EXPECT_EQ(length, std::string(c.expected).size());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, LauncherLatin1Test, testing::Values(
    Latin1Case{"umlauts", "b\xC3\xB6se \xC3\x9F", 64, "b\xF6se \xDF"},
    Latin1Case{"typographic_apostrophe", "L\xE2\x80\x99" "app", 64, "L'app"},
    Latin1Case{"ellipsis", "a\xE2\x80\xA6", 64, "a..."},
    Latin1Case{"beyond_latin1", "\xE2\x82\xAC" "5", 64, "?5"},
    Latin1Case{"four_bytes", "\xF0\x9F\x98\x80!", 64, "?!"},
    Latin1Case{"stray_continuation", "\x80" "a", 64, "?a"},
    Latin1Case{"cut_sequence_at_end", "a\xC3", 64, "a?"},
    Latin1Case{"truncated_to_buffer", "abcdef", 4, "abc"},
    Latin1Case{"replacement_cut_at_buffer", "ab\xE2\x80\xA6", 4, "ab."}), CaseName());
// clang-format on

// The versions a library file defines, read from the file: the system's C++ runtime (GCC 12's),
// a library defining a newer one (tests/dist's stand-in), and files that are no library.
struct LibraryCase : NamedCase {
    const char* path;  // "cut": the first 3000 bytes of the system's libstdc++
    const char* versions[2];
    int expected;
};

class LauncherLibraryTest : public testing::TestWithParam<LibraryCase> {};

TEST_P(LauncherLibraryTest, ReadsTheVersionDefinitions) {
    const LibraryCase& c = GetParam();
    char system[4096];
    ASSERT_TRUE(qby_find_library("libstdc++.so.6", "/etc/ld.so.cache", system, sizeof system));
    std::string path = c.path ? c.path : system;
    if (path == "cut") {
        path = testing::TempDir() + "cut-libstdc++.so.6";
        std::filesystem::copy_file(system, path, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(path, 3000);
    }
    EXPECT_EQ(qby_library_defines_versions(path.c_str(), c.versions, c.versions[1] ? 2 : 1),
              c.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, LauncherLibraryTest, testing::Values(
    LibraryCase{"system_runtime_at_floor", nullptr, {"GLIBCXX_3.4.30", "CXXABI_1.3.13"}, 1},
    LibraryCase{"system_runtime_below_newer", nullptr, {"GLIBCXX_3.4.30", "GLIBCXX_3.4.32"}, 0},
    LibraryCase{"newer_runtime", QBY_NEWER_RUNTIME, {"GLIBCXX_3.4.32", "CXXABI_1.3.14"}, 1},
    LibraryCase{"prefix_is_not_the_version", QBY_NEWER_RUNTIME, {"GLIBCXX_3.4.3", nullptr}, 0},
    LibraryCase{"not_a_library", "/etc/ld.so.cache", {"GLIBCXX_3.4.30", nullptr}, 0},
    LibraryCase{"cut_library", "cut", {"GLIBCXX_3.4.30", nullptr}, 0},
    LibraryCase{"missing", "/nonexistent/libstdc++.so.6", {"GLIBCXX_3.4.30", nullptr}, 0}),
    CaseName());
// clang-format on

TEST(LauncherFindLibrary, TakesLibraryPathThenCacheThenSystemFolders) {
    const std::string folder = testing::TempDir() + "qby-library-path";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/libqby-probe.so.1") << "";
    char path[4096];
    setenv("LD_LIBRARY_PATH", ("/nonexistent:" + folder).c_str(), 1);
    EXPECT_TRUE(qby_find_library("libqby-probe.so.1", "/etc/ld.so.cache", path, sizeof path));
    EXPECT_EQ(std::string(path), folder + "/libqby-probe.so.1");
    unsetenv("LD_LIBRARY_PATH");
    EXPECT_FALSE(qby_find_library("libqby-probe.so.1", "/etc/ld.so.cache", path, sizeof path));
    // The cache's entry, or a system folder where there is no cache: the same library.
    char cached[4096];
    ASSERT_TRUE(qby_find_library("libstdc++.so.6", "/etc/ld.so.cache", cached, sizeof cached));
    ASSERT_TRUE(qby_find_library("libstdc++.so.6", "/nonexistent", path, sizeof path));
    EXPECT_EQ(std::filesystem::canonical(cached), std::filesystem::canonical(path));
}

}  // namespace

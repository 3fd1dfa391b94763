// The reading of the release entries, the test of one entry, the sort and the walk over them,
// with the comparator as it is: its answers are no consistent ordering for every pair of texts.
#include "downloader/ReleaseSelection.h"

#include <QVariantMap>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace qby {
namespace {

const foundation::VersionComparator& comparator() {
    return foundation::VersionComparator::defaultComparator();
}

std::vector<downloader::ReleaseEntry> entriesOf(const QStringList& minimums) {
    std::vector<downloader::ReleaseEntry> entries;
    for (qsizetype i = 0; i < minimums.size(); ++i) {
        downloader::ReleaseEntry entry;
        entry.minimumSystemVersion = minimums.at(i);
        entry.url = QString::number(i);  // the entry's identity
        entries.push_back(entry);
    }
    return entries;
}

QStringList identities(const std::vector<downloader::ReleaseEntry>& entries) {
    QStringList ids;
    for (const downloader::ReleaseEntry& entry : entries) ids.append(*entry.url);
    return ids;
}

struct EntryRow {
    const char* name;
    QVariant entry;
    qint64 size;  // -1: the entry is skipped
};

class ReleaseEntryTest : public ::testing::TestWithParam<EntryRow> {};

TEST_P(ReleaseEntryTest, SkipsBrokenEntriesAndReadsTheSize) {
    // The entry after a skipped one is still read.
    const std::vector<downloader::ReleaseEntry> read =
        downloader::readReleaseEntries({GetParam().entry, QVariantMap{}});
    ASSERT_EQ(read.size(), GetParam().size < 0 ? 1u : 2u);
    if (GetParam().size >= 0) EXPECT_EQ(read.front().downloadSizeInBytes, GetParam().size);
}

QVariantMap sized(const QVariant& size) {
    return {{QStringLiteral("downloadSizeInBytes"), size}};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, ReleaseEntryTest,
    ::testing::Values(
        EntryRow{"not_a_dictionary", QStringLiteral("10.9"), -1},
        EntryRow{"minimum_of_wrong_type", QVariantMap{{"minimumSystemVersion", 10}}, -1},
        EntryRow{"url_of_wrong_type", QVariantMap{{"url", QVariantList{"x"}}}, -1},
        EntryRow{"no_keys_at_all", QVariantMap{{"other", 1}}, 0}, EntryRow{"integer_size", sized(2000), 2000},
        EntryRow{"large_size", sized(qint64(9000000000)), 9000000000}, EntryRow{"decimal_text_size", sized("4096"), 4096},
        EntryRow{"unsigned_size", sized(quint64(7)), 7}, EntryRow{"unsigned_size_beyond_range", sized(quint64(1) << 63), -1},
        EntryRow{"real_size", sized(1.5), -1}, EntryRow{"size_text_with_letters", sized("12abc"), -1},
        EntryRow{"boolean_size", sized(true), -1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct FitRow {
    const char* name;
    const char* minimum;
    const char* system;
    qint32 cpuFamily;
    QVariant cpuTypes;  // invalid: the key is missing
    bool fits;
};

class ReleaseFitTest : public ::testing::TestWithParam<FitRow> {};

TEST_P(ReleaseFitTest, SystemFirstThenTheProcessorOnYonahOnly) {
    const FitRow& row = GetParam();
    downloader::ReleaseEntry entry;
    entry.minimumSystemVersion = row.minimum;
    if (row.cpuTypes.isValid()) entry.supportedCPUTypes = row.cpuTypes;
    EXPECT_EQ(downloader::releaseFits(entry, row.system, row.cpuFamily, comparator()), row.fits);
}

constexpr qint32 kYonah = downloader::kCpuFamilyIntelYonah;
constexpr qint32 kOther = 0x12345678;

INSTANTIATE_TEST_SUITE_P(
    Rows, ReleaseFitTest,
    ::testing::Values(FitRow{"newer_than_the_system", "10.9", "10.8.5", kOther, {}, false},
                      FitRow{"exact_minimum", "10.9", "10.9.0", kOther, {}, true},
                      FitRow{"yonah_without_cpu_types", "10.6", "10.9", kYonah, {}, true},
                      FitRow{"yonah_with_i386", "10.6", "10.9", kYonah, "ppc,i386", true},
                      FitRow{"yonah_without_i386", "10.6", "10.9", kYonah, "x86_64", false},
                      FitRow{"yonah_case_sensitive", "10.6", "10.9", kYonah, "I386", false},
                      FitRow{"yonah_cpu_types_not_text", "10.6", "10.9", kYonah, 386, false},
                      FitRow{"yonah_system_still_first", "10.9", "10.8", kYonah, "i386", false},
                      FitRow{"other_family_never_reads", "10.6", "10.9", kOther, "ppc", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReleaseSelectionTest, SortsHighestFirstAndKeepsFeedOrderAmongEquals) {
    std::vector<downloader::ReleaseEntry> entries =
        entriesOf({"10.6", "10.9", "10.6.0", "10.10", "10.7"});
    downloader::sortByMinimumSystemVersion(entries, comparator());
    EXPECT_EQ(identities(entries), QStringList({"3", "1", "4", "0", "2"}));
}

TEST(ReleaseSelectionTest, HostileComparatorStillEndsWithEveryEntryOnceAndAFittingChoice) {
    // Texts on which the comparator is inconsistent or not transitive, with plain versions.
    QStringList minimums = {"-", " x", "1", "a", "", "1.0", "x-"};
    std::sort(minimums.begin(), minimums.end());
    const QStringList systems = {"1.0.0", "0.0.0", "a", "-"};
    int permutations = 0;
    do {
        ++permutations;
        std::vector<downloader::ReleaseEntry> sorted = entriesOf(minimums);
        downloader::sortByMinimumSystemVersion(sorted, comparator());
        QStringList ids = identities(sorted);
        ids.sort();
        ASSERT_EQ(ids, QStringList({"0", "1", "2", "3", "4", "5", "6"}))
            << "every entry exactly once";
        for (const QString& system : systems) {
            const std::optional<downloader::ReleaseEntry> chosen =
                downloader::chooseRelease(entriesOf(minimums), system, 0, comparator());
            // The walk's first fitting entry of the sorted list, and nothing when none fits.
            const auto first = std::find_if(sorted.begin(), sorted.end(), [&](const auto& e) {
                return downloader::releaseFits(e, system, 0, comparator());
            });
            ASSERT_EQ(chosen.has_value(), first != sorted.end()) << system.toStdString();
            if (chosen) EXPECT_EQ(*chosen->url, *first->url);
        }
    } while (std::next_permutation(minimums.begin(), minimums.end()));
    EXPECT_EQ(permutations, 5040);
}

struct UrlRow {
    const char* url;
    const char* fileName;  // "" when the url counts as missing
};

class ReleaseUrlTest : public ::testing::TestWithParam<UrlRow> {};

TEST_P(ReleaseUrlTest, NamesTheArchiveOrCountsAsNoUrl) {
    const std::optional<QString> name = downloader::releaseArchiveFileName(GetParam().url);
    EXPECT_EQ(name.value_or(QString()).toStdString(), GetParam().fileName) << GetParam().url;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, ReleaseUrlTest,
    ::testing::Values(
        UrlRow{"https://cdn.quillbay.com/r/Quillbay.tgz", "Quillbay.tgz"},
        UrlRow{"https://cdn.quillbay.com/Quillbay.zip?sig=a/b#x", "Quillbay.zip"},
        UrlRow{"https://cdn.quillbay.com/a%20b.tgz", "a%20b.tgz"}, UrlRow{"https://cdn.quillbay.com/a%2Fb.zip", "a%2Fb.zip"},
        UrlRow{"HTTPS://cdn.quillbay.com/Q.tgz", "Q.tgz"}, UrlRow{"http://cdn.quillbay.com/Quillbay.tgz", ""},
        UrlRow{"https://cdn.quillbay.com/", ""}, UrlRow{"https://cdn.quillbay.com/r/.", ""},
        UrlRow{"https://cdn.quillbay.com/r/..", ""}, UrlRow{"https://cdn.quillbay.com/r/%2e%2E", ""},
        UrlRow{"https:///Quillbay.tgz", ""}, UrlRow{"Quillbay.tgz", ""}));
// clang-format on

}  // namespace
}  // namespace qby

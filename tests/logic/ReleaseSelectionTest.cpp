// The sort of the release entries and the walk over them, with the comparator as it is: its
// answers are no consistent ordering for every pair of texts.
#include "downloader/ReleaseSelection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace qby {
namespace {

const VersionComparator& comparator() {
    return VersionComparator::defaultComparator();
}

std::vector<ReleaseEntry> entriesOf(const QStringList& minimums) {
    std::vector<ReleaseEntry> entries;
    for (qsizetype i = 0; i < minimums.size(); ++i) {
        ReleaseEntry entry;
        entry.minimumSystemVersion = minimums.at(i);
        entry.url = QString::number(i);  // the entry's identity
        entries.push_back(entry);
    }
    return entries;
}

QStringList identities(const std::vector<ReleaseEntry>& entries) {
    QStringList ids;
    for (const ReleaseEntry& entry : entries) ids.append(*entry.url);
    return ids;
}

TEST(ReleaseSelectionTest, ComparatorIsNoConsistentOrdering) {
    // Why the sort must not trust it: both directions answer "lower".
    EXPECT_EQ(comparator().compareVersion("-", " x"), -1);
    EXPECT_EQ(comparator().compareVersion(" x", "-"), -1);
}

TEST(ReleaseSelectionTest, SortsHighestFirstAndKeepsFeedOrderAmongEquals) {
    std::vector<ReleaseEntry> entries = entriesOf({"10.6", "10.9", "10.6.0", "10.10", "10.7"});
    sortByMinimumSystemVersion(entries, comparator());
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
        std::vector<ReleaseEntry> sorted = entriesOf(minimums);
        sortByMinimumSystemVersion(sorted, comparator());
        QStringList ids = identities(sorted);
        ids.sort();
        ASSERT_EQ(ids, QStringList({"0", "1", "2", "3", "4", "5", "6"}))
            << "every entry exactly once";
        for (const QString& system : systems) {
            const std::optional<ReleaseEntry> chosen =
                chooseRelease(entriesOf(minimums), system, 0, comparator());
            bool anyFits = false;
            for (const ReleaseEntry& entry : entriesOf(minimums))
                anyFits = anyFits || releaseFits(entry, system, 0, comparator());
            // The walk meets every entry, so it finds one exactly when one fits, and only a
            // fitting one.
            ASSERT_EQ(chosen.has_value(), anyFits) << system.toStdString();
            if (chosen) {
                EXPECT_TRUE(releaseFits(*chosen, system, 0, comparator()));
                // The walk's first fitting entry of the sorted list, nothing else.
                const auto first = std::find_if(sorted.begin(), sorted.end(), [&](const auto& e) {
                    return releaseFits(e, system, 0, comparator());
                });
                EXPECT_EQ(*chosen->url, *first->url);
            }
        }
    } while (std::next_permutation(minimums.begin(), minimums.end()));
    EXPECT_EQ(permutations, 5040);
}

}  // namespace
}  // namespace qby

#include "downloader/ReleaseSelection.h"

#include <QHash>
#include <QUrl>
#include <QVariantMap>
#include <algorithm>
#include <limits>
#include <numeric>

namespace qby::downloader {
namespace {

const QString kMinimumSystemVersionKey = QStringLiteral("minimumSystemVersion");
const QString kSupportedCPUTypesKey = QStringLiteral("supportedCPUTypes");
const QString kUrlKey = QStringLiteral("url");
const QString kDownloadSizeKey = QStringLiteral("downloadSizeInBytes");

bool isText(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

// An integer, or a decimal text read the same way; nothing for any other value.
std::optional<qint64> signed64(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
            return value.toLongLong();
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort: {
            const qulonglong unsignedValue = value.toULongLong();
            if (unsignedValue > qulonglong(std::numeric_limits<qint64>::max())) return std::nullopt;
            return qint64(unsignedValue);
        }
        case QMetaType::QString: {
            bool ok = false;
            const qint64 parsed = value.toString().toLongLong(&ok, 10);
            return ok ? std::optional<qint64>(parsed) : std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

std::optional<ReleaseEntry> readReleaseEntry(const QVariant& value) {
    if (value.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap dictionary = value.toMap();
    ReleaseEntry entry;
    if (const auto it = dictionary.find(kMinimumSystemVersionKey); it != dictionary.end()) {
        if (!isText(*it)) return std::nullopt;
        entry.minimumSystemVersion = it->toString();
    }
    if (const auto it = dictionary.find(kSupportedCPUTypesKey); it != dictionary.end()) {
        entry.supportedCPUTypes = *it;
    }
    if (const auto it = dictionary.find(kUrlKey); it != dictionary.end()) {
        if (!isText(*it)) return std::nullopt;
        entry.url = it->toString();
    }
    if (const auto it = dictionary.find(kDownloadSizeKey); it != dictionary.end()) {
        const std::optional<qint64> size = signed64(*it);
        if (!size) return std::nullopt;
        entry.downloadSizeInBytes = *size;
    }
    return entry;
}

// The order of count items by a bottom-up merge sort that only asks comesBefore(right, left):
// runs of width are merged pairwise into runs of twice the width, and every step moves one
// index forward whatever the answer, so each pass writes each index exactly once. It ends after
// O(n log n) questions and keeps every index once, also when the answers are not a consistent
// ordering. Ties take the left run first: the sort is stable.
template <typename ComesBefore>
std::vector<size_t> mergeSort(size_t count, const ComesBefore& comesBefore) {
    std::vector<size_t> order(count);
    std::iota(order.begin(), order.end(), size_t{0});
    std::vector<size_t> merged(count);
    for (size_t width = 1; width < count; width *= 2) {
        for (size_t low = 0; low < count; low += 2 * width) {
            const size_t middle = std::min(low + width, count);
            const size_t high = std::min(middle + width, count);
            size_t left = low;
            size_t right = middle;
            size_t out = low;
            while (left < middle && right < high) {
                merged[out++] =
                    comesBefore(order[right], order[left]) ? order[right++] : order[left++];
            }
            while (left < middle) merged[out++] = order[left++];
            while (right < high) merged[out++] = order[right++];
        }
        order.swap(merged);
    }
    return order;
}

}  // namespace

std::vector<ReleaseEntry> readReleaseEntries(const QVariantList& entries) {
    std::vector<ReleaseEntry> releases;
    releases.reserve(size_t(entries.size()));
    for (const QVariant& value : entries) {
        if (std::optional<ReleaseEntry> entry = readReleaseEntry(value)) {
            releases.push_back(std::move(*entry));
        }
    }
    return releases;
}

void sortByMinimumSystemVersion(std::vector<ReleaseEntry>& entries,
                                const foundation::VersionComparator& comparator) {
    const size_t count = entries.size();
    if (count < 2) return;

    // Feeds repeat their versions: the distinct texts are sorted, not the entries.
    QHash<QString, size_t> distinctIndex;
    std::vector<QString> distinct;
    std::vector<size_t> versionOf(count);
    for (size_t i = 0; i < count; ++i) {
        const QString& version = entries[i].minimumSystemVersion;
        auto it = distinctIndex.constFind(version);
        if (it == distinctIndex.constEnd()) {
            it = distinctIndex.insert(version, distinct.size());
            distinct.push_back(version);
        }
        versionOf[i] = it.value();
    }

    // first comes before second: first's minimum is the higher one. The comparator is asked
    // about b's version and then a's, as the release feed's ordering says.
    const auto comesBefore = [&](size_t first, size_t second) {
        return comparator.compareVersion(distinct[second], distinct[first]) < 0;
    };
    const std::vector<size_t> order = mergeSort(distinct.size(), comesBefore);

    // Neighbours that compare equal form one rank, so that entries of equal minimum keep feed
    // order whichever spelling of the version they use ("10.6", "10.6.0").
    std::vector<size_t> rankOf(distinct.size());
    size_t rank = 0;
    for (size_t position = 0; position < order.size(); ++position) {
        if (position > 0 && comparator.compareVersion(distinct[order[position - 1]],
                                                      distinct[order[position]]) != 0) {
            ++rank;
        }
        rankOf[order[position]] = rank;
    }

    // A stable counting sort of the entries by rank.
    std::vector<size_t> start(rank + 2, 0);
    for (size_t i = 0; i < count; ++i) ++start[rankOf[versionOf[i]] + 1];
    for (size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
    std::vector<ReleaseEntry> sorted(count);
    for (size_t i = 0; i < count; ++i) {
        sorted[start[rankOf[versionOf[i]]]++] = std::move(entries[i]);
    }
    entries = std::move(sorted);
}

bool releaseFits(const ReleaseEntry& entry, const QString& systemVersion, qint32 cpuFamily,
                 const foundation::VersionComparator& comparator) {
    if (comparator.compareVersion(systemVersion, entry.minimumSystemVersion) < 0) return false;
    if (cpuFamily != kCpuFamilyIntelYonah) return true;
    if (!entry.supportedCPUTypes) return true;
    // A value of another type than text is a broken entry: it is passed over like a skipped one.
    if (!isText(*entry.supportedCPUTypes)) return false;
    return entry.supportedCPUTypes->toString().contains(QLatin1String("i386"), Qt::CaseSensitive);
}

std::optional<ReleaseEntry> chooseRelease(std::vector<ReleaseEntry> entries,
                                          const QString& systemVersion, qint32 cpuFamily,
                                          const foundation::VersionComparator& comparator) {
    sortByMinimumSystemVersion(entries, comparator);
    for (ReleaseEntry& entry : entries) {
        if (releaseFits(entry, systemVersion, cpuFamily, comparator)) return std::move(entry);
    }
    return std::nullopt;
}

std::optional<QString> releaseArchiveFileName(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme() != QLatin1String("https") || parsed.host().isEmpty()) {
        return std::nullopt;
    }
    // Encoded, so that no "/" or control character can come out of an escape; the query and
    // the fragment are no part of the name.
    const QString path = parsed.path(QUrl::FullyEncoded);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return std::nullopt;
    }
    return name;
}

}  // namespace qby::downloader

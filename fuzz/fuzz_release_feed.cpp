// The release feed from its bytes to the chosen release, as the downloader reads it: the
// property-list guard and libplist (the host's property-list reader), the feed's "downloader"
// array, its entries, their order and the choice for a few systems and processors.
#include "FuzzInput.h"
#include "downloader/ReleaseFeed.h"
#include "downloader/ReleaseSelection.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"

#include <algorithm>

using qby::fuzz::require;

namespace {

QStringList minimumsOf(const std::vector<qby::downloader::ReleaseEntry>& entries) {
    QStringList minimums;
    for (const qby::downloader::ReleaseEntry& entry : entries)
        minimums.append(entry.minimumSystemVersion);
    minimums.sort();
    return minimums;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const qby::platform::linuxhost::LibPlistPropertyLists propertyLists;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qby::foundation::Result<QVariantList> feed =
        qby::downloader::releaseEntriesOfFeed(bytes, propertyLists);
    if (!feed.ok()) {
        require(!feed.error().message.isEmpty(), "a refused feed says why");
        return 0;
    }

    const std::vector<qby::downloader::ReleaseEntry> entries =
        qby::downloader::readReleaseEntries(feed.value());
    require(entries.size() <= size_t(feed.value().size()), "no more entries than the feed holds");
    const qby::foundation::VersionComparator& comparator =
        qby::foundation::VersionComparator::defaultComparator();
    std::vector<qby::downloader::ReleaseEntry> sorted = entries;
    qby::downloader::sortByMinimumSystemVersion(sorted, comparator);
    require(minimumsOf(sorted) == minimumsOf(entries), "the sort keeps every entry once");

    for (const char* system : {"10.4.0", "10.6.8", "13.0.0"}) {
        for (const qint32 family : {qby::downloader::kCpuFamilyIntelYonah, 0}) {
            const QString version = QString::fromLatin1(system);
            const std::optional<qby::downloader::ReleaseEntry> chosen =
                qby::downloader::chooseRelease(entries, version, family, comparator);
            if (!chosen) continue;
            require(qby::downloader::releaseFits(*chosen, version, family, comparator),
                    "the chosen release fits", chosen->minimumSystemVersion);
            if (!chosen->url) continue;
            const std::optional<QString> name =
                qby::downloader::releaseArchiveFileName(*chosen->url);
            require(!name || (!name->isEmpty() && !name->contains(QLatin1Char('/')) &&
                              *name != QLatin1String(".") && *name != QLatin1String("..")),
                    "the archive name is one plain file name", *chosen->url);
        }
    }
    return 0;
}

#pragma once

#include "platform/MetadataSearch.h"

#include <QStringList>

namespace qby::platform::linuxhost {

// One search for bundles by identifier: a breadth-first walk of a folder, entries in byte order
// of their names, hidden folders included. Links are never followed and *.app bundles are not
// entered. The walk is bounded: bundles lie at most kMaxDepth levels below the folder, and it
// stops after kMaxEntries entries, answering what it found until then.
class BundleWalkQuery : public MetadataQuery {
public:
    static constexpr int kMaxDepth = 8;
    static constexpr size_t kMaxEntries = 100'000;

    // maxEntries bounds this walk's work (the search always uses kMaxEntries).
    BundleWalkQuery(QString rootFolder, QString bundleIdentifier, size_t maxEntries = kMaxEntries);

    // False when the root folder cannot be read.
    bool execute() override;
    qint64 resultCount() const override;
    std::optional<MetadataItem> resultAtIndex(qint64 index) const override;

private:
    QString rootFolder_;
    QString bundleIdentifier_;
    size_t maxEntries_;
    QStringList results_;
};

}  // namespace qby::platform::linuxhost

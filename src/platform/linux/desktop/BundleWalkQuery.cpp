#include "platform/linux/desktop/BundleWalkQuery.h"

#include "foundation/BundleLayout.h"
#include "platform/linux/files/DirectoryListing.h"
#include "platform/linux/plist/InfoPlistReader.h"

#include <QDir>
#include <QFileInfo>
#include <deque>
#include <utility>

namespace qby::platform::linuxhost {

BundleWalkQuery::BundleWalkQuery(QString rootFolder, QString bundleIdentifier, size_t maxEntries)
    : rootFolder_(std::move(rootFolder)),
      bundleIdentifier_(std::move(bundleIdentifier)),
      maxEntries_(maxEntries) {}

bool BundleWalkQuery::execute() {
    results_.clear();
    const QFileInfo root(rootFolder_);
    if (!root.isDir() || !root.isReadable()) return false;

    std::deque<std::pair<QString, int>> pending{{QDir::cleanPath(root.absoluteFilePath()), 0}};
    size_t visited = 0;
    while (!pending.empty() && visited < maxEntries_) {
        const auto [folder, depth] = pending.front();
        pending.pop_front();
        const std::vector<DirectoryEntry> entries =
            DirectoryListing::sortedEntries(folder, maxEntries_ - visited);
        visited += entries.size();
        for (const DirectoryEntry& entry : entries) {
            // Links (loops, paths out of home), devices, pipes and sockets are passed by.
            if (entry.kind != DirectoryEntry::Kind::Directory) continue;
            const QString path = (folder == "/" ? folder : folder + "/") + entry.name;
            if (entry.name.endsWith(foundation::BundleLayout::extension())) {
                if (InfoPlistReader::stringValue(path, "CFBundleIdentifier") == bundleIdentifier_) {
                    results_.append(path);
                }
            } else if (depth + 1 < kMaxDepth) {
                pending.emplace_back(path, depth + 1);
            }
        }
    }
    return true;
}

qint64 BundleWalkQuery::resultCount() const {
    return results_.size();
}

std::optional<MetadataItem> BundleWalkQuery::resultAtIndex(qint64 index) const {
    if (index < 0 || index >= results_.size()) return std::nullopt;
    return MetadataItem{results_.at(index)};
}

}  // namespace qby::platform::linuxhost

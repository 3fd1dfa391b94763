#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace qby::platform::linuxhost {

// One entry of a folder as lstat sees it (links are not followed).
struct DirectoryEntry {
    QString name;
    enum class Kind { Directory, RegularFile, Link, Other } kind;
};

// The entries of a folder, "." and ".." left out, sorted by the bytes of their names so that
// every walk visits them in the same order whatever the locale.
class DirectoryListing {
public:
    // Empty when the folder cannot be read. At most maxEntries entries are returned.
    static std::vector<DirectoryEntry> sortedEntries(const QString& folder, size_t maxEntries);
};

}  // namespace qby::platform::linuxhost

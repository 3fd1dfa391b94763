#include "platform/linux/files/DirectoryListing.h"

#include <QFile>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

DirectoryEntry::Kind kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return DirectoryEntry::Kind::Directory;
    if (S_ISREG(mode)) return DirectoryEntry::Kind::RegularFile;
    if (S_ISLNK(mode)) return DirectoryEntry::Kind::Link;
    return DirectoryEntry::Kind::Other;
}

}  // namespace

std::vector<DirectoryEntry> DirectoryListing::sortedEntries(const QString& folder,
                                                            size_t maxEntries) {
    const int fd = open(QFile::encodeName(folder).constData(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        return {};
    }
    std::vector<std::pair<std::string, mode_t>> raw;
    while (raw.size() < maxEntries) {
        const dirent* entry = readdir(dir);
        if (entry == nullptr) break;
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        raw.emplace_back(name, st.st_mode);
    }
    closedir(dir);
    std::sort(raw.begin(), raw.end());

    std::vector<DirectoryEntry> entries;
    entries.reserve(raw.size());
    for (const auto& [name, mode] : raw) {
        entries.push_back({QFile::decodeName(QByteArray::fromStdString(name)), kindOf(mode)});
    }
    return entries;
}

}  // namespace qby::platform::linuxhost

#include "installhelper/SecureTree.h"

#include "installhelper/Descriptor.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qby::installhelper {
namespace {

constexpr int kMaxDepth = 64;
constexpr mode_t kAllowedModeBits = 0755;  // no set-id, sticky, or group and world write

// The names in an open folder, "." and ".." left out; nothing when it cannot be read.
bool namesIn(int folder, std::vector<std::string>& names) {
    const int copy = dup(folder);
    if (copy < 0) return false;
    DIR* listing = fdopendir(copy);
    if (listing == nullptr) {
        close(copy);
        return false;
    }
    rewinddir(listing);
    errno = 0;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
        errno = 0;
    }
    const bool complete = errno == 0;
    closedir(listing);
    return complete;
}

// The file's bytes from in to out, holes left as holes.
bool copyData(int in, int out, off_t size) {
    std::vector<char> buffer(1 << 16);
    off_t position = 0;
    while (position < size) {
        off_t data = lseek(in, position, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // only a hole up to the end
        off_t hole = data < 0 ? size : lseek(in, data, SEEK_HOLE);
        if (data < 0) data = position;  // no hole support: all of it is data
        if (hole < 0 || hole > size) hole = size;
        for (off_t at = data; at < hole;) {
            const ssize_t got =
                pread(in, buffer.data(), std::min<off_t>(buffer.size(), hole - at), at);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return false;
            if (got == 0) return ftruncate(out, size) == 0;  // shrunk meanwhile
            for (ssize_t written = 0; written < got;) {
                const ssize_t put =
                    pwrite(out, buffer.data() + written, got - written, at + written);
                if (put < 0 && errno == EINTR) continue;
                if (put <= 0) return false;
                written += put;
            }
            at += got;
        }
        position = hole;
    }
    return ftruncate(out, size) == 0;
}

class Copier {
public:
    Copier(int destinationRoot, uid_t owner) : destinationRoot_(destinationRoot), owner_(owner) {}

    // Copies the items of the open folder source into the open, empty folder destination; path
    // is destination's path relative to the root of the copy.
    CopyOutcome copyItems(int source, int destination, const std::string& path, int depth) {
        if (depth > kMaxDepth) return CopyOutcome::kRefused;
        std::vector<std::string> names;
        if (!namesIn(source, names)) return CopyOutcome::kFailed;
        for (const std::string& name : names) {
            const CopyOutcome outcome = copyItem(source, destination, name, path, depth);
            if (outcome != CopyOutcome::kCopied) return outcome;
        }
        return CopyOutcome::kCopied;
    }

    // A folder made in destinationParent and filled from the open folder source, then given
    // its mode.
    CopyOutcome copyFolder(int source, const struct stat& status, int destinationParent,
                           const std::string& name, const std::string& path, int depth) {
        if (mkdirat(destinationParent, name.c_str(), 0700) != 0) return CopyOutcome::kFailed;
        const Descriptor made(openat(destinationParent, name.c_str(),
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!made.valid()) return CopyOutcome::kFailed;
        const CopyOutcome outcome = copyItems(source, made.get(), path, depth + 1);
        if (outcome != CopyOutcome::kCopied) return outcome;
        if (fchown(made.get(), 0, 0) != 0 ||
            fchmod(made.get(), status.st_mode & kAllowedModeBits) != 0)
            return CopyOutcome::kFailed;
        return CopyOutcome::kCopied;
    }

private:
    CopyOutcome copyItem(int source, int destination, const std::string& name,
                         const std::string& folderPath, int depth) {
        struct stat status {};
        if (fstatat(source, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return CopyOutcome::kFailed;
        if (status.st_uid != owner_) return CopyOutcome::kRefused;
        const std::string path = folderPath.empty() ? name : folderPath + "/" + name;
        if (S_ISLNK(status.st_mode)) return copyLink(source, destination, name, status);
        if (!S_ISDIR(status.st_mode) && !S_ISREG(status.st_mode)) return CopyOutcome::kRefused;

        // Opened without following, then checked again: the item read is the item examined.
        const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK |
                          (S_ISDIR(status.st_mode) ? O_DIRECTORY : 0);
        const Descriptor opened(openat(source, name.c_str(), flags));
        if (!opened.valid()) return CopyOutcome::kFailed;
        struct stat again {};
        if (fstat(opened.get(), &again) != 0) return CopyOutcome::kFailed;
        if (again.st_dev != status.st_dev || again.st_ino != status.st_ino ||
            again.st_uid != owner_ || (again.st_mode & S_IFMT) != (status.st_mode & S_IFMT))
            return CopyOutcome::kRefused;
        if (S_ISDIR(again.st_mode))
            return copyFolder(opened.get(), again, destination, name, path, depth);
        return copyFile(opened.get(), again, destination, name, path);
    }

    CopyOutcome copyFile(int source, const struct stat& status, int destination,
                         const std::string& name, const std::string& path) {
        const std::pair<dev_t, ino_t> identity{status.st_dev, status.st_ino};
        if (status.st_nlink > 1) {
            const auto first = linked_.find(identity);
            if (first != linked_.end()) {
                return linkat(destinationRoot_, first->second.c_str(), destination, name.c_str(),
                              0) == 0
                           ? CopyOutcome::kCopied
                           : CopyOutcome::kFailed;
            }
        }
        const Descriptor out(openat(destination, name.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid() || !copyData(source, out.get(), status.st_size) ||
            fchown(out.get(), 0, 0) != 0 ||
            fchmod(out.get(), status.st_mode & kAllowedModeBits) != 0)
            return CopyOutcome::kFailed;
        if (status.st_nlink > 1) linked_.emplace(identity, path);
        return CopyOutcome::kCopied;
    }

    static CopyOutcome copyLink(int source, int destination, const std::string& name,
                                const struct stat& status) {
        if (status.st_size >= PATH_MAX) return CopyOutcome::kRefused;
        char target[PATH_MAX];
        const ssize_t length = readlinkat(source, name.c_str(), target, sizeof target - 1);
        if (length < 0) return CopyOutcome::kFailed;
        target[length] = '\0';
        if (symlinkat(target, destination, name.c_str()) != 0 ||
            fchownat(destination, name.c_str(), 0, 0, AT_SYMLINK_NOFOLLOW) != 0)
            return CopyOutcome::kFailed;
        return CopyOutcome::kCopied;
    }

    int destinationRoot_;
    uid_t owner_;
    // The first copy of each multiply linked file, by its path inside the copy.
    std::map<std::pair<dev_t, ino_t>, std::string> linked_;
};

}  // namespace

CopyOutcome copyTree(int sourceFolder, int destinationParent, const char* destinationName,
                     uid_t owner) {
    struct stat status {};
    if (fstat(sourceFolder, &status) != 0) return CopyOutcome::kFailed;
    if (!S_ISDIR(status.st_mode) || status.st_uid != owner) return CopyOutcome::kRefused;
    if (mkdirat(destinationParent, destinationName, 0700) != 0) return CopyOutcome::kFailed;
    const Descriptor root(openat(destinationParent, destinationName,
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!root.valid()) return CopyOutcome::kFailed;
    Copier copier(root.get(), owner);
    const CopyOutcome outcome = copier.copyItems(sourceFolder, root.get(), "", 1);
    if (outcome != CopyOutcome::kCopied) return outcome;
    if (fchown(root.get(), 0, 0) != 0 || fchmod(root.get(), status.st_mode & kAllowedModeBits) != 0)
        return CopyOutcome::kFailed;
    return CopyOutcome::kCopied;
}

bool removeTree(int parent, const char* name) {
    struct stat status {};
    if (fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(status.st_mode)) return unlinkat(parent, name, 0) == 0;
    {
        const Descriptor folder(
            openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        std::vector<std::string> names;
        if (!folder.valid() || !namesIn(folder.get(), names)) return false;
        bool emptied = true;
        for (const std::string& child : names)
            emptied = removeTree(folder.get(), child.c_str()) && emptied;
        if (!emptied) return false;
    }
    return unlinkat(parent, name, AT_REMOVEDIR) == 0;
}

}  // namespace qby::installhelper

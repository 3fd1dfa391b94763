#include "platform/linux/files/TreeCopier.h"

#include "platform/linux/files/PosixError.h"
#include "platform/linux/files/TreeRemover.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <map>
#include <string>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qby::platform::linuxhost {

namespace {

// A folder being copied: the source open for reading, its copy open for adding entries.
struct Level {
    DIR* source;
    int destination;
    struct stat status;
    std::string path;  // relative to the top of the copy, "." for the top itself
};

struct Walk {
    // The top of the copy, for hard links to files copied earlier.
    QByteArray destination;
    std::vector<Level> stack;
    // Files with more than one name: the copy of the first name met, relative to the top. A later
    // name becomes a hard link to it, as in the source; names outside the tree are not known.
    std::map<std::pair<dev_t, ino_t>, std::string> linkedFiles;
    // Folders whose own mode would keep us from writing into them or removing their contents;
    // they get that mode once everything else is in place. Deepest first.
    std::vector<std::pair<std::string, mode_t>> lockedFolders;
};

std::string fullPath(const QByteArray& top, const std::string& path) {
    return path == "." ? top.toStdString() : top.toStdString() + "/" + path;
}

std::string childPath(const std::string& parent, const char* name) {
    return parent == "." ? std::string(name) : parent + "/" + name;
}

int keepTimes(int folder, const char* name, const struct stat& st, int flags) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return utimensat(folder, name, times, flags) == 0 ? 0 : errno;
}

int writeAll(int fd, const char* bytes, ssize_t size) {
    for (ssize_t done = 0; done < size;) {
        const ssize_t written = write(fd, bytes + done, size - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += written;
    }
    return 0;
}

// Copies size bytes from the current offsets: within the kernel where the pair of files allows
// it, which spares the bytes a trip through a buffer of ours, else through that buffer.
int copyRange(int in, int out, off_t size) {
    while (size > 0) {
        const ssize_t sent = sendfile(out, in, nullptr, std::min<off_t>(size, 1 << 30));
        if (sent > 0) {
            size -= sent;
            continue;
        }
        if (sent == 0) return 0;  // the file shrank meanwhile
        if (errno == EINTR) continue;
        if (errno == EINVAL || errno == ENOSYS) break;
        return errno;
    }
    static thread_local char buffer[64 * 1024];
    while (size > 0) {
        const ssize_t got = read(in, buffer, std::min<off_t>(size, sizeof buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) return 0;  // the file shrank meanwhile
        if (int error = writeAll(out, buffer, got)) return error;
        size -= got;
    }
    return 0;
}

// Copies the file's data and leaves its holes holes: a sparse file must not grow to its full size
// on the other file system. Where the file system cannot tell data from holes, all is data.
int copyContents(int in, int out, off_t size) {
    for (off_t offset = 0; offset < size;) {
        off_t data = lseek(in, offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // only a hole is left
        if (data < 0) data = offset;
        off_t hole = lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > size) hole = size;
        if (lseek(in, data, SEEK_SET) < 0 || lseek(out, data, SEEK_SET) < 0) return errno;
        if (int error = copyRange(in, out, hole - data)) return error;
        offset = hole;
    }
    return ftruncate(out, size) == 0 ? 0 : errno;
}

int copyFile(int sourceFolder, const char* sourceName, int destinationFolder,
             const char* destinationName, const struct stat& st) {
    const int in = openat(sourceFolder, sourceName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return errno;
    const int out = openat(destinationFolder, destinationName,
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        const int error = errno;
        close(in);
        return error;
    }
    int error = copyContents(in, out, st.st_size);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (error == 0 && fchmod(out, st.st_mode & 07777) != 0) error = errno;
    if (error == 0 && futimens(out, times) != 0) error = errno;
    if (close(out) != 0 && error == 0) error = errno;
    close(in);
    if (error != 0) unlinkat(destinationFolder, destinationName, 0);
    return error;
}

int copyLink(int sourceFolder, const char* sourceName, int destinationFolder,
             const char* destinationName, const struct stat& st) {
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t length = readlinkat(sourceFolder, sourceName, target.data(), target.size());
    if (length < 0) return errno;
    if (static_cast<size_t>(length) >= target.size()) return ENAMETOOLONG;
    target[length] = '\0';
    if (symlinkat(target.data(), destinationFolder, destinationName) != 0) return errno;
    const int error = keepTimes(destinationFolder, destinationName, st, AT_SYMLINK_NOFOLLOW);
    if (error != 0) unlinkat(destinationFolder, destinationName, 0);
    return error;
}

int openFolders(int sourceFolder, const char* sourceName, int destinationFolder,
                const char* destinationName, const struct stat& st, std::string path, Walk& walk) {
    if (mkdirat(destinationFolder, destinationName, 0700) != 0) return errno;
    const int destination =
        openat(destinationFolder, destinationName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int source =
        openat(sourceFolder, sourceName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* listing = source < 0 || destination < 0 ? nullptr : fdopendir(source);
    if (listing == nullptr) {
        const int error = errno;
        if (source >= 0) close(source);
        if (destination >= 0) close(destination);
        unlinkat(destinationFolder, destinationName, AT_REMOVEDIR);
        return error;
    }
    walk.stack.push_back({listing, destination, st, std::move(path)});
    return 0;
}

int copyItem(int sourceFolder, const char* sourceName, int destinationFolder,
             const char* destinationName, const std::string& path, Walk& walk) {
    struct stat st {};
    if (fstatat(sourceFolder, sourceName, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (S_ISDIR(st.st_mode)) {
        return openFolders(sourceFolder, sourceName, destinationFolder, destinationName, st, path,
                           walk);
    }
    if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
        const auto [first, isNew] = walk.linkedFiles.try_emplace({st.st_dev, st.st_ino}, path);
        if (!isNew) {
            const std::string target = fullPath(walk.destination, first->second);
            return linkat(AT_FDCWD, target.c_str(), destinationFolder, destinationName, 0) == 0
                       ? 0
                       : errno;
        }
    }
    if (S_ISREG(st.st_mode)) {
        return copyFile(sourceFolder, sourceName, destinationFolder, destinationName, st);
    }
    if (S_ISLNK(st.st_mode)) {
        return copyLink(sourceFolder, sourceName, destinationFolder, destinationName, st);
    }
    return ENOTSUP;
}

// Gives a finished folder copy its mode and times, unless its mode would lock us out before the
// copy is complete.
int finishFolder(Level& level, Walk& walk) {
    const mode_t mode = level.status.st_mode & 07777;
    int error = 0;
    if ((mode & 0700) != 0700) {
        walk.lockedFolders.emplace_back(level.path, mode);
    } else if (fchmod(level.destination, mode) != 0) {
        error = errno;
    }
    const struct timespec times[2] = {level.status.st_atim, level.status.st_mtim};
    if (error == 0 && futimens(level.destination, times) != 0) error = errno;
    closedir(level.source);
    close(level.destination);
    return error;
}

void closeAll(Walk& walk) {
    for (Level& level : walk.stack) {
        closedir(level.source);
        close(level.destination);
    }
    walk.stack.clear();
}

// Copies the entries of the folders on the stack until it is empty; the path of a failure is
// written to failedPath.
int copyFolders(Walk& walk, std::string& failedPath) {
    while (!walk.stack.empty()) {
        Level& top = walk.stack.back();
        errno = 0;
        const dirent* entry = readdir(top.source);
        if (entry == nullptr) {
            if (errno != 0) {
                failedPath = top.path;
                return errno;
            }
            Level finished = top;
            walk.stack.pop_back();
            if (int error = finishFolder(finished, walk)) {
                failedPath = finished.path;
                return error;
            }
            continue;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = childPath(top.path, name.c_str());
        const int sourceFd = dirfd(top.source);
        const int destinationFd = top.destination;
        if (int error = copyItem(sourceFd, name.c_str(), destinationFd, name.c_str(), path, walk)) {
            failedPath = path;
            return error;
        }
    }
    return 0;
}

// The copy is complete: the folders that would have locked us out get their own modes now.
int lockFolders(const QByteArray& destination, const Walk& walk) {
    for (const auto& [path, mode] : walk.lockedFolders) {
        if (chmod(fullPath(destination, path).c_str(), mode) != 0) return errno;
    }
    return 0;
}

}  // namespace

foundation::Status TreeCopier::copy(const QByteArray& source, const QByteArray& destination) {
    Walk walk;
    walk.destination = destination;
    std::string failedPath = ".";
    int error =
        copyItem(AT_FDCWD, source.constData(), AT_FDCWD, destination.constData(), ".", walk);
    // Nothing was created when the first item failed: whatever stands at destination is not ours.
    if (error != 0) {
        return PosixError::at(error, QFile::decodeName(error == EEXIST ? destination : source));
    }
    error = copyFolders(walk, failedPath);
    if (error == 0) error = lockFolders(destination, walk);
    if (error == 0) return {};
    closeAll(walk);
    // Open folders still have the 0700 they were made with; open up those already locked.
    for (const auto& folder : walk.lockedFolders) {
        chmod(fullPath(destination, folder.first).c_str(), 0700);
    }
    TreeRemover::remove(destination);
    const QString where = failedPath == "."
                              ? QFile::decodeName(source)
                              : QFile::decodeName(source) + u'/' +
                                    QFile::decodeName(QByteArray::fromStdString(failedPath));
    return PosixError::at(error, where);
}

}  // namespace qby::platform::linuxhost

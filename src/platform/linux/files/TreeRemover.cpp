#include "platform/linux/files/TreeRemover.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qby::platform::linuxhost {

namespace {

struct OpenFolder {
    DIR* dir;
    std::string name;  // its name inside the folder below it on the stack
};

bool ownedByUs(const struct stat& st) {
    return st.st_uid == geteuid();
}

// A folder is emptied only with read, write and search rights. One of the user's own whose mode
// withholds them (0555, as an unpacked bundle may have) is opened up first: it is about to go.
int openFolder(int parentFd, const char* name, std::vector<OpenFolder>& stack) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = openat(parentFd, name, kFlags);
    if (fd < 0 && errno == EACCES) {
        struct stat st {};
        if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
            ownedByUs(st) && fchmodat(parentFd, name, (st.st_mode & 07777) | S_IRWXU, 0) == 0) {
            fd = openat(parentFd, name, kFlags);
        } else {
            errno = EACCES;
        }
    }
    if (fd < 0) return errno;
    struct stat st {};
    if (fstat(fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU && ownedByUs(st)) {
        fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        const int error = errno;
        close(fd);
        return error;
    }
    stack.push_back({dir, name});
    return 0;
}

int closeAll(std::vector<OpenFolder>& stack, int error) {
    for (OpenFolder& folder : stack) closedir(folder.dir);
    stack.clear();
    return error;
}

}  // namespace

int TreeRemover::remove(const QByteArray& path) {
    struct stat st {};
    if (lstat(path.constData(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return unlink(path.constData()) == 0 ? 0 : errno;

    // An explicit stack instead of recursion: a hostile, very deep tree cannot exhaust ours.
    std::vector<OpenFolder> stack;
    if (int error = openFolder(AT_FDCWD, path.constData(), stack)) return error;
    while (!stack.empty()) {
        OpenFolder& top = stack.back();
        const int topFd = dirfd(top.dir);
        errno = 0;
        const dirent* entry = readdir(top.dir);
        if (entry == nullptr) {
            if (errno != 0) return closeAll(stack, errno);
            const std::string name = top.name;
            closedir(top.dir);
            stack.pop_back();
            const int parentFd = stack.empty() ? AT_FDCWD : dirfd(stack.back().dir);
            const char* target = stack.empty() ? path.constData() : name.c_str();
            if (unlinkat(parentFd, target, AT_REMOVEDIR) != 0) return closeAll(stack, errno);
            continue;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat child {};
        if (fstatat(topFd, name.c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
            return closeAll(stack, errno);
        }
        if (S_ISDIR(child.st_mode)) {
            if (int error = openFolder(topFd, name.c_str(), stack)) return closeAll(stack, error);
        } else if (unlinkat(topFd, name.c_str(), 0) != 0) {
            return closeAll(stack, errno);
        }
    }
    return 0;
}

}  // namespace qby::platform::linuxhost

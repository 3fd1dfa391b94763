#include "platform/linux/files/ItemReplacer.h"

#include "platform/linux/files/PosixError.h"
#include "platform/linux/files/RenameWithoutReplacing.h"
#include "platform/linux/files/TreeCopier.h"
#include "platform/linux/files/TreeRemover.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {
namespace {

// The folder that holds the place, open for the lock, the sync and the renames.
class Folder {
public:
    explicit Folder(const QByteArray& path)
        : fd_(open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~Folder() {
        if (fd_ >= 0) close(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return fd_; }

    // Waits for any other replace into this folder to end; the lock goes with the descriptor.
    // Where the file system has no locks (some network file systems refuse them on a folder),
    // the replace goes on without: each swap is still whole.
    void lock() const {
        while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }

    bool exists(const QByteArray& name) const {
        struct stat st {};
        return fstatat(fd_, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

private:
    int fd_;
};

QByteArray hiddenPrefix(const QByteArray& name, const char* kind) {
    return "." + name + "." + kind + "-";
}

QByteArray uniqueSuffix() {
    return QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
}

// Leftovers of a replace that was stopped midway. An old tree set aside whose place is empty is
// put back first, so that the place never stays empty longer than that replace took.
void sweepLeftovers(const Folder& folder, const QByteArray& path, const QByteArray& name) {
    const QByteArray staged = hiddenPrefix(name, "new");
    const QByteArray setAside = hiddenPrefix(name, "old");
    DIR* listing = opendir(path.constData());
    if (listing == nullptr) return;
    QList<QByteArray> leftovers;
    while (const dirent* entry = readdir(listing)) {
        const QByteArray entryName(entry->d_name);
        if (entryName.startsWith(staged) || entryName.startsWith(setAside))
            leftovers.append(entryName);
    }
    closedir(listing);
    for (const QByteArray& leftover : leftovers) {
        if (leftover.startsWith(setAside) && !folder.exists(name) &&
            renameWithoutReplacing(folder.fd(), leftover.constData(), folder.fd(),
                                   name.constData()) == 0) {
            continue;
        }
        TreeRemover::remove(path + "/" + leftover);
    }
}

// The staged tree in the place, the old one (if any) at the staged name afterwards. Where the
// file system cannot exchange, the old tree is set aside first: the place is empty between two
// renames, and a replace stopped there is mended by the next one (sweepLeftovers).
int swapIn(const Folder& folder, const QByteArray& staged, const QByteArray& name,
           QByteArray& oldTree) {
    if (!folder.exists(name)) {
        oldTree.clear();
        return renameWithoutReplacing(folder.fd(), staged.constData(), folder.fd(),
                                      name.constData());
    }
    if (renameat2(folder.fd(), staged.constData(), folder.fd(), name.constData(),
                  RENAME_EXCHANGE) == 0) {
        oldTree = staged;
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) return errno;
    oldTree = hiddenPrefix(name, "old") + uniqueSuffix();
    if (renameat(folder.fd(), name.constData(), folder.fd(), oldTree.constData()) != 0)
        return errno;
    if (renameat(folder.fd(), staged.constData(), folder.fd(), name.constData()) != 0) {
        const int error = errno;
        renameat(folder.fd(), oldTree.constData(), folder.fd(), name.constData());
        return error;
    }
    return 0;
}

}  // namespace

foundation::Status ItemReplacer::replace(const QString& source, const QString& destination) {
    const QFileInfo place(destination);
    const QByteArray path = QFile::encodeName(place.path());
    const QByteArray name = QFile::encodeName(place.fileName());
    if (source.isEmpty() || name.isEmpty()) return PosixError::at(ENOENT, destination);

    const Folder folder(path);
    if (folder.fd() < 0) return PosixError::at(errno, place.path());
    folder.lock();
    sweepLeftovers(folder, path, name);

    const QByteArray staged = hiddenPrefix(name, "new") + uniqueSuffix();
    const QByteArray stagedPath = path + "/" + staged;
    const QByteArray from = QFile::encodeName(source);
    int error = renameWithoutReplacing(AT_FDCWD, from.constData(), folder.fd(), staged.constData());
    if (error == EXDEV) {
        // A copy that failed has removed what it made; the source stays for the caller.
        if (foundation::Status copied = TreeCopier::copy(from, stagedPath); !copied) return copied;
        TreeRemover::remove(from);
        error = 0;
    }
    if (error != 0) return PosixError::at(error, source);

    // The new tree's data on disk before any name points at it: a crash after the swap must not
    // leave a client of empty files.
    if (syncfs(folder.fd()) != 0) {
        error = errno;
        TreeRemover::remove(stagedPath);
        return PosixError::at(error, place.path());
    }
    QByteArray oldTree;
    if ((error = swapIn(folder, staged, name, oldTree)) != 0) {
        TreeRemover::remove(stagedPath);
        return PosixError::at(error, destination);
    }
    fsync(folder.fd());
    // An old tree that cannot go now is swept by the next replace.
    if (!oldTree.isEmpty()) TreeRemover::remove(path + "/" + oldTree);
    return {};
}

}  // namespace qby::platform::linuxhost

#include "platform/linux/files/LinuxFileManager.h"

#include "platform/linux/files/BoundedFileReader.h"
#include "platform/linux/files/ItemReplacer.h"
#include "platform/linux/files/PosixError.h"
#include "platform/linux/files/TreeRemover.h"
#include "platform/linux/files/Utf8Validator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

}  // namespace

bool LinuxFileManager::fileExists(const QString& path) const {
    struct stat st {};
    return !path.isEmpty() && lstat(nativePath(path).constData(), &st) == 0;
}

bool LinuxFileManager::isDirectory(const QString& path) const {
    struct stat st {};
    return !path.isEmpty() && lstat(nativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<QString> LinuxFileManager::readUtf8Text(const QString& path, qint64 maxBytes) const {
    const std::optional<QByteArray> bytes = BoundedFileReader::read(path, maxBytes);
    if (!bytes || !Utf8Validator::isValid(*bytes)) return std::nullopt;
    return QString::fromUtf8(*bytes);
}

foundation::Status LinuxFileManager::removeItem(const QString& path) {
    const int error = path.isEmpty() ? ENOENT : TreeRemover::remove(nativePath(path));
    if (error != 0) return PosixError::at(error, path);
    return {};
}

bool LinuxFileManager::createDirectory(const QString& path) {
    if (path.isEmpty()) return false;
    const QByteArray target = nativePath(QDir::cleanPath(path));
    // Every prefix ending before a "/" is a folder to make, then the whole path.
    for (qsizetype i = 1; i <= target.size(); ++i) {
        if (i < target.size() && target[i] != '/') continue;
        // A failure here (a file in the way, no permission) shows in the check below.
        mkdir(target.left(i).constData(), 0700);
    }
    struct stat st {};
    return stat(target.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QStringList LinuxFileManager::applicationSupportDirectories() const {
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

QStringList LinuxFileManager::downloadsDirectories() const {
    return QStandardPaths::standardLocations(QStandardPaths::DownloadLocation);
}

QString LinuxFileManager::temporaryDirectory() const {
    const QString existing = QDir::tempPath();
    if (!existing.isEmpty()) return existing;
    // Qt answers nothing for a TMPDIR that does not exist yet; the download folder is made with
    // its missing parents, so it is the temporary directory all the same.
    const QString named = qEnvironmentVariable("TMPDIR");
    return QDir::isAbsolutePath(named) ? QDir::cleanPath(named) : QStringLiteral("/tmp");
}

std::optional<QStringList> LinuxFileManager::contentsOfDirectory(const QString& path) const {
    DIR* folder = path.isEmpty() ? nullptr : opendir(nativePath(path).constData());
    if (folder == nullptr) return std::nullopt;
    QStringList names;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(folder);
        if (entry == nullptr) break;
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names.append(QFile::decodeName(name));
    }
    const int error = errno;
    closedir(folder);
    if (error != 0) return std::nullopt;
    return names;
}

foundation::Status LinuxFileManager::createPrivateDirectory(const QString& path) {
    if (path.isEmpty()) return PosixError::at(ENOENT, path);
    const QByteArray target = nativePath(path);
    // A parent that cannot be made shows as the mkdir's own error below.
    const QString parent = QFileInfo(QDir::cleanPath(path)).path();
    if (parent != path) createDirectory(parent);
    // mkdir never follows a link at path: a link there, even a dangling one, is EEXIST.
    if (mkdir(target.constData(), 0700) != 0) return PosixError::at(errno, path);
    // A restrictive umask must not leave the folder unusable to its owner.
    const int fd = open(target.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || fchmod(fd, 0700) != 0) {
        const int error = errno;
        if (fd >= 0) close(fd);
        return PosixError::at(error, path);
    }
    close(fd);
    return {};
}

bool LinuxFileManager::isWritableDirectory(const QString& path) const {
    const QByteArray native = nativePath(path);
    struct stat st {};
    return !path.isEmpty() && stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           access(native.constData(), W_OK | X_OK) == 0;
}

foundation::Status LinuxFileManager::replaceItem(const QString& source,
                                                 const QString& destination) {
    return ItemReplacer::replace(source, destination);
}

}  // namespace qby::platform::linuxhost

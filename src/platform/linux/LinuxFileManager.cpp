#include "platform/linux/LinuxFileManager.h"

#include "platform/linux/BoundedFileReader.h"
#include "platform/linux/TreeRemover.h"
#include "platform/linux/Utf8Validator.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>

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

int LinuxFileManager::removeItem(const QString& path) {
    if (path.isEmpty()) return ENOENT;
    return TreeRemover::remove(nativePath(path));
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
    return QDir::tempPath();
}

}  // namespace qby::platform::linuxhost

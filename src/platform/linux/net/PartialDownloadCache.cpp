#include "platform/linux/net/PartialDownloadCache.h"

#include "platform/linux/net/HttpFields.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

const char* const kFolderName = "quillbay.com";
constexpr qint64 kLongestValidator = 1024;

// A rename, or a copy and a removal between file systems (the cache lives in the home folder,
// downloads in the temporary one).
bool moveFile(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (std::rename(source.constData(), target.constData()) == 0) return true;
    if (errno != EXDEV) return false;
    QFile::remove(to);
    const bool copied = QFile::copy(from, to);
    QFile::remove(from);
    if (copied) ::chmod(target.constData(), 0600);
    return copied;
}

// The user's own regular file (no link), not older than the cache keeps: its size, else -1.
qint64 freshOwnFileSize(const QString& path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != ::geteuid()) {
        return -1;
    }
    const qint64 age = QDateTime::currentSecsSinceEpoch() - status.st_mtim.tv_sec;
    return age < PartialDownloadCache::kLongestKeptSeconds ? status.st_size : -1;
}

// The validator file's bytes, read without following a link.
std::optional<QByteArray> readValidator(const QString& path) {
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return std::nullopt;
    QByteArray bytes(kLongestValidator, Qt::Uninitialized);
    const ssize_t read = ::read(descriptor, bytes.data(), bytes.size());
    ::close(descriptor);
    if (read <= 0) return std::nullopt;
    bytes.truncate(read);
    if (!isResumeValidator(bytes)) return std::nullopt;
    return bytes;
}

}  // namespace

QString PartialDownloadCache::defaultFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    // XDG_CACHE_HOME counts only as an absolute path; a relative one is ignored, as desktops do.
    if (!QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.cache");
    return base + u'/' + QLatin1String(kFolderName);
}

QString PartialDownloadCache::partPath(const QUrl& url) const {
    const QByteArray digest =
        QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Sha256).toHex();
    return folder_ + u'/' + QString::fromLatin1(digest) + QStringLiteral(".part");
}

QString PartialDownloadCache::validatorPath(const QUrl& url) const {
    QString path = partPath(url);
    path.replace(path.size() - 5, 5, QStringLiteral(".validator"));
    return path;
}

bool PartialDownloadCache::folderIsPrivate(bool create) const {
    if (folder_.isEmpty()) return false;
    const QByteArray folder = QFile::encodeName(folder_);
    if (create && QDir().mkpath(QFileInfo(folder_).path())) ::mkdir(folder.constData(), 0700);
    struct stat status {};
    return ::lstat(folder.constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid() && (status.st_mode & 07777) == 0700;
}

std::optional<QByteArray> PartialDownloadCache::takeInto(const QUrl& url,
                                                         const QString& destination) const {
    if (!folderIsPrivate(false)) return std::nullopt;
    const QString part = partPath(url);
    std::optional<QByteArray> validator;
    if (freshOwnFileSize(part) > 0) validator = readValidator(validatorPath(url));
    QFile::remove(validatorPath(url));
    if (!validator || !moveFile(part, destination)) {
        QFile::remove(part);
        return std::nullopt;
    }
    return validator;
}

bool PartialDownloadCache::keep(const QUrl& url, const QString& path, const QByteArray& validator,
                                qint64 maxBytes) const {
    QFile validatorFile(validatorPath(url));
    const qint64 size = QFileInfo(path).size();
    if (!folderIsPrivate(true) || !isResumeValidator(validator) ||
        (maxBytes >= 0 && size > maxBytes) ||
        !validatorFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        validatorFile.write(validator) != validator.size() || !validatorFile.flush() ||
        !moveFile(path, partPath(url))) {
        QFile::remove(path);
        forget(url);
        return false;
    }
    return true;
}

void PartialDownloadCache::forget(const QUrl& url) const {
    if (folder_.isEmpty()) return;
    QFile::remove(partPath(url));
    QFile::remove(validatorPath(url));
}

void PartialDownloadCache::removeStale() const {
    if (!folderIsPrivate(false)) return;
    static const QRegularExpression entryName(QStringLiteral("^[0-9a-f]{64}\\.(part|validator)$"));
    const QDir folder(folder_);
    for (const QString& name : folder.entryList(QDir::Files | QDir::System | QDir::Hidden)) {
        const QString path = folder.filePath(name);
        struct stat status {};
        if (!entryName.match(name).hasMatch() ||
            ::lstat(QFile::encodeName(path).constData(), &status) != 0) {
            continue;
        }
        if (QDateTime::currentSecsSinceEpoch() - status.st_mtim.tv_sec >= kLongestKeptSeconds)
            QFile::remove(path);
    }
}

}  // namespace qby::platform::linuxhost

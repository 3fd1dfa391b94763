#include "platform/linux/net/PartialDownloadCache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace qby::platform::linuxhost {

namespace {

const char* const kFolderName = "quillbay.com";

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

std::optional<QByteArray> PartialDownloadCache::takeInto(const QUrl& url,
                                                         const QString& destination) const {
    if (folder_.isEmpty()) return std::nullopt;
    const QFileInfo part(partPath(url));
    QFile validatorFile(validatorPath(url));
    const bool fresh =
        part.isFile() && part.size() > 0 &&
        part.lastModified().secsTo(QDateTime::currentDateTime()) < kLongestKeptSeconds;
    std::optional<QByteArray> validator;
    if (fresh && validatorFile.open(QIODevice::ReadOnly)) validator = validatorFile.read(1024);
    validatorFile.remove();
    if (!validator || validator->isEmpty() || !moveFile(part.filePath(), destination)) {
        QFile::remove(part.filePath());
        return std::nullopt;
    }
    return validator;
}

bool PartialDownloadCache::keep(const QUrl& url, const QString& path,
                                const QByteArray& validator) const {
    // The folder is the user's alone: a URL's digest tells what was being fetched.
    const QByteArray folder = QFile::encodeName(folder_);
    const bool ready = !folder_.isEmpty() && QDir().mkpath(QFileInfo(folder_).path()) &&
                       (::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST) &&
                       ::chmod(folder.constData(), 0700) == 0;
    QFile validatorFile(validatorPath(url));
    if (!ready || !validatorFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
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

}  // namespace qby::platform::linuxhost

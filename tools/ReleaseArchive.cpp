#include "ReleaseArchive.h"

#include "downloader/ReleaseFeed.h"
#include "downloader/ReleaseSelection.h"

#include <QCryptographicHash>
#include <QFile>
#include <cerrno>

namespace qby::tools {
namespace {

foundation::Error refused(const QString& why) {
    return foundation::Error{EINVAL, why};
}

bool isGzip(QByteArrayView bytes) {
    return bytes.startsWith("\x1f\x8b");
}

bool isZip(QByteArrayView bytes) {
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

}  // namespace

foundation::Result<ReleaseArchive> readReleaseArchive(const QString& path, const QString& url,
                                                      const SigningKey& key) {
    const std::optional<QString> fileName = downloader::releaseArchiveFileName(url);
    if (!fileName) {
        return refused(QStringLiteral("the downloader would not fetch \"%1\": it takes an "
                                      "absolute https URL whose path ends in a file name")
                           .arg(url));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return foundation::Error{ENOENT, QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    if (file.size() == 0) return refused(QStringLiteral("%1 is empty").arg(path));
    // Mapped, not read: an archive may be far larger than the memory we would like to use.
    const uchar* mapped = file.map(0, file.size());
    if (mapped == nullptr) {
        return foundation::Error{EIO, QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    const QByteArrayView bytes(mapped, file.size());
    const bool tarGzip = downloader::archiveFormatOf(*fileName) == platform::ArchiveFormat::TarGzip;
    if (tarGzip ? !isGzip(bytes) : !isZip(bytes)) {
        return refused(
            QStringLiteral("%1 is no %2 archive, which the url's name \"%3\" has the "
                           "downloader unpack it as")
                .arg(path, tarGzip ? QStringLiteral("gzip") : QStringLiteral("zip"), *fileName));
    }
    const foundation::Result<QByteArray> signature = key.sign(bytes);
    if (!signature) return signature.error();
    return ReleaseArchive{
        file.size(),
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()),
        QString::fromLatin1(signature.value().toBase64())};
}

}  // namespace qby::tools

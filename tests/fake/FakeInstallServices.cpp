#include "FakeInstallServices.h"

#include <QCryptographicHash>
#include <QUrl>
#include <cerrno>
#include <gtest/gtest.h>

namespace qby::fake {
namespace {

// A call no test scripted: fails the test and answers a failure.
foundation::Error unscripted(const QString& what, int code = EIO) {
    ADD_FAILURE() << "no " << what.toStdString() << " scripted";
    return foundation::Error{code, QStringLiteral("not scripted")};
}

}  // namespace

foundation::Result<QByteArray> FakeInstallServices::dataWithContentsOfURL(const QUrl& url,
                                                                          qint64 maxBytes) {
    platform_.log.add(QStringLiteral("url.read %1 %2").arg(url.toString()).arg(maxBytes));
    const QString key = url.toString();
    if (transientFailures[key]-- > 0) return foundation::Error{503, QStringLiteral("busy"), true};
    if (!urlBodies.contains(key)) ADD_FAILURE() << "no body scripted for " << key.toStdString();
    const std::optional<QByteArray> body = urlBodies.value(key);
    if (!body) return foundation::Error{404, QStringLiteral("not scripted")};
    return *body;
}

std::unique_ptr<platform::UrlDownload> FakeInstallServices::startDownload(
    const QUrl& url, double timeoutSeconds, platform::UrlDownloadDelegate& delegate) {
    platform_.log.add(
        QStringLiteral("download.start %1 %2").arg(url.toString()).arg(timeoutSeconds));
    auto download = std::make_unique<FakeUrlDownload>(platform_.log, delegate);
    downloads.push_back(download.get());
    return download;
}

foundation::Status FakeInstallServices::unpack(const QString& folder, const QString& fileName,
                                               platform::ArchiveFormat format) {
    const char* kind = format == platform::ArchiveFormat::TarGzip ? " tgz" : " zip";
    platform_.log.add("archive.unpack " + folder + ' ' + fileName + kind);
    if (!unpackResult) return unscripted("unpack for " + fileName);
    if (unpackResult->ok())
        for (const QString& name : unpackedNames) platform_.addFolder(folder + '/' + name);
    return *unpackResult;
}

foundation::Status FakeInstallServices::registerDesktopEntry(const QString& bundlePath) {
    platform_.log.add(QStringLiteral("desktop.register %1").arg(bundlePath));
    if (!desktopEntryResult) return unscripted("desktop entry answer for " + bundlePath);
    return *desktopEntryResult;
}

QByteArray FakeInstallServices::signatureOf(const QByteArray& key, const QString& text) {
    return QCryptographicHash::hash(key + text.toUtf8(), QCryptographicHash::Sha512);
}

foundation::Result<QString> FakeInstallServices::textOf(const QString& path) const {
    const std::optional<QString> text = platform_.files.value(path);
    if (!text) return foundation::Error{ENOENT, path + ": cannot be read"};
    return *text;
}

foundation::Result<QByteArray> FakeInstallServices::sha256(const QString& path) {
    platform_.log.add("verify.sha256 " + path);
    const foundation::Result<QString> text = textOf(path);
    if (!text) return text.error();
    return QCryptographicHash::hash(text.value().toUtf8(), QCryptographicHash::Sha256);
}

foundation::Result<std::optional<qsizetype>> FakeInstallServices::ed25519Signer(
    const QString& path, const QByteArray& signature, const QList<QByteArray>& publicKeys) {
    platform_.log.add("verify.ed25519 " + path);
    const foundation::Result<QString> text = textOf(path);
    if (!text) return text.error();
    for (qsizetype i = 0; i < publicKeys.size(); ++i)
        if (signature == signatureOf(publicKeys.at(i), text.value())) return std::optional(i);
    return std::optional<qsizetype>();
}

std::optional<qsizetype> FakeInstallServices::ed25519SignerOfData(
    const QByteArray& message, const QByteArray& signature, const QList<QByteArray>& publicKeys) {
    platform_.log.add(QStringLiteral("verify.ed25519 %1 bytes").arg(message.size()));
    for (qsizetype i = 0; i < publicKeys.size(); ++i)
        if (signature == signatureOf(publicKeys.at(i), QString::fromUtf8(message))) return i;
    return std::nullopt;
}

}  // namespace qby::fake

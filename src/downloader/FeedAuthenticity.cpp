#include "downloader/FeedAuthenticity.h"

#include "downloader/FeedRetries.h"
#include "downloader/ReleaseFeed.h"

#include <QDateTime>
#include <QVariantMap>

namespace qby::downloader {
namespace {

constexpr qsizetype kSignatureBytes = 64;

foundation::Error unusable(const QString& why) {
    return foundation::Error{kFeedUnusable, why};
}

QString isoDate(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

}  // namespace

foundation::Result<qint64> stampedFeedSerial(const platform::Bundle& bundle,
                                             const platform::FileManager& fileManager) {
    const std::optional<QString> path =
        bundle.pathForResource(kStampedFeedSerialResource, kStampedFeedSerialType, QString());
    if (!path) return qint64(0);
    const std::optional<QString> text = fileManager.readUtf8Text(*path, kStampedFeedSerialMaxBytes);
    bool number = false;
    const qint64 serial = text ? text->trimmed().toLongLong(&number) : 0;
    if (!number || serial < 0) {
        return unusable(QStringLiteral("the feed serial stamped into this downloader (%1) is no "
                                       "whole number")
                            .arg(*path));
    }
    return serial;
}

foundation::Status checkFeedSignature(const QByteArray& feed, const QByteArray& signatureText,
                                      const QList<QByteArray>& keys,
                                      platform::ArchiveVerifier& verifier) {
    const auto decoded = QByteArray::fromBase64Encoding(
        signatureText.trimmed(),
        QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != kSignatureBytes) {
        return unusable(
            QStringLiteral("its signature is not the base64 of %1 bytes").arg(kSignatureBytes));
    }
    if (!verifier.ed25519SignerOfData(feed, decoded.decoded, keys)) {
        return unusable(QStringLiteral("its signature verifies under none of the %1 accepted keys")
                            .arg(keys.size()));
    }
    return {};
}

foundation::Status checkFeedFreshness(const QVariant& root,
                                      const foundation::Result<qint64>& serialFloor,
                                      qint64 nowSeconds) {
    if (!serialFloor) return serialFloor.error();
    const QVariantMap dictionary = root.toMap();
    const QVariant serial = dictionary.value(kFeedSerialKey);
    if (serial.typeId() != QMetaType::LongLong) {
        return unusable(QStringLiteral("it has no %1 that is a whole number").arg(kFeedSerialKey));
    }
    if (serial.toLongLong() < serialFloor.value()) {
        return unusable(QStringLiteral("its %1 %2 is below %3, the serial of the feed this "
                                       "downloader was made with: an older feed served again")
                            .arg(kFeedSerialKey)
                            .arg(serial.toLongLong())
                            .arg(serialFloor.value()));
    }
    const QVariant expires = dictionary.value(kFeedExpiresKey);
    if (expires.typeId() != QMetaType::QDateTime || !expires.toDateTime().isValid()) {
        return unusable(QStringLiteral("it has no %1 that is a date").arg(kFeedExpiresKey));
    }
    const qint64 expiry = expires.toDateTime().toSecsSinceEpoch();
    if (nowSeconds > expiry + kFeedExpiryGraceSeconds) {
        return unusable(QStringLiteral("it expired on %1, and it is %2 by this system's clock")
                            .arg(isoDate(expiry), isoDate(nowSeconds)));
    }
    return {};
}

foundation::Status FeedAuthenticator::check(const QUrl& feedUrl, qint64 maxBytes,
                                            const QByteArray& feed,
                                            const std::atomic<bool>& cancelled) const {
    if (!rules_.signatureRequired) return {};
    // The signature first: nothing of a feed that nobody vouches for is read.
    const QUrl signatureUrl(feedUrl.toString() + kFeedSignatureSuffix);
    const foundation::Result<QByteArray> signature = readFeedWithRetries(
        services_.urlLoader, services_.pauses, signatureUrl, maxBytes, cancelled);
    if (!signature) {
        return unusable(QStringLiteral("its signature %1 could not be read (%2), and this build "
                                       "requires one")
                            .arg(signatureUrl.toString(), signature.error().message));
    }
    if (const foundation::Status signed_ =
            checkFeedSignature(feed, signature.value(), rules_.publicKeys, services_.verifier);
        !signed_) {
        return signed_;
    }
    const foundation::Result<QVariant> root = services_.propertyLists.parse(feed);
    if (!root) return unusable(QStringLiteral("it is ") + root.error().message);
    return checkFeedFreshness(root.value(), rules_.serialFloor, nowSeconds_);
}

}  // namespace qby::downloader

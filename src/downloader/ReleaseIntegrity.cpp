#include "downloader/ReleaseIntegrity.h"

namespace qby::downloader {
namespace {

constexpr qsizetype kSha256Bytes = 32;
constexpr qsizetype kPublicKeyBytes = 32;
constexpr qsizetype kSignatureBytes = 64;

// Base64 of exactly size bytes, or nothing.
std::optional<QByteArray> base64Of(const QString& text, qsizetype size) {
    const auto decoded = QByteArray::fromBase64Encoding(
        text.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size) return std::nullopt;
    return decoded.decoded;
}

// The digest the feed promises, or nothing when it is not 64 hexadecimal digits.
std::optional<QByteArray> promisedDigest(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    const QString text = value.toString();
    if (text.size() != 2 * kSha256Bytes) return std::nullopt;
    for (const QChar c : text) {
        const bool hex =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!hex) return std::nullopt;
    }
    return QByteArray::fromHex(text.toLatin1());
}

std::optional<QByteArray> promisedSignature(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return base64Of(value.toString(), kSignatureBytes);
}

QString shown(const QVariant& value) {
    return value.typeId() == QMetaType::QString ? QStringLiteral("\"%1\"").arg(value.toString())
                                                : QStringLiteral("a %1").arg(value.typeName());
}

IntegrityVerdict refused(const QString& why) {
    return {false, QStringLiteral("Release archive refused: ") + why};
}

}  // namespace

ReleaseTrust ReleaseTrust::fromBase64(const QStringList& keys, bool signatureRequired) {
    ReleaseTrust trust{{}, signatureRequired};
    for (const QString& key : keys) {
        if (std::optional<QByteArray> raw = base64Of(key, kPublicKeyBytes)) {
            trust.publicKeys.append(*raw);
        }
    }
    return trust;
}

IntegrityVerdict verifyArchive(const QString& path, const ArchiveIntegrity& promised,
                               const ReleaseTrust& trust, platform::ArchiveVerifier& verifier,
                               const std::optional<QByteArray>& receivedSha256) {
    QStringList passed;
    if (promised.sha256) {
        const std::optional<QByteArray> expected = promisedDigest(*promised.sha256);
        if (!expected) {
            return refused(QStringLiteral("its sha256 %1 is not 64 hexadecimal digits")
                               .arg(shown(*promised.sha256)));
        }
        const foundation::Result<QByteArray> actual =
            receivedSha256 ? foundation::Result<QByteArray>(*receivedSha256)
                           : verifier.sha256(path);
        if (!actual) return refused(actual.error().message);
        if (actual.value() != *expected) {
            return refused(QStringLiteral("SHA-256 expected %1, found %2")
                               .arg(QString::fromLatin1(expected->toHex()),
                                    QString::fromLatin1(actual.value().toHex())));
        }
        passed.append(QStringLiteral("SHA-256 %1").arg(QString::fromLatin1(expected->toHex())));
    }

    if (promised.ed25519Signature) {
        const std::optional<QByteArray> signature = promisedSignature(*promised.ed25519Signature);
        if (!signature) {
            return refused(QStringLiteral("its ed25519Signature %1 is not the base64 of 64 bytes")
                               .arg(shown(*promised.ed25519Signature)));
        }
        const foundation::Result<std::optional<qsizetype>> signer =
            verifier.ed25519Signer(path, *signature, trust.publicKeys);
        if (!signer) return refused(signer.error().message);
        if (!signer.value()) {
            return refused(
                QStringLiteral("its signature verifies under none of the %1 accepted keys")
                    .arg(trust.publicKeys.size()));
        }
        const qsizetype key = *signer.value();
        passed.append(QStringLiteral("signed by accepted key %1 of %2 (%3)")
                          .arg(key + 1)
                          .arg(trust.publicKeys.size())
                          .arg(QString::fromLatin1(trust.publicKeys.at(key).toBase64())));
    }

    if (passed.isEmpty()) return {true, QString()};
    return {true, QStringLiteral("Release archive verified: ") + passed.join(QStringLiteral("; "))};
}

}  // namespace qby::downloader

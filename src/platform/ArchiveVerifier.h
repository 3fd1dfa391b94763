#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace qby::platform {

// The cryptography that checks a downloaded release archive and the release feed: the SHA-256
// digest and Ed25519 signatures of their bytes. It computes and verifies; deciding what the answers
// mean is the caller's job.
class ArchiveVerifier {
public:
    virtual ~ArchiveVerifier() = default;

    // The SHA-256 digest (32 bytes) of the file's bytes. An error when the path is no regular
    // file or cannot be read.
    virtual foundation::Result<QByteArray> sha256(const QString& path) = 0;

    // The index in publicKeys (raw 32-byte Ed25519 keys) of the first key under which signature
    // is a valid Ed25519 signature of the file's bytes; nothing when none is. A key or a
    // signature of the wrong length verifies nothing. An error when the file cannot be read.
    virtual foundation::Result<std::optional<qsizetype>> ed25519Signer(
        const QString& path, const QByteArray& signature, const QList<QByteArray>& publicKeys) = 0;

    // The same for a message in memory, such as the release feed.
    virtual std::optional<qsizetype> ed25519SignerOfData(const QByteArray& message,
                                                         const QByteArray& signature,
                                                         const QList<QByteArray>& publicKeys) = 0;
};

}  // namespace qby::platform

#pragma once

#include "platform/ArchiveVerifier.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace qby::downloader {

// The Ed25519 public keys whose signatures this build accepts on release archives and the
// release feed (more than one, so that the store can change its key), and whether the feed and
// every release must carry a signature.
struct ReleaseTrust {
    QList<QByteArray> publicKeys;  // raw 32-byte keys
    bool signatureRequired = false;

    // From base64 texts; a text that is not the base64 of 32 bytes is left out.
    static ReleaseTrust fromBase64(const QStringList& keys, bool signatureRequired);
};

// What a release entry promises about its archive, as the feed holds it: "sha256" (64
// hexadecimal digits) and "ed25519Signature" (base64). Nothing when the key is missing.
struct ArchiveIntegrity {
    std::optional<QVariant> sha256;
    std::optional<QVariant> ed25519Signature;
};

// Whether a downloaded archive may be unpacked, and a line for the log that says why (empty
// when the entry promised nothing and nothing was required).
struct IntegrityVerdict {
    bool accepted = false;
    QString reason;
};

// Checks the archive at path against what its entry promised: the digest when "sha256" is
// there (receivedSha256 when the download took it as the bytes arrived, else the verifier's),
// then the signature when "ed25519Signature" is there, against the trusted keys (an entry
// without one, where one is required, is refused before its download: QBYClientDownloader's
// doDownload). A malformed value (wrong
// length, not hexadecimal, not base64, not a text) refuses the archive as a mismatch does.
IntegrityVerdict verifyArchive(const QString& path, const ArchiveIntegrity& promised,
                               const ReleaseTrust& trust, platform::ArchiveVerifier& verifier,
                               const std::optional<QByteArray>& receivedSha256 = std::nullopt);

}  // namespace qby::downloader

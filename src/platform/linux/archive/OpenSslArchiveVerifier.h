#pragma once

#include "platform/ArchiveVerifier.h"

namespace qby::platform::linuxhost {

// SHA-256 and Ed25519 through OpenSSL's EVP interface. The digest streams the file in 64 KiB
// chunks. Ed25519 as OpenSSL 3.0 offers it verifies a message in one call only, so the
// signature check hands it a read-only mapping of the file: its pages come from the page cache
// and are never copied onto the heap. Error codes: errno values, EINVAL for no regular file.
class OpenSslArchiveVerifier : public ArchiveVerifier {
public:
    foundation::Result<QByteArray> sha256(const QString& path) override;
    foundation::Result<std::optional<qsizetype>> ed25519Signer(
        const QString& path, const QByteArray& signature,
        const QList<QByteArray>& publicKeys) override;
    std::optional<qsizetype> ed25519SignerOfData(const QByteArray& message,
                                                 const QByteArray& signature,
                                                 const QList<QByteArray>& publicKeys) override;
};

}  // namespace qby::platform::linuxhost

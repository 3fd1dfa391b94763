#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

struct evp_pkey_st;

namespace qby::tools {

// The store's Ed25519 signing key, read from a PEM file holding a PKCS#8 private key (as
// "openssl genpkey -algorithm ed25519" makes it). Never from the command line: a key there
// would be seen by every user of the machine.
class SigningKey {
public:
    // Nothing but an unencrypted Ed25519 private key is taken.
    static foundation::Result<SigningKey> read(const QString& path);

    // The 64-byte Ed25519 signature of the bytes.
    foundation::Result<QByteArray> sign(QByteArrayView bytes) const;

    // The 32 raw bytes of the public key, as the downloader's build is given them.
    QByteArray publicKey() const;

private:
    struct Free {
        void operator()(evp_pkey_st* key) const;
    };
    explicit SigningKey(evp_pkey_st* key) : key_(key, Free{}) {}
    std::shared_ptr<evp_pkey_st> key_;
};

}  // namespace qby::tools

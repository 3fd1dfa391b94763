#include "SigningKey.h"

#include <QFile>
#include <cerrno>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace qby::tools {
namespace {

// A PEM private key is a few hundred bytes; anything far larger is not one.
constexpr qint64 kMaxKeyFileBytes = 64 * 1024;

// Asked for a passphrase: there is none to give, so an encrypted key is refused, not prompted.
int noPassphrase(char*, int, int, void*) {
    return -1;
}

QString openSslError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    return code == 0 ? QStringLiteral("no detail")
                     : QString::fromUtf8(ERR_reason_error_string(code));
}

}  // namespace

void SigningKey::Free::operator()(evp_pkey_st* key) const {
    EVP_PKEY_free(key);
}

foundation::Result<SigningKey> SigningKey::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return foundation::Error{ENOENT, QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    QByteArray pem = file.read(kMaxKeyFileBytes + 1);
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())),
                                                  &BIO_free);
    EVP_PKEY* key = pem.size() > kMaxKeyFileBytes || !bio
                        ? nullptr
                        : PEM_read_bio_PrivateKey(bio.get(), nullptr, &noPassphrase, nullptr);
    OPENSSL_cleanse(pem.data(), size_t(pem.size()));
    if (key == nullptr) {
        return foundation::Error{
            EINVAL,
            QStringLiteral("%1 holds no readable PEM private key (%2)").arg(path, openSslError())};
    }
    SigningKey signingKey(key);
    if (EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
        return foundation::Error{EINVAL,
                                 QStringLiteral("%1 holds a key of type %2, not Ed25519")
                                     .arg(path, QString::fromUtf8(EVP_PKEY_get0_type_name(key)))};
    }
    return signingKey;
}

foundation::Result<QByteArray> SigningKey::sign(QByteArrayView bytes) const {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    QByteArray signature(64, '\0');
    size_t length = size_t(signature.size());
    // Ed25519 signs the message itself, in one pass: there is no digest to name.
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_.get()) != 1 ||
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(bytes.data()),
                       size_t(bytes.size())) != 1) {
        return foundation::Error{EIO, QStringLiteral("signing failed (%1)").arg(openSslError())};
    }
    signature.truncate(qsizetype(length));
    return signature;
}

QByteArray SigningKey::publicKey() const {
    QByteArray raw(32, '\0');
    size_t length = size_t(raw.size());
    EVP_PKEY_get_raw_public_key(key_.get(), reinterpret_cast<unsigned char*>(raw.data()), &length);
    raw.truncate(qsizetype(length));
    return raw;
}

}  // namespace qby::tools

#include "NamedCase.h"
#include "TestFiles.h"
#include "platform/linux/archive/OpenSslArchiveVerifier.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <memory>
#include <openssl/evp.h>

namespace qby::platform::linuxhost {
namespace {

// A fresh Ed25519 key: its raw public half, and signatures made with it.
class SigningKey {
public:
    QByteArray publicKey() const {
        QByteArray raw(32, '\0');
        size_t size = 32;
        EVP_PKEY_get_raw_public_key(key_.get(), reinterpret_cast<unsigned char*>(raw.data()),
                                    &size);
        return raw;
    }
    QByteArray sign(const QByteArray& message) const {
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                        &EVP_MD_CTX_free);
        QByteArray signature(64, '\0');
        size_t size = 64;
        EXPECT_TRUE(EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_.get()) == 1 &&
                    EVP_DigestSign(context.get(),
                                   reinterpret_cast<unsigned char*>(signature.data()), &size,
                                   reinterpret_cast<const unsigned char*>(message.constData()),
                                   size_t(message.size())) == 1);
        return signature;
    }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_{
        EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free};
};

// The bytes as a file in folder.
QString fileOf(const QTemporaryDir& folder, const QByteArray& bytes) {
    EXPECT_TRUE(testsupport::writeFile(folder.filePath("archive"), bytes));
    return folder.filePath("archive");
}

struct DigestCase : testsupport::NamedCase {
    QByteArray bytes;
    const char* sha256;
};

class Sha256Test : public testing::TestWithParam<DigestCase> {};

TEST_P(Sha256Test, DigestsTheWholeFile) {
    const QTemporaryDir folder;
    const foundation::Result<QByteArray> digest =
        OpenSslArchiveVerifier().sha256(fileOf(folder, GetParam().bytes));
    ASSERT_TRUE(digest.ok()) << digest.error().message.toStdString();
    EXPECT_EQ(digest.value().toHex().toStdString(), GetParam().sha256);
}

// FIPS 180-2's vectors; the million "a" spans many chunks.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Vectors, Sha256Test,
    testing::Values(
        DigestCase{{"empty"}, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        DigestCase{{"million_a"}, QByteArray(1000000, 'a'),
                   "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}),
    testsupport::CaseName());
// clang-format on

struct SignatureCase : testsupport::NamedCase {
    QByteArray signedBytes;  // what the signature was made of
    QByteArray fileBytes;
    int keys;  // accepted keys: 1 the signer; 2 another first, then the signer; 3 a short one too
    int signatureBytes = 64;  // the signature as handed over, cut to this length
    std::optional<qsizetype> signer;
};

class Ed25519Test : public testing::TestWithParam<SignatureCase> {};

TEST_P(Ed25519Test, NamesTheKeyThatSignedTheFileOrTheBytes) {
    const SignatureCase& c = GetParam();
    const QTemporaryDir folder;
    const SigningKey signer, other;
    QList<QByteArray> keys{signer.publicKey()};
    if (c.keys >= 2) keys.prepend(other.publicKey());
    if (c.keys >= 3) keys.prepend(signer.publicKey().left(31));

    const foundation::Result<std::optional<qsizetype>> found =
        OpenSslArchiveVerifier().ed25519Signer(
            fileOf(folder, c.fileBytes), signer.sign(c.signedBytes).left(c.signatureBytes), keys);
    ASSERT_TRUE(found.ok()) << found.error().message.toStdString();
    EXPECT_EQ(found.value(), c.signer);
    // The same bytes in memory, as the release feed is checked.
    EXPECT_EQ(OpenSslArchiveVerifier().ed25519SignerOfData(
                  c.fileBytes, signer.sign(c.signedBytes).left(c.signatureBytes), keys),
              c.signer);
}

const QByteArray kBody = QByteArray(300000, 'z') + "end";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, Ed25519Test,
    testing::Values(
        SignatureCase{{"second_accepted_key"}, kBody, kBody, 2, 64, 1},
        SignatureCase{{"short_key_skipped"}, kBody, kBody, 3, 64, 2},
        SignatureCase{{"empty_file"}, "", "", 1, 64, 0},
        SignatureCase{{"last_byte_changed"}, kBody, kBody.left(kBody.size() - 1) + "E", 2, 64, std::nullopt},
        SignatureCase{{"signature_cut_short"}, kBody, kBody, 1, 63, std::nullopt}),
    testsupport::CaseName());
// clang-format on

TEST(ArchiveVerifierErrorsTest, NoRegularFileIsAnError) {
    QTemporaryDir folder;
    OpenSslArchiveVerifier verifier;
    for (const QString& path : {folder.path(), folder.filePath("missing")}) {
        EXPECT_FALSE(verifier.sha256(path).ok()) << path.toStdString();
        EXPECT_FALSE(verifier.ed25519Signer(path, QByteArray(64, 'x'), {}).ok());
    }
    // A regular file whose reading fails (EIO: nothing is mapped at address 0).
    const foundation::Result<QByteArray> unreadable = verifier.sha256("/proc/self/mem");
    ASSERT_FALSE(unreadable.ok());
    EXPECT_EQ(unreadable.error().code, EIO);
}

}  // namespace
}  // namespace qby::platform::linuxhost

#include "platform/linux/archive/OpenSslArchiveVerifier.h"

#include "platform/linux/files/PosixError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {
namespace {

constexpr qsizetype kEd25519KeyBytes = 32;
constexpr qsizetype kEd25519SignatureBytes = 64;
constexpr size_t kChunkBytes = 64 * 1024;

// An open regular file and its size, closed when it goes.
class OpenFile {
public:
    static foundation::Result<std::unique_ptr<OpenFile>> open(const QString& path) {
        // O_NONBLOCK: a FIFO put in the archive's place must not hang us before fstat refuses it.
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return PosixError::at(errno, path);
        auto file = std::unique_ptr<OpenFile>(new OpenFile(fd));
        struct stat st {};
        if (fstat(fd, &st) != 0) return PosixError::at(errno, path);
        if (!S_ISREG(st.st_mode))
            return foundation::Error{EINVAL, path + QStringLiteral(": no regular file")};
        file->size = st.st_size;
        return file;
    }
    ~OpenFile() { ::close(fd); }

    const int fd;
    off_t size = 0;

private:
    explicit OpenFile(int fd) : fd(fd) {}
};

// A read-only mapping of a whole file, unmapped when it goes.
class Mapping {
public:
    Mapping(int fd, size_t size) : size_(size) {
        if (size_ == 0) return;
        void* address = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (address == MAP_FAILED) return;
        madvise(address, size_, MADV_SEQUENTIAL);
        address_ = address;
    }
    ~Mapping() {
        if (address_ != nullptr) munmap(address_, size_);
    }
    bool ok() const { return size_ == 0 || address_ != nullptr; }
    const unsigned char* bytes() const {
        static const unsigned char empty = 0;
        return address_ != nullptr ? static_cast<const unsigned char*>(address_) : &empty;
    }
    size_t size() const { return size_; }

private:
    void* address_ = nullptr;
    size_t size_;
};

bool verifiesUnder(const QByteArray& key, const QByteArray& signature, const unsigned char* message,
                   size_t messageSize) {
    if (key.size() != kEd25519KeyBytes) return false;
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                    reinterpret_cast<const unsigned char*>(key.constData()),
                                    size_t(key.size())),
        &EVP_PKEY_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    if (!publicKey || !context) return false;
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(),
                            reinterpret_cast<const unsigned char*>(signature.constData()),
                            size_t(signature.size()), message, messageSize) == 1;
}

std::optional<qsizetype> firstSigner(const QByteArray& signature,
                                     const QList<QByteArray>& publicKeys,
                                     const unsigned char* message, size_t messageSize) {
    if (signature.size() != kEd25519SignatureBytes) return std::nullopt;
    for (qsizetype i = 0; i < publicKeys.size(); ++i) {
        if (verifiesUnder(publicKeys.at(i), signature, message, messageSize)) return i;
    }
    return std::nullopt;
}

}  // namespace

foundation::Result<QByteArray> OpenSslArchiveVerifier::sha256(const QString& path) {
    foundation::Result<std::unique_ptr<OpenFile>> file = OpenFile::open(path);
    if (!file) return file.error();
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return foundation::Error{ENOMEM, QStringLiteral("SHA-256 is not available")};
    }
    std::unique_ptr<char[]> chunk(new char[kChunkBytes]);
    while (true) {
        const ssize_t n = ::read(file.value()->fd, chunk.get(), kChunkBytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return PosixError::at(errno, path);
        if (n == 0) break;
        EVP_DigestUpdate(context.get(), chunk.get(), size_t(n));
    }
    QByteArray digest(EVP_MD_size(EVP_sha256()), '\0');
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), reinterpret_cast<unsigned char*>(digest.data()), &length);
    digest.truncate(qsizetype(length));
    return digest;
}

foundation::Result<std::optional<qsizetype>> OpenSslArchiveVerifier::ed25519Signer(
    const QString& path, const QByteArray& signature, const QList<QByteArray>& publicKeys) {
    foundation::Result<std::unique_ptr<OpenFile>> file = OpenFile::open(path);
    if (!file) return file.error();
    const Mapping message(file.value()->fd, size_t(file.value()->size));
    if (!message.ok()) return PosixError::at(errno, path);
    return firstSigner(signature, publicKeys, message.bytes(), message.size());
}

std::optional<qsizetype> OpenSslArchiveVerifier::ed25519SignerOfData(
    const QByteArray& message, const QByteArray& signature, const QList<QByteArray>& publicKeys) {
    return firstSigner(signature, publicKeys,
                       reinterpret_cast<const unsigned char*>(message.constData()),
                       size_t(message.size()));
}

}  // namespace qby::platform::linuxhost

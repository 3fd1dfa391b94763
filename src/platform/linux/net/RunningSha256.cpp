#include "platform/linux/net/RunningSha256.h"

#include <openssl/evp.h>

namespace qby::platform::linuxhost {

void RunningSha256::ContextFree::operator()(evp_md_ctx_st* context) const {
    EVP_MD_CTX_free(context);
}

RunningSha256::RunningSha256() : context_(EVP_MD_CTX_new()) {
    reset();
}

RunningSha256::~RunningSha256() = default;

void RunningSha256::reset() {
    usable_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) == 1;
}

void RunningSha256::add(const char* data, qint64 length) {
    if (usable_ && length > 0) {
        usable_ = EVP_DigestUpdate(context_.get(), data, size_t(length)) == 1;
    }
}

QByteArray RunningSha256::digest() const {
    if (!usable_) return {};
    // Finished on a copy: the running digest goes on.
    std::unique_ptr<EVP_MD_CTX, ContextFree> copy(EVP_MD_CTX_new());
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), context_.get()) != 1) return {};
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(copy.get(), reinterpret_cast<unsigned char*>(digest.data()), &length) !=
        1) {
        return {};
    }
    digest.truncate(qsizetype(length));
    return digest;
}

}  // namespace qby::platform::linuxhost

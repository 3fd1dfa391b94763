#include "platform/linux/net/RunningSha256.h"

#include <QThread>
#include <openssl/evp.h>

namespace qby::platform::linuxhost {

namespace {

// Bytes go to the thread a megabyte at a time, not at each small piece: waking it costs more
// than hashing a few kilobytes. A few megabytes may wait.
constexpr qsizetype kBatchBytes = 1 << 20;
constexpr size_t kMaxWaitingBatches = 4;

}  // namespace

void RunningSha256::ContextFree::operator()(evp_md_ctx_st* context) const {
    EVP_MD_CTX_free(context);
}

RunningSha256::RunningSha256() : context_(EVP_MD_CTX_new()) {
    usable_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) == 1;
    thread_.reset(QThread::create([this] { hashWaitingPieces(); }));
    thread_->start();
    if (!thread_->isRunning()) thread_.reset();
}

RunningSha256::~RunningSha256() {
    if (!thread_) return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_->wait();
}

void RunningSha256::hashWaitingPieces() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        const QByteArray piece = std::move(waiting_.front());
        waiting_.pop_front();
        hashing_ = true;
        lock.unlock();
        update(piece.constData(), piece.size());
        lock.lock();
        hashing_ = false;
        changed_.notify_all();
    }
}

void RunningSha256::waitUntilIdle(std::unique_lock<std::mutex>& lock) const {
    changed_.wait(lock, [this] { return waiting_.empty() && !hashing_; });
}

void RunningSha256::update(const char* data, qint64 length) {
    if (usable_ && length > 0) {
        usable_ = EVP_DigestUpdate(context_.get(), data, size_t(length)) == 1;
    }
}

void RunningSha256::reset() {
    batch_.clear();
    std::unique_lock lock(mutex_);
    if (thread_) waitUntilIdle(lock);
    usable_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) == 1;
}

void RunningSha256::add(const char* data, qint64 length) {
    if (length <= 0) return;
    if (!thread_) {
        update(data, length);
        return;
    }
    if (batch_.capacity() < kBatchBytes) batch_.reserve(kBatchBytes);
    batch_.append(data, length);
    if (batch_.size() >= kBatchBytes) handOverBatch();
}

void RunningSha256::handOverBatch() const {
    if (batch_.isEmpty()) return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.size() < kMaxWaitingBatches; });
    waiting_.push_back(std::move(batch_));
    batch_ = QByteArray();
    changed_.notify_all();
}

QByteArray RunningSha256::digest() const {
    handOverBatch();
    std::unique_lock lock(mutex_);
    if (thread_) waitUntilIdle(lock);
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

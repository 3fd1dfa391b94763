#include "platform/linux/net/RunningSha256.h"

#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

constexpr qint64 kReadBytes = 1 << 20;
// A growth told while the thread was about to wait is seen at the latest after this long.
constexpr auto kLongestWait = std::chrono::milliseconds(20);

}  // namespace

void RunningSha256::ContextFree::operator()(evp_md_ctx_st* context) const {
    EVP_MD_CTX_free(context);
}

RunningSha256::RunningSha256() : context_(EVP_MD_CTX_new()) {
    restart();
    thread_.reset(QThread::create([this] { hashBehindTheWriter(); }));
    thread_->start(QThread::IdlePriority);
    if (!thread_->isRunning()) thread_.reset();
}

RunningSha256::~RunningSha256() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_) thread_->wait();
    if (descriptor_ >= 0) ::close(descriptor_);
}

void RunningSha256::restart() {
    hashed_ = 0;
    size_ = 0;
    failed_ = !context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1;
}

void RunningSha256::follow(int descriptor) {
    std::unique_lock lock(mutex_);
    waitUntilIdle(lock);
    if (descriptor_ >= 0) ::close(descriptor_);
    // A copy of its own: the writer may close the file before the digest is asked for.
    descriptor_ = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    restart();
    if (descriptor_ < 0) failed_ = true;
}

void RunningSha256::grewTo(qint64 size) {
    size_ = size;
    changed_.notify_all();
}

void RunningSha256::reset() {
    std::unique_lock lock(mutex_);
    waitUntilIdle(lock);
    const bool noFile = descriptor_ < 0;
    restart();
    failed_ = failed_ || noFile;
}

void RunningSha256::waitUntilIdle(std::unique_lock<std::mutex>& lock) const {
    changed_.wait(lock, [this] { return !reading_; });
}

void RunningSha256::hashBehindTheWriter() {
    QByteArray buffer(kReadBytes, Qt::Uninitialized);
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const qint64 size = size_;
        if (failed_ || descriptor_ < 0 || hashed_ >= size) {
            changed_.wait_for(lock, kLongestWait);
            continue;
        }
        const int descriptor = descriptor_;
        const qint64 offset = hashed_;
        reading_ = true;
        lock.unlock();
        ssize_t read = -1;
        do {
            read = ::pread(descriptor, buffer.data(), size_t(std::min(size - offset, kReadBytes)),
                           offset);
        } while (read < 0 && errno == EINTR);
        const bool hashed =
            read > 0 && EVP_DigestUpdate(context_.get(), buffer.constData(), size_t(read)) == 1;
        lock.lock();
        reading_ = false;
        if (hashed) {
            hashed_ += read;
        } else {
            failed_ = true;
        }
        changed_.notify_all();
    }
}

QByteArray RunningSha256::digest() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failed_ || !thread_ || (hashed_ >= size_ && !reading_); });
    if (failed_ || !thread_ || descriptor_ < 0) return {};
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

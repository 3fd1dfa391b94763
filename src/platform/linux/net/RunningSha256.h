#pragma once

#include <QByteArray>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

struct evp_md_ctx_st;
class QThread;

namespace qby::platform::linuxhost {

// The SHA-256 digest of a file as it is being written, so that it needs no read of its own once
// it is complete. A thread of the lowest priority reads the file behind the writer: on a machine
// with time to spare the digest is ready when the last byte is, and on a busy one it takes only
// what the writer leaves (and catches up when asked for the digest).
class RunningSha256 {
public:
    RunningSha256();
    ~RunningSha256();
    RunningSha256(const RunningSha256&) = delete;
    RunningSha256& operator=(const RunningSha256&) = delete;

    // From now on the file behind descriptor (open for reading), from its first byte; any other
    // file is forgotten.
    void follow(int descriptor);
    // The file now holds this many bytes.
    void grewTo(qint64 size);
    // The file was emptied.
    void reset();
    // The 32-byte digest of the bytes the file was last said to hold, once they are read. Empty
    // when it is unavailable: no file, or one that could not be read.
    QByteArray digest() const;

private:
    struct ContextFree {
        void operator()(evp_md_ctx_st* context) const;
    };
    void hashBehindTheWriter();
    // Until the thread is between two reads; with the lock held.
    void waitUntilIdle(std::unique_lock<std::mutex>& lock) const;
    void restart();

    std::unique_ptr<evp_md_ctx_st, ContextFree> context_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int descriptor_ = -1;
    std::atomic<qint64> size_ = 0;
    qint64 hashed_ = 0;
    bool reading_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::unique_ptr<QThread> thread_;
};

}  // namespace qby::platform::linuxhost

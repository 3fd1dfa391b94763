#pragma once

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

struct evp_md_ctx_st;
class QThread;

namespace qby::platform::linuxhost {

// The SHA-256 digest of bytes that arrive piece by piece, so that a file written in pieces needs
// no second read to be checked. The hashing runs on a thread of its own, beside the reading and
// writing of the pieces; a few megabytes may wait for it, and more make add() wait.
class RunningSha256 {
public:
    RunningSha256();
    ~RunningSha256();
    RunningSha256(const RunningSha256&) = delete;
    RunningSha256& operator=(const RunningSha256&) = delete;

    // Starts again from no bytes.
    void reset();
    void add(const char* data, qint64 length);
    // The 32-byte digest of everything added since the last reset, once the hashing has caught
    // up; more may still be added. Empty when the digest is unavailable.
    QByteArray digest() const;

private:
    struct ContextFree {
        void operator()(evp_md_ctx_st* context) const;
    };
    void hashWaitingPieces();
    // Until nothing waits and nothing is being hashed; with the lock held.
    void waitUntilIdle(std::unique_lock<std::mutex>& lock) const;
    void update(const char* data, qint64 length);
    void handOverBatch() const;

    std::unique_ptr<evp_md_ctx_st, ContextFree> context_;
    bool usable_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    // Added bytes not yet handed to the thread.
    mutable QByteArray batch_;
    mutable std::deque<QByteArray> waiting_;
    bool hashing_ = false;
    bool stopping_ = false;
    // Nothing when no thread could be started: then each piece is hashed as it comes.
    std::unique_ptr<QThread> thread_;
};

}  // namespace qby::platform::linuxhost

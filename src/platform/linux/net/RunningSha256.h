#pragma once

#include <QByteArray>
#include <memory>

struct evp_md_ctx_st;

namespace qby::platform::linuxhost {

// The SHA-256 digest of bytes that arrive piece by piece, so that a file written in pieces needs
// no second read to be checked.
class RunningSha256 {
public:
    RunningSha256();
    ~RunningSha256();
    RunningSha256(const RunningSha256&) = delete;
    RunningSha256& operator=(const RunningSha256&) = delete;

    // Starts again from no bytes.
    void reset();
    void add(const char* data, qint64 length);
    // The 32-byte digest of everything added since the last reset; more may still be added.
    // Empty when the digest is unavailable.
    QByteArray digest() const;

private:
    struct ContextFree {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, ContextFree> context_;
    bool usable_ = false;
};

}  // namespace qby::platform::linuxhost

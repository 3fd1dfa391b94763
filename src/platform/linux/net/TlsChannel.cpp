#include "platform/linux/net/TlsChannel.h"

#include "platform/linux/net/TlsClientContext.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

// The socket under a session, read and written by the TLS library through the methods below:
// a peer that is gone raises no SIGPIPE, and the end of the stream is told from a failure.
struct TlsSocket {
    int descriptor = -1;
    bool atEnd = false;
    int lastError = 0;
};

namespace {

TlsSocket& socketOf(BIO* bio) {
    return *static_cast<TlsSocket*>(BIO_get_data(bio));
}

int socketRead(BIO* bio, char* data, size_t size, size_t* done) {
    TlsSocket& socket = socketOf(bio);
    BIO_clear_retry_flags(bio);
    ssize_t got;
    do {
        got = ::recv(socket.descriptor, data, size, 0);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        *done = static_cast<size_t>(got);
        return 1;
    }
    if (got == 0) {
        socket.atEnd = true;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        BIO_set_retry_read(bio);
    } else {
        socket.lastError = errno;
    }
    return 0;
}

int socketWrite(BIO* bio, const char* data, size_t size, size_t* done) {
    TlsSocket& socket = socketOf(bio);
    BIO_clear_retry_flags(bio);
    ssize_t sent;
    do {
        sent = ::send(socket.descriptor, data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent >= 0) {
        *done = static_cast<size_t>(sent);
        return 1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        BIO_set_retry_write(bio);
    } else {
        socket.lastError = errno;
    }
    return 0;
}

long socketControl(BIO* bio, int command, long, void*) {
    if (command == BIO_CTRL_FLUSH) return 1;
    if (command == BIO_CTRL_EOF) return socketOf(bio).atEnd ? 1 : 0;
    return 0;
}

const BIO_METHOD* socketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket without SIGPIPE");
        if (made == nullptr) return made;
        BIO_meth_set_read_ex(made, socketRead);
        BIO_meth_set_write_ex(made, socketWrite);
        BIO_meth_set_ctrl(made, socketControl);
        BIO_meth_set_create(made, [](BIO* bio) {
            BIO_set_init(bio, 1);
            return 1;
        });
        return made;
    }();
    return method;
}

QString libraryReason() {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    return reason != nullptr ? QString::fromLatin1(reason) : QStringLiteral("unknown error");
}

}  // namespace

TlsChannel::TlsChannel(int descriptor, const QString& host, Events events)
    : events_(std::move(events)), socket_(new TlsSocket{descriptor}) {
    readNotifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    writeNotifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Write, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, [this] { readable(); });
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { writable(); });
    watch(false, false);

    SSL_CTX* context = newTlsClientContext();
    ssl_ = context != nullptr ? SSL_new(context) : nullptr;
    SSL_CTX_free(context);  // the session holds a reference of its own
    BIO* bio = ssl_ != nullptr && socketMethod() != nullptr ? BIO_new(socketMethod()) : nullptr;
    if (bio == nullptr) {
        end(true, QAbstractSocket::SslInternalError,
            QStringLiteral("SSL handshake failed: %1").arg(libraryReason()));
        return;
    }
    BIO_set_data(bio, socket_);
    SSL_set_bio(ssl_, bio, bio);
    const QByteArray name = host.toLatin1();
    if (QHostAddress(host).isNull()) {
        SSL_set_tlsext_host_name(ssl_, name.constData());
        SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(ssl_, name.constData());
    } else {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), name.constData());
    }
    // A quick server can complete the handshake within its first step: from the event loop,
    // so that encrypted never comes before the creator has returned.
    QMetaObject::invokeMethod(
        this, [this] { handshake(); }, Qt::QueuedConnection);
}

TlsChannel::~TlsChannel() {
    delete readNotifier_;
    delete writeNotifier_;
    SSL_free(ssl_);  // and its transport
    ::close(socket_->descriptor);
    delete socket_;
}

void TlsChannel::watch(bool forReading, bool forWriting) {
    readNotifier_->setEnabled(forReading);
    writeNotifier_->setEnabled(forWriting);
}

void TlsChannel::handshake() {
    ERR_clear_error();
    const int result = SSL_connect(ssl_);
    if (result != 1) {
        const int failure = SSL_get_error(ssl_, result);
        if (failure == SSL_ERROR_WANT_READ || failure == SSL_ERROR_WANT_WRITE) {
            watch(failure == SSL_ERROR_WANT_READ, failure == SSL_ERROR_WANT_WRITE);
        } else {
            endAfter(failure);
        }
        return;
    }
    state_ = State::Open;
    // The first readyRead comes when the socket has something.
    watch(true, false);
    flush();
    if (state_ == State::Open && !aborted_ && events_.encrypted) events_.encrypted();
}

void TlsChannel::write(const QByteArray& bytes) {
    unsent_ += bytes;
    if (state_ == State::Open) flush();
}

void TlsChannel::flush() {
    while (state_ == State::Open && !unsent_.isEmpty()) {
        ERR_clear_error();
        size_t written = 0;
        const int result =
            SSL_write_ex(ssl_, unsent_.constData(), static_cast<size_t>(unsent_.size()), &written);
        if (result == 1) {
            unsent_.remove(0, static_cast<qsizetype>(written));
            continue;
        }
        const int failure = SSL_get_error(ssl_, result);
        if (failure == SSL_ERROR_WANT_WRITE) {
            writeNotifier_->setEnabled(true);
        } else if (failure != SSL_ERROR_WANT_READ) {  // tried again when the socket has more
            endAfter(failure);
        }
        return;
    }
}

qint64 TlsChannel::read(char* data, qint64 maxLength) {
    if (state_ != State::Open || maxLength <= 0) return 0;
    ERR_clear_error();
    size_t got = 0;
    const int result = SSL_read_ex(ssl_, data, static_cast<size_t>(maxLength), &got);
    if (result == 1) return static_cast<qint64>(got);
    const int failure = SSL_get_error(ssl_, result);
    if (failure == SSL_ERROR_WANT_READ) {
        readNotifier_->setEnabled(true);
    } else if (failure == SSL_ERROR_WANT_WRITE) {
        readWantsWrite_ = true;
        writeNotifier_->setEnabled(true);
    } else {
        endAfter(failure);
    }
    return 0;
}

// Level-triggered: off until the reader has drained what there is, so that a reader that stops
// early is not woken over and over.
void TlsChannel::readable() {
    if (state_ == State::Handshake) {
        handshake();
        return;
    }
    readNotifier_->setEnabled(false);
    if (state_ != State::Open) return;
    flush();
    if (state_ == State::Open && !aborted_ && events_.readyRead) events_.readyRead();
}

void TlsChannel::writable() {
    writeNotifier_->setEnabled(false);
    if (state_ == State::Handshake) {
        handshake();
        return;
    }
    flush();
    if (readWantsWrite_ && state_ == State::Open) {
        readWantsWrite_ = false;
        if (!aborted_ && events_.readyRead) events_.readyRead();
    }
}

// After a failed call of the TLS library: the connection closed, a socket error, or a TLS one.
void TlsChannel::endAfter(int failure) {
    const int socketError = socket_->lastError;
    const bool inHandshake = state_ == State::Handshake;
    if (failure == SSL_ERROR_ZERO_RETURN ||
        (failure == SSL_ERROR_SYSCALL &&
         (socketError == 0 || socketError == ECONNRESET || socketError == EPIPE))) {
        end(false, QAbstractSocket::RemoteHostClosedError,
            QStringLiteral("The remote host closed the connection"));
    } else if (failure == SSL_ERROR_SYSCALL) {
        end(true, QAbstractSocket::NetworkError, QString::fromLocal8Bit(strerror(socketError)));
    } else if (!inHandshake) {
        end(true, QAbstractSocket::SslInternalError,
            QStringLiteral("Error while reading: %1").arg(libraryReason()));
    } else {
        // A refused certificate says why in the verification's words, anything else in the
        // library's.
        const long verified = SSL_get_verify_result(ssl_);
        end(true, QAbstractSocket::SslHandshakeFailedError,
            QStringLiteral("SSL handshake failed: %1")
                .arg(verified != X509_V_OK
                         ? QString::fromLatin1(X509_verify_cert_error_string(verified))
                         : libraryReason()));
    }
}

void TlsChannel::end(bool failed, QAbstractSocket::SocketError error, const QString& text) {
    if (state_ == State::Ended) return;
    state_ = State::Ended;
    watch(false, false);
    error_ = error;
    errorString_ = text;
    // Found inside a call of the reader's, perhaps: told once that call has returned.
    emitLater(failed ? &Events::failed : &Events::closed);
}

void TlsChannel::emitLater(std::function<void()> Events::*event) {
    QMetaObject::invokeMethod(
        this,
        [this, event] {
            if (!aborted_ && events_.*event) (events_.*event)();
        },
        Qt::QueuedConnection);
}

}  // namespace qby::platform::linuxhost

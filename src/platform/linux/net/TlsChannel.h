#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;
struct ssl_st;

namespace qby::platform::linuxhost {

struct TlsSocket;

// A TLS client session over a connected TCP socket, the server's certificate checked against
// what the system (and this process's TLS configuration) trusts and against the host name.
// Records are read from the socket by the TLS library itself and decrypted into the caller's
// buffer: a transfer bound by the processor pays for no copy through socket buffers on the way.
//
// Events come from the event loop: encrypted once the handshake is done, readyRead when the
// socket has something for the reader (not always a whole record), closed when the server ended
// the connection, failed when the handshake or the connection failed. After readyRead the
// reader reads until read returns 0; only then does the next readyRead come.
class TlsChannel : public QObject {
public:
    struct Events {
        std::function<void()> encrypted;
        std::function<void()> readyRead;
        std::function<void()> closed;
        std::function<void()> failed;
    };

    // Takes over the connected socket's descriptor. host: the name (or address) the server's
    // certificate must be for.
    TlsChannel(int descriptor, const QString& host, Events events);
    ~TlsChannel() override;
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Sends bytes once the handshake is done.
    void write(const QByteArray& bytes);
    // Decrypted bytes, at most maxLength; 0 when none is waiting or the connection has ended.
    qint64 read(char* data, qint64 maxLength);
    // No event follows.
    void abort() { aborted_ = true; }

    // Once failed: the kind of failure, as a socket names it, and what went wrong.
    QAbstractSocket::SocketError error() const { return error_; }
    const QString& errorString() const { return errorString_; }

private:
    enum class State { Handshake, Open, Ended };

    void handshake();
    void flush();
    void readable();
    void writable();
    void watch(bool forReading, bool forWriting);
    void end(bool failed, QAbstractSocket::SocketError error, const QString& text);
    void endAfter(int failure);
    void emitLater(std::function<void()> Events::*event);

    Events events_;
    State state_ = State::Handshake;
    ssl_st* ssl_ = nullptr;
    TlsSocket* socket_ = nullptr;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QByteArray unsent_;
    // A read must wait until the socket takes a write (the TLS library has something to send).
    bool readWantsWrite_ = false;
    bool aborted_ = false;
    QAbstractSocket::SocketError error_ = QAbstractSocket::UnknownSocketError;
    QString errorString_;
};

}  // namespace qby::platform::linuxhost

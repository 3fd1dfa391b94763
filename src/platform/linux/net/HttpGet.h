#pragma once

#include "foundation/Result.h"
#include "platform/linux/net/HttpResponseHead.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>
#include <functional>
#include <memory>

class QTcpSocket;

namespace qby::platform::linuxhost {

class TlsChannel;

// One HTTP/1.1 GET on the main thread's event loop, over a plain socket or a TLS channel of our
// own, through the proxy the system names for the URL, redirects followed (never from https
// down to http). The body is read straight from the connection into the caller's buffer as it
// arrives, framed by its length, by chunks, or by the end of the connection. Qt's access
// manager would hand every chunk across to a thread of its own and back, and Qt's TLS socket
// copies every byte through two buffers of its own: on a fast link either costs more than the
// transfer itself.
//
// Events come from the event loop, never from a call of the caller's: redirected at each hop,
// responded once the final answer's head is in, readyRead while body bytes wait, ended once,
// when the body is complete, the connection closed before its end, or the GET failed. The
// caller may abort or schedule the deletion (deleteLater) of the GET from any event.
class HttpGet : public QObject {
public:
    enum class State { Connecting, Head, Body, Complete, ClosedEarly, Failed };
    struct Events {
        std::function<void()> redirected;
        std::function<void()> responded;
        std::function<void()> readyRead;
        std::function<void()> ended;
    };

    // headers go with every request of the GET, besides Host, User-Agent, Accept and
    // Connection.
    HttpGet(const QUrl& url, QList<QPair<QByteArray, QByteArray>> headers, Events events);
    ~HttpGet() override;

    // Closes the connection; no event follows.
    void abort();

    State state() const { return state_; }
    // Once responded: the final answer's head.
    const HttpResponseHead& head() const { return head_; }
    // The body's length as announced, -1 when it is framed otherwise.
    qint64 contentLength() const { return framing_ == Framing::Length ? length_ : -1; }
    // Body bytes, at most maxLength; 0 when none is waiting.
    qint64 read(char* data, qint64 maxLength);
    // Once ended in Failed (or ClosedEarly): what went wrong, in words for the user.
    const foundation::Error& error() const { return error_; }

private:
    enum class Framing { Length, Chunked, UntilClose };
    enum class ChunkPart { Size, Data, DataEnd, Trailer };
    enum class Line { Complete, Waiting, TooLong };

    void connectTo(const QUrl& url);
    void startTls();
    void sendRequest();
    qint64 pull(char* data, qint64 maxLength);
    qint64 readRaw(char* data, qint64 maxLength);
    Line takeLine(QByteArray& line);
    void scheduleReceive();
    void receive();
    bool readHead();
    void takeHead();
    void closed();
    qint64 readChunked(char* data, qint64 maxLength);
    bool readChunkLine(QByteArray& line);
    void complete();
    void fail(const foundation::Error& error);
    void failWhileReading(const foundation::Error& error);
    void failSocket();
    void failTls();
    void end(State state);
    void dropSocket();

    QUrl url_;
    const QList<QPair<QByteArray, QByteArray>> headers_;
    const Events events_;
    // The TCP connection; for https, handed over to the TLS channel once connected.
    std::unique_ptr<QTcpSocket> socket_;
    std::unique_ptr<TlsChannel> tls_;
    // Bytes taken from the connection while looking for a line's end, from index taken_ on.
    QByteArray buffered_;
    qsizetype taken_ = 0;
    // Plain http through an HTTP proxy: the request goes to the proxy, naming the whole URL.
    bool throughHttpProxy_ = false;
    QByteArray proxyAuthorization_;
    int redirects_ = 0;
    State state_ = State::Connecting;
    QByteArray headBytes_;
    HttpResponseHead head_;
    Framing framing_ = Framing::UntilClose;
    // What remains of the body (Length) or of the current chunk (Chunked).
    qint64 length_ = 0;
    qint64 remaining_ = 0;
    ChunkPart chunkPart_ = ChunkPart::Size;
    foundation::Error error_;
    bool aborted_ = false;
    bool receiveScheduled_ = false;
};

}  // namespace qby::platform::linuxhost

#pragma once

#include <QByteArray>
#include <QList>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QUrl>
#include <memory>
#include <optional>

namespace qby::testsupport {

// One canned answer, chosen by the request's path (also in a whole URL, as sent to a proxy). The
// Content-Length sent is the body's size unless announcedLength gives another (-1: none); stall
// keeps the connection open and silent after the body; dripMilliseconds sends a byte at a time.
struct HttpRoute {
    QByteArray path;
    int status = 200;
    QList<QByteArray> headers;  // such as "Location: /elsewhere"
    QByteArray body;
    qint64 announcedLength = -2;
    bool stall = false;
    int dripMilliseconds = 0;
};

// An HTTP/1.1 server on a free port of 127.0.0.1, in the calling thread's event loop, answering
// from its routes (404 for others); HTTPS with a TLS configuration.
class LocalHttpServer : public QObject {
public:
    explicit LocalHttpServer(QList<HttpRoute> routes,
                             std::optional<QSslConfiguration> tls = std::nullopt);

    bool listening() const { return server_->isListening(); }
    QUrl url(const QByteArray& path) const;
    // Such as "GET /plain HTTP/1.1".
    QList<QByteArray> requestLines() const { return requestLines_; }

private:
    void accept();
    void answer(QTcpSocket* socket, const QByteArray& requestLine);

    QList<HttpRoute> routes_;
    std::unique_ptr<QTcpServer> server_;
    QList<QByteArray> requestLines_;
};

}  // namespace qby::testsupport

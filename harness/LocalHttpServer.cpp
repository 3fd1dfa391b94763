#include "LocalHttpServer.h"

#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

namespace qby::harness {

namespace {

constexpr qint64 kSocketBacklogBytes = 1 << 20;
const char* const kRemainingProperty = "qbyRemaining";

}  // namespace

LocalHttpServer::LocalHttpServer(QList<HttpRoute> routes, std::optional<QSslConfiguration> tls)
    : routes_(std::move(routes)) {
    if (tls) {
        auto server = std::make_unique<QSslServer>();
        server->setSslConfiguration(*tls);
        server_ = std::move(server);
    } else {
        server_ = std::make_unique<QTcpServer>();
    }
    // Emitted for a TLS connection only once its handshake is done.
    connect(server_.get(), &QTcpServer::pendingConnectionAvailable, this, &LocalHttpServer::accept);
    server_->listen(QHostAddress::LocalHost);
}

QUrl LocalHttpServer::url(const QByteArray& path) const {
    const QString scheme = qobject_cast<QSslServer*>(server_.get()) ? "https" : "http";
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                    .arg(scheme)
                    .arg(port())
                    .arg(QString::fromLatin1(path)));
}

QList<QByteArray> LocalHttpServer::requestLines() const {
    return requestLines_;
}

void LocalHttpServer::accept() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket->property(kRemainingProperty).isValid()) return;  // answered already
            const QByteArray head = socket->peek(socket->bytesAvailable());
            if (!head.contains("\r\n\r\n")) return;
            socket->readAll();
            answer(socket, head.left(head.indexOf("\r\n\r\n")));
        });
    }
}

void LocalHttpServer::answer(QTcpSocket* socket, const QByteArray& requestHead) {
    const QByteArray requestLine = requestHead.left(requestHead.indexOf("\r\n"));
    const QByteArray path =
        QUrl(QString::fromLatin1(requestLine.split(' ').value(1))).path().toLatin1();
    qsizetype earlier = 0;
    for (const QByteArray& line : requestLines_) {
        if (QUrl(QString::fromLatin1(line.split(' ').value(1))).path().toLatin1() == path)
            ++earlier;
    }
    requestLines_.append(requestLine);
    requestHeads_.append(requestHead);
    HttpRoute route{path, 404, {}, "no such route"};
    for (const HttpRoute& candidate : routes_) {
        if (candidate.path != path) continue;
        route = candidate;
        if (earlier-- == 0) break;
    }
    const qint64 announced = route.generatedLength >= 0    ? route.generatedLength
                             : route.announcedLength == -2 ? route.body.size()
                                                           : route.announcedLength;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + " Canned\r\n";
    for (const QByteArray& header : route.headers) head += header + "\r\n";
    if (announced >= 0) head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    socket->setProperty(kRemainingProperty, route.generatedLength);
    if (route.generatedLength >= 0) {
        connect(socket, &QTcpSocket::bytesWritten, socket,
                [this, socket] { sendGenerated(socket); });
        sendGenerated(socket);
        return;
    }
    if (route.dripMilliseconds > 0) {
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket, timer, rest = route.body]() mutable {
            socket->write(rest.left(1));
            rest.remove(0, 1);
            if (!rest.isEmpty()) return;
            timer->stop();
            socket->disconnectFromHost();
        });
        timer->start(route.dripMilliseconds);
        return;
    }
    socket->write(route.body);
    if (!route.stall) socket->disconnectFromHost();
}

void LocalHttpServer::sendGenerated(QTcpSocket* socket) {
    static const QByteArray pattern(64 * 1024, 'q');
    qint64 remaining = socket->property(kRemainingProperty).toLongLong();
    while (remaining > 0 && socket->bytesToWrite() < kSocketBacklogBytes) {
        const qint64 length = std::min<qint64>(remaining, pattern.size());
        socket->write(pattern.constData(), length);
        remaining -= length;
    }
    socket->setProperty(kRemainingProperty, remaining);
    if (remaining == 0 && socket->bytesToWrite() == 0) socket->disconnectFromHost();
}

}  // namespace qby::harness

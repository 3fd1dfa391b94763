#include "platform/linux/net/HttpGet.h"

#include "platform/linux/net/DownloadErrors.h"
#include "platform/linux/net/TlsChannel.h"

#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPointer>
#include <QTcpSocket>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

// Far beyond any real answer's head; a server that sends more is not answering HTTP.
constexpr qint64 kMaxLineBytes = 16 * 1024;
constexpr qint64 kMaxHeadBytes = 64 * 1024;
// Taken from the connection at a time while looking for a line's end: a TLS record's worth.
constexpr qint64 kLineReadBytes = 16 * 1024;
// As many hops as any browser follows.
constexpr int kMaxRedirects = 20;

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isWebScheme(const QString& scheme) {
    return scheme == u"http" || scheme == u"https";
}

// The Host field: the name (bracketed when an IPv6 address) and the port unless the scheme's.
QByteArray hostField(const QUrl& url) {
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':')) host = '[' + host + ']';
    const int defaultPort = url.scheme() == u"https" ? 443 : 80;
    if (url.port() != -1 && url.port() != defaultPort) host += ':' + QByteArray::number(url.port());
    return host;
}

// The body's length from its Content-Length fields: several must agree, and only digits count.
std::optional<qint64> announcedLength(const QList<QByteArray>& values) {
    std::optional<qint64> length;
    for (const QByteArray& value : values) {
        if (value.isEmpty() || value.size() > 18 ||
            !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        const qint64 parsed = value.toLongLong();
        if (length && *length != parsed) return std::nullopt;
        length = parsed;
    }
    return length;
}

// Whether the last transfer coding is chunked, which frames the body.
bool isChunked(const QList<QByteArray>& values) {
    if (values.isEmpty()) return false;
    const QList<QByteArray> codings = values.last().split(',');
    return codings.last().trimmed().toLower() == "chunked";
}

// The socket's failure as Qt's access manager names it, so that every download failure carries
// one kind of code.
QNetworkReply::NetworkError replyErrorOf(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return QNetworkReply::ConnectionRefusedError;
        case QAbstractSocket::RemoteHostClosedError:
            return QNetworkReply::RemoteHostClosedError;
        case QAbstractSocket::HostNotFoundError:
            return QNetworkReply::HostNotFoundError;
        case QAbstractSocket::SocketTimeoutError:
            return QNetworkReply::TimeoutError;
        case QAbstractSocket::SslHandshakeFailedError:
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:
            return QNetworkReply::SslHandshakeFailedError;
        case QAbstractSocket::NetworkError:
        case QAbstractSocket::TemporaryError:
            return QNetworkReply::TemporaryNetworkFailureError;
        case QAbstractSocket::ProxyConnectionRefusedError:
            return QNetworkReply::ProxyConnectionRefusedError;
        case QAbstractSocket::ProxyConnectionClosedError:
            return QNetworkReply::ProxyConnectionClosedError;
        case QAbstractSocket::ProxyNotFoundError:
            return QNetworkReply::ProxyNotFoundError;
        case QAbstractSocket::ProxyConnectionTimeoutError:
            return QNetworkReply::ProxyTimeoutError;
        case QAbstractSocket::ProxyAuthenticationRequiredError:
            return QNetworkReply::ProxyAuthenticationRequiredError;
        default:
            return QNetworkReply::UnknownNetworkError;
    }
}

foundation::Error protocolError(const QString& what) {
    return networkError(QNetworkReply::ProtocolFailure,
                        QStringLiteral("The server's answer is not HTTP (%1)").arg(what));
}

}  // namespace

HttpGet::HttpGet(const QUrl& url, QList<QPair<QByteArray, QByteArray>> headers, Events events)
    : headers_(std::move(headers)), events_(std::move(events)) {
    // A failure to start is reported from the event loop, as every other event is.
    QMetaObject::invokeMethod(
        this, [this, url] { connectTo(url); }, Qt::QueuedConnection);
}

HttpGet::~HttpGet() {
    aborted_ = true;
    dropSocket();
}

void HttpGet::abort() {
    aborted_ = true;
    dropSocket();
}

// We may be inside one of the socket's or the channel's events.
void HttpGet::dropSocket() {
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        socket_.release()->deleteLater();
    }
    if (tls_) {
        tls_->abort();
        tls_.release()->deleteLater();
    }
}

void HttpGet::connectTo(const QUrl& url) {
    if (aborted_) return;
    if (!isWebScheme(url.scheme()) || url.host().isEmpty()) {
        fail(networkError(QNetworkReply::ProtocolUnknownError,
                          QStringLiteral("Protocol \"%1\" is unknown").arg(url.scheme())));
        return;
    }
    url_ = url;
    state_ = State::Connecting;
    headBytes_.clear();
    buffered_.clear();
    taken_ = 0;
    const bool secure = url.scheme() == u"https";
    socket_ = std::make_unique<QTcpSocket>();

    const QNetworkProxy proxy = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url))
                                    .value(0, QNetworkProxy(QNetworkProxy::NoProxy));
    const bool httpProxy =
        proxy.type() == QNetworkProxy::HttpProxy || proxy.type() == QNetworkProxy::HttpCachingProxy;
    throughHttpProxy_ = httpProxy && !secure;
    proxyAuthorization_.clear();
    if (throughHttpProxy_) {
        socket_->setProxy(QNetworkProxy::NoProxy);
        if (!proxy.user().isEmpty()) {
            proxyAuthorization_ =
                "Basic " + (proxy.user() + u':' + proxy.password()).toUtf8().toBase64();
        }
    } else if (httpProxy) {
        // A tunnel through the proxy (CONNECT), TLS inside it.
        socket_->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, proxy.hostName(), proxy.port(),
                                        proxy.user(), proxy.password()));
    } else if (proxy.type() == QNetworkProxy::Socks5Proxy) {
        socket_->setProxy(proxy);
    } else {
        socket_->setProxy(QNetworkProxy::NoProxy);
    }

    connect(socket_.get(), &QTcpSocket::readyRead, this, [this] { scheduleReceive(); });
    connect(socket_.get(), &QTcpSocket::disconnected, this, [this] { closed(); });
    connect(socket_.get(), &QTcpSocket::errorOccurred, this, [this] { failSocket(); });
    connect(socket_.get(), &QTcpSocket::connected, this,
            [this, secure] { secure ? startTls() : sendRequest(); });
    if (throughHttpProxy_) {
        socket_->connectToHost(proxy.hostName(), proxy.port());
    } else {
        socket_->connectToHost(url.host(), quint16(url.port(secure ? 443 : 80)));
    }
}

// The connection (a tunnel, through a proxy) is up and the server waits for our hello: the
// socket's descriptor goes to the TLS channel, and Qt's socket lets go of its own.
void HttpGet::startTls() {
    const int descriptor = ::fcntl(int(socket_->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    const int dupError = errno;
    const bool early = socket_->bytesAvailable() > 0;
    dropSocket();
    if (descriptor < 0 || early) {
        if (descriptor >= 0) ::close(descriptor);
        fail(networkError(QNetworkReply::SslHandshakeFailedError,
                          QStringLiteral("SSL handshake failed: %1")
                              .arg(early ? QStringLiteral("the server spoke first")
                                         : QString::fromLocal8Bit(strerror(dupError)))));
        return;
    }
    tls_ = std::make_unique<TlsChannel>(descriptor, url_.host(QUrl::FullyEncoded),
                                        TlsChannel::Events{.encrypted = [this] { sendRequest(); },
                                                           .readyRead = [this] { receive(); },
                                                           .closed = [this] { closed(); },
                                                           .failed = [this] { failTls(); }});
}

void HttpGet::sendRequest() {
    QByteArray target =
        throughHttpProxy_
            ? url_.toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment)
            : url_.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty()) target = "/";
    QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + hostField(url_) +
                         "\r\nUser-Agent: Mozilla/5.0\r\nAccept: */*\r\nConnection: close\r\n";
    if (!proxyAuthorization_.isEmpty())
        request += "Proxy-Authorization: " + proxyAuthorization_ + "\r\n";
    for (const auto& [name, value] : headers_) request += name + ": " + value + "\r\n";
    request += "\r\n";
    state_ = State::Head;
    if (tls_) {
        tls_->write(request);
    } else {
        socket_->write(request);
    }
}

qint64 HttpGet::pull(char* data, qint64 maxLength) {
    if (tls_) return tls_->read(data, maxLength);
    if (!socket_) return 0;
    return std::max<qint64>(socket_->read(data, maxLength), 0);
}

// Body bytes: those taken along with a line first, then straight from the connection.
qint64 HttpGet::readRaw(char* data, qint64 maxLength) {
    const qint64 waiting = buffered_.size() - taken_;
    if (waiting <= 0) return pull(data, maxLength);
    const qint64 read = std::min(maxLength, waiting);
    std::memcpy(data, buffered_.constData() + taken_, size_t(read));
    taken_ += read;
    return read;
}

// One line, its end included, from what came and what more the connection has now.
HttpGet::Line HttpGet::takeLine(QByteArray& line) {
    qsizetype end;
    while ((end = buffered_.indexOf('\n', taken_)) < 0) {
        buffered_.remove(0, taken_);
        taken_ = 0;
        if (buffered_.size() > kMaxLineBytes) return Line::TooLong;
        const qsizetype had = buffered_.size();
        buffered_.resize(had + kLineReadBytes);
        const qint64 read = pull(buffered_.data() + had, kLineReadBytes);
        buffered_.truncate(had + read);
        if (read == 0) return Line::Waiting;
    }
    if (end + 1 - taken_ > kMaxLineBytes) return Line::TooLong;
    line = buffered_.sliced(taken_, end + 1 - taken_);
    taken_ = end + 1;
    return Line::Complete;
}

// Qt's socket may tell of new bytes several times before the event loop runs again.
void HttpGet::scheduleReceive() {
    if (receiveScheduled_) return;
    receiveScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            receiveScheduled_ = false;
            if (socket_) receive();
        },
        Qt::QueuedConnection);
}

// The reader reads until nothing is left, which a TLS channel waits for before it tells again.
void HttpGet::receive() {
    if (state_ == State::Head && !readHead()) return;
    if (state_ != State::Body) return;
    const QPointer<HttpGet> self(this);
    events_.readyRead();
    if (self && !aborted_ && (state_ == State::Complete || state_ == State::Failed)) end(state_);
}

// True when the head is in and the body (if any) may be read.
bool HttpGet::readHead() {
    QByteArray line;
    while (state_ == State::Head) {
        const Line taken = takeLine(line);
        if (taken == Line::Waiting) return false;
        if (taken == Line::TooLong) {
            fail(protocolError(QStringLiteral("a line of more than %1 bytes").arg(kMaxLineBytes)));
            return false;
        }
        if (headBytes_.size() + line.size() > kMaxHeadBytes) {
            fail(protocolError(QStringLiteral("a head of more than %1 bytes").arg(kMaxHeadBytes)));
            return false;
        }
        if (line != "\r\n" && line != "\n") {
            headBytes_ += line;
            continue;
        }
        std::optional<HttpResponseHead> head = HttpResponseHead::parse(headBytes_);
        headBytes_.clear();
        if (!head) {
            fail(protocolError(QStringLiteral("a malformed head")));
            return false;
        }
        // An interim answer ("100 Continue") precedes the real one.
        if (head->status < 200) continue;
        head_ = std::move(*head);
        takeHead();
        return false;
    }
    return false;
}

void HttpGet::takeHead() {
    const QPointer<HttpGet> self(this);
    const QByteArray location = head_.field("Location");
    if (isRedirect(head_.status) && !location.isEmpty()) {
        const QUrl next = url_.resolved(QUrl::fromEncoded(location));
        if (++redirects_ > kMaxRedirects) {
            fail(networkError(QNetworkReply::TooManyRedirectsError,
                              QStringLiteral("More than %1 redirects").arg(kMaxRedirects)));
        } else if (url_.scheme() == u"https" && next.scheme() == u"http") {
            fail(insecureRedirectError());
        } else {
            dropSocket();
            events_.redirected();
            if (self && !aborted_) connectTo(next);
        }
        return;
    }
    const bool noBody = head_.status == 204 || head_.status == 304;
    const std::optional<qint64> length = announcedLength(head_.fieldValues("Content-Length"));
    if (noBody) {
        framing_ = Framing::Length;
        length_ = remaining_ = 0;
    } else if (isChunked(head_.fieldValues("Transfer-Encoding"))) {
        framing_ = Framing::Chunked;
        chunkPart_ = ChunkPart::Size;
        remaining_ = 0;
    } else if (!head_.fieldValues("Content-Length").isEmpty()) {
        if (!length) {
            fail(protocolError(QStringLiteral("an unreadable Content-Length")));
            return;
        }
        framing_ = Framing::Length;
        length_ = remaining_ = *length;
    } else {
        framing_ = Framing::UntilClose;
    }
    state_ = State::Body;
    events_.responded();
    if (!self || aborted_) return;
    if (framing_ == Framing::Length && remaining_ == 0) {
        end(State::Complete);
        return;
    }
    // Body bytes may have come with the head.
    receive();
    if (!self || aborted_ || state_ != State::Body) return;
    // The whole answer may have come before the close that brought us here.
    if (socket_ && socket_->state() == QAbstractSocket::UnconnectedState) closed();
}

qint64 HttpGet::read(char* data, qint64 maxLength) {
    if (state_ != State::Body) return 0;
    if (framing_ == Framing::Chunked) return readChunked(data, maxLength);
    const qint64 wanted = framing_ == Framing::Length ? std::min(maxLength, remaining_) : maxLength;
    const qint64 read = wanted > 0 ? readRaw(data, wanted) : 0;
    if (read <= 0) return 0;
    if (framing_ == Framing::Length) {
        remaining_ -= read;
        if (remaining_ == 0) state_ = State::Complete;
    }
    return read;
}

qint64 HttpGet::readChunked(char* data, qint64 maxLength) {
    qint64 total = 0;
    while (state_ == State::Body && total < maxLength) {
        if (chunkPart_ == ChunkPart::Data) {
            const qint64 read = readRaw(data + total, std::min(maxLength - total, remaining_));
            if (read <= 0) break;
            total += read;
            remaining_ -= read;
            if (remaining_ == 0) chunkPart_ = ChunkPart::DataEnd;
            continue;
        }
        QByteArray line;
        if (!readChunkLine(line)) break;
        if (chunkPart_ == ChunkPart::DataEnd) {
            if (!line.isEmpty())
                failWhileReading(protocolError(QStringLiteral("a chunk longer than announced")));
            chunkPart_ = ChunkPart::Size;
        } else if (chunkPart_ == ChunkPart::Trailer) {
            if (line.isEmpty()) state_ = State::Complete;
        } else {
            const qsizetype extension = line.indexOf(';');
            const QByteArray size = (extension < 0 ? line : line.first(extension)).trimmed();
            bool ok = !size.isEmpty() && size.size() <= 15;
            const qint64 parsed = ok ? size.toLongLong(&ok, 16) : 0;
            if (!ok || parsed < 0) {
                failWhileReading(protocolError(QStringLiteral("an unreadable chunk size")));
            } else if (parsed == 0) {
                chunkPart_ = ChunkPart::Trailer;
            } else {
                remaining_ = parsed;
                chunkPart_ = ChunkPart::Data;
            }
        }
    }
    return total;
}

// One line of the chunk framing, without its line end; false when none is complete yet.
bool HttpGet::readChunkLine(QByteArray& line) {
    const Line taken = takeLine(line);
    if (taken == Line::TooLong) {
        failWhileReading(
            protocolError(QStringLiteral("a chunk line of more than %1 bytes").arg(kMaxLineBytes)));
    }
    if (taken != Line::Complete) return false;
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    return true;
}

// The connection ended: what is still buffered is body, and the framing says whether it all came.
void HttpGet::closed() {
    if (aborted_ || state_ == State::Complete || state_ == State::ClosedEarly ||
        state_ == State::Failed)
        return;
    if (state_ == State::Head) readHead();  // the head may have come whole with the close
    if (state_ == State::Connecting || state_ == State::Head) {
        fail(networkError(QNetworkReply::RemoteHostClosedError,
                          QStringLiteral("The server closed the connection before answering")));
        return;
    }
    // Read from the head, which has handled the close itself.
    if (state_ != State::Body) return;
    const QPointer<HttpGet> self(this);
    events_.readyRead();
    if (!self || aborted_) return;
    if (state_ == State::Complete || state_ == State::Failed) {
        end(state_);
    } else if (framing_ == Framing::UntilClose) {
        end(State::Complete);
    } else {
        error_ = networkError(QNetworkReply::RemoteHostClosedError,
                              QStringLiteral("The server closed the connection"));
        end(State::ClosedEarly);
    }
}

void HttpGet::failSocket() {
    if (!socket_) return;
    if (socket_->error() == QAbstractSocket::RemoteHostClosedError) {
        closed();
        return;
    }
    fail(networkError(replyErrorOf(socket_->error()), socket_->errorString()));
}

void HttpGet::failTls() {
    if (tls_) fail(networkError(replyErrorOf(tls_->error()), tls_->errorString()));
}

void HttpGet::fail(const foundation::Error& error) {
    if (state_ == State::Failed || state_ == State::Complete || state_ == State::ClosedEarly)
        return;
    error_ = error;
    end(State::Failed);
}

// Inside a read of the caller's: the event follows once the read has returned.
void HttpGet::failWhileReading(const foundation::Error& error) {
    error_ = error;
    state_ = State::Failed;
}

void HttpGet::end(State state) {
    state_ = state;
    dropSocket();
    if (!aborted_) events_.ended();
}

}  // namespace qby::platform::linuxhost

#include "platform/linux/net/LinuxUrlLoader.h"

#include "platform/linux/net/DownloadErrors.h"
#include "platform/linux/net/HostNameCheck.h"
#include "platform/linux/net/NetworkRequests.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <memory>

namespace qby::platform::linuxhost {

LinuxUrlLoader::LinuxUrlLoader(int stallMilliseconds) : stallMilliseconds_(stallMilliseconds) {
    useSystemProxies();
}

foundation::Result<QByteArray> LinuxUrlLoader::dataWithContentsOfURL(const QUrl& url,
                                                                     qint64 maxBytes) {
    if (hasZoneIdentifier(url)) return zoneIdentifierError();
    QNetworkAccessManager manager;
    QNetworkRequest request = plainRequest(url);
    // Qt's stall timer: it restarts with every byte, and its expiry reads as an abort.
    request.setTransferTimeout(stallMilliseconds_);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    reply->setReadBufferSize(kReadBufferBytes);

    QByteArray body;
    bool complete = true;
    auto stopWhenTooLong = [&](qint64 length) {
        if (length <= maxBytes) return;
        complete = false;
        reply->abort();
    };
    QEventLoop loop;
    // Checked during the handshake, before the request goes out; the manager is this read's
    // own, so every connection it uses has its handshake seen here.
    std::optional<foundation::Error> refused;
    QObject::connect(reply.get(), &QNetworkReply::encrypted, &loop, [&] {
        if (const foundation::Status named = checkPeerNamesHost(*reply); !named) {
            refused = named.error();
            reply->abort();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (announced.isValid()) stopWhenTooLong(announced.toLongLong());
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        stopWhenTooLong(body.size());
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) loop.exec();

    if (refused) return *refused;
    if (!complete) return tooLongError(maxBytes);
    if (const int status = httpStatus(*reply); status >= 400) {
        return httpStatusError(
            status, reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    }
    // Past the too-long case, only Qt's stall timer aborts the read.
    if (reply->error() == QNetworkReply::OperationCanceledError) {
        return stallError(stallMilliseconds_ / 1000.0);
    }
    if (reply->error() != QNetworkReply::NoError) return networkError(*reply);
    // A 2xx other than 200, or a redirect Qt did not follow, holds no feed.
    if (const int status = httpStatus(*reply); status != 0 && status != 200) {
        return unexpectedStatusError(status);
    }
    body += reply->readAll();
    if (body.size() > maxBytes) return tooLongError(maxBytes);
    return body;
}

}  // namespace qby::platform::linuxhost

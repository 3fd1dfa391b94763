#include "platform/linux/net/LinuxUrlLoader.h"

#include "platform/linux/net/DownloadErrors.h"
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
    body += reply->readAll();
    if (body.size() > maxBytes) return tooLongError(maxBytes);
    return body;
}

}  // namespace qby::platform::linuxhost

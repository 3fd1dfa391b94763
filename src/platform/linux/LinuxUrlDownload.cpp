#include "platform/linux/LinuxUrlDownload.h"

#include "platform/linux/DownloadErrors.h"
#include "platform/linux/NetworkRequests.h"

#include <QNetworkReply>
#include <algorithm>
#include <climits>
#include <cmath>

namespace qby::platform::linuxhost {

namespace {

// The statuses Qt treats as redirects.
bool isFollowedRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 305 || status == 307 ||
           status == 308;
}

bool isGzip(const QByteArray& contentEncoding) {
    const QByteArray encoding = contentEncoding.trimmed().toLower();
    return encoding == "gzip" || encoding == "x-gzip";
}

}  // namespace

LinuxUrlDownload::LinuxUrlDownload(QNetworkReply* reply, double timeoutSeconds,
                                   UrlDownloadDelegate& delegate)
    : reply_(reply), delegate_(delegate), timeoutSeconds_(timeoutSeconds) {
    // Our own stall timer rather than Qt's transfer timeout, whose expiry cannot be told apart
    // from an abort.
    sinceActivity_.start();
    stallTimer_.setSingleShot(true);
    if (timeoutSeconds > 0) {
        const double milliseconds = std::ceil(timeoutSeconds * 1000);
        stallMilliseconds_ = static_cast<int>(std::min<double>(milliseconds, INT_MAX));
        connect(&stallTimer_, &QTimer::timeout, this, [this] { checkStall(); });
        stallTimer_.start(stallMilliseconds_);
    }
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] { receiveResponse(); });
    connect(reply, &QNetworkReply::readyRead, this, [this] { receiveData(); });
    connect(reply, &QNetworkReply::redirected, this, [this] { sinceActivity_.restart(); });
    connect(reply, &QNetworkReply::finished, this, [this] { complete(); });
    // The delegate hears of the start only once its creator has returned to the event loop.
    QMetaObject::invokeMethod(
        this, [this] { begin(); }, Qt::QueuedConnection);
}

LinuxUrlDownload::~LinuxUrlDownload() {
    if (!ended_) {
        stopTransfer();
        file_.remove();
    }
}

void LinuxUrlDownload::setDeletesFileUponFailure(bool deletes) {
    deletesFileUponFailure_ = deletes;
}

void LinuxUrlDownload::setDestination(const QString& path, bool allowOverwrite) {
    file_.setPath(path, allowOverwrite);
}

void LinuxUrlDownload::cancel() {
    if (ended_) return;
    ended_ = true;
    stopTransfer();
    file_.remove();
}

template <typename Report>
bool LinuxUrlDownload::tell(Report report) {
    const QPointer<LinuxUrlDownload> self(this);
    report();
    return self && !ended_;
}

bool LinuxUrlDownload::begin() {
    if (ended_) return false;
    if (begun_) return true;
    begun_ = true;
    return tell([this] { delegate_.downloadDidBegin(); });
}

bool LinuxUrlDownload::receiveResponse() {
    if (!begin()) return false;
    sinceActivity_.restart();
    const int status = httpStatus(*reply_);
    // Qt follows the redirect itself (or fails it, when the target is missing or insecure); only
    // the response it settles on counts.
    if (isFollowedRedirect(status)) return true;

    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    UrlResponse response;
    response.expectedContentLength = length.isValid() ? length.toLongLong() : -1;
    response.statusCode = status;
    response.mimeType =
        reply_->header(QNetworkRequest::ContentTypeHeader).toString().section(u';', 0, 0).trimmed();
    expectedLength_ = response.expectedContentLength;
    bytesWritten_ = 0;
    if (foundation::Status emptied = file_.truncate(); !emptied) {
        fail(emptied.error());
        return false;
    }
    if (!tell([&] { delegate_.downloadDidReceiveResponse(response); })) return false;

    if (status >= 400) {
        const QString phrase =
            reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        fail(httpStatusError(status, phrase));
        return false;
    }
    if (isGzip(reply_->rawHeader("Content-Encoding"))) {
        return tell([this] {
            delegate_.downloadShouldDecodeSourceDataOfMIMEType(
                QStringLiteral("application/x-gzip"));
        });
    }
    return true;
}

bool LinuxUrlDownload::receiveData() {
    if (!begin()) return false;
    sinceActivity_.restart();
    // What Qt holds is bounded by the read buffer; taking it whole hands over its chunks
    // without a copy.
    const QByteArray data = reply_->readAll();
    if (data.isEmpty()) return true;
    if (foundation::Status stored = file_.write(data.constData(), data.size()); !stored) {
        fail(stored.error());
        return false;
    }
    const qint64 written = data.size();
    bytesWritten_ += written;
    return tell([&] { delegate_.downloadDidReceiveDataOfLength(static_cast<quint64>(written)); });
}

void LinuxUrlDownload::complete() {
    if (!begin()) return;
    const QNetworkReply::NetworkError error = reply_->error();
    if (error == QNetworkReply::NoError && !receiveData()) return;
    // Qt reports a connection closed early as such; a body that ends short without a network
    // error is just as incomplete.
    const bool closedEarly =
        error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError;
    if (closedEarly && expectedLength_ >= 0 && bytesWritten_ != expectedLength_) {
        fail(shortBodyError(bytesWritten_, expectedLength_));
        return;
    }
    if (error != QNetworkReply::NoError) {
        fail(networkError(*reply_));
        return;
    }
    foundation::Status stored = file_.create();
    if (stored) stored = file_.close();
    if (!stored) {
        fail(stored.error());
        return;
    }
    ended_ = true;
    stopTransfer();
    delegate_.downloadDidFinish();
}

// Restarting a timer at every chunk costs more than the transfer can spare; the timer is
// instead re-armed for what is left of the stall time whenever it finds recent activity.
void LinuxUrlDownload::checkStall() {
    const qint64 remaining = stallMilliseconds_ - sinceActivity_.elapsed();
    if (remaining > 0) {
        stallTimer_.start(static_cast<int>(remaining));
    } else if (begin()) {
        fail(stallError(timeoutSeconds_));
    }
}

void LinuxUrlDownload::fail(const foundation::Error& error) {
    if (ended_) return;
    ended_ = true;
    stopTransfer();
    if (deletesFileUponFailure_) {
        file_.remove();
    } else {
        file_.close();
    }
    delegate_.downloadDidFailWithError(error);
}

void LinuxUrlDownload::stopTransfer() {
    stallTimer_.stop();
    if (reply_ == nullptr) return;
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    if (reply->isRunning()) reply->abort();
    // We may be inside one of the reply's own signals.
    reply->deleteLater();
}

}  // namespace qby::platform::linuxhost

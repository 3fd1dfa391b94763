#include "platform/linux/net/LinuxUrlDownload.h"

#include "platform/linux/net/ContentRange.h"
#include "platform/linux/net/DownloadErrors.h"
#include "platform/linux/net/NetworkRequests.h"

#include <QNetworkAccessManager>
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

LinuxUrlDownload::LinuxUrlDownload(QNetworkAccessManager& manager, const QNetworkRequest& request,
                                   const PartialDownloadCache& cache, double timeoutSeconds,
                                   UrlDownloadDelegate& delegate)
    : manager_(manager),
      request_(request),
      cache_(cache),
      delegate_(delegate),
      timeoutSeconds_(timeoutSeconds) {
    // Our own stall timer rather than Qt's transfer timeout, whose expiry cannot be told apart
    // from an abort.
    stallTimer_.setSingleShot(true);
    if (timeoutSeconds > 0) {
        const double milliseconds = std::ceil(timeoutSeconds * 1000);
        stallMilliseconds_ = static_cast<int>(std::min<double>(milliseconds, INT_MAX));
        connect(&stallTimer_, &QTimer::timeout, this, [this] { checkStall(); });
    }
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] { sendRequest(); });
    // After the destination is set, which may hold the bytes of an earlier start; the delegate
    // hears of the start only once its creator has returned to the event loop.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (ended_) return;
            sendRequest();
            begin();
        },
        Qt::QueuedConnection);
}

void LinuxUrlDownload::sendRequest() {
    QNetworkRequest request = request_;
    resumeOffset_ = -1;
    if (bytesWritten_ > 0 && !validator_.isEmpty()) {
        resumeOffset_ = bytesWritten_;
        request.setRawHeader("Range", "bytes=" + QByteArray::number(resumeOffset_) + '-');
        request.setRawHeader("If-Range", validator_);
    }
    bytesThisTry_ = 0;
    QNetworkReply* reply = manager_.get(request);
    // Qt's default buffer is unbounded: a fast server would fill memory ahead of the disk.
    reply->setReadBufferSize(kReadBufferBytes);
    reply_ = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] { receiveResponse(); });
    connect(reply, &QNetworkReply::readyRead, this, [this] { receiveData(); });
    connect(reply, &QNetworkReply::redirected, this, [this] { sinceActivity_.restart(); });
    connect(reply, &QNetworkReply::finished, this, [this] { complete(); });
    sinceActivity_.restart();
    if (stallMilliseconds_ > 0) stallTimer_.start(stallMilliseconds_);
}

LinuxUrlDownload::~LinuxUrlDownload() {
    if (!ended_) {
        stopTransfer();
        keepOrRemovePart(true);
    }
}

void LinuxUrlDownload::setDeletesFileUponFailure(bool deletes) {
    deletesFileUponFailure_ = deletes;
}

void LinuxUrlDownload::setDestination(const QString& path, bool allowOverwrite) {
    file_.setPath(path, allowOverwrite);
    const std::optional<QByteArray> validator = cache_.takeInto(request_.url(), path);
    if (!validator) return;
    if (const foundation::Result<qint64> kept = file_.adopt(); kept && kept.value() > 0) {
        bytesWritten_ = kept.value();
        validator_ = *validator;
    } else {
        file_.remove();
    }
}

void LinuxUrlDownload::cancel() {
    if (ended_) return;
    ended_ = true;
    stopTransfer();
    keepOrRemovePart(true);
}

void LinuxUrlDownload::keepOrRemovePart(bool keep) {
    if (keep && bytesWritten_ > 0 && !validator_.isEmpty() && file_.release()) {
        cache_.keep(request_.url(), file_.path(), validator_);
    } else {
        file_.remove();
    }
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

    if (status >= 400) {
        const QString phrase =
            reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        const foundation::Error error = httpStatusError(status, phrase);
        if (error.transient && retryLater(error)) return false;
        if (!tell([&] { delegate_.downloadDidReceiveResponse(response); })) return false;
        fail(error);
        return false;
    }
    if (resumeOffset_ >= 0 && status == 206) return resumeBody(response);
    return startBody(response);
}

bool LinuxUrlDownload::startBody(const UrlResponse& response) {
    expectedLength_ = response.expectedContentLength;
    bytesWritten_ = 0;
    // A weak ETag cannot stand in If-Range; the date then serves.
    const QByteArray etag = reply_->rawHeader("ETag").trimmed();
    validator_ =
        !etag.isEmpty() && !etag.startsWith("W/") ? etag : reply_->rawHeader("Last-Modified");
    if (foundation::Status emptied = file_.truncate(); !emptied) {
        fail(emptied.error());
        return false;
    }
    if (!tell([&] { delegate_.downloadDidReceiveResponse(response); })) return false;
    if (isGzip(reply_->rawHeader("Content-Encoding"))) {
        return tell([this] {
            delegate_.downloadShouldDecodeSourceDataOfMIMEType(
                QStringLiteral("application/x-gzip"));
        });
    }
    return true;
}

bool LinuxUrlDownload::resumeBody(UrlResponse response) {
    const QByteArray contentRange = reply_->rawHeader("Content-Range");
    const std::optional<qint64> whole =
        lengthOfRestFrom(contentRange, resumeOffset_, expectedLength_);
    if (!whole) {
        fail(unusableRangeError(contentRange));
        return false;
    }
    response.expectedContentLength = *whole;
    expectedLength_ = *whole;
    return tell([&] { delegate_.downloadWillResumeWithResponse(response, resumeOffset_); });
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
    bytesThisTry_ += written;
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
        failTry(shortBodyError(bytesWritten_, expectedLength_));
        return;
    }
    if (error != QNetworkReply::NoError) {
        failTry(networkError(*reply_));
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
    cache_.forget(request_.url());
    delegate_.downloadDidFinish();
}

// Restarting a timer at every chunk costs more than the transfer can spare; the timer is
// instead re-armed for what is left of the stall time whenever it finds recent activity.
void LinuxUrlDownload::checkStall() {
    const qint64 remaining = stallMilliseconds_ - sinceActivity_.elapsed();
    if (remaining > 0) {
        stallTimer_.start(static_cast<int>(remaining));
    } else if (begin()) {
        failTry(stallError(timeoutSeconds_));
    }
}

void LinuxUrlDownload::failTry(const foundation::Error& error) {
    if (error.transient && retryLater(error)) return;
    fail(error);
}

bool LinuxUrlDownload::retryLater(const foundation::Error& error) {
    dropReply();
    std::optional<qint64> pause;
    if (!tell([&] { pause = delegate_.downloadShouldRetryAfterError(error, bytesThisTry_); })) {
        return true;
    }
    if (!pause) return false;
    retryTimer_.start(static_cast<int>(std::clamp<qint64>(*pause, 0, INT_MAX)));
    return true;
}

void LinuxUrlDownload::fail(const foundation::Error& error) {
    if (ended_) return;
    ended_ = true;
    stopTransfer();
    // Bytes that another start may go on from are kept; a refused download leaves nothing.
    if (deletesFileUponFailure_) {
        keepOrRemovePart(error.transient);
    } else {
        file_.close();
    }
    delegate_.downloadDidFailWithError(error);
}

void LinuxUrlDownload::stopTransfer() {
    retryTimer_.stop();
    dropReply();
}

void LinuxUrlDownload::dropReply() {
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

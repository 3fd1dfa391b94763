#include "platform/linux/net/LinuxUrlDownload.h"

#include "platform/linux/net/DownloadErrors.h"
#include "platform/linux/net/HostNameCheck.h"
#include "platform/linux/net/HttpFields.h"
#include "platform/linux/net/NetworkRequests.h"

#include <QDateTime>
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
            if (ended_ || !begin()) return;
            if (hasZoneIdentifier(request_.url())) {
                fail(zoneIdentifierError());
                return;
            }
            sendRequest();
        },
        Qt::QueuedConnection);
}

void LinuxUrlDownload::sendRequest(bool proof) {
    QNetworkRequest request = request_;
    asked_ = Ask::Whole;
    if (bytesWritten_ > 0 && (proof || !validator_.isEmpty())) {
        asked_ = proof ? Ask::Proof : Ask::Rest;
        resumeOffset_ = bytesWritten_;
        request.setRawHeader("Range", "bytes=" + QByteArray::number(resumeOffset_) + '-');
        if (!validator_.isEmpty()) request.setRawHeader("If-Range", validator_);
    }
    checkedHosts_.clear();
    responded_ = false;
    retryAfterMs_.reset();
    // A try after a failure opens a connection of its own: the one that failed may be what
    // failed, and the host check sees every handshake.
    manager_.clearConnectionCache();
    QNetworkReply* reply = manager_.get(request);
    // Qt's default buffer is unbounded: a fast server would fill memory ahead of the disk.
    reply->setReadBufferSize(kReadBufferBytes);
    reply_ = reply;
    connect(reply, &QNetworkReply::encrypted, this, [this] { checkHost(); });
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
        furthest_ = bytesWritten_;
        validator_ = *validator;
    } else {
        file_.remove();
    }
}

void LinuxUrlDownload::setPromisedLength(qint64 bytes) {
    promisedLength_ = bytes > 0 ? bytes : -1;
}

void LinuxUrlDownload::cancel() {
    if (ended_) return;
    ended_ = true;
    stopTransfer();
    keepOrRemovePart(true);
}

std::optional<QByteArray> LinuxUrlDownload::sha256OfBody() const {
    if (!finished_) return std::nullopt;
    QByteArray digest = file_.sha256();
    if (digest.isEmpty()) return std::nullopt;
    return digest;
}

void LinuxUrlDownload::keepOrRemovePart(bool keep) {
    if (keep && bytesWritten_ > 0 && !validator_.isEmpty() && file_.release()) {
        cache_.keep(request_.url(), file_.path(), validator_, promisedLength_);
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

// Called during the handshake, before a byte of the request has gone out.
void LinuxUrlDownload::checkHost() {
    if (ended_ || reply_ == nullptr) return;
    if (const foundation::Status named = checkPeerNamesHost(*reply_); !named) {
        fail(named.error());
        return;
    }
    checkedHosts_.insert(reply_->url().host());
}

bool LinuxUrlDownload::receiveResponse() {
    if (!begin()) return false;
    sinceActivity_.restart();
    const int status = httpStatus(*reply_);
    // Qt follows the redirect itself (or fails it, when the target is missing or insecure); only
    // the response it settles on counts.
    if (isFollowedRedirect(status) || responded_) return true;
    responded_ = true;
    // An https answer whose handshake the check did not see is not used.
    if (reply_->url().scheme() == QLatin1String("https") &&
        !checkedHosts_.contains(reply_->url().host())) {
        fail(certificateNameError(reply_->url().host()));
        return false;
    }

    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    UrlResponse response;
    response.expectedContentLength = length.isValid() ? length.toLongLong() : -1;
    response.statusCode = status;
    response.mimeType =
        reply_->header(QNetworkRequest::ContentTypeHeader).toString().section(u';', 0, 0).trimmed();

    if (status == 416 && asked_ != Ask::Whole) return answerToRange();
    if (status >= 400) {
        const QString phrase =
            reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        const foundation::Error error = httpStatusError(status, phrase);
        if (status == 503 || status == 429) {
            retryAfterMs_ = retryAfterMilliseconds(reply_->rawHeader("Retry-After"),
                                                   QDateTime::currentDateTimeUtc());
        }
        if (error.transient && retryLater(error)) return false;
        if (!tell([&] { delegate_.downloadDidReceiveResponse(response); })) return false;
        fail(error);
        return false;
    }
    if (status == 206 && asked_ != Ask::Whole) return resumeBody(response);
    if (status == 200 && asked_ == Ask::Proof && response.expectedContentLength < 0) {
        // Sent whole again, still without length: nothing tells whether the first was whole.
        fail(unprovenEndError());
        return false;
    }
    // Part of a body nobody asked a part of would be a damaged archive written as the whole;
    // any other status is no body at all.
    if (status == 206) {
        fail(unusableRangeError(reply_->rawHeader("Content-Range")));
        return false;
    }
    if (status != 200) {
        fail(unexpectedStatusError(status));
        return false;
    }
    return startBody(response);
}

bool LinuxUrlDownload::startBody(const UrlResponse& response) {
    if (promisedLength_ >= 0 && response.expectedContentLength >= 0 &&
        response.expectedContentLength != promisedLength_) {
        fail(sizeMismatchError(response.expectedContentLength, promisedLength_));
        return false;
    }
    expectedLength_ = response.expectedContentLength;
    bytesWritten_ = 0;
    validator_ = resumeValidator(reply_->rawHeader("ETag"), reply_->rawHeader("Last-Modified"));
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
    const qint64 known = expectedLength_ >= 0 ? expectedLength_ : promisedLength_;
    const std::optional<qint64> whole = lengthOfRestFrom(contentRange, resumeOffset_, known);
    if (!whole) {
        const std::optional<ContentRange> range = parseContentRange(contentRange);
        if (range && promisedLength_ >= 0 && range->completeLength >= 0 &&
            range->completeLength != promisedLength_) {
            fail(sizeMismatchError(range->completeLength, promisedLength_));
        } else {
            fail(unusableRangeError(contentRange));
        }
        return false;
    }
    response.expectedContentLength = *whole;
    expectedLength_ = *whole;
    return tell([&] { delegate_.downloadWillResumeWithResponse(response, resumeOffset_); });
}

// A 416 to a range: the proof that a body read until close is whole when the server names its
// length as what the file holds, and no proof when it names another (asking again would get the
// same answers, without end). To a resumed try it says the bytes on disk are no beginning of
// the body: the download starts over, without a range.
bool LinuxUrlDownload::answerToRange() {
    const std::optional<ContentRange> range = parseContentRange(reply_->rawHeader("Content-Range"));
    if (asked_ == Ask::Proof) {
        if (range && range->first < 0 && range->completeLength == bytesWritten_) {
            finish();
        } else {
            fail(unprovenEndError());
        }
        return false;
    }
    dropReply();
    validator_.clear();
    sendRequest();
    return false;
}

bool LinuxUrlDownload::receiveData() {
    if (!begin()) return false;
    if (!responded_) return true;
    sinceActivity_.restart();
    // Drained into one buffer that lives as long as the download: a fresh block per chunk
    // would cost a page fault for every page of the archive.
    qint64 written = 0;
    while (true) {
        const qint64 read = reply_->read(chunk_.data(), chunk_.size());
        if (read <= 0) break;
        if (promisedLength_ >= 0 && bytesWritten_ + written + read > promisedLength_) {
            fail(largerThanPromisedError());
            return false;
        }
        if (foundation::Status stored = file_.write(chunk_.constData(), read); !stored) {
            fail(stored.error());
            return false;
        }
        written += read;
    }
    if (written == 0) return true;
    bytesWritten_ += written;
    return tell([&] { delegate_.downloadDidReceiveDataOfLength(static_cast<quint64>(written)); });
}

void LinuxUrlDownload::complete() {
    if (!begin()) return;
    const QNetworkReply::NetworkError error = reply_->error();
    if (error == QNetworkReply::NoError && !receiveData()) return;
    const bool closedEarly =
        error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError;
    const qint64 length = expectedLength_ >= 0 ? expectedLength_ : promisedLength_;
    if (closedEarly && length >= 0 && bytesWritten_ < length) {
        failTry(shortBodyError(bytesWritten_, length));
        return;
    }
    if (error != QNetworkReply::NoError) {
        failTry(networkError(*reply_));
        return;
    }
    // Without a length Qt's word that the body ended proves nothing: a connection cut before
    // TLS's closing alert reads as a clean end, and so does an unreadable chunk size (Qt 6.4).
    if (length < 0 && bytesWritten_ > 0) {
        dropReply();
        sendRequest(true);
        return;
    }
    finish();
}

void LinuxUrlDownload::finish() {
    foundation::Status stored = file_.create();
    if (stored) stored = file_.close();
    if (!stored) {
        fail(stored.error());
        return;
    }
    ended_ = true;
    finished_ = true;
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
    const FailedTry failed{.newBytes = std::max<qint64>(0, bytesWritten_ - furthest_),
                           .retryAfterMs = retryAfterMs_};
    furthest_ = std::max(furthest_, bytesWritten_);
    std::optional<qint64> pause;
    if (!tell([&] { pause = delegate_.downloadShouldRetryAfterError(error, failed); })) {
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

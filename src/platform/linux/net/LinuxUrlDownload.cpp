#include "platform/linux/net/LinuxUrlDownload.h"

#include "platform/linux/net/ContentRange.h"
#include "platform/linux/net/DownloadErrors.h"
#include "platform/linux/net/HttpGet.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace qby::platform::linuxhost {

namespace {

bool isGzip(const QByteArray& contentEncoding) {
    const QByteArray encoding = contentEncoding.trimmed().toLower();
    return encoding == "gzip" || encoding == "x-gzip";
}

}  // namespace

LinuxUrlDownload::LinuxUrlDownload(const QUrl& url, const PartialDownloadCache& cache,
                                   double timeoutSeconds, UrlDownloadDelegate& delegate)
    : url_(url), cache_(cache), delegate_(delegate), timeoutSeconds_(timeoutSeconds) {
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
    // The archive must reach the disk as served: no compression asked for.
    QList<QPair<QByteArray, QByteArray>> headers{{"Accept-Encoding", "identity"}};
    resumeOffset_ = -1;
    if (bytesWritten_ > 0 && !validator_.isEmpty()) {
        resumeOffset_ = bytesWritten_;
        headers.append({"Range", "bytes=" + QByteArray::number(resumeOffset_) + '-'});
        headers.append({"If-Range", validator_});
    }
    bytesThisTry_ = 0;
    get_ = new HttpGet(url_, headers,
                       {.redirected = [this] { sinceActivity_.restart(); },
                        .responded = [this] { receiveResponse(); },
                        .readyRead = [this] { receiveData(); },
                        .ended = [this] { complete(); }});
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
    const std::optional<QByteArray> validator = cache_.takeInto(url_, path);
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

std::optional<QByteArray> LinuxUrlDownload::sha256OfBody() const {
    if (!finished_) return std::nullopt;
    QByteArray digest = file_.sha256();
    if (digest.isEmpty()) return std::nullopt;
    return digest;
}

void LinuxUrlDownload::keepOrRemovePart(bool keep) {
    if (keep && bytesWritten_ > 0 && !validator_.isEmpty() && file_.release()) {
        cache_.keep(url_, file_.path(), validator_);
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
    // Redirects were followed on the way: this is the answer the GET settled on.
    const HttpResponseHead& head = get_->head();
    const int status = head.status;
    UrlResponse response;
    response.expectedContentLength = get_->contentLength();
    response.statusCode = status;
    response.mimeType =
        QString::fromLatin1(head.field("Content-Type")).section(u';', 0, 0).trimmed();

    if (status >= 400) {
        const foundation::Error error =
            httpStatusError(status, QString::fromLatin1(head.reasonPhrase));
        if (error.transient && retryLater(error)) return false;
        if (!tell([&] { delegate_.downloadDidReceiveResponse(response); })) return false;
        fail(error);
        return false;
    }
    if (status == 206) {
        if (resumeOffset_ >= 0) return resumeBody(response);
        // Part of a body nobody asked a part of: written as the whole, it would be a damaged
        // archive.
        fail(unusableRangeError(get_->head().field("Content-Range")));
        return false;
    }
    return startBody(response);
}

bool LinuxUrlDownload::startBody(const UrlResponse& response) {
    expectedLength_ = response.expectedContentLength;
    bytesWritten_ = 0;
    // A weak ETag cannot stand in If-Range; the date then serves.
    const QByteArray etag = get_->head().field("ETag");
    validator_ =
        !etag.isEmpty() && !etag.startsWith("W/") ? etag : get_->head().field("Last-Modified");
    if (foundation::Status emptied = file_.truncate(); !emptied) {
        fail(emptied.error());
        return false;
    }
    if (!tell([&] { delegate_.downloadDidReceiveResponse(response); })) return false;
    if (isGzip(get_->head().field("Content-Encoding"))) {
        return tell([this] {
            delegate_.downloadShouldDecodeSourceDataOfMIMEType(
                QStringLiteral("application/x-gzip"));
        });
    }
    return true;
}

bool LinuxUrlDownload::resumeBody(UrlResponse response) {
    const QByteArray contentRange = get_->head().field("Content-Range");
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
    // Drained into one buffer that lives as long as the download: a fresh block per chunk
    // would cost a page fault for every page of the archive.
    qint64 written = 0;
    while (true) {
        const qint64 read = get_->read(chunk_.data(), chunk_.size());
        if (read <= 0) break;
        if (foundation::Status stored = file_.write(chunk_.constData(), read); !stored) {
            fail(stored.error());
            return false;
        }
        written += read;
    }
    if (written == 0) return true;
    bytesWritten_ += written;
    bytesThisTry_ += written;
    return tell([&] { delegate_.downloadDidReceiveDataOfLength(static_cast<quint64>(written)); });
}

void LinuxUrlDownload::complete() {
    if (!begin()) return;
    const HttpGet::State ended = get_->state();
    if (ended == HttpGet::State::Failed) {
        failTry(get_->error());
        return;
    }
    // A body that ends short is incomplete whether or not the server announced its end.
    if (expectedLength_ >= 0 && bytesWritten_ != expectedLength_) {
        failTry(shortBodyError(bytesWritten_, expectedLength_));
        return;
    }
    if (ended == HttpGet::State::ClosedEarly) {
        failTry(get_->error());
        return;
    }
    foundation::Status stored = file_.create();
    if (stored) stored = file_.close();
    if (!stored) {
        fail(stored.error());
        return;
    }
    ended_ = true;
    finished_ = true;
    stopTransfer();
    cache_.forget(url_);
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
    dropConnection();
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
    dropConnection();
}

void LinuxUrlDownload::dropConnection() {
    stallTimer_.stop();
    if (get_ == nullptr) return;
    HttpGet* get = get_;
    get_ = nullptr;
    get->abort();
    // We may be inside one of its events.
    get->deleteLater();
}

}  // namespace qby::platform::linuxhost

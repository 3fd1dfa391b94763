#pragma once

#include "foundation/Result.h"

#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

namespace qby::platform {

// One response of a URL download.
struct UrlResponse {
    // The length the server announced for the body, -1 when it announced none.
    qint64 expectedContentLength = -1;
    // The HTTP status code, 0 for other schemes.
    int statusCode = 0;
    QString mimeType;
};

// What ended a try that another may follow.
struct FailedTry {
    // Bytes the try brought beyond the furthest the download ever held: a try that started
    // over brings none until it passes that point.
    qint64 newBytes = 0;
    // The pause the server asked for (Retry-After on a 503 or 429), in milliseconds.
    std::optional<qint64> retryAfterMs;
};

// What a URL download reports, in this order over its life, always on the main thread and never
// before the call that created the download has returned: downloadDidBegin, then per response
// downloadDidReceiveResponse, downloadShouldDecodeSourceDataOfMIMEType when the body carries a
// content encoding, downloadDidReceiveDataOfLength per chunk written to the destination, and at
// last either downloadDidFinish or downloadDidFailWithError. A try cut short may be followed by
// others (downloadShouldRetryAfterError), each opening with downloadWillResumeWithResponse or
// downloadDidReceiveResponse. Nothing follows a cancel.
class UrlDownloadDelegate {
public:
    virtual ~UrlDownloadDelegate() = default;

    virtual void downloadDidBegin() = 0;
    virtual void downloadDidReceiveResponse(const UrlResponse& response) = 0;
    // Whether a body with this content encoding is decoded before it is written.
    virtual bool downloadShouldDecodeSourceDataOfMIMEType(const QString& encodingType) = 0;
    virtual void downloadDidReceiveDataOfLength(quint64 length) = 0;
    // The transfer was cut short in a way that another try may mend (a transient error): how
    // many milliseconds to wait before the download goes on from the bytes it holds, or nothing
    // to end it with downloadDidFailWithError.
    virtual std::optional<qint64> downloadShouldRetryAfterError(const foundation::Error& error,
                                                                const FailedTry& failedTry) = 0;
    // A later try goes on from byte offset of the whole body that the response announces: the
    // bytes before it are kept, and data reports continue from there. A try that starts over
    // reports downloadDidReceiveResponse instead.
    virtual void downloadWillResumeWithResponse(const UrlResponse& response, qint64 offset) = 0;
    virtual void downloadDidFinish() = 0;
    // The error's message says what went wrong in words a user can act on (the HTTP status, the
    // network error, a stall of the transfer).
    virtual void downloadDidFailWithError(const foundation::Error& error) = 0;
};

// A running download of one URL into a file.
class UrlDownload {
public:
    virtual ~UrlDownload() = default;

    // Deletes the partly written file when the download fails.
    virtual void setDeletesFileUponFailure(bool deletes) = 0;
    // Where the body goes; set right after creation, before any byte is written.
    virtual void setDestination(const QString& path, bool allowOverwrite) = 0;
    // The body's length as the release promised it (-1: none); set right after creation. An
    // answer announcing another length is refused before any byte is written, a body that
    // grows past it fails, and a body without length is whole once it reaches it.
    virtual void setPromisedLength(qint64 bytes) = 0;
    // Stops the download; no report follows.
    virtual void cancel() = 0;
    // Once it has finished: the SHA-256 digest (32 bytes) of the whole body in the destination,
    // taken as the bytes were written, however many tries brought them. Nothing before, or when
    // the digest could not be taken.
    virtual std::optional<QByteArray> sha256OfBody() const = 0;
};

// Creates URL downloads.
class UrlDownloader {
public:
    virtual ~UrlDownloader() = default;

    // Starts loading at once; the delegate hears of it once the caller has returned to the event
    // loop. timeoutSeconds is how long the transfer may stall without data before it fails.
    virtual std::unique_ptr<UrlDownload> startDownload(const QUrl& url, double timeoutSeconds,
                                                       UrlDownloadDelegate& delegate) = 0;
};

}  // namespace qby::platform

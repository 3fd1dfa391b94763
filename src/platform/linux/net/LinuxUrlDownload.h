#pragma once

#include "platform/UrlDownload.h"
#include "platform/linux/net/DestinationFile.h"
#include "platform/linux/net/PartialDownloadCache.h"

#include <QElapsedTimer>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

namespace qby::platform::linuxhost {

// One download over Qt Network, reporting to its delegate from the main thread's event loop.
// The body is written to the destination as it arrives, exactly as served: a body with a
// content encoding is never decoded. The delegate is asked about a gzip encoding, but its answer
// changes nothing, since the only encodings it would have decoded (MacBinary, BinHex) are not
// HTTP content encodings.
//
// A body is whole only when it reaches its announced length (Content-Length, or a 206's
// Content-Range total) or, without one, when its length is proven: the release's promised
// length reached, or a request for the bytes past it answered 416 with "Content-Range:
// bytes */N" (an answer of more bytes goes on as a resumed try). Qt's word alone is not taken
// for a body without length, chunked or read until close: it reports a connection cut without
// TLS's closing alert, and an unreadable chunk size, as a clean end. An
// https answer counts only from a server whose certificate names the host by its subject
// alternative names (HostNameCheck).
//
// A try cut short by a transient failure goes on, when the delegate says so, from the bytes on
// disk: "Range: bytes=N-" with "If-Range" carrying the first answer's validator (a strong ETag,
// else a valid Last-Modified date); a 206 for exactly the rest appends, a 200 starts over into
// the emptied file, a 416 starts over, any other range fails. Without a validator a retry
// starts over. The bytes of a download cancelled or given up after transient failures are kept
// in the cache, and the next download of the same URL goes on from them in the same way. The
// delegate may cancel or destroy the download from any report.
class LinuxUrlDownload : public QObject, public UrlDownload {
public:
    // Sends the request once the creator has returned to the event loop. timeoutSeconds is the
    // longest stretch without data before a try fails; zero or less means no limit.
    LinuxUrlDownload(QNetworkAccessManager& manager, const QNetworkRequest& request,
                     const PartialDownloadCache& cache, double timeoutSeconds,
                     UrlDownloadDelegate& delegate);
    ~LinuxUrlDownload() override;

    void setDeletesFileUponFailure(bool deletes) override;
    // Takes over the bytes kept in the cache for the URL, when there are.
    void setDestination(const QString& path, bool allowOverwrite) override;
    void setPromisedLength(qint64 bytes) override;
    // Stops the transfer (or the wait for the next try) and keeps the partly written file in
    // the cache (when it has a validator; else it is deleted).
    void cancel() override;
    std::optional<QByteArray> sha256OfBody() const override;

private:
    // What a try asks for: the whole body, the rest after the bytes on disk, or the bytes past
    // a body read until close, whose answer proves its end.
    enum class Ask { Whole, Rest, Proof };

    void sendRequest(bool proof = false);
    // Each returns false when the download has ended, waits for another try, or its delegate
    // destroyed it.
    bool begin();
    bool receiveResponse();
    bool startBody(const UrlResponse& response);
    bool resumeBody(UrlResponse response);
    bool answerToRange();
    bool receiveData();
    void complete();
    void finish();
    template <typename Report>
    bool tell(Report report);

    void checkHost();
    void checkStall();
    // A transient failure waits for another try when the delegate wants one; anything else ends
    // the download.
    void failTry(const foundation::Error& error);
    // True when the delegate chose another try (or ended the download while asked).
    bool retryLater(const foundation::Error& error);
    void fail(const foundation::Error& error);
    void dropReply();
    // The partly written file goes to the cache, when asked and it can be resumed, or is deleted.
    void keepOrRemovePart(bool keep);
    void stopTransfer();

    // Its connections are dropped at every try: a fresh connection, whose TLS handshake the
    // host check sees.
    QNetworkAccessManager& manager_;
    const QNetworkRequest request_;
    const PartialDownloadCache& cache_;
    QPointer<QNetworkReply> reply_;
    UrlDownloadDelegate& delegate_;
    double timeoutSeconds_;
    int stallMilliseconds_ = 0;
    QTimer stallTimer_;
    QTimer retryTimer_;
    QElapsedTimer sinceActivity_;
    DestinationFile file_;
    bool deletesFileUponFailure_ = false;
    bool begun_ = false;
    bool ended_ = false;
    bool finished_ = false;
    // Within the running try: the hosts whose certificates were checked (every connection of a
    // try is new, so each had its handshake seen), and whether the answer's head was taken.
    QSet<QString> checkedHosts_;
    bool responded_ = false;
    Ask asked_ = Ask::Whole;
    // The length the release promised, -1 when it names none.
    qint64 promisedLength_ = -1;
    // The whole body's length as announced, -1 when not announced.
    qint64 expectedLength_ = -1;
    qint64 bytesWritten_ = 0;
    // The furthest the file has ever reached in this download: a try brings progress only
    // beyond it.
    qint64 furthest_ = 0;
    // The pause a busy server asked for in the running try's answer.
    std::optional<qint64> retryAfterMs_;
    // Where the running try asked the body to go on from.
    qint64 resumeOffset_ = 0;
    // The first answer's validator, for If-Range; empty: no resuming.
    QByteArray validator_;
    // What one read takes from Qt at a time.
    QByteArray chunk_ = QByteArray(256 << 10, Qt::Uninitialized);
};

}  // namespace qby::platform::linuxhost

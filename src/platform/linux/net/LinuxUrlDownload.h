#pragma once

#include "platform/UrlDownload.h"
#include "platform/linux/net/DestinationFile.h"
#include "platform/linux/net/PartialDownloadCache.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace qby::platform::linuxhost {

class HttpGet;

// One download over HTTP(S) (HttpGet), reporting to its delegate from the main thread's event
// loop.
// The body is written to the destination as it arrives, exactly as served: a body with a
// content encoding is never decoded. The delegate is asked about a gzip encoding, but its answer
// changes nothing, since the only encodings it would have decoded (MacBinary, BinHex) are not
// HTTP content encodings. A try cut short by a transient failure goes on, when the delegate
// says so, from the bytes on disk: "Range: bytes=N-" with "If-Range" carrying the first
// answer's ETag (or Last-Modified); a 206 for exactly the rest appends, a 200 starts over into
// the emptied file, anything else fails. Without a validator a retry starts over. The bytes of
// a download cancelled or given up after transient failures are kept in the cache, and the next
// download of the same URL goes on from them in the same way. The delegate may cancel or
// destroy the download from any report.
class LinuxUrlDownload : public QObject, public UrlDownload {
public:
    // Sends the request once the creator has returned to the event loop. timeoutSeconds is the
    // longest stretch without data before a try fails; zero or less means no limit.
    LinuxUrlDownload(const QUrl& url, const PartialDownloadCache& cache, double timeoutSeconds,
                     UrlDownloadDelegate& delegate);
    ~LinuxUrlDownload() override;

    void setDeletesFileUponFailure(bool deletes) override;
    // Takes over the bytes kept in the cache for the URL, when there are.
    void setDestination(const QString& path, bool allowOverwrite) override;
    // Stops the transfer (or the wait for the next try) and keeps the partly written file in
    // the cache (when it has a validator; else it is deleted).
    void cancel() override;
    std::optional<QByteArray> sha256OfBody() const override;

private:
    // One try: the whole body, or the rest of it when the bytes on disk can be kept.
    void sendRequest();
    // Each returns false when the download has ended, waits for another try, or its delegate
    // destroyed it.
    bool begin();
    bool receiveResponse();
    bool startBody(const UrlResponse& response);
    bool resumeBody(UrlResponse response);
    bool receiveData();
    void complete();
    template <typename Report>
    bool tell(Report report);

    void checkStall();
    // A transient failure waits for another try when the delegate wants one; anything else ends
    // the download.
    void failTry(const foundation::Error& error);
    // True when the delegate chose another try (or ended the download while asked).
    bool retryLater(const foundation::Error& error);
    void fail(const foundation::Error& error);
    void dropConnection();
    // The partly written file goes to the cache, when asked and it can be resumed, or is deleted.
    void keepOrRemovePart(bool keep);
    void stopTransfer();

    const QUrl url_;
    const PartialDownloadCache& cache_;
    QPointer<HttpGet> get_;
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
    // The whole body's length, -1 when not announced.
    qint64 expectedLength_ = -1;
    qint64 bytesWritten_ = 0;
    qint64 bytesThisTry_ = 0;
    // Where the running try asked the body to go on from; -1: from its start.
    qint64 resumeOffset_ = -1;
    // The first answer's ETag or Last-Modified, for If-Range; empty: no resuming.
    QByteArray validator_;
    // What one read takes from the connection at a time.
    QByteArray chunk_ = QByteArray(256 << 10, Qt::Uninitialized);
};

}  // namespace qby::platform::linuxhost

#pragma once

#include "platform/UrlDownload.h"
#include "platform/linux/DestinationFile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QNetworkReply;

namespace qby::platform::linuxhost {

// One download on a Qt network reply, reporting to its delegate from the main thread's event
// loop. The body is written to the destination as it arrives, exactly as served: a body with a
// content encoding is never decoded. The delegate is asked about a gzip encoding, but its answer
// changes nothing, since the only encodings it would have decoded (MacBinary, BinHex) are not
// HTTP content encodings. The delegate may cancel or destroy the download from any report.
class LinuxUrlDownload : public QObject, public UrlDownload {
public:
    // Takes over a reply that has not yet reached the event loop. timeoutSeconds is the longest
    // stretch without data before the download fails; zero or less means no limit.
    LinuxUrlDownload(QNetworkReply* reply, double timeoutSeconds, UrlDownloadDelegate& delegate);
    ~LinuxUrlDownload() override;

    void setDeletesFileUponFailure(bool deletes) override;
    void setDestination(const QString& path, bool allowOverwrite) override;
    // Stops the transfer and deletes the partly written file, since nothing can use it.
    void cancel() override;

private:
    // Each returns false when the download has ended or its delegate destroyed it.
    bool begin();
    bool receiveResponse();
    bool receiveData();
    void complete();
    template <typename Report>
    bool tell(Report report);

    void checkStall();
    void fail(const foundation::Error& error);
    void stopTransfer();

    QPointer<QNetworkReply> reply_;
    UrlDownloadDelegate& delegate_;
    double timeoutSeconds_;
    int stallMilliseconds_ = 0;
    QTimer stallTimer_;
    QElapsedTimer sinceActivity_;
    DestinationFile file_;
    bool deletesFileUponFailure_ = false;
    bool begun_ = false;
    bool ended_ = false;
    qint64 expectedLength_ = -1;
    qint64 bytesWritten_ = 0;
};

}  // namespace qby::platform::linuxhost

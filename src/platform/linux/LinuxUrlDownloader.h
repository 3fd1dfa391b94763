#pragma once

#include "platform/UrlDownload.h"

#include <QNetworkAccessManager>

namespace qby::platform::linuxhost {

// Downloads over Qt Network, sharing one access manager (and its connections) in the main
// thread. Lives at least as long as its downloads.
class LinuxUrlDownloader : public UrlDownloader {
public:
    LinuxUrlDownloader();

    std::unique_ptr<UrlDownload> startDownload(const QUrl& url, double timeoutSeconds,
                                               UrlDownloadDelegate& delegate) override;

private:
    QNetworkAccessManager manager_;
};

}  // namespace qby::platform::linuxhost

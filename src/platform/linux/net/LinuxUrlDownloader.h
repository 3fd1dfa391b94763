#pragma once

#include "platform/UrlDownload.h"
#include "platform/linux/net/PartialDownloadCache.h"

#include <QNetworkAccessManager>

namespace qby::platform::linuxhost {

// Downloads over Qt Network in the main thread, sharing one access manager and one cache of the
// bytes of downloads cut short, whose stale entries go when the downloader is made. Lives at least
// as long as its downloads.
class LinuxUrlDownloader : public UrlDownloader {
public:
    explicit LinuxUrlDownloader(QString cacheFolder = PartialDownloadCache::defaultFolder());

    std::unique_ptr<UrlDownload> startDownload(const QUrl& url, double timeoutSeconds,
                                               UrlDownloadDelegate& delegate) override;

private:
    QNetworkAccessManager manager_;
    PartialDownloadCache cache_;
};

}  // namespace qby::platform::linuxhost

#include "platform/linux/net/LinuxUrlDownloader.h"

#include "platform/linux/net/LinuxUrlDownload.h"
#include "platform/linux/net/NetworkRequests.h"

namespace qby::platform::linuxhost {

LinuxUrlDownloader::LinuxUrlDownloader(QString cacheFolder) : cache_(std::move(cacheFolder)) {
    useSystemProxies();
}

std::unique_ptr<UrlDownload> LinuxUrlDownloader::startDownload(const QUrl& url,
                                                               double timeoutSeconds,
                                                               UrlDownloadDelegate& delegate) {
    QNetworkRequest request = plainRequest(url);
    // Without it Qt asks for gzip and decodes it silently, dropping the announced length: the
    // archive must reach the disk as served.
    request.setRawHeader("Accept-Encoding", "identity");
    return std::make_unique<LinuxUrlDownload>(manager_, request, cache_, timeoutSeconds, delegate);
}

}  // namespace qby::platform::linuxhost

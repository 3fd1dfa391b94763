#include "platform/linux/LinuxUrlDownloader.h"

#include "platform/linux/LinuxUrlDownload.h"
#include "platform/linux/NetworkRequests.h"

#include <QNetworkReply>

namespace qby::platform::linuxhost {

LinuxUrlDownloader::LinuxUrlDownloader() {
    useSystemProxies();
}

std::unique_ptr<UrlDownload> LinuxUrlDownloader::startDownload(const QUrl& url,
                                                               double timeoutSeconds,
                                                               UrlDownloadDelegate& delegate) {
    QNetworkRequest request = plainRequest(url);
    // Without it Qt asks for gzip and decodes it silently, dropping the announced length: the
    // archive must reach the disk as served.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = manager_.get(request);
    // Qt's default buffer is unbounded: a fast server would fill memory ahead of the disk.
    reply->setReadBufferSize(kReadBufferBytes);
    return std::make_unique<LinuxUrlDownload>(reply, timeoutSeconds, delegate);
}

}  // namespace qby::platform::linuxhost

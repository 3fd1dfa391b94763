#include "platform/linux/net/LinuxUrlDownloader.h"

#include "platform/linux/net/LinuxUrlDownload.h"
#include "platform/linux/net/NetworkRequests.h"

#include <malloc.h>

namespace qby::platform::linuxhost {

LinuxUrlDownloader::LinuxUrlDownloader(QString cacheFolder) : cache_(std::move(cacheFolder)) {
    useSystemProxies();
    cache_.removeStale();
    // Qt's network thread takes each chunk of a body into a fresh block of several hundred
    // kilobytes; glibc would map and unmap every one, faulting in each page of the archive
    // anew. Blocks of that size are kept in the heap for reuse instead.
    mallopt(M_MMAP_THRESHOLD, 8 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
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

#include "platform/linux/net/LinuxUrlDownloader.h"

#include "platform/linux/net/LinuxUrlDownload.h"
#include "platform/linux/net/NetworkRequests.h"

#include <malloc.h>

namespace qby::platform::linuxhost {

LinuxUrlDownloader::LinuxUrlDownloader(QString cacheFolder) : cache_(std::move(cacheFolder)) {
    useSystemProxies();
    // The sockets' buffers grow and shrink by blocks of several hundred kilobytes; glibc would
    // map and unmap every one, faulting in each page of the archive anew. Blocks of that size
    // are kept in the heap for reuse instead.
    mallopt(M_MMAP_THRESHOLD, 8 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
}

std::unique_ptr<UrlDownload> LinuxUrlDownloader::startDownload(const QUrl& url,
                                                               double timeoutSeconds,
                                                               UrlDownloadDelegate& delegate) {
    return std::make_unique<LinuxUrlDownload>(url, cache_, timeoutSeconds, delegate);
}

}  // namespace qby::platform::linuxhost

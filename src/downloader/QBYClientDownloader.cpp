#include "downloader/QBYClientDownloader.h"

namespace qby {
namespace {

std::atomic<QBYClientDownloader*> sharedInstance{nullptr};

}  // namespace

QBYClientDownloader::QBYClientDownloader(platform::DownloadWindow& window,
                                         platform::Application& application)
    : window_(window), application_(application) {}

QBYClientDownloader::~QBYClientDownloader() {
    QBYClientDownloader* self = this;
    sharedInstance.compare_exchange_strong(self, nullptr);
}

QBYClientDownloader* QBYClientDownloader::sharedDownloader() {
    return sharedInstance.load();
}

void QBYClientDownloader::awakeFromNib() {
    sharedInstance.store(this);
    window_.setCancelAction([this] { doCancelDownload(); });
}

void QBYClientDownloader::startDownload(CompletionHandler completionHandler) {
    window_.center();
    window_.makeKeyAndOrderFront();
    completionHandler_ = std::move(completionHandler);
}

void QBYClientDownloader::doCancelDownload() {
    setDownloadCancelled(true);
    application_.terminate();
}

}  // namespace qby

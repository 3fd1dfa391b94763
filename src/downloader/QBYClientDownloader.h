#pragma once

#include "platform/Application.h"
#include "platform/DownloadWindow.h"

#include <atomic>
#include <functional>

namespace qby {

// Fetches and installs the store client on the install road. Created with the download window
// when the interface file "ClientDownloader" loads; registers itself as the shared downloader.
class QBYClientDownloader {
public:
    using CompletionHandler = std::function<void()>;

    QBYClientDownloader(platform::DownloadWindow& window, platform::Application& application);
    ~QBYClientDownloader();
    QBYClientDownloader(const QBYClientDownloader&) = delete;
    QBYClientDownloader& operator=(const QBYClientDownloader&) = delete;

    // The downloader registered by the last awakeFromNib(); none before.
    static QBYClientDownloader* sharedDownloader();
    // Called once the interface file has loaded: becomes the shared downloader.
    void awakeFromNib();

    // Shows the download window centred and in front, and keeps the completion handler.
    void startDownload(CompletionHandler completionHandler);
    // The window's cancel control: stops everything and ends the application at once.
    void doCancelDownload();

    bool downloadCancelled() const { return downloadCancelled_.load(); }
    void setDownloadCancelled(bool cancelled) { downloadCancelled_.store(cancelled); }

private:
    platform::DownloadWindow& window_;
    platform::Application& application_;
    CompletionHandler completionHandler_;
    // Read by the feed fetch task off the main thread.
    std::atomic<bool> downloadCancelled_{false};
};

}  // namespace qby

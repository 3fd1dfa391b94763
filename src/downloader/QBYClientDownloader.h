#pragma once

#include "downloader/DownloadProgressText.h"
#include "downloader/DownloadRetryPolicy.h"
#include "downloader/DownloaderServices.h"
#include "downloader/FeedAuthenticity.h"
#include "platform/UrlDownload.h"

#include <QString>
#include <QVariantList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace qby::downloader {

// Fetches and installs the store client on the install road: reads the
// release feed off the main thread, chooses the release for this machine, downloads its archive
// with a progress bar, unpacks it, puts the client into /Applications (or, where the user may not
// write there, into ~/Applications: nobody is asked for a password), launches it and ends the
// application. Created with the download window
// when the interface file "ClientDownloader" loads; registers itself as the shared downloader.
// Everything but the feed fetch task runs on the main thread.
class QBYClientDownloader : public platform::UrlDownloadDelegate {
public:
    using CompletionHandler = std::function<void()>;

    // The release feed and the most it may hold.
    static const QString kReleaseFeedUrl;
    static constexpr qint64 kReleaseFeedMaxBytes = 32 * 1024 * 1024;
    // How long the archive's transfer may stall.
    static constexpr double kDownloadTimeoutSeconds = 60.0;
    static const QString kTemporaryFolderPrefix;
    static const QString kInstallDestination;

    explicit QBYClientDownloader(const DownloaderServices& services);
    ~QBYClientDownloader() override;
    QBYClientDownloader(const QBYClientDownloader&) = delete;
    QBYClientDownloader& operator=(const QBYClientDownloader&) = delete;

    // The downloader registered by the last awakeFromNib(); none before.
    static QBYClientDownloader* sharedDownloader();
    // Called once the interface file has loaded: becomes the shared downloader and takes the
    // window's cancel control.
    void awakeFromNib();

    // --- Release feed and selection ---
    // Shows the window centred and in front, keeps the handler (never invoked) and submits the
    // feed fetch task; returns at once.
    void startDownload(CompletionHandler completionHandler);
    // Chooses the release for this machine and starts its download, or calls downloadFailed.
    void doDownload(const QVariantList& entries);
    // The sheet for a release feed that cannot be used or a release that cannot be had.
    void downloadFailed();
    // <temporary folder>/<prefix>-<unique token>, not yet created.
    QString pathForTemporaryFileWithPrefix(const QString& prefix);

    // --- The download's reports, and cancel ---
    void downloadDidBegin() override;
    void downloadDidReceiveResponse(const platform::UrlResponse& response) override;
    bool downloadShouldDecodeSourceDataOfMIMEType(const QString& encodingType) override;
    void downloadDidReceiveDataOfLength(quint64 length) override;
    // Another try as the retry policy has it; the status line says how long the wait is.
    std::optional<qint64> downloadShouldRetryAfterError(
        const foundation::Error& error, const platform::FailedTry& failedTry) override;
    // The bar keeps its place: the count goes on from the bytes already held.
    void downloadWillResumeWithResponse(const platform::UrlResponse& response,
                                        qint64 offset) override;
    void downloadDidFinish() override;
    void downloadDidFailWithError(const foundation::Error& error) override;
    // The window's cancel control: stops everything and ends the application at once.
    void doCancelDownload();

    // --- Install ---
    // Puts the unpacked client at destination when the user may write its folder, else in
    // ~/Applications, swapped in whole for any old copy, and gives it the user's desktop entry.
    // True when installed (installedClient() says where).
    bool installClient(const QString& source, const QString& destination);
    // Where the last successful install put the client; empty before.
    const QString& installedClient() const { return installedClient_; }

    // --- fields ---
    platform::DownloadWindow& window() const { return services_.window; }
    platform::UrlDownload* clientDownload() const { return clientDownload_.get(); }
    const std::optional<platform::UrlResponse>& downloadResponse() const {
        return downloadResponse_;
    }
    const QString& downloadPath() const { return downloadPath_; }
    void setDownloadPath(const QString& path) { downloadPath_ = path; }
    qint64 downloadSizeInBytes() const { return downloadSizeInBytes_; }
    void setDownloadSizeInBytes(qint64 size) { downloadSizeInBytes_ = size; }
    qint64 bytesReceived() const { return bytesReceived_; }
    void setBytesReceived(qint64 bytes) { bytesReceived_ = bytes; }
    bool downloadCancelled() const { return downloadCancelled_->load(); }
    void setDownloadCancelled(bool cancelled) { downloadCancelled_->store(cancelled); }
    const CompletionHandler& completionHandler() const { return completionHandler_; }

private:
    // The check of the feed that this build requires, with the serial stamped into the bundle.
    FeedAuthenticator feedAuthenticator() const;
    // The sheet "The Quillbay app could not be downloaded." with this informative text and
    // "Quit"; dismissing it ends the application.
    void showDownloadFailureSheet(const QString& informativeText);
    // clientDownload becomes none; the object lives on, since its reports come from inside it.
    void clearClientDownload();
    // One log line for an install road that ends without a message to the user.
    void logInstallStopped(const QString& reason);
    // The sheet of a disk that filled up, saying how much room a client of that archive needs.
    void showDiskFullSheet(qint64 archiveBytes);
    // The user's desktop entry; a failure is logged, the client stays installed.
    void registerForUser(const QString& bundlePath);
    bool endedShort() const;
    // The body's length as the server announced it, else as the release promised it; -1: none.
    qint64 promisedLength() const;
    // The client bundle among the unpacked names: the first folder by name ending in ".app".
    std::optional<QString> clientBundleIn(const QString& folder, QStringList names) const;
    // The private download folder and all in it; logged when it cannot go.
    void removeDownloadFolder();
    // Whether the finished archive is what the chosen release promised; logs the verdict.
    bool archiveIntact();
    // The sheet of a download that cannot be unpacked, the download folder removed.
    void refuseFinishedDownload(const QString& informativeText);
    void showProgress();
    QString localized(const QString& key) const;

    DownloaderServices services_;
    std::unique_ptr<platform::UrlDownload> clientDownload_;
    std::unique_ptr<platform::UrlDownload> endedDownload_;
    std::optional<platform::UrlResponse> downloadResponse_;
    QString downloadPath_;
    QString installedClient_;
    // The private folder the download went into, while it stands.
    QString downloadFolder_;
    qint64 downloadSizeInBytes_ = 0;
    ArchiveIntegrity promisedIntegrity_;
    qint64 bytesReceived_ = 0;
    // Shared with the feed fetch task, which reads it off the main thread and may outlive us.
    std::shared_ptr<std::atomic<bool>> downloadCancelled_ =
        std::make_shared<std::atomic<bool>>(false);
    CompletionHandler completionHandler_;
    // Expires with the downloader: a feed handed back after that finds nobody to tell.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
    DownloadProgressText progressText_;
    DownloadRetryPolicy retryPolicy_;
    bool barIndeterminate_ = false;
    // Unpacking or installing ran out of disk space.
    bool diskFull_ = false;
};

}  // namespace qby::downloader

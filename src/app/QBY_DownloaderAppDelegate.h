#pragma once

#include "client/HandOffFlag.h"
#include "client/QBYClientProxy.h"
#include "downloader/DownloaderServices.h"
#include "foundation/DownloadRequest.h"
#include "foundation/SystemInfo.h"
#include "platform/PlatformServices.h"

#include <memory>

namespace qby::downloader {
class QBYClientDownloader;
}

namespace qby::app {

// The application's delegate: one pass at launch that hands the request to the store client (or
// offers to install it), and the clean-up at termination.
class QBY_DownloaderAppDelegate {
public:
    // install: the services of the install road, handed on to the client downloader.
    QBY_DownloaderAppDelegate(const platform::PlatformServices& services,
                              client::QBYClientProxy& proxy, foundation::SystemInfo& systemInfo,
                              client::HandOffFlag& handOff,
                              const downloader::InstallServices& install);
    ~QBY_DownloaderAppDelegate();

    // Ends the application; opens nothing.
    void openStoreURL();
    // The launch sequence: request, OS gate, then the running, installed or install road.
    void applicationDidFinishLaunching();
    // Removes the downloader's own files once the request has been handed over.
    void applicationWillTerminate();

private:
    void refuseTooOldSystem();
    void handToRunningClient(platform::RunningApplication& client);
    void handToInstalledClient(const std::shared_ptr<platform::RunningApplication>& client);
    void offerInstall();
    void writeRequest();
    // The request has reached the client: the downloader may now remove itself.
    void markHandedOver();
    QString localized(const QString& key) const;

    platform::PlatformServices services_;
    downloader::InstallServices install_;
    client::QBYClientProxy& proxy_;
    foundation::SystemInfo& systemInfo_;
    client::HandOffFlag& handOff_;
    foundation::DownloadRequest request_;
    bool requestWritten_ = false;
    std::unique_ptr<downloader::QBYClientDownloader> downloader_;
};

}  // namespace qby::app

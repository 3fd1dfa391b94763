#pragma once

#include "client/HandOffFlag.h"
#include "client/QBYClientProxy.h"
#include "downloader/ReleaseIntegrity.h"
#include "foundation/SystemInfo.h"
#include "platform/Application.h"
#include "platform/ArchiveTools.h"
#include "platform/ArchiveVerifier.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/Dispatch.h"
#include "platform/DownloadWindow.h"
#include "platform/FileManager.h"
#include "platform/Logs.h"
#include "platform/Pauses.h"
#include "platform/ProcessInfo.h"
#include "platform/PropertyLists.h"
#include "platform/UrlDownload.h"
#include "platform/UrlLoader.h"
#include "platform/UserApplications.h"

namespace qby::downloader {

// The platform services that only the install road needs, beside platform::PlatformServices.
struct InstallServices {
    platform::UrlLoader& urlLoader;
    platform::Dispatch& dispatch;
    platform::UrlDownloader& urlDownloader;
    platform::ArchiveTools& archiveTools;
    platform::Clock& clock;
    platform::ArchiveVerifier& archiveVerifier;
    // The keys fixed when the downloader was built, and whether a signature is required.
    const ReleaseTrust& trust;
    platform::UserApplications& userApplications;
};

// Everything QBYClientDownloader uses, handed to it at construction.
struct DownloaderServices {
    // The download window of the interface file "ClientDownloader", with its bar mBar.
    platform::DownloadWindow& window;
    platform::Application& application;
    platform::Bundle& bundle;
    platform::FileManager& fileManager;
    platform::PropertyLists& propertyLists;
    platform::ProcessInfo& processInfo;
    platform::Pauses& pauses;
    platform::Logs& logs;
    InstallServices install;
    foundation::SystemInfo& systemInfo;
    client::QBYClientProxy& proxy;
    client::HandOffFlag& handOff;
    // Whether the request reached the notification drop folder. Without it the freshly launched
    // client cannot find the request, so the hand-off flag stays unset and the downloader, whose
    // name or request file still carries the request, is kept.
    bool requestWritten = true;
};

}  // namespace qby::downloader

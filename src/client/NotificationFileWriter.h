#pragma once

#include "foundation/DownloadRequest.h"
#include "platform/FileManager.h"
#include "platform/Logs.h"
#include "platform/ProcessInfo.h"
#include "platform/PropertyLists.h"

namespace qby::client {

// The store's web site, named as one folder; the store client reads the same folder.
inline const QString kStoreSiteFolder = QStringLiteral("quillbay.com");

// Where the store client picks up requests: <application data>/quillbay.com/Notifications.
// Nothing when the platform reports no application data folder.
std::optional<QString> notificationDropFolder(const platform::FileManager& fileManager);

// The services the notification file writer uses.
struct NotificationFileServices {
    platform::FileManager& fileManager;
    platform::PropertyLists& propertyLists;
    platform::ProcessInfo& processInfo;
    platform::Logs& logs;
};

// Writes the request as <prefix>.<unique token>.plist into the drop folder, atomically and
// readable by the user alone. A folder that cannot be created is logged. True when the file was
// written: the launch goes on either way, but only a written request lets the downloader,
// whose name may carry the request, remove itself.
bool writeNotificationFile(const foundation::DownloadRequest& request, const QString& prefix,
                           const NotificationFileServices& services);

}  // namespace qby::client

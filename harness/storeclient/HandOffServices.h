#pragma once

#include "client/NotificationFileWriter.h"
#include "client/QBYClientProxy.h"
#include "foundation/SystemInfo.h"
#include "platform/linux/desktop/LinuxMetadataSearch.h"
#include "platform/linux/desktop/LinuxNotificationCenter.h"
#include "platform/linux/desktop/LinuxWorkspace.h"
#include "platform/linux/files/LinuxFileManager.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"
#include "platform/linux/system/LinuxBundle.h"
#include "platform/linux/system/LinuxLogs.h"
#include "platform/linux/system/LinuxPauses.h"
#include "platform/linux/system/LinuxProcessInfo.h"
#include "platform/linux/system/LinuxSystemProbe.h"
#include "platform/linux/ui/LinuxApplication.h"

#include <QDBusConnection>
#include <QString>

namespace qby::harness::storeclient {

// The downloader's side of the hand-off on the real Linux services, talking over the given bus
// and looking for applications under the given home folder. The drop folder follows the
// process's XDG_DATA_HOME, as it does for the downloader.
class HandOffServices {
public:
    HandOffServices(const QDBusConnection& bus, const QString& home);
    HandOffServices(const HandOffServices&) = delete;
    HandOffServices& operator=(const HandOffServices&) = delete;

    client::QBYClientProxy& proxy() { return proxy_; }
    client::NotificationFileServices fileServices() {
        return {fileManager_, propertyLists_, processInfo_, logs_};
    }

private:
    platform::linuxhost::LinuxFileManager fileManager_;
    platform::linuxhost::LibPlistPropertyLists propertyLists_;
    platform::linuxhost::LinuxProcessInfo processInfo_;
    platform::linuxhost::LinuxLogs logs_;
    platform::linuxhost::LinuxWorkspace workspace_;
    platform::linuxhost::LinuxMetadataSearch metadataSearch_;
    platform::linuxhost::LinuxNotificationCenter notificationCenter_;
    platform::linuxhost::LinuxApplication application_;
    platform::linuxhost::LinuxBundle bundle_;
    platform::linuxhost::LinuxPauses pauses_;
    platform::linuxhost::LinuxSystemProbe probe_;
    foundation::SystemInfo systemInfo_;
    client::QBYClientProxy proxy_;
};

}  // namespace qby::harness::storeclient

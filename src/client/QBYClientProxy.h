#pragma once

#include "foundation/SystemInfo.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/Logs.h"
#include "platform/MetadataSearch.h"
#include "platform/NotificationCenter.h"
#include "platform/Pauses.h"
#include "platform/Workspace.h"

#include <memory>
#include <optional>

namespace qby::client {

// The services the client proxy uses.
struct ClientProxyServices {
    platform::Workspace& workspace;
    platform::MetadataSearch& metadataSearch;
    platform::NotificationCenter& notificationCenter;
    platform::Application& application;
    platform::Bundle& bundle;
    platform::Pauses& pauses;
    foundation::SystemInfo& systemInfo;
    platform::Logs& logs;
};

// The one point of contact with the store client: finds it, tells whether it is installed or
// running, launches it and notifies it.
class QBYClientProxy {
public:
    explicit QBYClientProxy(const ClientProxyServices& services);

    // The process-wide proxy that the entry point registered.
    static QBYClientProxy* sharedProxy();
    static void setSharedProxy(QBYClientProxy* proxy);

    // The installed client's bundle path: the registry's answer, else the first acceptable result
    // of the metadata search; excluded paths never count.
    std::optional<QString> getClientPath();
    // False on a system older than 10.6 without looking; else whether getClientPath finds it.
    bool isClientInstalled();
    // The first running application with the client's bundle identifier.
    std::shared_ptr<platform::RunningApplication> isClientRunning();
    // Starts the client; on failure shows the "could not be started" alert and answers false.
    bool launchClient(const QString& clientPath);
    // Broadcasts the notification and returns at once.
    void notifyClient(const QString& name);

private:
    std::optional<QString> searchMetadata();
    QString localized(const QString& key) const;

    ClientProxyServices services_;
};

}  // namespace qby::client

#pragma once

#include "platform/NotificationCenter.h"

#include <QDBusConnection>

namespace qby::platform::linuxhost {

// Notifications as D-Bus signals on the user's session bus: path
// /com/quillbay/DistributedNotification, interface com.quillbay.DistributedNotification,
// member Posted, the name as the one string argument. Without a session bus nothing is posted.
class LinuxNotificationCenter : public NotificationCenter {
public:
    explicit LinuxNotificationCenter(QDBusConnection bus = QDBusConnection::sessionBus());
    void postNotification(const QString& name) override;

private:
    QDBusConnection bus_;
};

}  // namespace qby::platform::linuxhost

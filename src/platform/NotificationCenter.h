#pragma once

#include <QString>

namespace qby::platform {

// Payload-free broadcasts by name to the user's processes.
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;

    // Posts the notification at once and returns without waiting for any receiver.
    virtual void postNotification(const QString& name) = 0;
};

}  // namespace qby::platform

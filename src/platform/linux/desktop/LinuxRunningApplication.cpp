#include "platform/linux/desktop/LinuxRunningApplication.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace qby::platform::linuxhost {

LinuxRunningApplication::LinuxRunningApplication(QString busName, QDBusConnection bus)
    : busName_(std::move(busName)), bus_(std::move(bus)) {}

std::optional<QString> LinuxRunningApplication::bundleIdentifier() const {
    if (busName_.isEmpty()) return std::nullopt;
    return busName_;
}

bool LinuxRunningApplication::activateWithOptions(int /*options*/) {
    if (busName_.isEmpty() || !bus_.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(busName_, objectPathFor(busName_),
                                                       "org.freedesktop.Application", "Activate");
    call << QVariantMap();  // platform data a{sv}: none
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kActivateTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QString LinuxRunningApplication::objectPathFor(const QString& busName) {
    QString path = "/" + busName;
    path.replace('.', '/').replace('-', '_');
    return path;
}

}  // namespace qby::platform::linuxhost

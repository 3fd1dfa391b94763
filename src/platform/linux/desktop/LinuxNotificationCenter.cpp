#include "platform/linux/desktop/LinuxNotificationCenter.h"

#include <QDBusMessage>

namespace qby::platform::linuxhost {

namespace {

constexpr int kFlushTimeoutMs = 2000;

}  // namespace

LinuxNotificationCenter::LinuxNotificationCenter(QDBusConnection bus) : bus_(std::move(bus)) {}

void LinuxNotificationCenter::postNotification(const QString& name) {
    if (!bus_.isConnected()) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        "/com/quillbay/DistributedNotification", "com.quillbay.DistributedNotification", "Posted");
    signal << name;
    if (!bus_.send(signal)) return;
    // send() only queues the signal; the process usually ends right after posting. A round trip
    // to the bus itself, sent behind the signal on the same connection, returns once the bus
    // has the signal. It waits for the bus, never for a receiver.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Peer", "Ping");
    bus_.call(ping, QDBus::Block, kFlushTimeoutMs);
}

}  // namespace qby::platform::linuxhost

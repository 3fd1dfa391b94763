#pragma once

#include <sys/types.h>
#include <QDBusConnection>
#include <QString>
#include <QTemporaryDir>

namespace qby::testsupport {

// A private session bus for one test: its own dbus-daemon listening in a fresh temporary folder.
//
//     PrivateSessionBus bus;
//     ASSERT_TRUE(bus.isRunning());
//     QDBusConnection c = bus.connection("owner");   // a named, connected client
//
// The daemon is killed and reaped when the object is destroyed; connections made through
// connection() are disconnected first. Not copyable.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // True when the daemon started and printed its address.
    bool isRunning() const { return !address_.isEmpty(); }

    // The daemon's address ("unix:path=...,guid=..."); empty when it did not start.
    QString address() const { return address_; }

    // A client connection to this bus under the connection name (unique per test process;
    // the name is prefixed with a per-bus tag so two buses never share a connection).
    QDBusConnection connection(const QString& name);

private:
    void stop();

    QTemporaryDir folder_;
    QString address_;
    QString tag_;
    QStringList connectionNames_;
    pid_t pid_ = -1;
};

}  // namespace qby::testsupport

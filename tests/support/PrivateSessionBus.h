#pragma once

#include <sys/types.h>
#include <QDBusConnection>
#include <QString>
#include <QTemporaryDir>

namespace qby::testsupport {

// A private session bus for one test: its own dbus-daemon in a fresh temporary folder, killed
// and reaped (after the connections made through connection() are closed) when the object goes.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return !address_.isEmpty(); }

    // "unix:path=...,guid=..."; empty when the daemon did not start.
    QString address() const { return address_; }

    // A client connection under the name, prefixed with a tag of this bus.
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

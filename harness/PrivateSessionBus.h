#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace qby::harness {

// A private session bus for one test: its own dbus-daemon listening in a fresh temporary folder,
// stopped (after the connections made through connection() are closed) when the object goes.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    // The daemon's address ("unix:path=...,guid=..."); empty when it did not start.
    QString address() const { return address_; }
    // A client connection under the name, made unique to this bus.
    QDBusConnection connection(const QString& name);

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
    QString tag_;
    QStringList connectionNames_;
};

}  // namespace qby::harness

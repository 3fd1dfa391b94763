#include "PrivateSessionBus.h"

#include <QUuid>

namespace qby::harness {

PrivateSessionBus::PrivateSessionBus() : tag_(QUuid::createUuid().toString(QUuid::Id128)) {
    if (!folder_.isValid()) return;
    // Running as root it complains about the file limit; its address is all we need from it.
    daemon_.setStandardErrorFile(QProcess::nullDevice());
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1",
                                  "--address=unix:dir=" + folder_.path()});
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(10000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus() {
    for (const QString& name : connectionNames_) QDBusConnection::disconnectFromBus(name);
    daemon_.terminate();
    daemon_.waitForFinished(5000);
}

QDBusConnection PrivateSessionBus::connection(const QString& name) {
    const QString full = tag_ + "-" + name;
    if (!connectionNames_.contains(full)) connectionNames_.append(full);
    return QDBusConnection::connectToBus(address_, full);
}

}  // namespace qby::harness

#pragma once

#include "platform/RunningApplication.h"

#include <QDBusConnection>

namespace qby::platform::linuxhost {

// A running application known by its well-known name on the session bus, which is its bundle
// identifier. Activation calls org.freedesktop.Application.Activate on the object path made
// from the name (com.quillbay.Client2 -> /com/quillbay/Client2).
class LinuxRunningApplication : public RunningApplication {
public:
    // A stuck peer cannot hold the caller longer than this.
    static constexpr int kActivateTimeoutMs = 2000;

    LinuxRunningApplication(QString busName, QDBusConnection bus);

    // The bus name; nothing when it is empty.
    std::optional<QString> bundleIdentifier() const override;
    // The option bits do not change the request: Activate always raises the application.
    // True when the application answered without an error.
    bool activateWithOptions(int options) override;

    // The object path of the name: "/" + name with "." as "/" and "-" as "_".
    static QString objectPathFor(const QString& busName);

private:
    QString busName_;
    QDBusConnection bus_;
};

}  // namespace qby::platform::linuxhost

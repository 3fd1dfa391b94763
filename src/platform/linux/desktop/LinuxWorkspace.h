#pragma once

#include "platform/Workspace.h"

#include <QDBusConnection>
#include <QDir>
#include <QStringList>

namespace qby::platform::linuxhost {

// The user's applications on Linux. The registry is the *.app bundles directly inside the
// application folders; running applications are the well-known names on the session bus.
class LinuxWorkspace : public Workspace {
public:
    // The bus is asked at most this long for its names.
    static constexpr int kListNamesTimeoutMs = 2000;

    explicit LinuxWorkspace(QStringList applicationFolders = {"/Applications",
                                                              QDir::homePath() + "/Applications"},
                            QDBusConnection bus = QDBusConnection::sessionBus(),
                            QString homeFolder = QDir::homePath());

    // The first bundle, folder by folder and by name within a folder, whose Info.plist has
    // exactly this CFBundleIdentifier.
    std::optional<QString> absolutePathForAppBundleWithIdentifier(
        const QString& bundleIdentifier) override;

    // Every well-known name on the session bus, in the bus's order, except the bus's own name.
    // Empty at once without a session bus.
    std::vector<std::shared_ptr<RunningApplication>> runningApplications() override;

    // Starts Contents/MacOS/<CFBundleExecutable> detached, in the home folder. Error codes:
    // ENOENT when Info.plist or the executable is missing, EACCES when the file may not be
    // executed, ENOEXEC when Info.plist names no usable executable (missing, empty, or a name
    // that would leave Contents/MacOS such as "../../bin/sh") or the file is no program.
    LaunchResult launchApplication(const QString& bundlePath) override;

    bool openURL(const QUrl& url) override;

private:
    QStringList applicationFolders_;
    QDBusConnection bus_;
    QString homeFolder_;
};

}  // namespace qby::platform::linuxhost

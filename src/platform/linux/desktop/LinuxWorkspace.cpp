#include "platform/linux/desktop/LinuxWorkspace.h"

#include "foundation/BundleLayout.h"
#include "platform/linux/desktop/LinuxRunningApplication.h"
#include "platform/linux/files/DirectoryListing.h"
#include "platform/linux/files/PosixError.h"
#include "platform/linux/plist/InfoPlistReader.h"
#include "platform/linux/system/DetachedLauncher.h"
#include "platform/linux/system/EventDispatcherChoice.h"

#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace qby::platform::linuxhost {

namespace {

// An application folder holding more entries than this is not read further.
constexpr size_t kMaxFolderEntries = 100'000;

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains(QChar(0));
}

}  // namespace

LinuxWorkspace::LinuxWorkspace(QStringList applicationFolders, QDBusConnection bus,
                               QString homeFolder)
    : applicationFolders_(std::move(applicationFolders)),
      bus_(std::move(bus)),
      homeFolder_(std::move(homeFolder)) {}

std::optional<QString> LinuxWorkspace::absolutePathForAppBundleWithIdentifier(
    const QString& bundleIdentifier) {
    for (const QString& folder : applicationFolders_) {
        for (const DirectoryEntry& entry :
             DirectoryListing::sortedEntries(folder, kMaxFolderEntries)) {
            if (!entry.name.endsWith(foundation::BundleLayout::extension())) continue;
            const QString path = QDir::cleanPath(QDir(folder).absoluteFilePath(entry.name));
            // A link to a bundle elsewhere is registered like the bundle itself.
            if (entry.kind != DirectoryEntry::Kind::Directory && !QFileInfo(path).isDir()) continue;
            if (InfoPlistReader::stringValue(path, "CFBundleIdentifier") == bundleIdentifier) {
                return path;
            }
        }
    }
    return std::nullopt;
}

std::vector<std::shared_ptr<RunningApplication>> LinuxWorkspace::runningApplications() {
    std::vector<std::shared_ptr<RunningApplication>> applications;
    if (!bus_.isConnected()) return applications;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames");
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kListNamesTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return applications;
    }
    for (const QString& name : reply.arguments().constFirst().toStringList()) {
        if (name.startsWith(':') || name == "org.freedesktop.DBus") continue;
        applications.push_back(std::make_shared<LinuxRunningApplication>(name, bus_));
    }
    return applications;
}

LaunchResult LinuxWorkspace::launchApplication(const QString& bundlePath) {
    // An empty path would name "/Contents/Info.plist" at the root, and a relative one depends on
    // the working folder: neither names a bundle.
    if (!QDir::isAbsolutePath(bundlePath)) {
        return foundation::Error{
            ENOENT, QStringLiteral("No bundle at the relative path \"%1\"").arg(bundlePath)};
    }
    const QString infoPlist = foundation::BundleLayout::infoPlist(bundlePath);
    const std::optional<QVariantMap> info = InfoPlistReader::read(bundlePath);
    if (!info) return PosixError::at(QFileInfo::exists(infoPlist) ? ENOEXEC : ENOENT, infoPlist);
    const QVariant executable = info->value("CFBundleExecutable");
    if (executable.typeId() != QMetaType::QString || !isPlainFileName(executable.toString())) {
        return foundation::Error{
            ENOEXEC, QStringLiteral("%1 names no executable inside the bundle").arg(infoPlist)};
    }

    const QString program = foundation::BundleLayout::executable(bundlePath, executable.toString());
    const int error =
        DetachedLauncher::launch(QFile::encodeName(program), QFile::encodeName(homeFolder_));
    if (error != 0) return PosixError::at(error, program);
    const QString identifier = info->value("CFBundleIdentifier").toString();
    return std::shared_ptr<RunningApplication>(
        std::make_shared<LinuxRunningApplication>(identifier, bus_));
}

bool LinuxWorkspace::openURL(const QUrl& url) {
    const EventDispatcherChoice::ForPrograms browserEnvironment;
    return QDesktopServices::openUrl(url);
}

}  // namespace qby::platform::linuxhost

#include "client/NotificationFileWriter.h"

namespace qby::client {

std::optional<QString> notificationDropFolder(const platform::FileManager& fileManager) {
    const QStringList folders = fileManager.applicationSupportDirectories();
    if (folders.isEmpty() || folders.first().isEmpty()) return std::nullopt;
    return QStringLiteral("%1/%2/Notifications").arg(folders.first(), kStoreSiteFolder);
}

bool writeNotificationFile(const foundation::DownloadRequest& request, const QString& prefix,
                           const NotificationFileServices& services) {
    const std::optional<QString> folder = notificationDropFolder(services.fileManager);
    if (!folder) return false;

    if (!services.fileManager.createDirectory(*folder)) {
        services.logs.syslog(platform::kSyslogError,
                             QStringLiteral("Path Could Not Be Created: %1").arg(*folder));
        return false;
    }

    const QString fileName =
        QStringLiteral("%1.%2.plist").arg(prefix, services.processInfo.globallyUniqueString());
    const QString path = *folder + QLatin1Char('/') + fileName;
    services.fileManager.removeItem(path);
    return services.propertyLists.writeDictionaryAtomically(path, request).ok();
}

}  // namespace qby::client

#include "platform/linux/desktop/LinuxUserApplications.h"

#include "platform/linux/desktop/DesktopEntry.h"
#include "platform/linux/plist/InfoPlistReader.h"

#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>
#include <cerrno>
#include <optional>

namespace qby::platform::linuxhost {

QString LinuxUserApplications::homeDirectory() const {
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
}

foundation::Status LinuxUserApplications::registerDesktopEntry(const QString& bundlePath) {
    const std::optional<QVariantMap> info = InfoPlistReader::read(bundlePath);
    const std::optional<DesktopEntryFields> fields =
        info ? desktopEntryFieldsOfBundle(*info, bundlePath) : std::nullopt;
    if (!fields) {
        return foundation::Error{EINVAL,
                                 QStringLiteral("%1 names no executable to start").arg(bundlePath)};
    }

    const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    const QString path = QDir(folder).filePath(kDesktopEntryFileName);
    const QByteArray text = desktopEntryText(*fields).toUtf8();
    QSaveFile file(path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
        file.write(text) != text.size() || !file.commit()) {
        return foundation::Error{EIO, QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    return {};
}

}  // namespace qby::platform::linuxhost

#include "platform/linux/desktop/LinuxUserApplications.h"

#include "foundation/BundleLayout.h"
#include "installhelper/DesktopEntry.h"
#include "installhelper/PlistStrings.h"
#include "platform/linux/files/BoundedFileReader.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <cerrno>
#include <optional>

namespace qby::platform::linuxhost {

QString LinuxUserApplications::homeDirectory() const {
    return QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
}

foundation::Status LinuxUserApplications::registerDesktopEntry(const QString& bundlePath) {
    const QString plistPath = foundation::BundleLayout::infoPlist(bundlePath);
    const std::optional<QByteArray> plist =
        BoundedFileReader::read(plistPath, qint64(installhelper::kMaxPlistBytes));
    const std::optional<installhelper::DesktopEntryFields> fields =
        plist ? installhelper::desktopEntryFieldsOfBundle(
                    std::string_view(plist->constData(), plist->size()),
                    QFile::encodeName(bundlePath).toStdString())
              : std::nullopt;
    if (!fields) {
        return foundation::Error{EINVAL,
                                 QStringLiteral("%1 names no executable to start").arg(plistPath)};
    }

    const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    const QString path = QDir(folder).filePath(
        QString::fromUtf8(installhelper::kDesktopEntryFileName.data(),
                          qsizetype(installhelper::kDesktopEntryFileName.size())));
    const std::string text = installhelper::desktopEntryText(*fields);
    QSaveFile file(path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit()) {
        return foundation::Error{EIO, QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    return {};
}

}  // namespace qby::platform::linuxhost

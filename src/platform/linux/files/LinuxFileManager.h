#pragma once

#include "platform/FileManager.h"

namespace qby::platform::linuxhost {

// Files and folders through POSIX calls; the standard folders from QStandardPaths.
class LinuxFileManager : public FileManager {
public:
    bool fileExists(const QString& path) const override;
    bool isDirectory(const QString& path) const override;
    std::optional<QString> readUtf8Text(const QString& path, qint64 maxBytes) const override;
    foundation::Status removeItem(const QString& path) override;
    bool createDirectory(const QString& path) override;
    QStringList applicationSupportDirectories() const override;
    QStringList downloadsDirectories() const override;
    QString temporaryDirectory() const override;
    std::optional<QStringList> contentsOfDirectory(const QString& path) const override;
    foundation::Status createPrivateDirectory(const QString& path) override;
    bool isWritableDirectory(const QString& path) const override;
    // A copy that is complete counts even when the source cannot be removed entirely (a
    // read-only folder inside it): the destination is whole, and the rest stays behind.
    foundation::Status replaceItem(const QString& source, const QString& destination) override;
};

}  // namespace qby::platform::linuxhost

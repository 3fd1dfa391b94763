#pragma once

#include "platform/FileManager.h"

namespace qby::platform::linuxhost {

// Files and folders through POSIX calls; the standard folders from QStandardPaths.
class LinuxFileManager : public FileManager {
public:
    bool fileExists(const QString& path) const override;
    bool isDirectory(const QString& path) const override;
    std::optional<QString> readUtf8Text(const QString& path, qint64 maxBytes) const override;
    int removeItem(const QString& path) override;
    bool createDirectory(const QString& path) override;
    QStringList applicationSupportDirectories() const override;
    QStringList downloadsDirectories() const override;
    QString temporaryDirectory() const override;
};

}  // namespace qby::platform::linuxhost

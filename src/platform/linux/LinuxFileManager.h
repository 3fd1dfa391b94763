#pragma once

#include "platform/FileManager.h"

#include <cerrno>

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
    // Placeholders that refuse, until the install road's file operations are built.
    std::optional<QStringList> contentsOfDirectory(const QString&) const override { return {}; }
    Status createPrivateDirectory(const QString&) override {
        return Error{ENOSYS, QStringLiteral("not built yet")};
    }
    Status moveItem(const QString&, const QString&) override {
        return Error{ENOSYS, QStringLiteral("not built yet")};
    }
};

}  // namespace qby::platform::linuxhost

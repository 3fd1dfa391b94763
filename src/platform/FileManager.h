#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace qby::platform {

// Files, folders and the user's standard folders.
class FileManager {
public:
    virtual ~FileManager() = default;

    // True when any item (file, folder, link) exists at path.
    virtual bool fileExists(const QString& path) const = 0;

    // True when a folder stands at path (links are not followed).
    virtual bool isDirectory(const QString& path) const = 0;

    // The whole file as UTF-8 text; nothing when it is absent, unreadable, larger than maxBytes
    // or not valid UTF-8.
    virtual std::optional<QString> readUtf8Text(const QString& path, qint64 maxBytes) const = 0;

    // Removes a file or a whole folder tree (links are removed, never followed).
    // Answers 0 on success, otherwise the POSIX error number of the failure (EROFS is 30).
    virtual int removeItem(const QString& path) = 0;

    // Creates the folder and every missing folder above it; folders it creates are private to
    // the user (0700). True when a folder stands at path afterwards.
    virtual bool createDirectory(const QString& path) = 0;

    // The user's application data folders (~/.local/share first); possibly empty.
    virtual QStringList applicationSupportDirectories() const = 0;

    // The user's downloads folders (~/Downloads first); possibly empty.
    virtual QStringList downloadsDirectories() const = 0;

    // The user's temporary folder.
    virtual QString temporaryDirectory() const = 0;
};

}  // namespace qby::platform

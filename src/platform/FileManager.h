#pragma once

#include "foundation/Result.h"

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

    // Removes a file or a whole folder tree (links are removed, never followed). A failure's
    // code is the errno of the first failure: ENOENT when nothing is at path, EROFS (30) on a
    // read-only file system.
    virtual foundation::Status removeItem(const QString& path) = 0;

    // Creates the folder and every missing folder above it; folders it creates are private to
    // the user (0700). True when a folder stands at path afterwards.
    virtual bool createDirectory(const QString& path) = 0;

    // The user's application data folders (~/.local/share first); possibly empty.
    virtual QStringList applicationSupportDirectories() const = 0;

    // The user's downloads folders (~/Downloads first); possibly empty.
    virtual QStringList downloadsDirectories() const = 0;

    // The user's temporary folder.
    virtual QString temporaryDirectory() const = 0;

    // The names in a folder, one level deep, in the order the file system lists them ("." and
    // ".." left out); nothing when the folder cannot be listed.
    virtual std::optional<QStringList> contentsOfDirectory(const QString& path) const = 0;

    // Creates one folder that must not exist yet, private to the user (0700), and any missing
    // folders above it as createDirectory does. Fails with EEXIST when anything stands at path
    // already.
    virtual foundation::Status createPrivateDirectory(const QString& path) = 0;

    // True when a folder stands at path in which this user may create and remove items.
    virtual bool isWritableDirectory(const QString& path) const = 0;

    // Puts the tree at source in the place of whatever stands at destination: a rename, or across
    // file systems a copy that keeps modes, links, hard links and holes, then the source removed.
    // At every moment destination holds either the old item or the whole new one, even when the
    // process is killed midway; replaces into one folder wait for each other. What an earlier
    // replace stopped midway left beside destination is cleared first. On failure destination holds
    // what it held before; ENOSPC when the disk fills up.
    virtual foundation::Status replaceItem(const QString& source, const QString& destination) = 0;
};

}  // namespace qby::platform

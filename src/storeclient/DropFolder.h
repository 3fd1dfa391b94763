#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qby::storeclient {

// What reading one notification file gave: its bytes, or why there are none.
struct FileContents {
    bool ok = false;
    QByteArray bytes;
    QString error;
};

// The per-user folder into which the downloader drops its notification files
// (download.<token>.plist), and from which this client consumes them.
class DropFolder {
public:
    // A notification file larger than this is refused unread.
    static constexpr qint64 kMaximumFileSize = 1024 * 1024;

    explicit DropFolder(QString path = defaultPath());

    // <user data folder>/quillbay.com/Notifications, the folder the downloader writes into.
    static QString defaultPath();

    // True for download.<token>.plist: the names the downloader gives its files. Hidden and
    // temporary names (".download.x.plist", "download.x.plist.tmp") are not notifications.
    static bool isNotificationName(const QString& name);

    const QString& path() const { return path_; }

    // The notification files now in the folder, oldest first; links and other non-files left out.
    QStringList notificationNames() const;

    // Reads the named file without following a link and without blocking on special files.
    FileContents read(const QString& name) const;

    // Removes the named file; true when it is gone.
    bool remove(const QString& name) const;

private:
    QString filePath(const QString& name) const;

    QString path_;
};

}  // namespace qby::storeclient

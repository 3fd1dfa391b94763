#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace qby::harness::storeclient {

// Notification files and the client's record, as the tests write and read them.
class NotificationFiles {
public:
    // Writes bytes under a hidden temporary name, then renames it to name: the way the
    // downloader puts its files in place. True on success.
    static bool place(const QString& folder, const QString& name, const QByteArray& bytes);

    // Every line of a JSON Lines file as an object; a line that is not one gives an empty object.
    static QList<QJsonObject> readLog(const QString& path);

    // How many log lines name the file.
    static int linesFor(const QList<QJsonObject>& lines, const QString& file);
};

}  // namespace qby::harness::storeclient

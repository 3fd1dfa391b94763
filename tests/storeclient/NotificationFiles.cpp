#include "NotificationFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace qby::storeclient::test {

bool NotificationFiles::place(const QString& folder, const QString& name, const QByteArray& bytes) {
    if (!QDir().mkpath(folder)) {
        return false;
    }
    const QString temporary = folder + QStringLiteral("/.") + name + QStringLiteral(".tmp");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return false;
    }
    file.close();
    return QDir(folder).rename(QStringLiteral(".") + name + QStringLiteral(".tmp"), name);
}

QList<QJsonObject> NotificationFiles::readLog(const QString& path) {
    QFile file(path);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly)) {
        return lines;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty()) {
            lines.append(QJsonDocument::fromJson(line).object());
        }
    }
    return lines;
}

int NotificationFiles::linesFor(const QList<QJsonObject>& lines, const QString& file) {
    int count = 0;
    for (const QJsonObject& line : lines) {
        count += line.value(QStringLiteral("file")).toString() == file ? 1 : 0;
    }
    return count;
}

}  // namespace qby::storeclient::test

#include "NotificationFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <algorithm>

namespace qby::harness::storeclient {

bool NotificationFiles::place(const QString& folder, const QString& name, const QByteArray& bytes) {
    QFile file(folder + QStringLiteral("/.") + name + QStringLiteral(".tmp"));
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
        file.write(bytes) != bytes.size())
        return false;
    file.close();
    return QDir(folder).rename(QStringLiteral(".") + name + QStringLiteral(".tmp"), name);
}

QList<QJsonObject> NotificationFiles::readLog(const QString& path) {
    QFile file(path);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly)) return lines;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty()) lines.append(QJsonDocument::fromJson(line).object());
    return lines;
}

int NotificationFiles::linesFor(const QList<QJsonObject>& lines, const QString& file) {
    return std::count_if(lines.begin(), lines.end(), [&](const QJsonObject& line) {
        return line.value(QStringLiteral("file")).toString() == file;
    });
}

}  // namespace qby::harness::storeclient

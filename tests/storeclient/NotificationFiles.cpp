#include "NotificationFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <plist/plist.h>

#include <cstdlib>

namespace qby::storeclient::test {

QByteArray NotificationFiles::binaryPlist(const QMap<QString, QString>& dictionary) {
    plist_t root = plist_new_dict();
    for (auto entry = dictionary.cbegin(); entry != dictionary.cend(); ++entry) {
        plist_dict_set_item(root, entry.key().toUtf8().constData(),
                            plist_new_string(entry.value().toUtf8().constData()));
    }
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const QByteArray result(bytes, length);
    std::free(bytes);
    plist_free(root);
    return result;
}

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

#pragma once

#include <sys/types.h>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

namespace qby::testsupport {

// What goes into a test bundle: CFBundleIdentifier and CFBundleExecutable (each left out of
// Info.plist when empty), the executable's content and mode, further string keys of Info.plist,
// and whether an Info.plist is written at all.
struct BundleContents {
    QString identifier;
    QString executableName;
    std::optional<QByteArray> executableContent;
    mode_t executableMode = 0755;
    QMap<QString, QString> extraKeys;
    bool writeInfoPlist = true;
};

// Builds <folder>/<name>.app with Contents/Info.plist, Contents/MacOS/<executable> and
// Contents/Resources/ for tests; put it inside a QTemporaryDir.
class TemporaryBundle {
public:
    // The bundle's path, empty on failure; creates the folder when missing.
    static QString create(const QString& folder, const QString& name,
                          const BundleContents& contents);

    // An XML property list whose root is a dictionary of the string pairs, keys sorted.
    static QByteArray infoPlistXml(const QMap<QString, QString>& keys);
};

}  // namespace qby::testsupport

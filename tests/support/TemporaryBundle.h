#pragma once

#include <sys/types.h>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

namespace qby::testsupport {

// What goes into a test bundle Name.app.
struct BundleContents {
    // CFBundleIdentifier; left out of Info.plist when empty.
    QString identifier;
    // CFBundleExecutable; left out of Info.plist when empty.
    QString executableName;
    // When set, written to Contents/MacOS/<executableName> with executableMode.
    std::optional<QByteArray> executableContent;
    mode_t executableMode = 0755;
    // Further string keys of Info.plist (CFBundleName, CFBundleShortVersionString, ...).
    QMap<QString, QString> extraKeys;
    // When false, no Contents/Info.plist is written at all.
    bool writeInfoPlist = true;
};

// Builds application bundles on disk for tests:
//
//     QString app = TemporaryBundle::create(dir.path(), "Client",
//                                           {.identifier = "com.example.client",
//                                            .executableName = "client",
//                                            .executableContent = "#!/bin/sh\ntouch
//                                            \"$HOME/ran\"\n"});
//
// gives <dir>/Client.app with Contents/Info.plist, Contents/MacOS/client (0755) and
// Contents/Resources/. Nothing is removed afterwards: put it inside a QTemporaryDir.
class TemporaryBundle {
public:
    // Creates <folder>/<name>.app (and folder when missing). The bundle's path, empty on failure.
    static QString create(const QString& folder, const QString& name,
                          const BundleContents& contents);

    // An XML property list whose root is a dictionary of the string pairs, keys sorted.
    static QByteArray infoPlistXml(const QMap<QString, QString>& keys);
};

}  // namespace qby::testsupport

#pragma once

#include <QString>

namespace qby::foundation {

// Where things lie in an application bundle (the downloader, the store client and release
// archives alike): Name.app/Contents/Info.plist, Name.app/Contents/MacOS/<executable> and
// Name.app/Contents/Resources/.
struct BundleLayout {
    // What a bundle's folder name ends with.
    static QString extension() { return QStringLiteral(".app"); }
    static QString infoPlist(const QString& bundle) { return bundle + "/Contents/Info.plist"; }
    static QString executable(const QString& bundle, const QString& name) {
        return bundle + "/Contents/MacOS/" + name;
    }
    static QString resources(const QString& bundle) { return bundle + "/Contents/Resources"; }
};

}  // namespace qby::foundation

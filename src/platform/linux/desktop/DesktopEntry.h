#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

// The desktop entry that makes an installed client findable in the desktop's menus.
namespace qby::platform::linuxhost {

// The entry's file name: the client's bundle identifier.
inline const QString kDesktopEntryFileName = QStringLiteral("com.quillbay.Client2.desktop");

// What the entry says about one installed bundle; paths are absolute.
struct DesktopEntryFields {
    QString name;
    QString executable;
    QString icon;  // empty: the bundle has no icon
};

// The fields of the bundle installed at bundlePath, from its Info.plist's dictionary: Name from
// CFBundleName (else the bundle's folder name without ".app"), the executable named by
// CFBundleExecutable in Contents/MacOS, the icon named by CFBundleIconFile in
// Contents/Resources. Nothing when the dictionary names no plain executable file name, or a
// value could break the entry's lines.
std::optional<DesktopEntryFields> desktopEntryFieldsOfBundle(const QVariantMap& info,
                                                             const QString& bundlePath);

// The whole text of the entry, valid for desktop-file-validate.
QString desktopEntryText(const DesktopEntryFields& fields);

}  // namespace qby::platform::linuxhost

#include "TemporaryBundle.h"

#include "PropertyListBytes.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace qby::testsupport {

QByteArray TemporaryBundle::infoPlistXml(const QMap<QString, QString>& keys) {
    QByteArray dict = "\n<dict>\n";
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        dict += "\t<key>" + it.key().toHtmlEscaped().toUtf8() + "</key>\n\t<string>" +
                it.value().toHtmlEscaped().toUtf8() + "</string>\n";
    return xmlPlist(dict + "</dict>\n");
}

QString TemporaryBundle::create(const QString& folder, const QString& name,
                                const BundleContents& contents) {
    const QString bundle = QDir(folder).absoluteFilePath(name + ".app");
    if (!QDir().mkpath(bundle + "/Contents/MacOS") ||
        !QDir().mkpath(bundle + "/Contents/Resources"))
        return {};

    if (contents.writeInfoPlist) {
        QMap<QString, QString> keys = contents.extraKeys;
        if (!contents.identifier.isEmpty()) keys["CFBundleIdentifier"] = contents.identifier;
        if (!contents.executableName.isEmpty())
            keys["CFBundleExecutable"] = contents.executableName;
        if (!writeFile(bundle + "/Contents/Info.plist", infoPlistXml(keys))) return {};
    }

    if (contents.executableContent) {
        const QString exe = bundle + "/Contents/MacOS/" + contents.executableName;
        if (!writeFile(exe, *contents.executableContent)) return {};
        if (chmod(QFile::encodeName(exe).constData(), contents.executableMode) != 0) return {};
    }
    return bundle;
}

}  // namespace qby::testsupport

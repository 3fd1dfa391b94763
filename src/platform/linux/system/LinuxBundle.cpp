#include "platform/linux/system/LinuxBundle.h"

#include "foundation/BundleLayout.h"

#include <QDir>
#include <QFileInfo>

namespace qby::platform::linuxhost {

namespace {

QString findBundlePath(const QString& executablePath) {
    const QString executableFolder = QFileInfo(executablePath).absolutePath();
    QString folder = executableFolder;
    while (!folder.isEmpty()) {
        if (QFileInfo(folder).fileName().endsWith(foundation::BundleLayout::extension()))
            return folder;
        const QString parent = QFileInfo(folder).path();
        if (parent == folder) break;
        folder = parent;
    }
    return executableFolder;
}

}  // namespace

LinuxBundle::LinuxBundle(const QString& executablePath, const QLocale& locale)
    : bundlePath_(findBundlePath(executablePath)) {
    // A locale without a translation of its own gets the English one, which words the texts
    // that name another system for this one; without either every lookup gives its key.
    const QString folder = foundation::BundleLayout::resources(bundlePath_) + "/translations";
    if (!translator_.load(locale, "QBYDownloader", "_", folder, ".qm"))
        (void)translator_.load("QBYDownloader_en", folder, "", ".qm");
}

QString LinuxBundle::bundlePath() const {
    return bundlePath_;
}

std::optional<QString> LinuxBundle::pathForResource(const QString& name, const QString& type,
                                                    const QString& directory) const {
    if (name.isEmpty()) return std::nullopt;
    QString folder = foundation::BundleLayout::resources(bundlePath_);
    if (!directory.isEmpty()) folder += "/" + directory;
    const QString path = folder + "/" + (type.isEmpty() ? name : name + "." + type);
    if (!QFileInfo::exists(path)) return std::nullopt;
    return path;
}

QString LinuxBundle::localizedString(const QString& key, const QString& value,
                                     const QString& table) const {
    const QString translated =
        translator_.translate(table.toUtf8().constData(), key.toUtf8().constData());
    if (!translated.isEmpty()) return translated;
    return value.isEmpty() ? key : value;
}

}  // namespace qby::platform::linuxhost

#include "app/SelfRemoval.h"

#include "foundation/BundleLayout.h"
#include "foundation/PathComponents.h"

#include <QStringList>
#include <cerrno>

namespace qby::app {
namespace {

bool isBundleName(const QString& name) {
    return name.size() > foundation::BundleLayout::extension().size() &&
           name.endsWith(foundation::BundleLayout::extension());
}

// The first component of the path, from the root outwards, that names a bundle.
std::optional<QString> outermostBundleName(const QString& path) {
    for (const QString& component : path.split(QLatin1Char('/'))) {
        if (component.endsWith(foundation::BundleLayout::extension())) return component;
    }
    return std::nullopt;
}

}  // namespace

QString archiveBesideBundle(const QString& bundlePath) {
    return foundation::deletingPathExtension(bundlePath) + QStringLiteral(".zip");
}

void removeDownloaderFiles(const platform::Bundle& bundle, platform::FileManager& fileManager,
                           foundation::SystemInfo& systemInfo) {
    const QString bundlePath = bundle.bundlePath();
    // An executable that does not run from a bundle must not delete the folder it lies in.
    if (!isBundleName(foundation::lastPathComponent(bundlePath)) ||
        !fileManager.isDirectory(bundlePath)) {
        return;
    }

    const foundation::Status removed = fileManager.removeItem(bundlePath);
    if (removed.ok()) {
        fileManager.removeItem(archiveBesideBundle(bundlePath));
        return;
    }
    if (!systemInfo.isSystemAtLeast10_12() || removed.error().code != EROFS) return;

    const std::optional<QString> bundleName = outermostBundleName(bundlePath);
    if (!bundleName || !isBundleName(*bundleName)) return;
    const QStringList downloads = fileManager.downloadsDirectories();
    if (downloads.isEmpty() || downloads.first().isEmpty()) return;

    const QString copy = foundation::appendingPathComponent(downloads.first(), *bundleName);
    if (!fileManager.isDirectory(copy)) return;
    if (fileManager.removeItem(copy).ok()) fileManager.removeItem(archiveBesideBundle(copy));
}

}  // namespace qby::app

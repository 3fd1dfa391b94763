#include "app/RequestSources.h"

#include "foundation/PathComponents.h"

namespace qby::app {

std::optional<foundation::DownloadRequest> requestOfBundleName(const QString& bundleName) {
    const QStringList components = bundleName.split(QLatin1Char('.'));
    if (components.size() < 3) return std::nullopt;
    return foundation::DownloadRequest{
        {components.at(1), components.size() >= 4 ? components.at(2) : QString("")}};
}

QStringList requestFileNames(const QString& bundleName) {
    const QString baseName = foundation::deletingPathExtension(bundleName);
    return {QStringLiteral(".%1.txt").arg(baseName), QStringLiteral("%1.txt").arg(baseName)};
}

}  // namespace qby::app

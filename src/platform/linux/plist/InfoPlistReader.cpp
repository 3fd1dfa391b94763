#include "platform/linux/plist/InfoPlistReader.h"

#include "foundation/BundleLayout.h"
#include "platform/linux/files/BoundedFileReader.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"

namespace qby::platform::linuxhost {

std::optional<QVariantMap> InfoPlistReader::read(const QString& bundlePath) {
    const std::optional<QByteArray> bytes =
        BoundedFileReader::read(foundation::BundleLayout::infoPlist(bundlePath), kMaxBytes);
    if (!bytes) return std::nullopt;
    const foundation::Result<QVariant> root = LibPlistPropertyLists().parse(*bytes);
    if (!root.ok() || root.value().typeId() != QMetaType::QVariantMap) return std::nullopt;
    return root.value().toMap();
}

std::optional<QString> InfoPlistReader::stringValue(const QString& bundlePath, const QString& key) {
    const std::optional<QVariantMap> info = read(bundlePath);
    if (!info) return std::nullopt;
    const auto it = info->constFind(key);
    if (it == info->cend() || it->typeId() != QMetaType::QString) return std::nullopt;
    return it->toString();
}

}  // namespace qby::platform::linuxhost

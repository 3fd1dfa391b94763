#include "downloader/ReleaseFeed.h"

#include <QVariantMap>

namespace qby::downloader {

std::optional<QVariantList> releaseEntriesOfFeed(const std::optional<QByteArray>& data,
                                                 const platform::PropertyLists& propertyLists) {
    if (!data || data->isEmpty()) return std::nullopt;
    const std::optional<QVariant> root = propertyLists.parse(*data);
    if (!root || root->typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap dictionary = root->toMap();
    const auto entries = dictionary.find(QStringLiteral("downloader"));
    if (entries == dictionary.end() || entries->typeId() != QMetaType::QVariantList) {
        return std::nullopt;
    }
    return entries->toList();
}

platform::ArchiveFormat archiveFormatOf(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : fileName.mid(dot + 1);
    return extension == QLatin1String("tgz") ? platform::ArchiveFormat::TarGzip
                                             : platform::ArchiveFormat::Zip;
}

}  // namespace qby::downloader

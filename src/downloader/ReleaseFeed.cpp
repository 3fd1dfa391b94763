#include "downloader/ReleaseFeed.h"

#include <QVariantMap>

namespace qby::downloader {

foundation::Result<QVariantList> releaseEntriesOfFeed(const std::optional<QByteArray>& data,
                                                      const platform::PropertyLists& propertyLists,
                                                      const QString& readFailure) {
    using foundation::Error;
    if (!data) {
        return Error{kFeedUnusable, readFailure.isEmpty()
                                        ? QStringLiteral("it could not be read")
                                        : QStringLiteral("it could not be read: ") + readFailure};
    }
    if (data->isEmpty()) return Error{kFeedUnusable, QStringLiteral("it is empty")};
    const foundation::Result<QVariant> root = propertyLists.parse(*data);
    if (!root.ok()) return Error{kFeedUnusable, QStringLiteral("it is ") + root.error().message};
    if (root.value().typeId() != QMetaType::QVariantMap) {
        return Error{kFeedUnusable, QStringLiteral("its root is no dictionary")};
    }
    const QVariantMap dictionary = root.value().toMap();
    const auto entries = dictionary.find(QStringLiteral("downloader"));
    if (entries == dictionary.end() || entries->typeId() != QMetaType::QVariantList) {
        return Error{kFeedUnusable, QStringLiteral("it has no \"downloader\" array")};
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

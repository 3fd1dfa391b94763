#include "StampedFeedSerial.h"

#include "downloader/FeedAuthenticity.h"
#include "downloader/QBYClientDownloader.h"
#include "downloader/ReleaseFeed.h"
#include "foundation/BundleLayout.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"

#include <QFile>
#include <QSaveFile>
#include <QVariantMap>
#include <cerrno>

namespace qby::tools {

foundation::Result<qint64> feedSerialOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return foundation::Error{ENOENT, QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    const QByteArray bytes = file.read(downloader::QBYClientDownloader::kReleaseFeedMaxBytes + 1);
    const platform::linuxhost::LibPlistPropertyLists propertyLists;
    if (bytes.size() > downloader::QBYClientDownloader::kReleaseFeedMaxBytes) {
        return foundation::Error{EINVAL,
                                 QStringLiteral("%1 is larger than a feed can be").arg(path)};
    }
    if (const auto entries = downloader::releaseEntriesOfFeed(bytes, propertyLists); !entries) {
        return foundation::Error{
            EINVAL, QStringLiteral("%1 is no release feed: %2").arg(path, entries.error().message)};
    }
    const QVariant serial =
        propertyLists.parse(bytes).value().toMap().value(downloader::kFeedSerialKey);
    if (serial.typeId() != QMetaType::LongLong || serial.toLongLong() < 0) {
        return foundation::Error{EINVAL,
                                 QStringLiteral("%1 has no %2 (qby-release-feed writes one)")
                                     .arg(path, downloader::kFeedSerialKey)};
    }
    return serial.toLongLong();
}

foundation::Status writeFeedSerial(const QString& bundle, qint64 serial) {
    QSaveFile file(foundation::BundleLayout::resources(bundle) + QLatin1Char('/') +
                   downloader::kStampedFeedSerialResource + QLatin1Char('.') +
                   downloader::kStampedFeedSerialType);
    const QByteArray text = QByteArray::number(serial) + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        return foundation::Error{EIO,
                                 QStringLiteral("%1: %2").arg(file.fileName(), file.errorString())};
    }
    return {};
}

}  // namespace qby::tools

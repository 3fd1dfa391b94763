#pragma once

#include "foundation/Result.h"

#include <QString>
#include <optional>

namespace qby::tools {

// Writes per-purchase downloaders from the built downloader bundle. Modes and symbolic links of
// the bundle are kept; the downloader's own files are never changed. With a feed serial, each
// copy carries it as the floor below which it refuses release feeds.
class DownloaderStamper {
public:
    explicit DownloaderStamper(QString bundle, std::optional<qint64> feedSerial = std::nullopt)
        : bundle_(std::move(bundle)), feedSerial_(feedSerial) {}

    // FOLDER/<name less .app>.zip holding the bundle as <name>, as the store hands it out. The
    // zip is made aside and renamed into place: an older zip of that name is replaced whole.
    foundation::Status writeZip(const QString& folder, const QString& bundleName) const;

    // FOLDER/<bundleName> with the request file FOLDER/<requestFileName> beside it. An item
    // already at FOLDER/<bundleName> is left alone and the stamp refused.
    foundation::Status writeWithRequestFile(const QString& folder, const QString& bundleName,
                                            const QString& requestFileName,
                                            const QString& text) const;

private:
    // The bundle copied to target, with the feed serial when there is one.
    foundation::Status copyTo(const QString& target) const;

    QString bundle_;
    std::optional<qint64> feedSerial_;
};

}  // namespace qby::tools

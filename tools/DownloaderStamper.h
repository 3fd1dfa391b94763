#pragma once

#include "foundation/Result.h"

#include <QString>

namespace qby::tools {

// Writes per-purchase downloaders from the built downloader bundle. Modes and symbolic links of
// the bundle are kept; the downloader's own files are never changed.
class DownloaderStamper {
public:
    explicit DownloaderStamper(QString bundle) : bundle_(std::move(bundle)) {}

    // FOLDER/<name less .app>.zip holding the bundle as <name>, as the store hands it out. The
    // zip is made aside and renamed into place: an older zip of that name is replaced whole.
    foundation::Status writeZip(const QString& folder, const QString& bundleName) const;

    // FOLDER/<bundleName> with the request file FOLDER/<requestFileName> beside it. An item
    // already at FOLDER/<bundleName> is left alone and the stamp refused.
    foundation::Status writeWithRequestFile(const QString& folder, const QString& bundleName,
                                            const QString& requestFileName,
                                            const QString& text) const;

private:
    QString bundle_;
};

}  // namespace qby::tools

#pragma once

#include "SigningKey.h"
#include "foundation/Result.h"

#include <QString>

namespace qby::tools {

// What a release entry says about its archive, computed from the file.
struct ReleaseArchive {
    qint64 size = 0;    // "downloadSizeInBytes"
    QString sha256;     // "sha256": 64 lower-case hexadecimal digits
    QString signature;  // "ed25519Signature": base64 of the Ed25519 signature of the bytes
};

// Reads the archive at path that will be served from url. Refused when the downloader would not
// fetch url (it takes an absolute https URL whose path ends in a file name), when the file is
// empty, or when it is not the kind that the url's file name has the downloader unpack: a gzip
// file for a name ending in ".tgz", a zip file for any other.
foundation::Result<ReleaseArchive> readReleaseArchive(const QString& path, const QString& url,
                                                      const SigningKey& key);

}  // namespace qby::tools

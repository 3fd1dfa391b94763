#pragma once

#include "foundation/Result.h"

#include <QByteArrayView>
#include <QString>
#include <memory>
#include <vector>
#include <zlib.h>

namespace qby::platform::linuxhost {

// Reads a gzip file in large chunks and inflates it, one piece at a time. Gzip members one after
// another are one stream, as gzip reads them; corrupt or truncated data, or anything after the
// last member that is not one, is an error (EINVAL; a read error answers its errno).
class GzipFileInflater {
public:
    GzipFileInflater();
    GzipFileInflater(const GzipFileInflater&) = delete;
    GzipFileInflater& operator=(const GzipFileInflater&) = delete;
    ~GzipFileInflater();

    // Opens the file without following a link; anything but a regular file is refused (EINVAL).
    foundation::Status open(const QString& path);
    // The next inflated bytes, valid until the next call; empty at the end of the file.
    foundation::Result<QByteArrayView> next();

private:
    foundation::Error damaged(const char* what) const;

    QString path_;
    int fd_ = -1;
    z_stream stream_{};
    bool streamReady_ = false;
    bool memberEnded_ = false;  // the last member read ended; more input must start a new one
    bool fileEnded_ = false;
    std::vector<unsigned char> input_;
    std::vector<unsigned char> output_;
};

}  // namespace qby::platform::linuxhost

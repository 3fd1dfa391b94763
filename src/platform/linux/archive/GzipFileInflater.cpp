#include "platform/linux/archive/GzipFileInflater.h"

#include "platform/linux/files/PosixError.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

// Large chunks: one read and one inflate call per mebibyte keeps the per-call costs out of sight.
constexpr size_t kChunkBytes = 1024 * 1024;
// 15 window bits, plus 16: a gzip wrapper only.
constexpr int kGzipWindowBits = 15 + 16;

}  // namespace

GzipFileInflater::GzipFileInflater() : input_(kChunkBytes), output_(kChunkBytes) {}

GzipFileInflater::~GzipFileInflater() {
    if (streamReady_) inflateEnd(&stream_);
    if (fd_ >= 0) ::close(fd_);
}

foundation::Error GzipFileInflater::damaged(const char* what) const {
    return foundation::Error{
        EINVAL,
        QStringLiteral("The archive \"%1\" is damaged: %2.").arg(path_, QLatin1String(what))};
}

foundation::Status GzipFileInflater::open(const QString& path) {
    path_ = path;
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) return PosixError::at(errno, path);
    struct stat st {};
    if (fstat(fd_, &st) != 0) return PosixError::at(errno, path);
    if (!S_ISREG(st.st_mode)) {
        return foundation::Error{EINVAL,
                                 QStringLiteral("The archive \"%1\" is not a file.").arg(path)};
    }
    if (inflateInit2(&stream_, kGzipWindowBits) != Z_OK) {
        return foundation::Error{ENOMEM, QStringLiteral("No memory to inflate \"%1\".").arg(path)};
    }
    streamReady_ = true;
    return {};
}

foundation::Result<QByteArrayView> GzipFileInflater::next() {
    if (!streamReady_) return damaged("it is not open");
    for (;;) {
        if (stream_.avail_in == 0 && !fileEnded_) {
            ssize_t got;
            while ((got = ::read(fd_, input_.data(), input_.size())) < 0 && errno == EINTR) {
            }
            if (got < 0) return PosixError::at(errno, path_);
            fileEnded_ = got == 0;
            stream_.next_in = input_.data();
            stream_.avail_in = static_cast<uInt>(got);
        }
        if (stream_.avail_in == 0) {
            if (!memberEnded_) return damaged("it ends early");
            return QByteArrayView();
        }
        if (memberEnded_) {
            // Another member follows: it must be gzip data as well.
            if (inflateReset(&stream_) != Z_OK) return damaged("it cannot be inflated");
            memberEnded_ = false;
        }
        stream_.next_out = output_.data();
        stream_.avail_out = static_cast<uInt>(output_.size());
        const int inflated = inflate(&stream_, Z_NO_FLUSH);
        if (inflated == Z_STREAM_END) {
            memberEnded_ = true;
        } else if (inflated != Z_OK && inflated != Z_BUF_ERROR) {
            return damaged(stream_.msg ? stream_.msg : "it cannot be inflated");
        }
        const qsizetype produced = static_cast<qsizetype>(output_.size() - stream_.avail_out);
        if (produced > 0) {
            return QByteArrayView(reinterpret_cast<const char*>(output_.data()), produced);
        }
    }
}

}  // namespace qby::platform::linuxhost

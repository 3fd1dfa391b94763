#include "platform/linux/net/DestinationFile.h"

#include "platform/linux/net/DownloadErrors.h"

#include <QFile>
#include <QScopeGuard>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

// A TLS connection hands over a few kilobytes at a time; the disk gets them a megabyte at a time.
constexpr qsizetype kPendingBytes = 1 << 20;

}  // namespace

DestinationFile::~DestinationFile() {
    close();
}

void DestinationFile::setPath(const QString& path, bool allowOverwrite) {
    path_ = path;
    allowOverwrite_ = allowOverwrite;
}

foundation::Status DestinationFile::create() {
    if (created_) return {};
    if (path_.isEmpty()) return fileError(ENOENT, QStringLiteral("(no destination)"));
    // Readable too: the digest reads what was written.
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (allowOverwrite_ ? O_TRUNC : O_EXCL);
    descriptor_ = ::open(QFile::encodeName(path_).constData(), flags, 0600);
    if (descriptor_ < 0) return fileError(errno, path_);
    created_ = true;
    written_ = 0;
    digest_.follow(descriptor_);
    return {};
}

foundation::Status DestinationFile::write(const char* data, qint64 length) {
    if (foundation::Status created = create(); !created) return created;
    if (pending_.capacity() < kPendingBytes) pending_.reserve(kPendingBytes);
    pending_.append(data, length);
    if (pending_.size() >= kPendingBytes) return flush();
    return {};
}

foundation::Status DestinationFile::flush() {
    const char* data = pending_.constData();
    qint64 length = pending_.size();
    // Emptied whatever happens: bytes that could not be written are not written later either.
    const auto emptied = qScopeGuard([this] { pending_.resize(0); });
    while (length > 0) {
        const ssize_t written = ::write(descriptor_, data, static_cast<size_t>(length));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return fileError(errno, path_);
        data += written;
        length -= written;
        written_ += written;
    }
    digest_.grewTo(written_);
    return {};
}

foundation::Status DestinationFile::truncate() {
    digest_.reset();
    pending_.resize(0);
    written_ = 0;
    if (descriptor_ < 0) return {};
    if (::ftruncate(descriptor_, 0) != 0 || ::lseek(descriptor_, 0, SEEK_SET) != 0) {
        return fileError(errno, path_);
    }
    return {};
}

foundation::Status DestinationFile::close() {
    if (descriptor_ < 0) return {};
    const foundation::Status flushed = flush();
    const int result = ::close(descriptor_);
    descriptor_ = -1;
    if (!flushed) return flushed;
    if (result != 0 && errno != EINTR) return fileError(errno, path_);
    return {};
}

foundation::Result<qint64> DestinationFile::adopt() {
    remove();
    descriptor_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (descriptor_ < 0) return fileError(errno, path_);
    created_ = true;
    const off_t size = ::lseek(descriptor_, 0, SEEK_END);
    if (size < 0) return fileError(errno, path_);
    written_ = size;
    digest_.follow(descriptor_);
    digest_.grewTo(written_);
    return qint64(size);
}

foundation::Status DestinationFile::release() {
    created_ = false;
    return close();
}

void DestinationFile::remove() {
    pending_.resize(0);
    close();
    if (created_) ::unlink(QFile::encodeName(path_).constData());
    created_ = false;
}

}  // namespace qby::platform::linuxhost

#include "platform/linux/files/BoundedFileReader.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

std::optional<QByteArray> BoundedFileReader::read(const QString& path, qint64 maxBytes) {
    if (maxBytes < 0 || path.isEmpty()) return std::nullopt;
    // O_NONBLOCK: opening a FIFO that nobody writes must not hang us before fstat rejects it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;

    std::optional<QByteArray> result;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maxBytes) {
        QByteArray bytes;
        bytes.reserve(static_cast<qsizetype>(st.st_size));
        char chunk[64 * 1024];
        bool failed = false;
        // The file may grow while we read: stop as soon as it passes the limit.
        while (true) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                failed = true;
                break;
            }
            if (n == 0) break;
            if (bytes.size() + n > maxBytes) {
                failed = true;
                break;
            }
            bytes.append(chunk, n);
        }
        if (!failed) result = std::move(bytes);
    }
    ::close(fd);
    return result;
}

}  // namespace qby::platform::linuxhost

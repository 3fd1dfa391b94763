#include "storeclient/DropFolder.h"

#include "storeclient/UserDataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::storeclient {

namespace {

constexpr auto kPrefix = "download.";
constexpr auto kSuffix = ".plist";

FileContents failure(const QString& reason) {
    FileContents contents;
    contents.error = reason;
    return contents;
}

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

DropFolder::DropFolder(QString path) : path_(std::move(path)) {}

QString DropFolder::defaultPath() {
    return userDataFolder() + QStringLiteral("/quillbay.com/Notifications");
}

bool DropFolder::isNotificationName(const QString& name) {
    const QLatin1String prefix(kPrefix);
    const QLatin1String suffix(kSuffix);
    return name.size() > prefix.size() + suffix.size() && name.startsWith(prefix) &&
           name.endsWith(suffix) && !name.contains(QLatin1Char('/'));
}

QStringList DropFolder::notificationNames() const {
    // Without QDir::System, sockets, pipes and devices stay out of the list.
    const QDir folder(path_);
    const QFileInfoList entries =
        folder.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Time | QDir::Reversed);
    QStringList names;
    for (const QFileInfo& entry : entries) {
        if (isNotificationName(entry.fileName())) {
            names.append(entry.fileName());
        }
    }
    return names;
}

FileContents DropFolder::read(const QString& name) const {
    const QByteArray path = QFile::encodeName(filePath(name));
    // O_NOFOLLOW: a link put in place after listing is refused; O_NONBLOCK: a pipe cannot hang us.
    const Descriptor fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        return failure(errno == ELOOP ? QStringLiteral("is a symbolic link")
                                      : QStringLiteral("cannot be opened"));
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return failure(QStringLiteral("not a regular file"));
    }
    if (status.st_size > kMaximumFileSize) {
        return failure(QStringLiteral("larger than 1 MiB"));
    }

    // Read one byte past the limit so that a file still growing is caught too.
    FileContents contents;
    contents.bytes.resize(kMaximumFileSize + 1);
    qsizetype total = 0;
    while (total < contents.bytes.size()) {
        const ssize_t count =
            ::read(fd.get(), contents.bytes.data() + total, contents.bytes.size() - total);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return failure(QStringLiteral("cannot be read"));
        }
        if (count == 0) {
            break;
        }
        total += count;
    }
    if (total > kMaximumFileSize) {
        return failure(QStringLiteral("larger than 1 MiB"));
    }
    contents.bytes.truncate(total);
    contents.ok = true;
    return contents;
}

bool DropFolder::remove(const QString& name) const {
    const QByteArray path = QFile::encodeName(filePath(name));
    return ::unlink(path.constData()) == 0 || errno == ENOENT;
}

QString DropFolder::filePath(const QString& name) const {
    return path_ + QLatin1Char('/') + name;
}

}  // namespace qby::storeclient

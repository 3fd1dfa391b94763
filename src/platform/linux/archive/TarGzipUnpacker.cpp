#include "platform/linux/archive/TarGzipUnpacker.h"

#include "platform/linux/archive/ArchiveMemberCheck.h"
#include "platform/linux/archive/GzipFileInflater.h"
#include "platform/linux/archive/TarMemberReader.h"
#include "platform/linux/files/PosixError.h"
#include "platform/linux/files/RenameWithoutReplacing.h"
#include "platform/linux/files/TreeRemover.h"
#include "platform/linux/system/PipedTool.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qby::platform::linuxhost {

namespace {

// Each member checked, then its bytes on to tar.
class CheckedFeed : public TarMemberListener {
public:
    explicit CheckedFeed(PipedTool& tar) : tar_(tar) {}
    foundation::Status member(const ArchiveMember& member) override {
        ++members_;
        return check_.admit(member);
    }
    qint64 members() const { return members_; }
    foundation::Status pass(const char* data, qsizetype size) override {
        return tar_.write(data, size);
    }

private:
    PipedTool& tar_;
    ArchiveMemberCheck check_;
    qint64 members_ = 0;
};

// A fresh folder for tar to write into, so that a refusal halfway leaves nothing behind: it is
// removed with whatever is still in it.
class StagingFolder {
public:
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    StagingFolder() = default;
    ~StagingFolder() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.isEmpty()) TreeRemover::remove(path_);
    }

    foundation::Status create(const QString& folder) {
        QByteArray pattern = QFile::encodeName(folder) + "/.unpacking-XXXXXX";
        if (!mkdtemp(pattern.data())) return PosixError::at(errno, QFile::decodeName(pattern));
        path_ = pattern;
        fd_ = ::open(path_.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd_ < 0) return PosixError::at(errno, path());
        return {};
    }

    QString path() const { return QFile::decodeName(path_); }

    // Moves every entry up into folder, replacing nothing; on a failure those already moved go
    // back.
    foundation::Status moveEntriesUp(const QString& folder) {
        const std::optional<std::vector<QByteArray>> names = entries();
        if (!names) return PosixError::at(errno, path());
        const int folderFd =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd < 0) return PosixError::at(errno, folder);
        std::optional<foundation::Error> failed;
        std::vector<QByteArray> moved;
        for (const QByteArray& name : *names) {
            const int error =
                renameWithoutReplacing(fd_, name.constData(), folderFd, name.constData());
            if (error == 0) {
                moved.push_back(name);
                continue;
            }
            const char* reason = "would replace what is in the folder already";
            failed =
                error == EEXIST
                    ? foundation::Error{EEXIST, ArchiveMemberCheck::refusal(name, reason).message}
                    : PosixError::at(error, folder + u'/' + QFile::decodeName(name));
            break;
        }
        if (failed) {
            for (const QByteArray& name : moved) {
                renameWithoutReplacing(folderFd, name.constData(), fd_, name.constData());
            }
        }
        ::close(folderFd);
        if (failed) return *failed;
        return {};
    }

private:
    std::optional<std::vector<QByteArray>> entries() const {
        const int listFd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = listFd >= 0 ? fdopendir(listFd) : nullptr;
        if (!dir) {
            if (listFd >= 0) ::close(listFd);
            return std::nullopt;
        }
        std::vector<QByteArray> names;
        while (const dirent* entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
        // In name order: a failure halfway is the same on every file system.
        std::sort(names.begin(), names.end());
        return names;
    }

    QByteArray path_;
    int fd_ = -1;
};

foundation::Status inflateInto(GzipFileInflater& archive, TarMemberReader& reader) {
    for (;;) {
        const foundation::Result<QByteArrayView> inflated = archive.next();
        if (!inflated) return inflated.error();
        if (inflated.value().isEmpty()) return reader.finish();
        // After the archive's end the rest is inflated only to find damage.
        if (reader.ended()) continue;
        if (foundation::Status read = reader.read(inflated.value().data(), inflated.value().size());
            !read) {
            return read;
        }
    }
}

}  // namespace

foundation::Status TarGzipUnpacker::unpack(const QString& folder, const QString& fileName) {
    GzipFileInflater archive;
    if (foundation::Status opened = archive.open(folder + u'/' + fileName); !opened) return opened;
    StagingFolder staging;
    if (foundation::Status created = staging.create(folder); !created) return created;

    const QString tool = QStringLiteral("tar");
    PipedTool tar;
    // Owners and modes as an ordinary user gets them, whoever runs us.
    const QStringList arguments{QStringLiteral("-x"), QStringLiteral("-f"), QStringLiteral("-"),
                                QStringLiteral("--no-same-owner"),
                                QStringLiteral("--no-same-permissions")};
    if (foundation::Status started = tar.start(tool, arguments, staging.path()); !started) {
        return started;
    }
    CheckedFeed feed(tar);
    TarMemberReader reader(feed);
    const foundation::Status fed = inflateInto(archive, reader);
    if (!fed && fed.error().code != EPIPE) {
        tar.stop();
        return fed;
    }
    // A tar that stopped reading on its own says why.
    const foundation::Result<ToolRunner::Outcome> outcome = tar.finish();
    if (!outcome) return outcome.error();
    if (outcome.value().exitCode != 0) return ToolRunner::exitError(tool, outcome.value());
    if (!fed) return fed;
    if (feed.members() == 0) {
        return foundation::Error{EINVAL, QStringLiteral("The archive holds nothing.")};
    }
    return staging.moveEntriesUp(folder);
}

}  // namespace qby::platform::linuxhost

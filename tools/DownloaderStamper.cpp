#include "DownloaderStamper.h"

#include "StampedFeedSerial.h"
#include "foundation/BundleLayout.h"
#include "foundation/PathComponents.h"
#include "platform/linux/files/PosixError.h"
#include "platform/linux/files/TreeCopier.h"
#include "platform/linux/files/TreeRemover.h"
#include "platform/linux/system/ToolRunner.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qby::tools {
namespace {

using platform::linuxhost::PosixError;
using platform::linuxhost::ToolRunner;
using platform::linuxhost::TreeCopier;
using platform::linuxhost::TreeRemover;

// What zip may say before it is stopped: enough for its complaint.
constexpr qint64 kMaxZipOutputBytes = 64 * 1024;

// A folder of our own beside the output, removed with all it holds when it goes.
class WorkFolder {
public:
    explicit WorkFolder(const QString& folder)
        : path_(QFile::encodeName(folder + QStringLiteral("/.qby-stamp-XXXXXX"))) {
        if (mkdtemp(path_.data()) == nullptr) path_.clear();
    }
    ~WorkFolder() {
        if (!path_.isEmpty()) TreeRemover::remove(path_);
    }
    bool made() const { return !path_.isEmpty(); }
    QString path() const { return QFile::decodeName(path_); }

private:
    QByteArray path_;
};

foundation::Status isBundle(const QString& bundle) {
    if (QFile::exists(foundation::BundleLayout::infoPlist(bundle))) return {};
    return foundation::Error{ENOENT,
                             QStringLiteral("%1 is no built downloader bundle (it has no %2)")
                                 .arg(bundle, foundation::BundleLayout::infoPlist(bundle))};
}

}  // namespace

foundation::Status DownloaderStamper::writeZip(const QString& folder,
                                               const QString& bundleName) const {
    if (foundation::Status bundle = isBundle(bundle_); !bundle) return bundle;
    WorkFolder work(folder);
    if (!work.made()) return PosixError::at(errno, folder);
    const QString copy = foundation::appendingPathComponent(work.path(), bundleName);
    if (foundation::Status copied = copyTo(copy); !copied) return copied;
    // -y stores links as links; zip keeps each item's permission bits on its own. A game name
    // may start with "-": zip takes the archive as ./NAME (it drops the "./") and the members
    // after "--", never as options.
    const QString zipName = foundation::deletingPathExtension(bundleName) + QStringLiteral(".zip");
    const foundation::Result<ToolRunner::Outcome> zipped =
        ToolRunner::run(QStringLiteral("zip"), {"-q", "-r", "-y", "./" + zipName, "--", bundleName},
                        work.path(), kMaxZipOutputBytes);
    if (!zipped) return zipped.error();
    if (zipped.value().exitCode != 0) {
        return foundation::Error{EIO, QStringLiteral("zip ended with status %1: %2")
                                          .arg(zipped.value().exitCode)
                                          .arg(QString::fromUtf8(zipped.value().errors).trimmed())};
    }
    const QString target = foundation::appendingPathComponent(folder, zipName);
    if (std::rename(QFile::encodeName(foundation::appendingPathComponent(work.path(), zipName)),
                    QFile::encodeName(target)) != 0) {
        return PosixError::at(errno, target);
    }
    return {};
}

foundation::Status DownloaderStamper::writeWithRequestFile(const QString& folder,
                                                           const QString& bundleName,
                                                           const QString& requestFileName,
                                                           const QString& text) const {
    if (foundation::Status bundle = isBundle(bundle_); !bundle) return bundle;
    const QString target = foundation::appendingPathComponent(folder, bundleName);
    if (foundation::Status copied = copyTo(target); !copied) return copied;
    QSaveFile file(foundation::appendingPathComponent(folder, requestFileName));
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        TreeRemover::remove(QFile::encodeName(target));
        return foundation::Error{EIO,
                                 QStringLiteral("%1: %2").arg(file.fileName(), file.errorString())};
    }
    return {};
}

foundation::Status DownloaderStamper::copyTo(const QString& target) const {
    if (foundation::Status copied =
            TreeCopier::copy(QFile::encodeName(bundle_), QFile::encodeName(target));
        !copied) {
        return copied;
    }
    if (!feedSerial_) return {};
    const foundation::Status written = writeFeedSerial(target, *feedSerial_);
    if (!written) TreeRemover::remove(QFile::encodeName(target));
    return written;
}

}  // namespace qby::tools

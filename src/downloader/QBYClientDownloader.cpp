#include "downloader/QBYClientDownloader.h"

#include "downloader/FeedAuthenticity.h"
#include "downloader/FeedRetries.h"
#include "downloader/ReleaseFeed.h"
#include "downloader/ReleaseSelection.h"
#include "foundation/BundleLayout.h"
#include "foundation/PathComponents.h"
#include "foundation/UserMessage.h"
#include "foundation/VersionComparator.h"

#include <QUrl>
#include <QVariantMap>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

namespace qby::downloader {
namespace {

std::atomic<QBYClientDownloader*> sharedInstance{nullptr};

const QString kLocalizationTable = QStringLiteral("QBYDownloader");
// The user's own applications folder, in the home folder.
const QString kUserApplicationsFolder = QStringLiteral("Applications");
constexpr quint64 kUnpackPauseMicroseconds = 10000;
constexpr unsigned kInstallPauseSeconds = 1;
const QString kLargerThanPromised =
    QStringLiteral("The download was larger than announced. Please try again later.");

}  // namespace

const QString QBYClientDownloader::kReleaseFeedUrl =
    QStringLiteral("https://www.quillbay.com/downloader/appcast.xml");
const QString QBYClientDownloader::kTemporaryFolderPrefix = QStringLiteral("QBYDownloader");
const QString QBYClientDownloader::kInstallDestination =
    QStringLiteral("/Applications/%1").arg(QStringLiteral("Quillbay.app"));

QBYClientDownloader::QBYClientDownloader(const DownloaderServices& services)
    : services_(services), progressText_(services.bundle, services.install.clock) {}

QBYClientDownloader::~QBYClientDownloader() {
    QBYClientDownloader* self = this;
    sharedInstance.compare_exchange_strong(self, nullptr);
}

QBYClientDownloader* QBYClientDownloader::sharedDownloader() {
    return sharedInstance.load();
}

void QBYClientDownloader::awakeFromNib() {
    sharedInstance.store(this);
    services_.window.setCancelAction([this] { doCancelDownload(); });
}

// --- The release feed and the choice of a release ---

void QBYClientDownloader::startDownload(CompletionHandler completionHandler) {
    services_.window.center();
    services_.window.makeKeyAndOrderFront();
    completionHandler_ = std::move(completionHandler);

    const FeedAuthenticator authenticator = feedAuthenticator();
    // The task touches no field of ours: it holds the cancel flag itself and finds us again on
    // the main thread only while we live.
    services_.install.dispatch.async(
        [cancelled = downloadCancelled_, alive = std::weak_ptr<int>(lifetime_), self = this,
         &urlLoader = services_.install.urlLoader, &propertyLists = services_.propertyLists,
         &dispatch = services_.install.dispatch, &pauses = services_.pauses, authenticator] {
            const foundation::Result<QByteArray> read = readFeedWithRetries(
                urlLoader, pauses, QUrl(kReleaseFeedUrl), kReleaseFeedMaxBytes, *cancelled);
            if (cancelled->load()) return;
            foundation::Result<QVariantList> entries =
                releaseEntriesOfFeed(read.ok() ? std::optional(read.value()) : std::nullopt,
                                     propertyLists, read.ok() ? QString() : read.error().message);
            if (entries.ok()) {
                if (foundation::Status authentic = authenticator.check(
                        QUrl(kReleaseFeedUrl), kReleaseFeedMaxBytes, read.value(), *cancelled);
                    !authentic) {
                    entries = authentic.error();
                }
            }
            dispatch.performOnMainThread([alive, self, entries = std::move(entries)] {
                // A cancel that came after the check above: the application is already ending.
                if (alive.expired() || self->downloadCancelled()) return;
                if (entries.ok()) {
                    self->doDownload(entries.value());
                } else {
                    self->services_.logs.consoleLog(
                        QStringLiteral("Release feed unusable: %1").arg(entries.error().message));
                    self->downloadFailed();
                }
            });
        });
}

void QBYClientDownloader::doDownload(const QVariantList& entries) {
    const QString systemVersion = services_.systemInfo.systemVersionString();
    const qint32 cpuFamily = services_.systemInfo.cpuFamily();
    const std::optional<ReleaseEntry> chosen =
        chooseRelease(readReleaseEntries(entries), systemVersion, cpuFamily,
                      foundation::VersionComparator::defaultComparator());

    std::optional<QString> fileName;
    if (chosen && services_.install.trust.signatureRequired &&
        !chosen->integrity.ed25519Signature) {
        // Not downloaded only to be refused: the feed itself is what falls short.
        services_.logs.consoleLog(
            QStringLiteral("Release feed unusable: the release it names "
                           "has no ed25519Signature, and this build "
                           "requires one"));
        downloadFailed();
        return;
    }
    if (chosen) {
        setDownloadSizeInBytes(chosen->downloadSizeInBytes);
        promisedIntegrity_ = chosen->integrity;
        // A url that is no https URL or names no file counts as no url at all.
        if (chosen->url) fileName = releaseArchiveFileName(*chosen->url);
        if (fileName) {
            retryPolicy_.start(services_.install.clock.monotonicMilliseconds());
            clientDownload_ = services_.install.urlDownloader.startDownload(
                QUrl(*chosen->url), kDownloadTimeoutSeconds, *this);
        }
    }
    if (!clientDownload_) {
        downloadFailed();
        return;
    }

    // A folder of our own, made here and nowhere else: one that cannot be made ends the road.
    // Every end of the road removes it again.
    const QString folder = pathForTemporaryFileWithPrefix(kTemporaryFolderPrefix);
    if (const foundation::Status created = services_.fileManager.createPrivateDirectory(folder);
        !created) {
        clientDownload_->cancel();
        clearClientDownload();
        showDownloadFailureSheet(
            localized(QStringLiteral("No folder for the download could be created.")) +
            QStringLiteral("\n\n") + created.error().message);
        return;
    }
    downloadFolder_ = folder;
    downloadPath_ = foundation::appendingPathComponent(folder, *fileName);
    clientDownload_->setDeletesFileUponFailure(true);
    clientDownload_->setPromisedLength(downloadSizeInBytes_ > 0 ? downloadSizeInBytes_ : -1);
    clientDownload_->setDestination(downloadPath_, true);
}

void QBYClientDownloader::downloadFailed() {
    const QString message = localized(QStringLiteral("The Quillbay app could not be downloaded."));
    const QString button = localized(QStringLiteral("Quit"));
    const QString informative = localized(QStringLiteral(
        "The QBY servers may be busy or temporarily unavailable. Please try again later."));
    services_.window.beginSheet(
        {message, informative, {button}},
        [&application = services_.application] { application.terminate(); });
}

FeedAuthenticator QBYClientDownloader::feedAuthenticator() const {
    const ReleaseTrust& trust = services_.install.trust;
    FeedRules rules{trust.signatureRequired, trust.publicKeys};
    if (rules.signatureRequired) {
        rules.serialFloor = stampedFeedSerial(services_.bundle, services_.fileManager);
    }
    return FeedAuthenticator(std::move(rules),
                             {services_.install.urlLoader, services_.pauses,
                              services_.propertyLists, services_.install.archiveVerifier},
                             services_.install.clock.secondsSinceEpoch());
}

QString QBYClientDownloader::pathForTemporaryFileWithPrefix(const QString& prefix) {
    const QString name = QStringLiteral("%1-%2").arg(prefix, services_.processInfo.uuidString());
    return foundation::appendingPathComponent(services_.fileManager.temporaryDirectory(), name);
}

// --- The download and its progress ---

void QBYClientDownloader::downloadDidBegin() {}

void QBYClientDownloader::downloadDidReceiveResponse(const platform::UrlResponse& response) {
    downloadResponse_ = response;
    bytesReceived_ = 0;
    progressText_.reset();
}

bool QBYClientDownloader::downloadShouldDecodeSourceDataOfMIMEType(const QString& encodingType) {
    return encodingType == QLatin1String("application/macbinary") ||
           encodingType == QLatin1String("application/binhex");
}

void QBYClientDownloader::downloadDidReceiveDataOfLength(quint64 length) {
    const qint64 room = std::numeric_limits<qint64>::max() - bytesReceived_;
    // The download itself stops a body that runs past the release's size (setPromisedLength).
    bytesReceived_ += length > quint64(room) ? room : qint64(length);
    showProgress();
}

std::optional<qint64> QBYClientDownloader::downloadShouldRetryAfterError(
    const foundation::Error& error, const platform::FailedTry& failedTry) {
    const std::optional<qint64> pauseMs =
        retryPolicy_.pauseAfterFailedTry(services_.install.clock.monotonicMilliseconds(),
                                         failedTry.newBytes, failedTry.retryAfterMs);
    if (!pauseMs) return std::nullopt;
    services_.logs.consoleLog(
        QStringLiteral("Download interrupted, trying again: %1").arg(error.message));
    // A retry at once needs no words; the line of the next data replaces these.
    if (*pauseMs > 0) {
        const qint64 seconds = (*pauseMs + 999) / 1000;
        services_.window.setStatusText(
            localized(QStringLiteral("Connection lost. Retrying in %1 s…")).arg(seconds));
    }
    progressText_.reset();
    return pauseMs;
}

void QBYClientDownloader::downloadWillResumeWithResponse(const platform::UrlResponse& response,
                                                         qint64 offset) {
    downloadResponse_ = response;
    bytesReceived_ = offset;
    progressText_.reset();
}

void QBYClientDownloader::showProgress() {
    qint64 expected = downloadResponse_ ? downloadResponse_->expectedContentLength : -1;
    if (expected == -1) expected = downloadSizeInBytes_;
    // No length at all (or 0): no percentage exists, so the bar shows activity instead.
    const bool unknown = expected <= 0;
    if (unknown != barIndeterminate_) {
        barIndeterminate_ = unknown;
        services_.window.setIndeterminate(unknown);
    }
    if (!unknown) services_.window.setProgress(double(bytesReceived_) / double(expected) * 100.0);
    if (const std::optional<QString> line = progressText_.update(bytesReceived_, expected)) {
        services_.window.setStatusText(*line);
    }
}

void QBYClientDownloader::downloadDidFailWithError(const foundation::Error& error) {
    clearClientDownload();
    if (error.code == ENOSPC) {
        services_.logs.consoleLog(error.message);
        showDiskFullSheet(promisedLength());
        return;
    }
    const QString text = error.format.isEmpty()
                             ? error.message
                             : foundation::filledIn(localized(error.format), error.arguments);
    showDownloadFailureSheet(text);
}

void QBYClientDownloader::doCancelDownload() {
    if (clientDownload_) clientDownload_->cancel();
    setDownloadCancelled(true);
    removeDownloadFolder();
    services_.application.terminate();
}

// --- Unpacking and installing ---

qint64 QBYClientDownloader::promisedLength() const {
    const qint64 announced = downloadResponse_ ? downloadResponse_->expectedContentLength : -1;
    if (announced != -1) return announced;
    return downloadSizeInBytes_ > 0 ? downloadSizeInBytes_ : -1;
}

void QBYClientDownloader::downloadDidFinish() {
    // A transfer that ended before (or beyond) the length it announced is no archive to unpack.
    if (const qint64 promised = promisedLength(); promised != -1 && bytesReceived_ != promised) {
        refuseFinishedDownload(localized(
            bytesReceived_ < promised ? QStringLiteral("The download ended before the whole file "
                                                       "had arrived. Please try again later.")
                                      : kLargerThanPromised));
        return;
    }
    // Nor is one that is not what the release promised: nothing of it is unpacked.
    if (!archiveIntact()) {
        refuseFinishedDownload(
            localized(QStringLiteral("The download was damaged. Please try again.")));
        return;
    }

    if (barIndeterminate_) services_.window.setIndeterminate(false);
    services_.window.setProgress(100.0);
    services_.window.displayIfNeeded();
    services_.pauses.usleep(kUnpackPauseMicroseconds);

    downloadResponse_.reset();
    clearClientDownload();

    const QString folder = foundation::deletingLastPathComponent(downloadPath_);
    const QString file = foundation::lastPathComponent(downloadPath_);
    const platform::ArchiveFormat format = archiveFormatOf(file);
    const foundation::Status unpacked = services_.install.archiveTools.unpack(folder, file, format);
    // As "rm -f" after the tool: the archive goes whether or not it unpacked.
    services_.fileManager.removeItem(downloadPath_);
    services_.pauses.usleep(kUnpackPauseMicroseconds);
    // An archive that did not unpack ends like one without a bundle: silently, but for the log.
    bool installed = false;
    if (!unpacked) {
        diskFull_ = unpacked.error().code == ENOSPC;
        logInstallStopped(
            QStringLiteral("the archive did not unpack (%1)").arg(unpacked.error().message));
    } else if (const std::optional<QStringList> names =
                   services_.fileManager.contentsOfDirectory(folder);
               const std::optional<QString> bundleName =
                   names ? clientBundleIn(folder, *names) : std::nullopt) {
        installed = installClient(foundation::appendingPathComponent(folder, *bundleName),
                                  kInstallDestination);
    } else {
        logInstallStopped(names ? QStringLiteral("the archive holds no bundle at its top")
                                : QStringLiteral("the unpacked archive could not be listed"));
    }
    // The install has copied or moved what it needs out of the folder by now.
    removeDownloadFolder();
    if (diskFull_) {
        showDiskFullSheet(bytesReceived_);
        return;
    }
    if (installed && services_.proxy.launchClient(installedClient_) && services_.requestWritten) {
        services_.handOff.set();
    }
    services_.application.terminate();
}

std::optional<QString> QBYClientDownloader::clientBundleIn(const QString& folder,
                                                           QStringList names) const {
    // By name, so that every file system gives the same answer; and only folders, since a file
    // or a link that merely bears the name is no bundle.
    std::sort(names.begin(), names.end());
    for (const QString& name : names) {
        if (name.endsWith(foundation::BundleLayout::extension(), Qt::CaseSensitive) &&
            services_.fileManager.isDirectory(foundation::appendingPathComponent(folder, name))) {
            return name;
        }
    }
    return std::nullopt;
}

bool QBYClientDownloader::archiveIntact() {
    // The download's own digest, taken as the bytes arrived, spares reading the archive again.
    const IntegrityVerdict verdict =
        verifyArchive(downloadPath_, promisedIntegrity_, services_.install.trust,
                      services_.install.archiveVerifier,
                      clientDownload_ ? clientDownload_->sha256OfBody() : std::nullopt);
    if (!verdict.reason.isEmpty()) services_.logs.consoleLog(verdict.reason);
    return verdict.accepted;
}

void QBYClientDownloader::refuseFinishedDownload(const QString& informativeText) {
    downloadResponse_.reset();
    clearClientDownload();
    showDownloadFailureSheet(informativeText);
}

bool QBYClientDownloader::installClient(const QString& source, const QString& destination) {
    if (!services_.fileManager.fileExists(source)) return false;
    // Nobody is asked for a password: where the user may not write the system's applications
    // folder, the client is installed for this user alone.
    QString target = destination;
    if (!services_.fileManager.isWritableDirectory(
            foundation::deletingLastPathComponent(destination))) {
        const QString folder = foundation::appendingPathComponent(
            services_.install.userApplications.homeDirectory(), kUserApplicationsFolder);
        if (!services_.fileManager.createDirectory(folder)) {
            logInstallStopped(QStringLiteral("%1 could not be made").arg(folder));
            return false;
        }
        target =
            foundation::appendingPathComponent(folder, foundation::lastPathComponent(destination));
    }
    if (const foundation::Status replaced = services_.fileManager.replaceItem(source, target);
        !replaced) {
        diskFull_ = replaced.error().code == ENOSPC;
        logInstallStopped(QStringLiteral("the client could not be put at %1 (%2)")
                              .arg(target, replaced.error().message));
        return false;
    }
    registerForUser(target);
    installedClient_ = target;
    services_.pauses.sleep(kInstallPauseSeconds);
    return true;
}

void QBYClientDownloader::registerForUser(const QString& bundlePath) {
    const foundation::Status registered =
        services_.install.userApplications.registerDesktopEntry(bundlePath);
    if (!registered) {
        services_.logs.consoleLog(
            QStringLiteral("Desktop entry not written: %1").arg(registered.error().message));
    }
}

// --- helpers ---

void QBYClientDownloader::showDownloadFailureSheet(const QString& informativeText) {
    // The sheet ends the process: nothing of the download is needed any more.
    removeDownloadFolder();
    services_.window.beginSheet(
        {localized(QStringLiteral("The Quillbay app could not be downloaded.")),
         informativeText,
         {localized(QStringLiteral("Quit"))}},
        [&application = services_.application] { application.terminate(); });
}

void QBYClientDownloader::showDiskFullSheet(qint64 archiveBytes) {
    if (archiveBytes <= 0) {
        showDownloadFailureSheet(
            localized(QStringLiteral("The disk is full. Please make room and try again.")));
        return;
    }
    // The archive and its unpacked client: a client packs to about a third of its size.
    const qint64 megabytes = qint64(std::ceil(double(archiveBytes) * 4.0 / 1e6));
    showDownloadFailureSheet(
        localized(QStringLiteral("The disk is full. The Quillbay app needs about %1 MB of free "
                                 "space. Please make room and try again."))
            .arg(megabytes));
}

void QBYClientDownloader::logInstallStopped(const QString& reason) {
    services_.logs.consoleLog(QStringLiteral("Install stopped: %1").arg(reason));
}

void QBYClientDownloader::removeDownloadFolder() {
    if (downloadFolder_.isEmpty()) return;
    if (const foundation::Status removed = services_.fileManager.removeItem(downloadFolder_);
        !removed) {
        services_.logs.consoleLog(
            QStringLiteral("The download folder stays: %1").arg(removed.error().message));
    }
    downloadFolder_.clear();
}

void QBYClientDownloader::clearClientDownload() {
    if (clientDownload_) endedDownload_ = std::move(clientDownload_);
}

QString QBYClientDownloader::localized(const QString& key) const {
    return services_.bundle.localizedString(key, QString(""), kLocalizationTable);
}

}  // namespace qby::downloader

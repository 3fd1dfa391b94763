#include "app/QBY_DownloaderAppDelegate.h"

#include "app/RequestAssembly.h"
#include "app/SelfRemoval.h"
#include "client/BringToFront.h"
#include "client/NotificationFileWriter.h"
#include "downloader/QBYClientDownloader.h"

#include <QUrl>

namespace qby::app {
namespace {

const QString kLocalizationTable = QStringLiteral("QBYDownloader");
const QString kRequestPrefix = QStringLiteral("download");
const QString kClientNotification = QStringLiteral("QBY.Helper");
const QString kDownloadWindowInterface = QStringLiteral("ClientDownloader");
const QUrl kSupportPage(QStringLiteral("https://www.quillbay.com/support/"));

bool isTooOld(qint32 major, qint32 minor) {
    return major < 10 || (major == 10 && minor < 6);
}

}  // namespace

QBY_DownloaderAppDelegate::QBY_DownloaderAppDelegate(const platform::PlatformServices& services,
                                                     client::QBYClientProxy& proxy,
                                                     foundation::SystemInfo& systemInfo,
                                                     client::HandOffFlag& handOff,
                                                     const downloader::InstallServices& install)
    : services_(services),
      install_(install),
      proxy_(proxy),
      systemInfo_(systemInfo),
      handOff_(handOff) {}

QBY_DownloaderAppDelegate::~QBY_DownloaderAppDelegate() = default;

void QBY_DownloaderAppDelegate::openStoreURL() {
    services_.application.terminate();
}

void QBY_DownloaderAppDelegate::applicationDidFinishLaunching() {
    request_ = assembleDownloadRequest(services_.bundle, services_.fileManager, services_.logs);

    qint32 major = 0;
    qint32 minor = 0;
    systemInfo_.getSystemVersion(&major, &minor, nullptr);
    if (isTooOld(major, minor)) {
        refuseTooOldSystem();
        return;
    }

    if (const auto client = proxy_.isClientRunning()) {
        handToRunningClient(*client);
        return;
    }

    // The client may have started meanwhile; keep this second answer for the bring-to-front.
    services_.application.activateIgnoringOtherApps(true);
    const auto client = proxy_.isClientRunning();
    if (client || proxy_.isClientInstalled()) {
        handToInstalledClient(client);
        return;
    }
    offerInstall();
}

void QBY_DownloaderAppDelegate::refuseTooOldSystem() {
    services_.application.activateIgnoringOtherApps(true);
    const int response = services_.application.runModal(
        {localized(QStringLiteral("Mac OS X is too old.")),
         localized(QStringLiteral(
             "The Quillbay app is needed to download your game. However the Quillbay app requires "
             "Mac OS X 10.6 or newer, and your version of Mac OS X is too old.")),
         {localized(QStringLiteral("Support")), localized(QStringLiteral("Quit"))}});
    if (response == platform::kAlertFirstButtonReturn) services_.workspace.openURL(kSupportPage);
    services_.application.terminate();
}

void QBY_DownloaderAppDelegate::handToRunningClient(platform::RunningApplication& client) {
    writeRequest();
    client.activateWithOptions(platform::kActivateIgnoringOtherApps);
    services_.pauses.sleep(1);
    proxy_.notifyClient(kClientNotification);
    markHandedOver();
    services_.application.terminate();
}

void QBY_DownloaderAppDelegate::handToInstalledClient(
    const std::shared_ptr<platform::RunningApplication>& client) {
    writeRequest();
    if (client::bringToFront(client.get(), true, services_.pauses)) {
        proxy_.notifyClient(kClientNotification);
        markHandedOver();
    } else {
        const std::optional<QString> path = proxy_.getClientPath();
        // A client that vanished since the look-up fails to launch like any other: with the alert.
        if (proxy_.launchClient(path.value_or(QString()))) {
            proxy_.notifyClient(kClientNotification);
            markHandedOver();
        }
    }
    services_.application.terminate();
}

void QBY_DownloaderAppDelegate::offerInstall() {
    const int response = services_.application.runModal(
        {localized(QStringLiteral("Quillbay Downloader")),
         localized(
             QStringLiteral("This application will install the Quillbay app. The Quillbay app "
                            "will then start and begin downloading your game.\n")),
         {localized(QStringLiteral("Download & Install")), localized(QStringLiteral("Quit"))}});
    if (response == platform::kAlertSecondButtonReturn) {
        services_.application.terminate();
        return;
    }

    writeRequest();
    platform::DownloadWindow* window =
        services_.interfaceLoader.loadDownloadWindow(kDownloadWindowInterface);
    if (window == nullptr) {
        services_.application.runModal(
            {localized(QStringLiteral("The Quillbay app could not be downloaded.")),
             localized(QStringLiteral("A problem occurred while starting the download.")),
             {localized(QStringLiteral("Quit"))}});
        services_.application.terminate();
        return;
    }
    downloader_ = std::make_unique<downloader::QBYClientDownloader>(downloader::DownloaderServices{
        *window, services_.application, services_.bundle, services_.fileManager,
        services_.propertyLists, services_.processInfo, services_.pauses, services_.logs, install_,
        systemInfo_, proxy_, handOff_, requestWritten_});
    downloader_->awakeFromNib();
    downloader::QBYClientDownloader::sharedDownloader()->startDownload(nullptr);
}

void QBY_DownloaderAppDelegate::applicationWillTerminate() {
    if (!handOff_.isSet()) return;
    removeDownloaderFiles(services_.bundle, services_.fileManager, systemInfo_);
}

void QBY_DownloaderAppDelegate::writeRequest() {
    requestWritten_ = client::writeNotificationFile(
        request_, kRequestPrefix,
        {services_.fileManager, services_.propertyLists, services_.processInfo, services_.logs});
}

void QBY_DownloaderAppDelegate::markHandedOver() {
    // A request that never reached the drop folder lives on only in the downloader's name or
    // request file: keep the downloader so that the customer can start it again.
    if (requestWritten_) handOff_.set();
}

QString QBY_DownloaderAppDelegate::localized(const QString& key) const {
    return services_.bundle.localizedString(key, QString(""), kLocalizationTable);
}

}  // namespace qby::app

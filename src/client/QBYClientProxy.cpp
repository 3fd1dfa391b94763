#include "client/QBYClientProxy.h"

#include "client/ClientIdentity.h"

#include <atomic>

namespace qby::client {
namespace {

std::atomic<QBYClientProxy*> sharedInstance{nullptr};

const QString kLocalizationTable = QStringLiteral("QBYDownloader");

}  // namespace

QBYClientProxy::QBYClientProxy(const ClientProxyServices& services) : services_(services) {}

QBYClientProxy* QBYClientProxy::sharedProxy() {
    return sharedInstance.load();
}

void QBYClientProxy::setSharedProxy(QBYClientProxy* proxy) {
    sharedInstance.store(proxy);
}

std::optional<QString> QBYClientProxy::getClientPath() {
    const std::optional<QString> registered =
        services_.workspace.absolutePathForAppBundleWithIdentifier(kClientBundleIdentifier);
    if (registered && !isExcludedClientPath(*registered)) return registered;
    return searchMetadata();
}

std::optional<QString> QBYClientProxy::searchMetadata() {
    std::unique_ptr<platform::MetadataQuery> query =
        services_.metadataSearch.createQuery(kClientMetadataQuery);
    if (!query || !query->execute()) return std::nullopt;
    // The count is read again at each step, as a query's results may still change.
    for (qint64 index = 0; index < query->resultCount(); ++index) {
        const std::optional<platform::MetadataItem> item = query->resultAtIndex(index);
        if (!item || !item->path) continue;
        if (!isExcludedClientPath(*item->path)) return item->path;
    }
    return std::nullopt;
}

bool QBYClientProxy::isClientInstalled() {
    qint32 major = 0;
    qint32 minor = 0;
    services_.systemInfo.getSystemVersion(&major, &minor, nullptr);
    if (major < 10 || (major == 10 && minor < 6)) return false;
    return getClientPath().has_value();
}

std::shared_ptr<platform::RunningApplication> QBYClientProxy::isClientRunning() {
    for (const auto& application : services_.workspace.runningApplications()) {
        if (application && application->bundleIdentifier() == kClientBundleIdentifier) {
            return application;
        }
    }
    return nullptr;
}

bool QBYClientProxy::launchClient(const QString& clientPath) {
    const platform::LaunchResult launched = services_.workspace.launchApplication(clientPath);
    if (launched.ok() && launched.value()) {
        services_.pauses.sleep(1);
        return true;
    }
    const int code = launched.ok() ? 0 : launched.error().code;
    if (!launched.ok()) {
        services_.logs.consoleLog(
            QStringLiteral("The client could not be started: %1").arg(launched.error().message));
    }
    // The format is translated first, so a translation keeps its %d.
    const QString format = localized(QStringLiteral(
        "Please use the Finder to locate the QBY app and then double-click to start it. Contact "
        "Technical Support if you continue to have problems.\n\nError %d"));
    QString informative = format;
    informative.replace(QLatin1String("%d"), QString::number(code));
    services_.application.runModal(
        {localized(QStringLiteral("The Quillbay app could not be started.")),
         informative,
         {localized(QStringLiteral("Quit"))}});
    return false;
}

void QBYClientProxy::notifyClient(const QString& name) {
    services_.notificationCenter.postNotification(name);
}

QString QBYClientProxy::localized(const QString& key) const {
    return services_.bundle.localizedString(key, QString(""), kLocalizationTable);
}

}  // namespace qby::client

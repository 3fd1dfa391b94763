#include "FakePlatform.h"

#include <cerrno>

namespace qby::fake {
namespace {

bool isInside(const QString& path, const QString& folder) {
    return path.startsWith(folder + QLatin1Char('/'));
}

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

class FakeMetadataQuery : public platform::MetadataQuery {
public:
    FakeMetadataQuery(FakePlatform& platform) : platform_(platform) {}
    ~FakeMetadataQuery() override { platform_.log.add(QStringLiteral("query.release")); }
    bool execute() override {
        platform_.log.add(QStringLiteral("query.execute"));
        return platform_.queryRuns;
    }
    qint64 resultCount() const override { return qint64(platform_.queryResults.size()); }
    std::optional<platform::MetadataItem> resultAtIndex(qint64 index) const override {
        platform_.log.add(QStringLiteral("query.resultAtIndex %1").arg(index));
        return platform_.queryResults.at(size_t(index));
    }

private:
    FakePlatform& platform_;
};

}  // namespace

qsizetype CallLog::indexOf(const QString& prefix) const {
    for (qsizetype i = 0; i < calls_.size(); ++i)
        if (calls_.at(i).startsWith(prefix)) return i;
    return -1;
}

qsizetype CallLog::count(const QString& prefix) const {
    qsizetype n = 0;
    for (const QString& call : calls_) n += call.startsWith(prefix) ? 1 : 0;
    return n;
}

FakeRunningApplication::FakeRunningApplication(CallLog& log,
                                               std::optional<QString> bundleIdentifier,
                                               QString name, bool acceptsActivation)
    : log_(log),
      bundleIdentifier_(std::move(bundleIdentifier)),
      name_(std::move(name)),
      acceptsActivation_(acceptsActivation) {}

bool FakeRunningApplication::activateWithOptions(int options) {
    log_.add(QStringLiteral("%1.activateWithOptions %2").arg(name_).arg(options));
    return acceptsActivation_;
}

void FakeDownloadWindow::setProgress(double percent) {
    log_.add(QStringLiteral("window.setProgress %1").arg(percent));
}

void FakeDownloadWindow::setIndeterminate(bool indeterminate) {
    log_.add(QStringLiteral("window.setIndeterminate %1").arg(indeterminate));
}

void FakeDownloadWindow::setStatusText(const QString& text) {
    log_.add(QStringLiteral("window.setStatusText ") + text);
}

void FakeDownloadWindow::beginSheet(const platform::Alert& alert, std::function<void()> didEnd) {
    log_.add(QStringLiteral("window.beginSheet %1").arg(alert.messageText));
    sheetAlert = alert;
    sheetDidEnd = std::move(didEnd);
}

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

platform::PlatformServices FakePlatform::services() {
    return {*this, *this, *this, *this, *this, *this, *this, *this, *this, *this, *this};
}

void FakePlatform::addFile(const QString& path, const std::optional<QString>& text) {
    addFolder(parentOf(path));
    files.insert(path, text);
}

void FakePlatform::addFolder(const QString& path) {
    for (QString folder = path; folder != QLatin1String("/"); folder = parentOf(folder))
        folders.insert(folder);
}

bool FakePlatform::exists(const QString& path) const {
    return files.contains(path) || folders.contains(path);
}

void FakePlatform::activateIgnoringOtherApps(bool flag) {
    log.add(QStringLiteral("application.activateIgnoringOtherApps %1").arg(flag));
}

int FakePlatform::runModal(const platform::Alert& alert) {
    alerts.push_back(alert);
    log.add(QStringLiteral("application.runModal %1").arg(alert.messageText));
    if (alertResponses.empty()) return platform::kAlertFirstButtonReturn;
    const int response = alertResponses.front();
    alertResponses.pop_front();
    return response;
}

void FakePlatform::terminate() {
    log.add(QStringLiteral("application.terminate"));
    if (++terminations == 1 && terminationHandler_) terminationHandler_();
}

void FakePlatform::setTerminationHandler(std::function<void()> handler) {
    terminationHandler_ = std::move(handler);
}

std::optional<QString> FakePlatform::pathForResource(const QString& name, const QString& type,
                                                     const QString& directory) const {
    const QString key = QStringLiteral("%1/%2.%3").arg(directory, name, type);
    if (!resources.contains(key)) return std::nullopt;
    return resources.value(key);
}

QString FakePlatform::localizedString(const QString& key, const QString& value,
                                      const QString& table) const {
    if (table == QLatin1String("QBYDownloader") && translations.contains(key))
        return translations.value(key);
    return value.isEmpty() ? key : value;
}

bool FakePlatform::fileExists(const QString& path) const {
    return exists(path);
}

bool FakePlatform::isDirectory(const QString& path) const {
    return folders.contains(path);
}

std::optional<QString> FakePlatform::readUtf8Text(const QString& path, qint64 maxBytes) const {
    log.add(QStringLiteral("file.read %1").arg(path));
    const auto it = files.find(path);
    if (it == files.end() || !it.value()) return std::nullopt;
    if (it.value()->toUtf8().size() > maxBytes) return std::nullopt;
    return it.value();
}

int FakePlatform::removeItem(const QString& path) {
    log.add(QStringLiteral("file.remove %1").arg(path));
    if (removalErrors.contains(path)) return removalErrors.value(path);
    if (!exists(path)) return ENOENT;
    files.remove(path);
    folders.remove(path);
    files.removeIf([&](auto it) { return isInside(it.key(), path); });
    folders.removeIf([&](const QString& folder) { return isInside(folder, path); });
    return 0;
}

bool FakePlatform::createDirectory(const QString& path) {
    log.add(QStringLiteral("file.createDirectory %1").arg(path));
    for (QString folder = path; folder != QLatin1String("/"); folder = parentOf(folder)) {
        if (files.contains(folder) || uncreatableFolders.contains(folder)) return false;
    }
    addFolder(path);
    return true;
}

std::optional<QStringList> FakePlatform::contentsOfDirectory(const QString& path) const {
    log.add(QStringLiteral("file.list %1").arg(path));
    if (listings.contains(path)) return listings.value(path);
    if (!folders.contains(path)) return std::nullopt;
    QStringList names;
    const auto addChild = [&](const QString& item) {
        if (parentOf(item) == path) names.append(item.mid(path.size() + 1));
    };
    for (auto it = files.cbegin(); it != files.cend(); ++it) addChild(it.key());
    for (const QString& folder : folders) addChild(folder);
    names.sort();
    return names;
}

Status FakePlatform::createPrivateDirectory(const QString& path) {
    log.add(QStringLiteral("file.createPrivateDirectory %1").arg(path));
    if (exists(path)) return Error{EEXIST, QStringLiteral("File exists")};
    if (uncreatableFolders.contains(path)) return Error{EACCES, QStringLiteral("Permission denied")};
    if (!folders.contains(parentOf(path)))
        return Error{ENOENT, QStringLiteral("No such file or directory")};
    folders.insert(path);
    return {};
}

Status FakePlatform::moveItem(const QString& source, const QString& destination) {
    log.add(QStringLiteral("file.move %1 %2").arg(source, destination));
    if (moveErrors.contains(source)) return Error{moveErrors.value(source), QStringLiteral("move")};
    if (!exists(source)) return Error{ENOENT, QStringLiteral("No such file or directory")};
    if (exists(destination)) return Error{EEXIST, QStringLiteral("File exists")};
    if (!folders.contains(parentOf(destination)))
        return Error{ENOENT, QStringLiteral("No such file or directory")};
    const auto moved = [&](const QString& path) {
        return path == source || isInside(path, source);
    };
    const auto renamed = [&](const QString& path) {
        return destination + path.mid(source.size());
    };
    QMap<QString, std::optional<QString>> keptFiles;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        keptFiles.insert(moved(it.key()) ? renamed(it.key()) : it.key(), it.value());
    QSet<QString> keptFolders;
    for (const QString& folder : folders) keptFolders.insert(moved(folder) ? renamed(folder) : folder);
    files = keptFiles;
    folders = keptFolders;
    return {};
}

std::optional<QString> FakePlatform::absolutePathForAppBundleWithIdentifier(
    const QString& bundleIdentifier) {
    log.add(QStringLiteral("workspace.registry %1").arg(bundleIdentifier));
    if (registryAnswersLeft == 0) return std::nullopt;
    if (registryAnswersLeft > 0) --registryAnswersLeft;
    return registeredClientPath;
}

std::vector<std::shared_ptr<platform::RunningApplication>> FakePlatform::runningApplications() {
    log.add(QStringLiteral("workspace.runningApplications"));
    if (runningLookups_++ > 0 && runningLater) return *runningLater;
    return running;
}

platform::LaunchResult FakePlatform::launchApplication(const QString& bundlePath) {
    log.add(QStringLiteral("workspace.launch %1").arg(bundlePath));
    return launchAnswer;
}

bool FakePlatform::openURL(const QUrl& url) {
    log.add(QStringLiteral("workspace.openURL %1").arg(url.toString()));
    return true;
}

std::unique_ptr<platform::MetadataQuery> FakePlatform::createQuery(const QString& queryText) {
    log.add(QStringLiteral("metadata.createQuery %1").arg(queryText));
    if (!queryCreatable) return nullptr;
    ++queriesCreated;
    return std::make_unique<FakeMetadataQuery>(*this);
}

void FakePlatform::postNotification(const QString& name) {
    log.add(QStringLiteral("notifications.post %1").arg(name));
}

bool FakePlatform::writeDictionaryAtomically(const QString& path,
                                             const QMap<QString, QString>& dictionary) {
    log.add(QStringLiteral("plist.write %1").arg(path));
    if (!propertyListWritesSucceed) return false;
    writtenPropertyLists.insert(path, dictionary);
    addFile(path, QString());
    return true;
}

std::optional<QVariant> FakePlatform::parse(const QByteArray&) const {
    return std::nullopt;
}

QString FakePlatform::globallyUniqueString() {
    return QStringLiteral("TOKEN%1").arg(++tokens_);
}

void FakePlatform::syslog(int priority, const QString& message) {
    log.add(QStringLiteral("syslog %1 %2").arg(priority).arg(message));
}

void FakePlatform::consoleLog(const QString& line) {
    log.add(QStringLiteral("console ") + line);
}

void FakePlatform::sleep(unsigned seconds) {
    log.add(QStringLiteral("sleep %1").arg(seconds));
}

void FakePlatform::usleep(quint64 microseconds) {
    log.add(QStringLiteral("usleep %1").arg(microseconds));
}

platform::DownloadWindow* FakePlatform::loadDownloadWindow(const QString& name) {
    log.add(QStringLiteral("interface.load %1").arg(name));
    return windowLoads ? &window : nullptr;
}

std::optional<platform::OperatingSystemVersion> FakePlatform::operatingSystemVersion() {
    return osVersion;
}

std::optional<QString> FakePlatform::buildVersion() {
    return build;
}

std::optional<QByteArray> FakePlatform::kernelValue(const char* name) {
    const QString key = QString::fromLatin1(name);
    if (!kernelValues.contains(key)) return std::nullopt;
    return kernelValues.value(key);
}

}  // namespace qby::fake

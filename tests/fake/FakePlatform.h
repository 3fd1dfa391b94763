#pragma once

#include "platform/PlatformServices.h"
#include "platform/SystemProbe.h"

#include <QMap>
#include <QSet>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qby::fake {

// Every call the logic made, in order, as one line each ("workspace.openURL https://...").
class CallLog {
public:
    void add(const QString& call) { calls_.push_back(call); }
    const QStringList& calls() const { return calls_; }
    // Index of the first call that starts with prefix, or -1.
    qsizetype indexOf(const QString& prefix) const;
    qsizetype count(const QString& prefix) const;
    // One call a line, for failing tests to print.
    QString toString() const { return calls_.join(QLatin1Char('\n')); }

private:
    QStringList calls_;
};

class FakeRunningApplication : public platform::RunningApplication {
public:
    FakeRunningApplication(CallLog& log, std::optional<QString> bundleIdentifier, QString name,
                           bool acceptsActivation = true);
    std::optional<QString> bundleIdentifier() const override { return bundleIdentifier_; }
    bool activateWithOptions(int options) override;
    const QString& name() const { return name_; }

private:
    CallLog& log_;
    std::optional<QString> bundleIdentifier_;
    QString name_;
    bool acceptsActivation_;
};

class FakeDownloadWindow : public platform::DownloadWindow {
public:
    explicit FakeDownloadWindow(CallLog& log) : log_(log) {}
    void center() override { log_.add(QStringLiteral("window.center")); }
    void makeKeyAndOrderFront() override {
        log_.add(QStringLiteral("window.makeKeyAndOrderFront"));
    }
    void setProgress(double percent) override;
    void setIndeterminate(bool indeterminate) override;
    void setStatusText(const QString& text) override;
    void displayIfNeeded() override { log_.add(QStringLiteral("window.displayIfNeeded")); }
    void setCancelAction(std::function<void()> action) override { cancel = std::move(action); }
    void beginSheet(const platform::Alert& alert, std::function<void()> didEnd) override;

    std::function<void()> cancel;
    std::function<void()> sheetDidEnd;
    platform::Alert sheetAlert;  // the last sheet shown

private:
    CallLog& log_;
};

// A complete, scripted implementation of every platform service, over an in-memory file system.
class FakePlatform : public platform::Application,
                     public platform::Bundle,
                     public platform::FileManager,
                     public platform::Workspace,
                     public platform::MetadataSearch,
                     public platform::NotificationCenter,
                     public platform::PropertyLists,
                     public platform::ProcessInfo,
                     public platform::Logs,
                     public platform::Pauses,
                     public platform::InterfaceLoader,
                     public platform::SystemProbe {
public:
    FakePlatform();
    ~FakePlatform() override;

    platform::PlatformServices services();

    // --- script and state ---
    mutable CallLog log;
    // Alert answers in order; 1000 once they run out.
    std::deque<int> alertResponses;
    std::vector<platform::Alert> alerts;
    int terminations = 0;

    QString bundlePathValue = QStringLiteral("/home/user/Downloads/Game.app");
    QMap<QString, QString> resources;     // "en.lproj/locversion.plist" -> absolute path
    QMap<QString, QString> translations;  // key -> translation ("QBYDownloader" table)

    // The file system: folders, and files with their text (nothing: unreadable or not UTF-8).
    QSet<QString> folders;
    QMap<QString, std::optional<QString>> files;
    QMap<QString, int> removalErrors;  // path -> errno answered by removeItem
    QSet<QString> uncreatableFolders;
    // Listings that differ from the file system: path -> names, or nothing (a listing error).
    QMap<QString, std::optional<QStringList>> listings;
    QMap<QString, int> moveErrors;  // source path -> errno answered by moveItem
    QStringList applicationSupport{QStringLiteral("/home/user/.local/share")};
    QStringList downloads{QStringLiteral("/home/user/Downloads")};
    void addFile(const QString& path, const std::optional<QString>& text);
    void addFolder(const QString& path);
    bool exists(const QString& path) const;

    std::optional<QString> registeredClientPath;
    int registryAnswersLeft = -1;  // how often the registry still answers; -1: always
    std::vector<std::shared_ptr<platform::RunningApplication>> running;
    // Running applications answered from the second look on (nothing: the same as the first).
    std::optional<std::vector<std::shared_ptr<platform::RunningApplication>>> runningLater;
    platform::LaunchResult launchAnswer;

    bool queryCreatable = true;
    bool queryRuns = true;
    std::vector<std::optional<platform::MetadataItem>> queryResults;
    int queriesCreated = 0;

    QMap<QString, QMap<QString, QString>> writtenPropertyLists;
    bool propertyListWritesSucceed = true;

    std::optional<platform::OperatingSystemVersion> osVersion =
        platform::OperatingSystemVersion{12, 0, 0};
    std::optional<QString> build;
    QMap<QString, QByteArray> kernelValues;

    bool windowLoads = true;
    FakeDownloadWindow window{log};

    // --- Application ---
    void activateIgnoringOtherApps(bool flag) override;
    int runModal(const platform::Alert& alert) override;
    void terminate() override;
    void setTerminationHandler(std::function<void()> handler) override;
    // --- Bundle ---
    QString bundlePath() const override { return bundlePathValue; }
    std::optional<QString> pathForResource(const QString& name, const QString& type,
                                           const QString& directory) const override;
    QString localizedString(const QString& key, const QString& value,
                            const QString& table) const override;
    // --- FileManager ---
    bool fileExists(const QString& path) const override;
    bool isDirectory(const QString& path) const override;
    std::optional<QString> readUtf8Text(const QString& path, qint64 maxBytes) const override;
    int removeItem(const QString& path) override;
    bool createDirectory(const QString& path) override;
    QStringList applicationSupportDirectories() const override { return applicationSupport; }
    QStringList downloadsDirectories() const override { return downloads; }
    QString temporaryDirectory() const override { return QStringLiteral("/tmp"); }
    std::optional<QStringList> contentsOfDirectory(const QString& path) const override;
    Status createPrivateDirectory(const QString& path) override;
    Status moveItem(const QString& source, const QString& destination) override;
    // --- Workspace ---
    std::optional<QString> absolutePathForAppBundleWithIdentifier(
        const QString& bundleIdentifier) override;
    std::vector<std::shared_ptr<platform::RunningApplication>> runningApplications() override;
    platform::LaunchResult launchApplication(const QString& bundlePath) override;
    bool openURL(const QUrl& url) override;
    // --- MetadataSearch ---
    std::unique_ptr<platform::MetadataQuery> createQuery(const QString& queryText) override;
    // --- NotificationCenter ---
    void postNotification(const QString& name) override;
    // --- PropertyLists ---
    bool writeDictionaryAtomically(const QString& path,
                                   const QMap<QString, QString>& dictionary) override;
    std::optional<QVariant> parse(const QByteArray& bytes) const override;
    // --- ProcessInfo ---
    QString globallyUniqueString() override;
    // --- Logs ---
    void syslog(int priority, const QString& message) override;
    void consoleLog(const QString& line) override;
    // --- Pauses ---
    void sleep(unsigned seconds) override;
    void usleep(quint64 microseconds) override;
    // --- InterfaceLoader ---
    platform::DownloadWindow* loadDownloadWindow(const QString& name) override;
    // --- SystemProbe ---
    std::optional<platform::OperatingSystemVersion> operatingSystemVersion() override;
    std::optional<QString> buildVersion() override;
    std::optional<QByteArray> kernelValue(const char* name) override;

private:
    std::function<void()> terminationHandler_;
    int runningLookups_ = 0;
    int tokens_ = 0;
};

}  // namespace qby::fake

#pragma once

#include "foundation/SystemProbe.h"
#include "platform/PlatformServices.h"

#include <QMap>
#include <QSet>
#include <QStringList>
#include <QUrl>
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
    // Whether calls starting with each prefix were made, the first of each in this order.
    bool inOrder(const QStringList& prefixes) const;
    // One call a line, for failing tests to print.
    QString toString() const { return calls_.join(QLatin1Char('\n')); }

private:
    QStringList calls_;
};

class FakeRunningApplication : public platform::RunningApplication {
public:
    FakeRunningApplication(CallLog& log, std::optional<QString> bundleIdentifier, QString name,
                           bool acceptsActivation = true)
        : log_(log), id_(std::move(bundleIdentifier)), name_(name), accepts_(acceptsActivation) {}
    std::optional<QString> bundleIdentifier() const override { return id_; }
    bool activateWithOptions(int options) override {
        log_.add(QStringLiteral("%1.activateWithOptions %2").arg(name_).arg(options));
        return accepts_;
    }
    const QString& name() const { return name_; }

private:
    CallLog& log_;
    std::optional<QString> id_;
    QString name_;
    bool accepts_;
};

class FakeDownloadWindow : public platform::DownloadWindow {
public:
    explicit FakeDownloadWindow(CallLog& log) : log_(log) {}
    void center() override { log_.add("window.center"); }
    void makeKeyAndOrderFront() override { log_.add("window.makeKeyAndOrderFront"); }
    void setProgress(double percent) override {
        log_.add(QStringLiteral("window.setProgress %1").arg(percent));
    }
    void setIndeterminate(bool on) override {
        log_.add(QStringLiteral("window.setIndeterminate %1").arg(on));
    }
    void setStatusText(const QString& text) override { log_.add("window.setStatusText " + text); }
    void displayIfNeeded() override { log_.add("window.displayIfNeeded"); }
    void setCancelAction(std::function<void()> action) override { cancel = std::move(action); }
    void beginSheet(const platform::Alert& alert, std::function<void()> didEnd) override {
        log_.add("window.beginSheet " + alert.messageText);
        sheetAlert = alert;
        sheetDidEnd = std::move(didEnd);
    }

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
                     public foundation::SystemProbe {
public:
    platform::PlatformServices services() {
        return {*this, *this, *this, *this, *this, *this, *this, *this, *this, *this, *this};
    }

    // --- script and state ---
    mutable CallLog log;
    // Alert answers in order; 1000 once they run out.
    std::deque<int> alertResponses;
    std::vector<platform::Alert> alerts;

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
    QMap<QString, int> replaceErrors;  // destination path -> errno answered by replaceItem
    QSet<QString> unwritableFolders;   // folders that stand but isWritableDirectory denies
    QStringList applicationSupport{QStringLiteral("/home/user/.local/share")};
    void addFile(const QString& path, const std::optional<QString>& text);
    void addFolder(const QString& path);
    bool exists(const QString& path) const {
        return files.contains(path) || folders.contains(path);
    }
    // What removing or moving path and everything inside it leaves, without a log line.
    void removeTree(const QString& path);
    void moveTree(const QString& source, const QString& destination);

    std::optional<QString> registeredClientPath;
    int registryAnswersLeft = -1;  // how often the registry still answers; -1: always
    std::vector<std::shared_ptr<platform::RunningApplication>> running;
    // Running applications answered from the second look on (nothing: the same as the first).
    std::optional<std::vector<std::shared_ptr<platform::RunningApplication>>> runningLater;
    // What a launch answers: nothing and no error until scripted.
    platform::LaunchResult launchAnswer = std::shared_ptr<platform::RunningApplication>();
    void launchAnswers(std::shared_ptr<platform::RunningApplication> app) { launchAnswer = app; }
    void launchFails(int code) {
        launchAnswer = foundation::Error{code, QStringLiteral("scripted failure %1").arg(code)};
    }

    bool queryCreatable = true;
    bool queryRuns = true;
    std::vector<std::optional<platform::MetadataItem>> queryResults;

    QMap<QString, QMap<QString, QString>> writtenPropertyLists;
    bool propertyListWritesSucceed = true;
    // Parsed roots by bytes; nothing: not a property list. Unscripted bytes fail the test.
    QMap<QByteArray, std::optional<QVariant>> propertyListRoots;

    std::optional<foundation::OperatingSystemVersion> osVersion{{12, 0, 0}};
    QMap<QString, QByteArray> kernelValues;

    bool windowLoads = true;
    FakeDownloadWindow window{log};

    void activateIgnoringOtherApps(bool flag) override {
        log.add(QStringLiteral("application.activateIgnoringOtherApps %1").arg(flag));
    }
    int runModal(const platform::Alert& alert) override;
    void terminate() override;
    void setTerminationHandler(std::function<void()> handler) override {
        terminationHandler_ = std::move(handler);
    }
    QString bundlePath() const override { return bundlePathValue; }
    std::optional<QString> pathForResource(const QString& name, const QString& type,
                                           const QString& directory) const override;
    QString localizedString(const QString& key, const QString& value,
                            const QString& table) const override;
    bool fileExists(const QString& path) const override { return exists(path); }
    bool isDirectory(const QString& path) const override { return folders.contains(path); }
    std::optional<QString> readUtf8Text(const QString& path, qint64 maxBytes) const override;
    foundation::Status removeItem(const QString& path) override;
    bool createDirectory(const QString& path) override;
    QStringList applicationSupportDirectories() const override { return applicationSupport; }
    QStringList downloadsDirectories() const override { return {"/home/user/Downloads"}; }
    QString temporaryDirectory() const override { return QStringLiteral("/tmp"); }
    std::optional<QStringList> contentsOfDirectory(const QString& path) const override;
    foundation::Status createPrivateDirectory(const QString& path) override;
    bool isWritableDirectory(const QString& path) const override {
        return folders.contains(path) && !unwritableFolders.contains(path);
    }
    foundation::Status replaceItem(const QString& source, const QString& destination) override;
    std::optional<QString> absolutePathForAppBundleWithIdentifier(const QString& id) override;
    std::vector<std::shared_ptr<platform::RunningApplication>> runningApplications() override {
        log.add("workspace.runningApplications");
        return runningLookups_++ > 0 && runningLater ? *runningLater : running;
    }
    platform::LaunchResult launchApplication(const QString& bundlePath) override {
        log.add("workspace.launch " + bundlePath);
        return launchAnswer;
    }
    bool openURL(const QUrl& url) override {
        log.add("workspace.openURL " + url.toString());
        return true;
    }
    std::unique_ptr<platform::MetadataQuery> createQuery(const QString& queryText) override;
    void postNotification(const QString& name) override { log.add("notifications.post " + name); }
    foundation::Status writeDictionaryAtomically(const QString& path,
                                                 const QMap<QString, QString>& dictionary) override;
    foundation::Result<QVariant> parse(const QByteArray& bytes) const override;
    QString globallyUniqueString() override { return QStringLiteral("TOKEN%1").arg(++tokens_); }
    QString uuidString() override { return QStringLiteral("UUID%1").arg(++tokens_); }
    void syslog(int priority, const QString& message) override {
        log.add(QStringLiteral("syslog %1 %2").arg(priority).arg(message));
    }
    void consoleLog(const QString& line) override { log.add("console " + line); }
    void sleep(unsigned seconds) override { log.add(QStringLiteral("sleep %1").arg(seconds)); }
    void usleep(quint64 us) override { log.add(QStringLiteral("usleep %1").arg(us)); }
    platform::DownloadWindow* loadDownloadWindow(const QString& name) override {
        log.add("interface.load " + name);
        return windowLoads ? &window : nullptr;
    }
    std::optional<foundation::OperatingSystemVersion> operatingSystemVersion() override {
        return osVersion;
    }
    std::optional<QString> buildVersion() override { return std::nullopt; }
    std::optional<QByteArray> kernelValue(const char* name) override;

private:
    std::function<void()> terminationHandler_;
    int terminations_ = 0;
    int runningLookups_ = 0;
    int tokens_ = 0;
};

}  // namespace qby::fake

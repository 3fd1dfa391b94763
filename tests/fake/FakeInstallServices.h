#pragma once

#include "FakePlatform.h"
#include "downloader/DownloaderServices.h"

#include <QByteArray>
#include <QMap>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace qby::fake {

// One URL download as the fake starts it: records what the downloader tells it.
class FakeUrlDownload : public platform::UrlDownload {
public:
    FakeUrlDownload(CallLog& log, platform::UrlDownloadDelegate& delegate)
        : log_(log), delegate(delegate) {}
    void setDeletesFileUponFailure(bool deletes) override;
    void setDestination(const QString& path, bool allowOverwrite) override;
    void cancel() override { log_.add(QStringLiteral("download.cancel")); }

    platform::UrlDownloadDelegate& delegate;
    QString destination;

private:
    CallLog& log_;
};

// The install road's services (and a scripted property-list reader) over FakePlatform's file
// system and call log. Every answer comes from the script; a call that no test scripted fails
// the test (ADD_FAILURE) and answers a failure, never a quiet success.
class FakeInstallServices : public platform::UrlLoader,
                            public platform::Dispatch,
                            public platform::UrlDownloader,
                            public platform::ArchiveTools,
                            public platform::Authorization,
                            public platform::Clock,
                            public platform::PropertyLists {
public:
    explicit FakeInstallServices(FakePlatform& platform) : platform_(platform) {}

    InstallServices services() { return {*this, *this, *this, *this, *this, *this}; }

    // --- script and state ---
    // Bodies by URL; nothing: the read fails.
    QMap<QString, std::optional<QByteArray>> urlBodies;
    // Parsed roots by bytes; nothing: not a property list.
    QMap<QByteArray, std::optional<QVariant>> propertyListRoots;
    // What unpack answers, and the names it leaves in the folder when it succeeds.
    std::optional<Status> unpackResult;
    QStringList unpackedNames;
    // Answers of executeWithPrivileges in order. A successful /bin/rm or /bin/mv acts on the
    // file system as the tool would.
    std::deque<Result<int>> privilegedAnswers;
    qint64 nowMs = 0;
    // The downloads started, in order.
    std::vector<FakeUrlDownload*> downloads;

    // Runs the queued background tasks, then the operations they queued on the main thread.
    void runBackgroundTasks();
    void runMainThreadOperations();
    size_t pendingBackgroundTasks() const { return background_.size(); }

    // --- UrlLoader ---
    std::optional<QByteArray> dataWithContentsOfURL(const QUrl& url, qint64 maxBytes) override;
    // --- Dispatch ---
    void async(std::function<void()> task) override;
    void performOnMainThread(std::function<void()> operation) override;
    // --- UrlDownloader ---
    std::unique_ptr<platform::UrlDownload> startDownload(
        const QUrl& url, double timeoutSeconds, platform::UrlDownloadDelegate& delegate) override;
    // --- ArchiveTools ---
    Status unpack(const QString& folder, const QString& fileName,
                  platform::ArchiveFormat format) override;
    // --- Authorization ---
    Result<int> executeWithPrivileges(const QString& toolPath,
                                      const QStringList& arguments) override;
    // --- Clock ---
    qint64 monotonicMilliseconds() const override { return nowMs; }
    // --- PropertyLists ---
    bool writeDictionaryAtomically(const QString& path,
                                   const QMap<QString, QString>& dictionary) override;
    std::optional<QVariant> parse(const QByteArray& bytes) const override;

private:
    FakePlatform& platform_;
    std::deque<std::function<void()>> background_;
    std::deque<std::function<void()>> mainThread_;
};

}  // namespace qby::fake

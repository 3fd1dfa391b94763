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
        : delegate(delegate), log_(log) {}
    void setDeletesFileUponFailure(bool deletes) override {
        log_.add(QStringLiteral("download.setDeletesFileUponFailure %1").arg(deletes));
    }
    void setDestination(const QString& path, bool allowOverwrite) override {
        log_.add(QStringLiteral("download.setDestination %1 %2").arg(path).arg(allowOverwrite));
        destination = path;
    }
    void setPromisedLength(qint64 bytes) override {
        log_.add(QStringLiteral("download.setPromisedLength %1").arg(bytes));
    }
    void cancel() override { log_.add(QStringLiteral("download.cancel")); }
    std::optional<QByteArray> sha256OfBody() const override { return bodySha256; }

    platform::UrlDownloadDelegate& delegate;
    QString destination;
    // What the download says it took of the body as it arrived.
    std::optional<QByteArray> bodySha256;

private:
    CallLog& log_;
};

// The install road's services over FakePlatform's file system and call log. Every answer comes
// from the script; a call that no test scripted fails the test (ADD_FAILURE) and answers a
// failure, never a quiet success.
class FakeInstallServices : public platform::UrlLoader,
                            public platform::Dispatch,
                            public platform::UrlDownloader,
                            public platform::ArchiveTools,
                            public platform::Clock,
                            public platform::ArchiveVerifier,
                            public platform::UserApplications {
public:
    explicit FakeInstallServices(FakePlatform& platform) : platform_(platform) {}

    downloader::InstallServices services() {
        return {*this, *this, *this, *this, *this, *this, trust, *this};
    }

    // The fake's Ed25519: a file's signature by key is the SHA-512 of the key and its text.
    static QByteArray signatureOf(const QByteArray& key, const QString& text);

    // --- script and state ---
    // Bodies by URL; nothing: the read fails for good. Before it, a URL answers as many
    // transient failures (a busy server) as transientFailures counts for it.
    QMap<QString, std::optional<QByteArray>> urlBodies;
    QMap<QString, int> transientFailures;
    // What unpack answers, and the names it leaves in the folder when it succeeds.
    std::optional<foundation::Status> unpackResult;
    QStringList unpackedNames;
    // What registering a desktop entry answers.
    std::optional<foundation::Status> desktopEntryResult;
    qint64 nowMs = 0;
    // The wall clock: 2026-12-07T00:00:00Z.
    qint64 wallClockSeconds = 1796601600;
    // The keys the downloader trusts, and whether it requires a signature.
    downloader::ReleaseTrust trust;
    // The downloads started, in order.
    std::vector<FakeUrlDownload*> downloads;

    // Runs the queued background tasks, then the operations they queued on the main thread.
    void runBackgroundTasks() { run(background_); }
    void runMainThreadOperations() { run(mainThread_); }

    foundation::Result<QByteArray> dataWithContentsOfURL(const QUrl& url, qint64 maxBytes) override;
    void async(std::function<void()> task) override {
        platform_.log.add(QStringLiteral("dispatch.async"));
        background_.push_back(std::move(task));
    }
    void performOnMainThread(std::function<void()> operation) override {
        platform_.log.add(QStringLiteral("dispatch.performOnMainThread"));
        mainThread_.push_back(std::move(operation));
    }
    std::unique_ptr<platform::UrlDownload> startDownload(
        const QUrl& url, double timeoutSeconds, platform::UrlDownloadDelegate& delegate) override;
    foundation::Status unpack(const QString& folder, const QString& fileName,
                              platform::ArchiveFormat format) override;
    qint64 monotonicMilliseconds() const override { return nowMs; }
    qint64 secondsSinceEpoch() const override { return wallClockSeconds; }
    QString homeDirectory() const override { return QStringLiteral("/home/player"); }
    foundation::Status registerDesktopEntry(const QString& bundlePath) override;
    // Both read the file's text from FakePlatform; a missing or unreadable file is an error.
    foundation::Result<QByteArray> sha256(const QString& path) override;
    foundation::Result<std::optional<qsizetype>> ed25519Signer(
        const QString& path, const QByteArray& signature,
        const QList<QByteArray>& publicKeys) override;
    std::optional<qsizetype> ed25519SignerOfData(const QByteArray& message,
                                                 const QByteArray& signature,
                                                 const QList<QByteArray>& publicKeys) override;

private:
    foundation::Result<QString> textOf(const QString& path) const;
    // A task may queue more; a deque keeps the running one in place meanwhile.
    static void run(std::deque<std::function<void()>>& queue) {
        for (; !queue.empty(); queue.pop_front()) queue.front()();
    }

    FakePlatform& platform_;
    std::deque<std::function<void()>> background_;
    std::deque<std::function<void()>> mainThread_;
};

}  // namespace qby::fake

#include "FakeInstallServices.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <QUrl>

namespace qby::fake {
namespace {

bool isAtOrInside(const QString& path, const QString& top) {
    return path == top || path.startsWith(top + QLatin1Char('/'));
}

// The file system as a privileged tool leaves it, without the fake's own log lines.
void removeTree(FakePlatform& platform, const QString& top) {
    platform.files.removeIf([&](auto it) { return isAtOrInside(it.key(), top); });
    platform.folders.removeIf([&](const QString& folder) { return isAtOrInside(folder, top); });
}

void moveTree(FakePlatform& platform, const QString& source, const QString& destination) {
    const auto renamed = [&](const QString& path) {
        return destination + path.mid(source.size());
    };
    QMap<QString, std::optional<QString>> files;
    for (auto it = platform.files.cbegin(); it != platform.files.cend(); ++it)
        files.insert(isAtOrInside(it.key(), source) ? renamed(it.key()) : it.key(), it.value());
    QSet<QString> folders;
    for (const QString& folder : platform.folders)
        folders.insert(isAtOrInside(folder, source) ? renamed(folder) : folder);
    platform.files = files;
    platform.folders = folders;
}

}  // namespace

void FakeUrlDownload::setDeletesFileUponFailure(bool deletes) {
    log_.add(QStringLiteral("download.setDeletesFileUponFailure %1").arg(deletes));
}

void FakeUrlDownload::setDestination(const QString& path, bool allowOverwrite) {
    log_.add(QStringLiteral("download.setDestination %1 %2").arg(path).arg(allowOverwrite));
    destination = path;
}

void FakeInstallServices::runBackgroundTasks() {
    while (!background_.empty()) {
        std::function<void()> task = std::move(background_.front());
        background_.pop_front();
        task();
    }
}

void FakeInstallServices::runMainThreadOperations() {
    while (!mainThread_.empty()) {
        std::function<void()> operation = std::move(mainThread_.front());
        mainThread_.pop_front();
        operation();
    }
}

std::optional<QByteArray> FakeInstallServices::dataWithContentsOfURL(const QUrl& url,
                                                                     qint64 maxBytes) {
    platform_.log.add(QStringLiteral("url.read %1 %2").arg(url.toString()).arg(maxBytes));
    const QString key = url.toString();
    if (!urlBodies.contains(key)) {
        ADD_FAILURE() << "no body scripted for " << key.toStdString();
        return std::nullopt;
    }
    return urlBodies.value(key);
}

void FakeInstallServices::async(std::function<void()> task) {
    platform_.log.add(QStringLiteral("dispatch.async"));
    background_.push_back(std::move(task));
}

void FakeInstallServices::performOnMainThread(std::function<void()> operation) {
    platform_.log.add(QStringLiteral("dispatch.performOnMainThread"));
    mainThread_.push_back(std::move(operation));
}

std::unique_ptr<platform::UrlDownload> FakeInstallServices::startDownload(
    const QUrl& url, double timeoutSeconds, platform::UrlDownloadDelegate& delegate) {
    platform_.log.add(QStringLiteral("download.start %1 %2").arg(url.toString()).arg(timeoutSeconds));
    auto download = std::make_unique<FakeUrlDownload>(platform_.log, delegate);
    downloads.push_back(download.get());
    return download;
}

Status FakeInstallServices::unpack(const QString& folder, const QString& fileName,
                                   platform::ArchiveFormat format) {
    platform_.log.add(QStringLiteral("archive.unpack %1 %2 %3")
                          .arg(folder, fileName,
                               format == platform::ArchiveFormat::TarGzip ? QStringLiteral("tgz")
                                                                          : QStringLiteral("zip")));
    if (!unpackResult) {
        ADD_FAILURE() << "no unpack scripted for " << fileName.toStdString();
        return Error{EIO, QStringLiteral("not scripted")};
    }
    if (unpackResult->ok()) {
        for (const QString& name : unpackedNames) platform_.addFolder(folder + '/' + name);
    }
    return *unpackResult;
}

Result<int> FakeInstallServices::executeWithPrivileges(const QString& toolPath,
                                                       const QStringList& arguments) {
    platform_.log.add(QStringLiteral("auth.exec %1 %2").arg(toolPath, arguments.join(' ')));
    if (privilegedAnswers.empty()) {
        ADD_FAILURE() << "no privileged answer scripted for " << toolPath.toStdString();
        return Error{kCannotStart, QStringLiteral("not scripted")};
    }
    const Result<int> answer = privilegedAnswers.front();
    privilegedAnswers.pop_front();
    if (answer.ok() && answer.value() == 0) {
        if (toolPath == QLatin1String("/bin/rm") && arguments.size() == 2)
            removeTree(platform_, arguments.at(1));
        if (toolPath == QLatin1String("/bin/mv") && arguments.size() == 2)
            moveTree(platform_, arguments.at(0), arguments.at(1));
    }
    return answer;
}

bool FakeInstallServices::writeDictionaryAtomically(const QString& path,
                                                    const QMap<QString, QString>& dictionary) {
    return platform_.writeDictionaryAtomically(path, dictionary);
}

std::optional<QVariant> FakeInstallServices::parse(const QByteArray& bytes) const {
    platform_.log.add(QStringLiteral("plist.parse %1 bytes").arg(bytes.size()));
    if (!propertyListRoots.contains(bytes)) {
        ADD_FAILURE() << "no parse scripted for " << bytes.toStdString();
        return std::nullopt;
    }
    return propertyListRoots.value(bytes);
}

}  // namespace qby::fake

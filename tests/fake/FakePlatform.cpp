#include "FakePlatform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

namespace qby::fake {
namespace {

bool isAtOrInside(const QString& path, const QString& top) {
    return path == top || path.startsWith(top + QLatin1Char('/'));
}

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

struct FakeMetadataQuery : platform::MetadataQuery {
    explicit FakeMetadataQuery(FakePlatform& platform) : platform_(platform) {}
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
    FakePlatform& platform_;
};

foundation::Error error(int code) {
    return foundation::Error{code, QString::fromLocal8Bit(strerror(code))};
}

}  // namespace

qsizetype CallLog::indexOf(const QString& prefix) const {
    for (qsizetype i = 0; i < calls_.size(); ++i)
        if (calls_.at(i).startsWith(prefix)) return i;
    return -1;
}

qsizetype CallLog::count(const QString& prefix) const {
    return std::ranges::count_if(calls_, [&](auto& call) { return call.startsWith(prefix); });
}

bool CallLog::inOrder(const QStringList& prefixes) const {
    QList<qsizetype> at{-1};  // each found, and after the one before it
    for (const QString& prefix : prefixes) at.append(indexOf(prefix));
    return std::ranges::adjacent_find(at, std::greater_equal<>()) == at.end();
}

void FakePlatform::addFile(const QString& path, const std::optional<QString>& text) {
    addFolder(parentOf(path));
    files.insert(path, text);
}

void FakePlatform::addFolder(const QString& path) {
    for (QString folder = path; folder != QLatin1String("/"); folder = parentOf(folder))
        folders.insert(folder);
}

void FakePlatform::removeTree(const QString& top) {
    files.removeIf([&](auto it) { return isAtOrInside(it.key(), top); });
    folders.removeIf([&](const QString& folder) { return isAtOrInside(folder, top); });
}

void FakePlatform::moveTree(const QString& source, const QString& destination) {
    const auto moved = [&](const QString& path) {
        return isAtOrInside(path, source) ? destination + path.mid(source.size()) : path;
    };
    for (const auto& [path, text] : std::exchange(files, {}).asKeyValueRange())
        files.insert(moved(path), text);
    for (const QString& folder : std::exchange(folders, {})) folders.insert(moved(folder));
}

int FakePlatform::runModal(const platform::Alert& alert) {
    alerts.push_back(alert);
    log.add(QStringLiteral("application.runModal %1").arg(alert.messageText));
    const int response =
        alertResponses.empty() ? platform::kAlertFirstButtonReturn : alertResponses.front();
    if (!alertResponses.empty()) alertResponses.pop_front();
    return response;
}

void FakePlatform::terminate() {
    log.add(QStringLiteral("application.terminate"));
    if (++terminations_ == 1 && terminationHandler_) terminationHandler_();
}

std::optional<QString> FakePlatform::pathForResource(const QString& name, const QString& type,
                                                     const QString& directory) const {
    const auto it = resources.find(QStringLiteral("%1/%2.%3").arg(directory, name, type));
    return it == resources.end() ? std::nullopt : std::optional(*it);
}

QString FakePlatform::localizedString(const QString& key, const QString& value,
                                      const QString& table) const {
    if (table == QLatin1String("QBYDownloader") && translations.contains(key))
        return translations.value(key);
    return value.isEmpty() ? key : value;
}

std::optional<QString> FakePlatform::readUtf8Text(const QString& path, qint64 maxBytes) const {
    log.add(QStringLiteral("file.read %1").arg(path));
    const std::optional<QString> text = files.value(path);
    if (text && text->toUtf8().size() > maxBytes) return std::nullopt;
    return text;
}

foundation::Status FakePlatform::removeItem(const QString& path) {
    log.add(QStringLiteral("file.remove %1").arg(path));
    if (removalErrors.contains(path)) return error(removalErrors.value(path));
    if (!exists(path)) return error(ENOENT);
    removeTree(path);
    return {};
}

bool FakePlatform::createDirectory(const QString& path) {
    log.add(QStringLiteral("file.createDirectory %1").arg(path));
    for (QString folder = path; folder != QLatin1String("/"); folder = parentOf(folder))
        if (files.contains(folder) || uncreatableFolders.contains(folder)) return false;
    addFolder(path);
    return true;
}

std::optional<QStringList> FakePlatform::contentsOfDirectory(const QString& path) const {
    log.add(QStringLiteral("file.list %1").arg(path));
    if (listings.contains(path) || !folders.contains(path)) return listings.value(path);
    QStringList names;
    for (const QString& item : files.keys() + folders.values())
        if (parentOf(item) == path) names.append(item.mid(path.size() + 1));
    names.sort();
    return names;
}

foundation::Status FakePlatform::createPrivateDirectory(const QString& path) {
    log.add(QStringLiteral("file.createPrivateDirectory %1").arg(path));
    if (exists(path)) return error(EEXIST);
    if (uncreatableFolders.contains(path)) return error(EACCES);
    addFolder(path);
    return {};
}

foundation::Status FakePlatform::replaceItem(const QString& source, const QString& destination) {
    log.add(QStringLiteral("file.replace %1 %2").arg(source, destination));
    if (replaceErrors.contains(destination)) return error(replaceErrors.value(destination));
    if (!exists(source) || !folders.contains(parentOf(destination))) return error(ENOENT);
    removeTree(destination);
    moveTree(source, destination);
    return {};
}

std::optional<QString> FakePlatform::absolutePathForAppBundleWithIdentifier(const QString& id) {
    log.add(QStringLiteral("workspace.registry %1").arg(id));
    if (registryAnswersLeft == 0) return std::nullopt;
    if (registryAnswersLeft > 0) --registryAnswersLeft;
    return registeredClientPath;
}

std::unique_ptr<platform::MetadataQuery> FakePlatform::createQuery(const QString& queryText) {
    log.add(QStringLiteral("metadata.createQuery %1").arg(queryText));
    return queryCreatable ? std::make_unique<FakeMetadataQuery>(*this) : nullptr;
}

foundation::Status FakePlatform::writeDictionaryAtomically(
    const QString& path, const QMap<QString, QString>& dictionary) {
    log.add(QStringLiteral("plist.write %1").arg(path));
    if (!propertyListWritesSucceed) return error(EIO);
    writtenPropertyLists.insert(path, dictionary);
    addFile(path, QString());
    return {};
}

foundation::Result<QVariant> FakePlatform::parse(const QByteArray& bytes) const {
    log.add(QStringLiteral("plist.parse %1 bytes").arg(bytes.size()));
    if (!propertyListRoots.contains(bytes))
        ADD_FAILURE() << "no parse scripted for " << bytes.toStdString();
    const std::optional<QVariant> root = propertyListRoots.value(bytes);
    if (!root) return foundation::Error{kNotAPropertyList, QStringLiteral("scripted: no list")};
    return *root;
}

std::optional<QByteArray> FakePlatform::kernelValue(const char* name) {
    const auto it = kernelValues.find(QString::fromLatin1(name));
    return it == kernelValues.end() ? std::nullopt : std::optional(*it);
}

}  // namespace qby::fake

#include "ReleaseFeedFile.h"

#include "downloader/FeedAuthenticity.h"
#include "downloader/QBYClientDownloader.h"
#include "foundation/VersionComparator.h"
#include "platform/linux/plist/PropertyListInputGuard.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <plist/plist.h>
#include <vector>

namespace qby::tools {
namespace {

using platform::linuxhost::PropertyListInputGuard;

const char* const kReleasesKey = "downloader";
const char* const kVersionKey = "version";
// Property-list dates count from 2001-01-01T00:00:00Z.
constexpr qint64 kPlistEpoch = 978307200;
// A feed larger than this is not read by the downloader, so it is neither read nor written here.
constexpr qint64 kMaxFeedBytes = downloader::QBYClientDownloader::kReleaseFeedMaxBytes;

foundation::Error refused(const QString& why) {
    return foundation::Error{EINVAL, why};
}

bool hasText(plist_t node, const QString& text) {
    return plist_get_node_type(node) == PLIST_STRING &&
           plist_string_val_compare(node, text.toUtf8().constData()) == 0;
}

bool isRelease(plist_t entry, const QString& version) {
    return plist_get_node_type(entry) == PLIST_DICT &&
           hasText(plist_dict_get_item(entry, kVersionKey), version);
}

void setText(plist_t entry, const char* key, const QString& text) {
    plist_dict_set_item(entry, key, plist_new_string(text.toUtf8().constData()));
}

// The entry's text under key; nothing when it is no dictionary or the value is no text.
std::optional<QString> textOf(plist_t entry, const char* key) {
    if (plist_get_node_type(entry) != PLIST_DICT) return std::nullopt;
    const plist_t value = plist_dict_get_item(entry, key);
    if (plist_get_node_type(value) != PLIST_STRING) return std::nullopt;
    char* text = nullptr;
    plist_get_string_val(value, &text);
    const QString result = QString::fromUtf8(text);
    free(text);
    return result;
}

// Whether a comes before b: the higher minimum system first, as the downloader walks them, and
// among equal minimums the higher version, since the downloader's sort keeps their order and
// takes the first that fits. Entries without a minimum keep their order at the end.
bool comesBefore(plist_t a, plist_t b) {
    const foundation::VersionComparator& comparator =
        foundation::VersionComparator::defaultComparator();
    const std::optional<QString> minimumA = textOf(a, "minimumSystemVersion");
    const std::optional<QString> minimumB = textOf(b, "minimumSystemVersion");
    if (!minimumA || !minimumB) return minimumA && !minimumB;
    if (const qint64 order = comparator.compareVersion(*minimumA, *minimumB); order != 0) {
        return order > 0;
    }
    const std::optional<QString> versionA = textOf(a, kVersionKey);
    const std::optional<QString> versionB = textOf(b, kVersionKey);
    if (!versionA || !versionB) return versionA && !versionB;
    return comparator.compareVersion(*versionA, *versionB) > 0;
}

// Puts the entries in the order of comesBefore, stable for entries it does not tell apart.
void sortReleases(plist_t root) {
    const plist_t releases = plist_dict_get_item(root, kReleasesKey);
    std::vector<plist_t> entries;
    for (uint32_t i = 0; i < plist_array_get_size(releases); ++i) {
        entries.push_back(plist_copy(plist_array_get_item(releases, i)));
    }
    std::stable_sort(entries.begin(), entries.end(), comesBefore);
    const plist_t sorted = plist_new_array();
    for (const plist_t entry : entries) plist_array_append_item(sorted, entry);
    plist_dict_set_item(root, kReleasesKey, sorted);
}

}  // namespace

ReleaseFeedFile::ReleaseFeedFile(void* root) : root_(root, &plist_free) {}

foundation::Result<ReleaseFeedFile> ReleaseFeedFile::read(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        plist_t root = plist_new_dict();
        plist_dict_set_item(root, kReleasesKey, plist_new_array());
        return ReleaseFeedFile(root);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return foundation::Error{EIO, QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    const QByteArray bytes = file.read(kMaxFeedBytes + 1);
    if (bytes.size() > kMaxFeedBytes) {
        return refused(QStringLiteral("%1 is larger than a feed can be (%2 bytes)")
                           .arg(path)
                           .arg(kMaxFeedBytes));
    }
    plist_t root = nullptr;
    if (!bytes.isEmpty() &&
        PropertyListInputGuard::isSafe(bytes, PropertyListInputGuard::kMaxNesting)) {
        plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    }
    if (root == nullptr) return refused(QStringLiteral("%1 is no property list").arg(path));
    ReleaseFeedFile feed(root);
    if (plist_get_node_type(root) != PLIST_DICT) {
        return refused(
            QStringLiteral("%1 is no release feed: its root is no dictionary").arg(path));
    }
    const plist_t releases = plist_dict_get_item(root, kReleasesKey);
    if (releases == nullptr) {
        plist_dict_set_item(root, kReleasesKey, plist_new_array());
    } else if (plist_get_node_type(releases) != PLIST_ARRAY) {
        return refused(QStringLiteral("%1 is no release feed: its \"%2\" is no array")
                           .arg(path, QString::fromLatin1(kReleasesKey)));
    }
    return feed;
}

void ReleaseFeedFile::put(const Release& release) {
    const plist_t releases = plist_dict_get_item(root_.get(), kReleasesKey);
    plist_t entry = nullptr;
    for (uint32_t i = 0; i < plist_array_get_size(releases);) {
        const plist_t item = plist_array_get_item(releases, i);
        if (!isRelease(item, release.version)) {
            ++i;
        } else if (entry == nullptr) {
            entry = item;
            ++i;
        } else {
            plist_array_remove_item(releases, i);
        }
    }
    if (entry == nullptr) {
        entry = plist_new_dict();
        plist_array_append_item(releases, entry);
    }
    setText(entry, kVersionKey, release.version);
    setText(entry, "minimumSystemVersion", release.minimumSystemVersion);
    if (release.processors) {
        setText(entry, "supportedCPUTypes", *release.processors);
    } else {
        plist_dict_remove_item(entry, "supportedCPUTypes");
    }
    setText(entry, "url", release.url);
    plist_dict_set_item(entry, "downloadSizeInBytes",
                        plist_new_uint(uint64_t(release.archive.size)));
    setText(entry, "sha256", release.archive.sha256);
    setText(entry, "ed25519Signature", release.archive.signature);
    sortReleases(root_.get());
}

std::optional<qint64> ReleaseFeedFile::serial() const {
    const plist_t node =
        plist_dict_get_item(root_.get(), downloader::kFeedSerialKey.toUtf8().constData());
    if (plist_get_node_type(node) != PLIST_UINT) return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    // The downloader reads integers as signed: beyond that they are none.
    if (value > uint64_t(std::numeric_limits<qint64>::max())) return std::nullopt;
    return qint64(value);
}

foundation::Status ReleaseFeedFile::renew(const QDateTime& expires) {
    const QByteArray serialKey = downloader::kFeedSerialKey.toUtf8();
    std::optional<qint64> current = serial();
    if (!current && plist_dict_get_item(root_.get(), serialKey.constData()) != nullptr) {
        return refused(QStringLiteral("its %1 is no whole number").arg(downloader::kFeedSerialKey));
    }
    if (current == std::numeric_limits<qint64>::max()) {
        return refused(QStringLiteral("its %1 cannot be raised").arg(downloader::kFeedSerialKey));
    }
    const qint64 plistSeconds = expires.toSecsSinceEpoch() - kPlistEpoch;
    if (plistSeconds < 0 || plistSeconds > std::numeric_limits<int32_t>::max()) {
        return refused(QStringLiteral("%1 is beyond what a property-list date holds")
                           .arg(expires.toString(Qt::ISODate)));
    }
    plist_dict_set_item(root_.get(), serialKey.constData(),
                        plist_new_uint(uint64_t(current.value_or(0) + 1)));
    plist_dict_set_item(root_.get(), downloader::kFeedExpiresKey.toUtf8().constData(),
                        plist_new_date(int32_t(plistSeconds), 0));
    return {};
}

foundation::Status ReleaseFeedFile::write(const QString& path, const SigningKey& key) const {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root_.get(), &xml, &length);
    if (xml == nullptr)
        return foundation::Error{ENOMEM, QStringLiteral("no XML could be made for %1").arg(path)};
    const QByteArray document(xml, qsizetype(length));
    plist_to_xml_free(xml);
    if (document.size() > kMaxFeedBytes) {
        return refused(QStringLiteral("the feed would be larger than the downloader reads (%1 "
                                      "bytes)")
                           .arg(kMaxFeedBytes));
    }
    const foundation::Result<QByteArray> signature = key.sign(document);
    if (!signature) return signature.error();
    // Both made in full before either is renamed into place; a downloader that reads the new feed
    // in the moment before its signature follows refuses it, and succeeds when it tries again.
    QSaveFile feed(path);
    QSaveFile signatureFile(path + downloader::kFeedSignatureSuffix);
    const QByteArray signatureText = signature.value().toBase64() + '\n';
    for (auto [file, bytes] :
         {std::pair{&feed, &document}, std::pair{&signatureFile, &signatureText}}) {
        if (!file->open(QIODevice::WriteOnly) || file->write(*bytes) != bytes->size()) {
            return foundation::Error{
                EIO, QStringLiteral("%1: %2").arg(file->fileName(), file->errorString())};
        }
    }
    if (!feed.commit()) {
        return foundation::Error{EIO, QStringLiteral("%1: %2").arg(path, feed.errorString())};
    }
    if (!signatureFile.commit()) {
        return foundation::Error{
            EIO, QStringLiteral("%1 was written but not its signature %2 "
                                "(%3): write it again")
                     .arg(path, signatureFile.fileName(), signatureFile.errorString())};
    }
    return {};
}

}  // namespace qby::tools

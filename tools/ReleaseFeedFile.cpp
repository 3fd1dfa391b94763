#include "ReleaseFeedFile.h"

#include "downloader/QBYClientDownloader.h"
#include "foundation/VersionComparator.h"
#include "platform/linux/plist/PropertyListInputGuard.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <plist/plist.h>
#include <vector>

namespace qby::tools {
namespace {

using platform::linuxhost::PropertyListInputGuard;

const char* const kReleasesKey = "downloader";
const char* const kVersionKey = "version";
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

foundation::Status ReleaseFeedFile::write(const QString& path) const {
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() ||
        !file.commit()) {
        return foundation::Error{EIO, QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    return {};
}

}  // namespace qby::tools

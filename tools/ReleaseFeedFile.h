#pragma once

#include "ReleaseArchive.h"
#include "SigningKey.h"
#include "foundation/Result.h"

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

namespace qby::tools {

// One release as the store adds it to its feed.
struct Release {
    QString version;                    // "version": the release's own version, which names it
    QString minimumSystemVersion;       // "minimumSystemVersion"
    std::optional<QString> processors;  // "supportedCPUTypes"; none: any processor
    QString url;                        // "url"
    ReleaseArchive archive;             // "downloadSizeInBytes", "sha256", "ed25519Signature"
};

// A release feed file: a property list whose root dictionary holds the array "downloader" of
// release entries. Everything else in it, other keys, other entries and their keys, is kept as
// it was read.
class ReleaseFeedFile {
public:
    // The feed at path, XML or binary; a new, empty feed when there is no file.
    static foundation::Result<ReleaseFeedFile> read(const QString& path);

    // Adds the release's entry, or, when an entry has the same "version" text, sets that entry's
    // keys (keeping its other keys) and drops any later entry of that version. Then orders the
    // entries as the downloader must meet them to choose the newest release that fits: the
    // higher "minimumSystemVersion" first, among equal ones the higher "version" first; entries
    // without a minimum last, in their order.
    void put(const Release& release);

    // Raises the feed's "feedSerial" by one (a feed without one gets 1) and sets its
    // "feedExpires" to expires (a property-list date, ISO 8601 in UTC). Downloaders that
    // require a signed feed refuse one older than their stamped serial, or past its expiry.
    // Refused: a "feedSerial" that is no whole number.
    foundation::Status renew(const QDateTime& expires);

    // The feed's "feedSerial"; nothing when it has none that is a whole number.
    std::optional<qint64> serial() const;

    // Writes the feed as an XML property list, and beside it PATH.sig: the base64 Ed25519
    // signature by key of the feed's exact bytes. Each is written beside its path and renamed
    // over it, the feed first.
    foundation::Status write(const QString& path, const SigningKey& key) const;

private:
    explicit ReleaseFeedFile(void* root);
    std::shared_ptr<void> root_;
};

}  // namespace qby::tools

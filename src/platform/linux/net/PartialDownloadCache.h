#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

namespace qby::platform::linuxhost {

// The bytes of downloads cut short (cancelled, or given up), kept in the user's cache so that
// the next start can go on from them: one file per URL, named from the URL's SHA-256, with
// the validator (ETag or Last-Modified) that the server gave it beside it. A folder of the user
// alone (0700). Entries older than a week are not used and are removed when met.
class PartialDownloadCache {
public:
    static constexpr qint64 kLongestKeptSeconds = 7 * 24 * 3600;

    // An empty folder keeps nothing.
    explicit PartialDownloadCache(QString folder) : folder_(std::move(folder)) {}
    // $XDG_CACHE_HOME/quillbay.com, or ~/.cache/quillbay.com when it is not set.
    static QString defaultFolder();

    // Moves the bytes kept for url to destination (replacing it) and answers their validator;
    // nothing when none are kept, they are stale, or they cannot be moved (then they are gone).
    std::optional<QByteArray> takeInto(const QUrl& url, const QString& destination) const;
    // Keeps the file at path, moved into the cache, as the bytes of url with their validator.
    // False when it could not be kept; the file is then removed.
    bool keep(const QUrl& url, const QString& path, const QByteArray& validator) const;
    // Removes whatever is kept for url.
    void forget(const QUrl& url) const;

private:
    QString partPath(const QUrl& url) const;
    QString validatorPath(const QUrl& url) const;

    QString folder_;
};

}  // namespace qby::platform::linuxhost

#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

namespace qby::platform::linuxhost {

// The bytes of downloads cut short (cancelled, or given up), kept in the user's cache so that
// the next start can go on from them: one file per URL, named from the URL's SHA-256, with
// the validator (a strong ETag or a Last-Modified date) that the server gave it beside it.
// The folder must be the user's own, 0700 and no link (made so when missing), else nothing is
// kept or taken: another user who could write there could hand us bytes of their choosing.
// Entries older than a week are not used, and removed at every start of the downloader.
class PartialDownloadCache {
public:
    static constexpr qint64 kLongestKeptSeconds = 7 * 24 * 3600;

    // An empty folder keeps nothing.
    explicit PartialDownloadCache(QString folder) : folder_(std::move(folder)) {}
    // $XDG_CACHE_HOME/quillbay.com, or ~/.cache/quillbay.com when it is not set.
    static QString defaultFolder();

    // Moves the bytes kept for url to destination (replacing it) and answers their validator;
    // nothing when none are kept, they are stale, not the user's own regular file, or they
    // cannot be moved (then they are gone).
    std::optional<QByteArray> takeInto(const QUrl& url, const QString& destination) const;
    // Keeps the file at path, moved into the cache, as the bytes of url with their validator;
    // never more bytes than maxBytes (when not -1). False when it could not be kept; the file
    // is then removed.
    bool keep(const QUrl& url, const QString& path, const QByteArray& validator,
              qint64 maxBytes = -1) const;
    // Removes whatever is kept for url.
    void forget(const QUrl& url) const;
    // Removes the entries older than a week, whatever their URL.
    void removeStale() const;

private:
    QString partPath(const QUrl& url) const;
    QString validatorPath(const QUrl& url) const;
    // Whether the folder is fit to keep bytes in; makes it when missing and asked to.
    bool folderIsPrivate(bool create) const;

    QString folder_;
};

}  // namespace qby::platform::linuxhost

#pragma once

#include <QByteArray>
#include <QUrl>
#include <optional>

namespace qby::platform {

// Whole-body reads of a URL, for small resources such as the release feed.
class UrlLoader {
public:
    virtual ~UrlLoader() = default;

    // Reads the whole body with a plain GET, blocking the calling thread (any thread). Nothing on
    // any failure: no network, an HTTP error status, a time-out, or a body over maxBytes.
    virtual std::optional<QByteArray> dataWithContentsOfURL(const QUrl& url, qint64 maxBytes) = 0;
};

}  // namespace qby::platform

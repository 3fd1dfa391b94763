#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <QUrl>

namespace qby::platform {

// Whole-body reads of a URL, for small resources such as the release feed.
class UrlLoader {
public:
    virtual ~UrlLoader() = default;

    // Reads the whole body with a plain GET, blocking the calling thread (any thread). An error on
    // any failure: no network, an HTTP error status, a time-out, or a body over maxBytes; a
    // dropped or stalled connection and a server error (5xx) are transient.
    virtual foundation::Result<QByteArray> dataWithContentsOfURL(const QUrl& url,
                                                                 qint64 maxBytes) = 0;
};

}  // namespace qby::platform

#pragma once

#include "platform/UrlLoader.h"

namespace qby::platform::linuxhost {

// Whole-body reads over Qt Network, each with its own access manager and event loop in the
// calling thread, so a pool thread can block on one while the main thread stays live.
class LinuxUrlLoader : public UrlLoader {
public:
    // stallMilliseconds: how long a read may go without any data before it is given up.
    explicit LinuxUrlLoader(int stallMilliseconds = 60'000);

    foundation::Result<QByteArray> dataWithContentsOfURL(const QUrl& url, qint64 maxBytes) override;

private:
    int stallMilliseconds_;
};

}  // namespace qby::platform::linuxhost

#include "downloader/FeedRetries.h"

#include <array>

namespace qby::downloader {

namespace {

// The pauses before the second and the third try: a short one for a blip, a longer one for a
// server that needs a moment.
constexpr std::array<unsigned, 2> kPausesBeforeRetrySeconds{1, 4};

}  // namespace

foundation::Result<QByteArray> readFeedWithRetries(platform::UrlLoader& loader,
                                                   platform::Pauses& pauses, const QUrl& url,
                                                   qint64 maxBytes,
                                                   const std::atomic<bool>& cancelled) {
    foundation::Result<QByteArray> answer = loader.dataWithContentsOfURL(url, maxBytes);
    for (const unsigned pause : kPausesBeforeRetrySeconds) {
        if (answer.ok() || !answer.error().transient) break;
        pauses.sleep(pause);
        if (cancelled.load()) break;
        answer = loader.dataWithContentsOfURL(url, maxBytes);
    }
    return answer;
}

}  // namespace qby::downloader

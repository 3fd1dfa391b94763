#include "downloader/DownloadRetryPolicy.h"

#include <algorithm>

namespace qby::downloader {

void DownloadRetryPolicy::start(qint64 nowMs) {
    lastProgressMs_ = nowMs;
    triesWithoutProgress_ = 0;
    retriesSinceProgress_ = 0;
}

std::optional<qint64> DownloadRetryPolicy::pauseAfterFailedTry(qint64 nowMs, qint64 newBytes) {
    if (newBytes > 0) {
        lastProgressMs_ = nowMs;
        triesWithoutProgress_ = 0;
        retriesSinceProgress_ = 0;
    } else if (++triesWithoutProgress_ >= kMaxTriesWithoutProgress) {
        return std::nullopt;
    }
    // 0, then 1 s doubled at each retry; the shift stops well before it could overflow.
    const int retry = retriesSinceProgress_;
    const qint64 pauseMs =
        retry == 0 ? 0 : std::min<qint64>(1000LL << std::min(retry - 1, 16), kLongestPauseMs);
    // A pause that would end past the bound is not waited out.
    if (nowMs + pauseMs - lastProgressMs_ >= kGiveUpWithoutProgressMs) return std::nullopt;
    ++retriesSinceProgress_;
    return pauseMs;
}

}  // namespace qby::downloader

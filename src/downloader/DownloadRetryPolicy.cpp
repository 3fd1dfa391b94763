#include "downloader/DownloadRetryPolicy.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace qby::downloader {

DownloadRetryPolicy::DownloadRetryPolicy(std::function<double()> unitRandom)
    : unitRandom_(std::move(unitRandom)) {}

std::function<double()> DownloadRetryPolicy::systemRandom() {
    return [engine = std::mt19937_64(std::random_device{}()),
            uniform = std::uniform_real_distribution<double>(0.0, 1.0)]() mutable {
        return uniform(engine);
    };
}

void DownloadRetryPolicy::start(qint64 nowMs) {
    lastProgressMs_ = nowMs;
    triesWithoutProgress_ = 0;
    pausesSinceProgress_ = 0;
    retriedAtOnce_ = false;
}

std::optional<qint64> DownloadRetryPolicy::pauseAfterFailedTry(qint64 nowMs, qint64 newBytes,
                                                               std::optional<qint64> retryAfterMs) {
    if (newBytes > 0) {
        lastProgressMs_ = nowMs;
        triesWithoutProgress_ = 0;
        pausesSinceProgress_ = 0;
    } else if (++triesWithoutProgress_ >= kMaxTriesWithoutProgress) {
        return std::nullopt;
    }
    qint64 pauseMs = 0;
    if (retriedAtOnce_) {
        // The shift stops well before it could overflow.
        const qint64 ceiling = std::min<qint64>(
            kFirstCeilingMs << std::min(pausesSinceProgress_, 16), kLongestCeilingMs);
        const double share = std::clamp(unitRandom_(), 0.0, 1.0);
        pauseMs = std::llround(share * double(ceiling));
        ++pausesSinceProgress_;
    }
    if (retryAfterMs) pauseMs = std::max(pauseMs, *retryAfterMs);
    // A pause that would end past the bound is not waited out.
    if (nowMs + pauseMs - lastProgressMs_ >= kGiveUpWithoutProgressMs) return std::nullopt;
    retriedAtOnce_ = true;
    return pauseMs;
}

}  // namespace qby::downloader

#pragma once

#include <QtGlobal>
#include <optional>

namespace qby::downloader {

// When a download that was cut short (a dropped connection, a stall, a busy server) tries
// again, and when it gives up. The first retry after a start or after a try that brought new
// bytes goes at once, the later ones wait 1, 2, 4, 8 ... seconds, never more than 30; eight
// tries in a row without new bytes, or two minutes without any, end the download.
class DownloadRetryPolicy {
public:
    static constexpr int kMaxTriesWithoutProgress = 8;
    static constexpr qint64 kLongestPauseMs = 30'000;
    static constexpr qint64 kGiveUpWithoutProgressMs = 120'000;

    // The first try begins at nowMs.
    void start(qint64 nowMs);
    // A try ended in a failure at nowMs after bringing newBytes: how long to wait before the
    // next one, or nothing when the download gives up.
    std::optional<qint64> pauseAfterFailedTry(qint64 nowMs, qint64 newBytes);

private:
    qint64 lastProgressMs_ = 0;
    int triesWithoutProgress_ = 0;
    int retriesSinceProgress_ = 0;
};

}  // namespace qby::downloader

#pragma once

#include <QtGlobal>
#include <functional>
#include <optional>

namespace qby::downloader {

// When a download that was cut short (a dropped connection, a stall, a busy server) tries
// again, and when it gives up; safe when every customer is cut by the same outage at once.
// Progress is bytes beyond the furthest the download ever held: a try that starts over brings
// none. Only the first retry of a download goes at once; every later one waits a random pause
// between zero and an exponential ceiling (1, 2, 4 ... seconds, never more than 30; back to 1
// after progress), so that customers cut together do not come back together. A server's
// Retry-After is waited out in full. Twelve tries without progress, or a pause that would end
// two minutes or more after the last progress, end the download.
class DownloadRetryPolicy {
public:
    static constexpr int kMaxTriesWithoutProgress = 12;
    static constexpr qint64 kFirstCeilingMs = 1'000;
    static constexpr qint64 kLongestCeilingMs = 30'000;
    static constexpr qint64 kGiveUpWithoutProgressMs = 120'000;

    // unitRandom answers a number in [0, 1] at each call: the share of the ceiling to wait.
    explicit DownloadRetryPolicy(std::function<double()> unitRandom = systemRandom());
    // Uniform numbers from the system's entropy, different in every process.
    static std::function<double()> systemRandom();

    // The first try begins at nowMs.
    void start(qint64 nowMs);
    // A try ended in a failure at nowMs after bringing newBytes (beyond the furthest held), the
    // server perhaps asking for a pause: how long to wait before the next try, or nothing when
    // the download gives up.
    std::optional<qint64> pauseAfterFailedTry(qint64 nowMs, qint64 newBytes,
                                              std::optional<qint64> retryAfterMs = std::nullopt);

private:
    std::function<double()> unitRandom_;
    qint64 lastProgressMs_ = 0;
    int triesWithoutProgress_ = 0;
    int pausesSinceProgress_ = 0;
    bool retriedAtOnce_ = false;
};

}  // namespace qby::downloader

// When a download cut short tries again and when it gives up, on a clock and a random source of
// the test's own.
#include "downloader/DownloadRetryPolicy.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace qby::testing {
namespace {

struct FailedTry {
    qint64 atMs;
    qint64 newBytes;
    std::optional<qint64> retryAfterMs = std::nullopt;
};

struct RetryRow {
    const char* name;
    double share;  // what the random source answers: the share of each ceiling waited
    std::vector<FailedTry> tries;
    const char* pauses;  // the answer to each try: its pause in ms, or "stop"
};

class DownloadRetryPolicyTest : public ::testing::TestWithParam<RetryRow> {};

TEST_P(DownloadRetryPolicyTest, PausesThenGivesUp) {
    downloader::DownloadRetryPolicy policy([share = GetParam().share] { return share; });
    policy.start(0);
    QStringList answers;
    for (const FailedTry& failed : GetParam().tries) {
        const std::optional<qint64> pause =
            policy.pauseAfterFailedTry(failed.atMs, failed.newBytes, failed.retryAfterMs);
        answers << (pause ? QString::number(*pause) : QStringLiteral("stop"));
    }
    EXPECT_EQ(answers.join(' ').toStdString(), GetParam().pauses);
}

const std::vector<FailedTry> kTwelveAtOnce(12, FailedTry{0, 0});

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, DownloadRetryPolicyTest,
    ::testing::Values(
        // Dropped at once every time: doubling ceilings capped at 30 s, the twelfth barren try ends it.
        RetryRow{"TwelveBarrenTries", 1.0, kTwelveAtOnce,
                 "0 1000 2000 4000 8000 16000 30000 30000 30000 30000 30000 stop"},
        RetryRow{"JitterIsAShareOfTheCeiling", 0.25, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}, "0 250 500 1000"},
        RetryRow{"NoJitterPauseAtAll", 0.0, {{0, 0}, {0, 0}, {0, 0}}, "0 0 0"},
        // Progress lowers the ceiling again, but only the download's first retry goes at once.
        RetryRow{"NewBytesLowerTheCeiling", 1.0, {{0, 0}, {0, 0}, {1000, 0}, {3000, 10}, {3000, 0}},
                 "0 1000 2000 1000 2000"},
        RetryRow{"TwelveBarrenAfterProgressEndIt", 1.0, {{0, 5}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
                 {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
                 "0 1000 2000 4000 8000 16000 30000 30000 30000 30000 30000 30000 stop"},
        RetryRow{"RetryAfterWaitedOutInFull", 0.5, {{0, 0, 4000}, {4000, 0, 4000}, {8000, 0, 0}},
                 "4000 4000 1000"},
        RetryRow{"RetryAfterBeyondTheBoundGivesUp", 1.0, {{0, 0, 120000}}, "stop"},
        // Two minutes without a byte end it, a pause that would end there included.
        RetryRow{"BytesMoveTheBound", 1.0, {{60000, 5}, {120000, 0}, {178000, 0}}, "0 1000 stop"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace qby::testing

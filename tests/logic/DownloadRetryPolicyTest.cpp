// When a download cut short tries again and when it gives up, on a clock of the test's own.
#include "downloader/DownloadRetryPolicy.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

namespace qby::testing {
namespace {

struct FailedTry {
    qint64 atMs;
    qint64 newBytes;
};

struct RetryRow {
    const char* name;
    std::vector<FailedTry> tries;
    const char* pauses;  // the answer to each try: its pause in ms, or "stop"
};

class DownloadRetryPolicyTest : public ::testing::TestWithParam<RetryRow> {};

TEST_P(DownloadRetryPolicyTest, PausesThenGivesUp) {
    downloader::DownloadRetryPolicy policy;
    policy.start(0);
    QStringList answers;
    for (const FailedTry& failed : GetParam().tries) {
        const std::optional<qint64> pause =
            policy.pauseAfterFailedTry(failed.atMs, failed.newBytes);
        answers << (pause ? QString::number(*pause) : QStringLiteral("stop"));
    }
    EXPECT_EQ(answers.join(' ').toStdString(), GetParam().pauses);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, DownloadRetryPolicyTest,
    ::testing::Values(
        // Dropped at once every time: doubling pauses capped at 30 s, the eighth barren try ends it.
        RetryRow{"EightBarrenTriesInARow", {{0, 0}, {0, 0}, {1000, 0}, {3000, 0}, {7000, 0}, {15000, 0},
                 {31000, 0}, {61000, 0}}, "0 1000 2000 4000 8000 16000 30000 stop"},
        RetryRow{"NewBytesStartTheCountAgain", {{0, 0}, {0, 0}, {1000, 0}, {3000, 10}, {3000, 0}, {4000, 0}},
                 "0 1000 2000 0 1000 2000"},
        RetryRow{"EightBarrenAfterProgressEndIt", {{0, 5}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
                 {0, 0}, {0, 0}, {0, 0}}, "0 1000 2000 4000 8000 16000 30000 30000 stop"},
        // Two minutes without a byte end it, a pause that would end there included.
        RetryRow{"BytesMoveTheBound", {{60000, 5}, {120000, 0}, {178000, 0}}, "0 1000 stop"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace qby::testing

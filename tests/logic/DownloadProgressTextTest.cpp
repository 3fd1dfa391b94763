// The status line under the bar: sizes, speed, time left, and how often it changes.
#include "FakeInstallServices.h"
#include "FakePlatform.h"
#include "downloader/DownloadProgressText.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

class DownloadProgressTextTest : public ::testing::Test {
protected:
    // The line at atMs for received of total, or "-" when none is due.
    std::string at(qint64 atMs, qint64 received, qint64 total) {
        install.nowMs = atMs;
        const std::optional<QString> line = text.update(received, total);
        return line ? line->toStdString() : "-";
    }

    fake::FakePlatform platform;
    fake::FakeInstallServices install{platform};
    downloader::DownloadProgressText text{platform, install, QLocale::c()};
};

TEST_F(DownloadProgressTextTest, Sizes) {
    const struct {
        qint64 bytes;
        const char* text;
    } rows[] = {{0, "0 bytes"},          {999, "999 bytes"},        {1000, "1.0 KB"},
                {12'345, "12.3 KB"},     {999'499, "999 KB"},       {12'300'000, "12.3 MB"},
                {256'000'000, "256 MB"}, {1'500'000'000, "1.5 GB"}, {2'000'000'000'000, "2000 GB"}};
    for (const auto& row : rows) EXPECT_EQ(text.formatSize(row.bytes).toStdString(), row.text);
}

TEST_F(DownloadProgressTextTest, Durations) {
    const struct {
        qint64 seconds;
        const char* text;
    } rows[] = {{0, "0 s"},       {59, "59 s"},        {60, "1 min"},       {61, "2 min"},
                {3540, "59 min"}, {3541, "1 h 0 min"}, {3600, "1 h 0 min"}, {5000, "1 h 24 min"}};
    for (const auto& row : rows)
        EXPECT_EQ(text.formatDuration(row.seconds).toStdString(), row.text) << row.seconds;
}

TEST_F(DownloadProgressTextTest, LinesOverTime) {
    const struct {
        qint64 atMs, received, total;
        const char* line;
    } rows[] = {
        {0, 0, 256'000'000, "0 bytes of 256 MB"},
        {99, 5'000'000, 256'000'000, "-"},  // at most ten lines a second
        {100, 6'000'000, 256'000'000, "6.0 MB of 256 MB"},
        {900, 10'000'000, 256'000'000, "10.0 MB of 256 MB"},  // samples span 900 ms: no speed
        {1000, 12'300'000, 256'000'000, "12.3 MB of 256 MB — 12.3 MB/s — 20 s left"},
        {1050, 13'000'000, 256'000'000, "-"},
        {2000, 256'000'000, 256'000'000, "256 MB of 256 MB — 128 MB/s"},  // nothing left
    };
    for (const auto& row : rows)
        EXPECT_EQ(at(row.atMs, row.received, row.total), row.line) << row.atMs;
}

TEST_F(DownloadProgressTextTest, UnknownTotalShowsSpeedButNoTimeLeft) {
    EXPECT_EQ(at(0, 0, 0), "0 bytes received");
    EXPECT_EQ(at(2000, 4'000'000, -1), "4.0 MB received — 2.0 MB/s");
}

TEST_F(DownloadProgressTextTest, SpeedComesFromTheLastFewSecondsOnly) {
    // 10 MB/s for ten seconds, then 1 MB/s: the line follows the recent rate.
    qint64 bytes = 0;
    for (qint64 ms = 0; ms <= 10'000; ms += 500) at(ms, bytes += 5'000'000, 0);
    std::string last;
    for (qint64 ms = 10'500; ms <= 20'000; ms += 500) last = at(ms, bytes += 500'000, 0);
    EXPECT_NE(last.find("— 1.0 MB/s"), std::string::npos) << last;
}

TEST_F(DownloadProgressTextTest, ResetForgetsTheSamplesAndTheLimit) {
    at(0, 0, 1000);
    at(2000, 900, 1000);
    text.reset();
    EXPECT_EQ(at(2010, 100, 1000), "100 bytes of 1.0 KB") << "no speed from the old count";
}

TEST_F(DownloadProgressTextTest, TextsComeFromTheTableAndNumbersFollowTheLocale) {
    platform.translations.insert("%1 of %2", "%1 von %2");
    platform.translations.insert("%1 MB", "%1 MB");
    platform.translations.insert("%1 — %2", "%1 – %2");
    platform.translations.insert("%1/s", "%1/s");
    platform.translations.insert("%1 left", "noch %1");
    platform.translations.insert("%1 s", "%1 Sek.");
    downloader::DownloadProgressText german(platform, install,
                                            QLocale(QLocale::German, QLocale::Germany));
    install.nowMs = 0;
    german.update(0, 25'000'000);
    install.nowMs = 1000;
    EXPECT_EQ(german.update(12'500'000, 25'000'000).value_or("-").toStdString(),
              "12,5 MB von 25,0 MB – 12,5 MB/s – noch 1 Sek.");
}

}  // namespace
}  // namespace qby

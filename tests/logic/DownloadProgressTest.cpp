// The download's reports, the progress bar, the status line, failure and cancel.
#include "DownloaderFixture.h"

#include <QRegularExpression>
#include <limits>

namespace qby::testing {
namespace {

class DownloadProgressTest : public ::testing::Test, public DownloaderFixture {};

// One step of a download: a response (length >= -1) or a chunk (length, as a response of -2).
struct Step {
    qint64 response;  // -2: no response in this step
    quint64 chunk;
    qint64 resumedAt = -1;  // the response resumes the body from this byte
};

struct ProgressRow {
    const char* name;
    qint64 sizeInBytes;
    std::vector<Step> steps;
    const char* bar;  // the bar's calls: a percentage, "busy" or "determinate"
};

class ProgressRowTest : public DownloadProgressTest,
                        public ::testing::WithParamInterface<ProgressRow> {};

TEST_P(ProgressRowTest, SetsTheBarPerChunk) {
    startRelease(QStringLiteral("Quillbay.tgz"), GetParam().sizeInBytes);
    for (const Step& step : GetParam().steps) {
        if (step.resumedAt >= 0) {
            downloader.downloadWillResumeWithResponse({step.response, 206, "x"}, step.resumedAt);
        } else if (step.response >= -1) {
            respond(step.response);
        }
        if (step.chunk > 0) receive(step.chunk);
    }
    QStringList bar = QString(GetParam().bar).split(' ');
    for (QString& call : bar)
        call = call == "busy"          ? "window.setIndeterminate 1"
               : call == "determinate" ? "window.setIndeterminate 0"
                                       : "window.setProgress " + call;
    EXPECT_EQ(joined(platform.log.calls().filter(
                  QRegularExpression("^window.set(Progress|Indeterminate)"))),
              joined(bar));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProgressRowTest,
    ::testing::Values(
        ProgressRow{"announced_1000", 0, {{1000, 250}, {-2, 500}}, "25 75"},
        ProgressRow{"announced_wins_over_feed", 4000, {{1000, 250}}, "25"},
        ProgressRow{"none_announced_feed_2000", 2000, {{-1, 500}}, "25"},
        ProgressRow{"chunk_before_any_response", 2000, {{-2, 1000}}, "50"},
        ProgressRow{"second_response_resets", 0, {{1000, 500}, {1000, 100}}, "50 10"},
        ProgressRow{"resumed_body_keeps_its_place", 0, {{1000, 500}, {1000, 100, 500}}, "50 60"},
        ProgressRow{"unknown_length_busy_once", 0, {{-1, 10}, {-2, 10}}, "busy"},
        ProgressRow{"announced_zero_busy", 2000, {{0, 10}}, "busy"},
        ProgressRow{"negative_feed_size_busy", -5, {{-1, 10}}, "busy"},
        ProgressRow{"length_arrives_later", 0, {{-1, 10}, {100, 50}}, "busy determinate 50"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadProgressTest, RetriesWaitAsThePolicySaysAndTellTheWait) {
    startRelease(QStringLiteral("Quillbay.tgz"), 0);
    respond(1000);
    receive(100);
    const foundation::Error dropped{2, "dropped", true};
    // The first retry goes at once, the later ones within doubling ceilings, each wait told in
    // whole seconds rounded up.
    QStringList told;
    qint64 ceiling = 0;
    for (qint64 newBytes : {100, 0, 0, 0}) {
        const qint64 pause =
            downloader.downloadShouldRetryAfterError(dropped, {.newBytes = newBytes}).value_or(-1);
        EXPECT_TRUE(pause >= 0 && pause <= ceiling) << pause << " over " << ceiling;
        if (pause > 0)
            told << QStringLiteral("window.setStatusText Connection lost. Retrying in %1 s…")
                        .arg((pause + 999) / 1000);
        ceiling = ceiling == 0 ? 1000 : ceiling * 2;
    }
    EXPECT_EQ(joined(platform.log.calls().filter(QRegularExpression("^window.setStatusText C"))),
              joined(told));
}

// A busy server's Retry-After is waited out in full; one past the two-minute bound ends it.
TEST_F(DownloadProgressTest, RetryAfterIsWaitedOutOrEndsTheDownload) {
    startRelease();
    const foundation::Error busy{503, "busy", true};
    EXPECT_EQ(downloader.downloadShouldRetryAfterError(busy, {.retryAfterMs = 4000}), 4000);
    EXPECT_EQ(downloader.downloadShouldRetryAfterError(busy, {.retryAfterMs = 120'000}),
              std::nullopt);
}

TEST_F(DownloadProgressTest, HugeChunksSaturateInsteadOfOverflowing) {
    startRelease();
    respond(-1);
    receive(std::numeric_limits<quint64>::max());
    receive(10);
    EXPECT_EQ(downloader.bytesReceived(), std::numeric_limits<qint64>::max());
}

// The error's sentence is translated by its English format, then filled in.
TEST_F(DownloadProgressTest, FailureShowsTheErrorInASheetThatEndsTheApplication) {
    platform.translations = {{"Quit", "Beenden"},
                             {"The server closed the connection after %1 of %2 bytes.",
                              "Der Server trennte die Verbindung nach %1 von %2 Bytes."}};
    startRelease();
    respond(1000);
    downloader.downloadDidFailWithError({1,
                                         "The server closed the connection after 100 of 684 bytes.",
                                         "The server closed the connection after %1 of %2 bytes.",
                                         {"100", "684"}});
    EXPECT_EQ(downloader.clientDownload(), nullptr);
    EXPECT_EQ(count("application.terminate"), 0) << "only when the sheet is dismissed";
    EXPECT_FALSE(platform.exists(kWorkFolder)) << "the download folder goes";
    const platform::Alert& alert = onlySheet();
    EXPECT_EQ(
        QStringList({alert.messageText, alert.informativeText}) + alert.buttonTitles,
        QStringList({"The Quillbay app could not be downloaded.",
                     "Der Server trennte die Verbindung nach 100 von 684 Bytes.", "Beenden"}));
    EXPECT_FALSE(handOff.isSet());
}

TEST_F(DownloadProgressTest, CancelStopsTheDownloadThenEndsAtOnce) {
    startRelease();
    respond(1000);
    receive(100);
    platform.window.cancel();
    EXPECT_EQ(joined(callsFrom("download.cancel")),
              joined({"download.cancel", "file.remove " + kWorkFolder, "application.terminate"}));
    EXPECT_TRUE(downloader.downloadCancelled());
    EXPECT_EQ(count("window.beginSheet"), 0);
}

TEST_F(DownloadProgressTest, StatusLineShowsSizeThenSpeedAndTimeLeftAtMostTenTimesASecond) {
    startRelease();
    respond(10'000'000);
    // None due within 100 ms of the last line; at 1.1 s, 3 MB since the first line, 6 MB to go.
    for (qint64 atMs : {0, 50, 100, 1100}) {
        install.nowMs = atMs;
        receive(1'000'000);
    }
    EXPECT_EQ(
        joined(platform.log.calls().filter("window.setStatusText")),
        joined({"window.setStatusText 1.0 MB of 10.0 MB", "window.setStatusText 3.0 MB of 10.0 MB",
                "window.setStatusText 4.0 MB of 10.0 MB — 2.7 MB/s — 3 s left"}));
}

}  // namespace
}  // namespace qby::testing

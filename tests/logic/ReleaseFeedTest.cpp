// The release feed, the choice of a release and the start of its download.
#include "DownloaderFixture.h"
#include "downloader/ReleaseSelection.h"

#include <QRegularExpression>

namespace qby::testing {
namespace {

const QString kServersBusy = QStringLiteral(
    "The QBY servers may be busy or temporarily unavailable. Please try again later.");
const QString kCouldNotDownload = QStringLiteral("The Quillbay app could not be downloaded.");
const QString kArchiveUrl = QStringLiteral("https://cdn.quillbay.com/c/Quillbay.tgz");

class ReleaseFeedTest : public ::testing::Test, public DownloaderFixture {
protected:
    // The feed answers body, which parses to root.
    void serveFeed(const std::optional<QByteArray>& body,
                   const std::optional<QVariant>& root = std::nullopt) {
        install.urlBodies.insert(kFeedUrl, body);
        if (body && !body->isEmpty()) platform.propertyListRoots.insert(*body, root);
    }
    void serveRelease() {
        serveFeed("feed", QVariantMap{{"downloader", QVariantList{release("10.6", kArchiveUrl)}}});
    }
    void runTasks() {
        install.runBackgroundTasks();
        install.runMainThreadOperations();
    }
    void expectServersBusySheet() {
        EXPECT_EQ(count("download.start"), 0) << calls();
        const platform::Alert& alert = onlySheet();
        EXPECT_EQ(QStringList({alert.messageText, alert.informativeText}) + alert.buttonTitles,
                  QStringList({kCouldNotDownload, kServersBusy, "Quit"}));
        EXPECT_EQ(downloader.clientDownload(), nullptr);
    }
};

TEST_F(ReleaseFeedTest, StartShowsTheWindowThenReadsTheFeedOffTheMainThread) {
    serveRelease();
    int handlerCalls = 0;
    downloader.startDownload([&] { ++handlerCalls; });
    EXPECT_EQ(joined(platform.log.calls()),
              joined({"window.center", "window.makeKeyAndOrderFront", "dispatch.async"}));
    install.runBackgroundTasks();
    EXPECT_TRUE(platform.log.inOrder(
        {"url.read " + kFeedUrl, "plist.parse 4 bytes", "dispatch.performOnMainThread"}))
        << calls();
    EXPECT_EQ(count("download.start"), 0) << "selection waits for the main thread";
    install.runMainThreadOperations();
    EXPECT_EQ(count("download.start"), 1) << calls();
    EXPECT_TRUE(downloader.completionHandler());
    EXPECT_EQ(handlerCalls, 0) << "nothing ever invokes the completion handler";
}

struct FeedFailure {
    const char* name;
    std::optional<QByteArray> body;
    std::optional<QVariant> root;
    const char* why;  // the log's reason; "" where the feed is read but no release is chosen
};

class FeedFailureTest : public ReleaseFeedTest,
                        public ::testing::WithParamInterface<FeedFailure> {};

TEST_P(FeedFailureTest, EndsInTheServersBusySheet) {
    serveFeed(GetParam().body, GetParam().root);
    downloader.startDownload(nullptr);
    runTasks();
    expectServersBusySheet();
    const QStringList logged = callsFrom("console");
    EXPECT_EQ(logged.value(0), QString(GetParam().why).isEmpty()
                                   ? QString()
                                   : QString("console Release feed unusable: ") + GetParam().why)
        << calls();
}

QVariantMap feedOf(const QVariant& entries) {
    return {{QStringLiteral("downloader"), entries}};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Feeds, FeedFailureTest,
    ::testing::Values(
        FeedFailure{"no_data", std::nullopt, std::nullopt, "it could not be read: not scripted"},
        FeedFailure{"empty_body", QByteArray(""), std::nullopt, "it is empty"},
        FeedFailure{"not_a_property_list", QByteArray("<html>"), std::nullopt, "it is scripted: no list"},
        FeedFailure{"root_array", QByteArray("a"), QVariantList{QVariantMap{}}, "its root is no dictionary"},
        FeedFailure{"downloader_missing", QByteArray("m"), QVariantMap{{"other", QVariantList{}}},
                    "it has no \"downloader\" array"},
        FeedFailure{"downloader_dictionary", QByteArray("d"), feedOf(QVariantMap{}), "it has no \"downloader\" array"},
        FeedFailure{"empty_array", QByteArray("e"), feedOf(QVariantList{}), ""},
        FeedFailure{"only_broken_entries", QByteArray("b"), feedOf(QVariantList{QStringLiteral("10.6"), 7, QVariantList{}}),
                    ""}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct FeedRetry {
    const char* name;
    int busyAnswers;  // transient failures before the feed's own answer
    bool feedThere;   // the feed's own answer: the release, or a failure for good
    bool cancelled;   // the user cancels before the feed task runs
    int reads;
    const char* pauses;
    bool downloads;
};

class FeedRetryTest : public ReleaseFeedTest, public ::testing::WithParamInterface<FeedRetry> {};

TEST_P(FeedRetryTest, ReadsAgainOnlyAfterTransientFailures) {
    const FeedRetry& row = GetParam();
    if (row.feedThere) {
        serveRelease();
    } else {
        serveFeed(std::nullopt);
    }
    install.transientFailures.insert(kFeedUrl, row.busyAnswers);
    downloader.startDownload(nullptr);
    if (row.cancelled) platform.window.cancel();
    runTasks();
    EXPECT_EQ(count("url.read"), row.reads) << calls();
    EXPECT_EQ(platform.log.calls().filter(QRegularExpression("^sleep ")).join(", ").toStdString(),
              row.pauses);
    EXPECT_EQ(count("download.start"), row.downloads ? 1 : 0);
    EXPECT_EQ(count("window.beginSheet"), row.downloads || row.cancelled ? 0 : 1);
    EXPECT_EQ(count("application.terminate"), row.cancelled ? 1 : 0);
    // A cancelled read hands nothing back to parse or start.
    EXPECT_EQ(count("plist.parse") + count("dispatch.performOnMainThread") == 0, row.cancelled);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, FeedRetryTest,
    ::testing::Values(
        FeedRetry{"BusyTwiceThenFine", 2, true, false, 3, "sleep 1, sleep 4", true},
        FeedRetry{"BusyThreeTimesEndsInTheSheet", 3, true, false, 3, "sleep 1, sleep 4", false},
        FeedRetry{"GoneForGoodIsNotReadAgain", 0, false, false, 1, "", false},
        FeedRetry{"BusyThenGoneForGood", 1, false, false, 2, "sleep 1", false},
        FeedRetry{"CancelStopsTheRetries", 2, true, true, 1, "sleep 1", false},
        FeedRetry{"CancelWhileTheFeedIsRead", 0, true, true, 1, "", false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(ReleaseFeedTest, CancelAfterTheFeedWasHandedBackStartsNothing) {
    serveFeed(std::nullopt);
    downloader.startDownload(nullptr);
    install.runBackgroundTasks();
    platform.window.cancel();
    install.runMainThreadOperations();
    EXPECT_EQ(count("window.beginSheet"), 0) << calls();
    EXPECT_EQ(count("application.terminate"), 1);
}

TEST_F(ReleaseFeedTest, FeedHandedBackAfterTheDownloaderIsGoneFindsNobody) {
    serveRelease();
    {
        downloader::QBYClientDownloader shortLived(services());
        shortLived.startDownload(nullptr);
        install.runBackgroundTasks();
    }
    install.runMainThreadOperations();
    EXPECT_EQ(count("download.start") + count("window.beginSheet"), 0) << calls();
}

TEST_F(ReleaseFeedTest, ChosenReleaseDownloadsIntoAPrivateFolder) {
    downloader.doDownload({release("10.6", "https://cdn.quillbay.com/c/Quillbay-2.tgz", 1234)});
    EXPECT_EQ(joined(platform.log.calls()),
              joined({"download.start https://cdn.quillbay.com/c/Quillbay-2.tgz 60",
                      "file.createPrivateDirectory " + kWorkFolder,
                      "download.setDeletesFileUponFailure 1", "download.setPromisedLength 1234",
                      "download.setDestination " + kWorkFolder + "/Quillbay-2.tgz 1"}));
    EXPECT_EQ(downloader.downloadPath(), kWorkFolder + "/Quillbay-2.tgz");
    EXPECT_EQ(downloader.downloadSizeInBytes(), 1234);
    ASSERT_EQ(install.downloads.size(), 1u);
    EXPECT_EQ(&install.downloads.front()->delegate,
              static_cast<platform::UrlDownloadDelegate*>(&downloader));
}

TEST_F(ReleaseFeedTest, FolderThatCannotBeMadeStopsTheDownloadWithASheet) {
    platform.uncreatableFolders.insert(kWorkFolder);
    downloader.doDownload({release("10.6", kArchiveUrl)});
    EXPECT_EQ(joined(platform.log.calls()),
              joined({"download.start " + kArchiveUrl + " 60",
                      "file.createPrivateDirectory " + kWorkFolder, "download.cancel",
                      "window.beginSheet " + kCouldNotDownload}));
    EXPECT_EQ(onlySheet().informativeText,
              "No folder for the download could be created.\n\nPermission denied");
    EXPECT_EQ(downloader.clientDownload(), nullptr);
}

// The rules of the choice are tested on chooseRelease; these rows are its road through the
// downloader: the system and processor it passes, the feed reading, and the chosen url's check.
struct Selection {
    const char* name;
    qint32 cpuFamily;
    QVariantList entries;
    const char* chosenUrl;  // "" when the failure sheet is expected
};

class SelectionTest : public ReleaseFeedTest, public ::testing::WithParamInterface<Selection> {};

TEST_P(SelectionTest, StartsTheChosenReleaseOrShowsTheSheet) {
    const Selection& row = GetParam();
    setSystem(10, 9, 0, row.cpuFamily);
    downloader.doDownload(row.entries);
    if (QString(row.chosenUrl).isEmpty()) return expectServersBusySheet();
    EXPECT_TRUE(
        platform.log.calls().value(0).startsWith("download.start " + QString(row.chosenUrl)))
        << calls();
    EXPECT_EQ(count("window.beginSheet"), 0);
}

const QString A = QStringLiteral("https://cdn.quillbay.com/a.tgz");
const QString B = QStringLiteral("https://cdn.quillbay.com/b.tgz");
constexpr qint32 kOther = 0x12345678;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, SelectionTest,
    ::testing::Values(
        Selection{"newest_that_fits_on_10_9_0", kOther, {release("10.6", A), release("10.9", B), release("10.10", A)},
                  "https://cdn.quillbay.com/b.tgz"},
        Selection{"yonah_reads_cpu_types", downloader::kCpuFamilyIntelYonah,
                  {release("10.9", B, {}, "x86_64"), release("10.6", A, {}, "i386")}, "https://cdn.quillbay.com/a.tgz"},
        Selection{"chosen_without_url_fails_though_lower_has_one", kOther, {release("10.9"), release("10.6", A)}, ""},
        Selection{"chosen_with_unusable_url_fails", kOther,
                  {release("10.9", "http://cdn.quillbay.com/b.tgz"), release("10.6", A)}, ""}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace qby::testing

// The release feed, the choice of a release and the start of its download.
#include "DownloaderFixture.h"

#include <functional>

namespace qby::testing {
namespace {

const QString kServersBusy = QStringLiteral(
    "The QBY servers may be busy or temporarily unavailable. Please try again later.");
const QString kCouldNotDownload = QStringLiteral("The Quillbay app could not be downloaded.");
constexpr qint32 kYonah = 0x73D67300;

class ReleaseFeedTest : public ::testing::Test, public DownloaderFixture {
protected:
    // The feed answers body, which parses to root.
    void serveFeed(const std::optional<QByteArray>& body,
                   const std::optional<QVariant>& root = std::nullopt) {
        install.urlBodies.insert(kFeedUrl, body);
        if (body && !body->isEmpty()) install.propertyListRoots.insert(*body, root);
    }
    void serveEntries(const QVariantList& entries) {
        serveFeed("feed", QVariantMap{{QStringLiteral("downloader"), entries}});
    }
    void fetch() {
        downloader.startDownload(nullptr);
        install.runBackgroundTasks();
        install.runMainThreadOperations();
    }
    void expectServersBusySheet() {
        EXPECT_EQ(count("download.start"), 0) << calls();
        const platform::Alert& alert = onlySheet();
        EXPECT_EQ(alert.messageText, kCouldNotDownload);
        EXPECT_EQ(alert.informativeText, kServersBusy);
        EXPECT_EQ(alert.buttonTitles, QStringList{QStringLiteral("Quit")});
        EXPECT_EQ(downloader.clientDownload(), nullptr);
    }
};

TEST_F(ReleaseFeedTest, StartShowsTheWindowThenReadsTheFeedOffTheMainThread) {
    serveEntries({release("10.6", "https://cdn.quillbay.com/c/Quillbay.tgz")});
    int handlerCalls = 0;
    downloader.startDownload([&] { ++handlerCalls; });
    EXPECT_EQ(joined(platform.log.calls()),
              joined(QStringList({"window.center", "window.makeKeyAndOrderFront", "dispatch.async"})));
    install.runBackgroundTasks();
    EXPECT_EQ(joined(callsFrom("url.read")),
              joined(QStringList({"url.read " + kFeedUrl + " 33554432", "plist.parse 4 bytes",
                           "dispatch.performOnMainThread"})));
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
};

class FeedFailureTest : public ReleaseFeedTest, public ::testing::WithParamInterface<FeedFailure> {};

TEST_P(FeedFailureTest, EndsInTheServersBusySheet) {
    serveFeed(GetParam().body, GetParam().root);
    fetch();
    expectServersBusySheet();
}

const QVariant kDownloaderKey = QStringLiteral("downloader");

INSTANTIATE_TEST_SUITE_P(
    Feeds, FeedFailureTest,
    ::testing::Values(
        FeedFailure{"no_data", std::nullopt, std::nullopt},
        FeedFailure{"empty_body", QByteArray(""), std::nullopt},
        FeedFailure{"not_a_property_list", QByteArray("<html>"), std::nullopt},
        FeedFailure{"root_array", QByteArray("a"), QVariantList{QVariantMap{}}},
        FeedFailure{"root_text", QByteArray("t"), QVariant(QStringLiteral("downloader"))},
        FeedFailure{"downloader_missing", QByteArray("m"),
                    QVariantMap{{QStringLiteral("other"), QVariantList{}}}},
        FeedFailure{"downloader_dictionary", QByteArray("d"),
                    QVariantMap{{QStringLiteral("downloader"), QVariantMap{}}}},
        FeedFailure{"downloader_text", QByteArray("s"),
                    QVariantMap{{QStringLiteral("downloader"), QStringLiteral("x")}}},
        FeedFailure{"empty_array", QByteArray("e"),
                    QVariantMap{{QStringLiteral("downloader"), QVariantList{}}}},
        FeedFailure{"only_broken_entries", QByteArray("b"),
                    QVariantMap{{QStringLiteral("downloader"),
                                 QVariantList{QStringLiteral("10.6"), 7, QVariantList{}}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReleaseFeedTest, CancelWhileTheFeedIsReadShowsNothing) {
    serveEntries({release("10.6", "https://cdn.quillbay.com/c/Quillbay.tgz")});
    downloader.startDownload(nullptr);
    platform.window.cancel();
    install.runBackgroundTasks();
    install.runMainThreadOperations();
    EXPECT_EQ(count("url.read"), 1);
    EXPECT_EQ(count("plist.parse"), 0) << calls();
    EXPECT_EQ(count("dispatch.performOnMainThread"), 0);
    EXPECT_EQ(count("window.beginSheet"), 0);
    EXPECT_EQ(count("application.terminate"), 1);
    EXPECT_EQ(count("download.cancel"), 0) << "no download existed";
}

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
    serveEntries({release("10.6", "https://cdn.quillbay.com/c/Quillbay.tgz")});
    {
        QBYClientDownloader shortLived(services());
        shortLived.startDownload(nullptr);
        install.runBackgroundTasks();
    }
    install.runMainThreadOperations();
    EXPECT_EQ(count("download.start"), 0) << calls();
    EXPECT_EQ(count("window.beginSheet"), 0);
}

TEST_F(ReleaseFeedTest, ChosenReleaseDownloadsIntoAPrivateFolder) {
    downloader.doDownload({release("10.6", "https://cdn.quillbay.com/c/Quillbay-2.tgz", 1234)});
    EXPECT_EQ(joined(platform.log.calls()),
              joined(QStringList({"download.start https://cdn.quillbay.com/c/Quillbay-2.tgz 60",
                           "file.createPrivateDirectory " + kWorkFolder,
                           "download.setDeletesFileUponFailure 1",
                           "download.setDestination " + kWorkFolder + "/Quillbay-2.tgz 1"})));
    EXPECT_EQ(downloader.downloadPath(), kWorkFolder + "/Quillbay-2.tgz");
    EXPECT_EQ(downloader.downloadSizeInBytes(), 1234);
    ASSERT_EQ(install.downloads.size(), 1u);
    EXPECT_EQ(&install.downloads.front()->delegate,
              static_cast<platform::UrlDownloadDelegate*>(&downloader));
    EXPECT_EQ(downloader.pathForTemporaryFileWithPrefix("P"), "/tmp/P-TOKEN2");
}

TEST_F(ReleaseFeedTest, FolderThatCannotBeMadeStopsTheDownloadWithASheet) {
    const std::function<void(fake::FakePlatform&)> obstacles[] = {
        [](fake::FakePlatform& p) { p.uncreatableFolders.insert(kWorkFolder); },
        [](fake::FakePlatform& p) { p.addFile(kWorkFolder, QString("planted")); },
        [](fake::FakePlatform& p) { p.folders.remove(QStringLiteral("/tmp")); },
    };
    for (const auto& obstruct : obstacles) {
        DownloaderFixture fresh;
        obstruct(fresh.platform);
        fresh.downloader.doDownload({release("10.6", "https://cdn.quillbay.com/c/Quillbay.tgz")});
        EXPECT_EQ(joined(fresh.callsFrom("download.start")),
              joined(QStringList({"download.start https://cdn.quillbay.com/c/Quillbay.tgz 60",
                               "file.createPrivateDirectory " + kWorkFolder, "download.cancel",
                               "window.beginSheet " + kCouldNotDownload})));
        const platform::Alert& alert = fresh.onlySheet();
        EXPECT_TRUE(alert.informativeText.startsWith(
            "No folder for the download could be created.\n\n"))
            << alert.informativeText.toStdString();
        EXPECT_EQ(fresh.downloader.clientDownload(), nullptr);
    }
}

// --- selection ---

struct Selection {
    const char* name;
    qint64 major, minor, patch;
    qint32 cpuFamily;
    QVariantList entries;
    const char* chosenUrl;  // "" when the failure sheet is expected
};

class SelectionTest : public ReleaseFeedTest, public ::testing::WithParamInterface<Selection> {};

TEST_P(SelectionTest, ChoosesTheNewestReleaseThatFits) {
    const Selection& row = GetParam();
    setSystem(row.major, row.minor, row.patch, row.cpuFamily);
    downloader.doDownload(row.entries);
    if (QString(row.chosenUrl).isEmpty()) {
        expectServersBusySheet();
        return;
    }
    EXPECT_EQ(platform.log.calls().value(0).toStdString(),
              "download.start " + std::string(row.chosenUrl) + " 60")
        << calls();
    EXPECT_EQ(count("window.beginSheet"), 0);
}

const QString A = QStringLiteral("https://cdn.quillbay.com/a.tgz");
const QString B = QStringLiteral("https://cdn.quillbay.com/b.tgz");
const QString C = QStringLiteral("https://cdn.quillbay.com/c.zip");
constexpr qint32 kOther = 0x12345678;

INSTANTIATE_TEST_SUITE_P(
    Rows, SelectionTest,
    ::testing::Values(
        Selection{"older_on_10_8_5", 10, 8, 5, kOther,
                  {release("10.6", A), release("10.9", B)}, "https://cdn.quillbay.com/a.tgz"},
        Selection{"exact_minimum_on_10_9_0", 10, 9, 0, kOther,
                  {release("10.6", A), release("10.9", B)}, "https://cdn.quillbay.com/b.tgz"},
        Selection{"feed_order_does_not_matter", 10, 9, 0, kOther,
                  {release("10.9", B), release("10.6", A), release("10.7", C)},
                  "https://cdn.quillbay.com/b.tgz"},
        Selection{"newer_than_the_system", 10, 8, 0, kOther, {release("10.9", A)}, ""},
        Selection{"yonah_passes_over_newest_without_i386", 10, 9, 0, kYonah,
                  {release("10.9", B, {}, "x86_64"), release("10.6", A, {}, "i386 x86_64")},
                  "https://cdn.quillbay.com/a.tgz"},
        Selection{"yonah_search_is_case_sensitive", 10, 9, 0, kYonah,
                  {release("10.9", B, {}, "I386"), release("10.6", A, {}, "ppc,i386")},
                  "https://cdn.quillbay.com/a.tgz"},
        Selection{"yonah_takes_entry_without_cpu_types", 10, 9, 0, kYonah,
                  {release("10.9", B), release("10.6", A, {}, "i386")},
                  "https://cdn.quillbay.com/b.tgz"},
        Selection{"yonah_none_with_i386", 10, 9, 0, kYonah, {release("10.6", A, {}, "x86_64")},
                  ""},
        Selection{"yonah_cpu_types_of_wrong_type_passed_over", 10, 9, 0, kYonah,
                  {release("10.9", B, {}, 386), release("10.6", A)},
                  "https://cdn.quillbay.com/a.tgz"},
        Selection{"other_family_never_reads_cpu_types", 10, 9, 0, kOther,
                  {release("10.9", B, {}, "ppc"), release("10.6", A, {}, "i386")},
                  "https://cdn.quillbay.com/b.tgz"},
        Selection{"other_family_ignores_cpu_types_of_wrong_type", 10, 9, 0, kOther,
                  {release("10.9", B, {}, QVariantList{})}, "https://cdn.quillbay.com/b.tgz"},
        Selection{"chosen_without_url_fails_though_lower_has_one", 10, 9, 0, kOther,
                  {release("10.9"), release("10.6", A)}, ""},
        Selection{"equal_minimums_keep_feed_order", 10, 9, 0, kOther,
                  {release("10.6", C), release("10.6", A), release("10.6.0", B)},
                  "https://cdn.quillbay.com/c.zip"},
        Selection{"non_dictionary_entries_skipped", 10, 9, 0, kOther,
                  {QStringLiteral("10.9"), QVariantList{}, release("10.6", A)},
                  "https://cdn.quillbay.com/a.tgz"},
        Selection{"minimum_of_wrong_type_skipped", 10, 9, 0, kOther,
                  {QVariantMap{{"minimumSystemVersion", 10}, {"url", B}}, release("10.6", A)},
                  "https://cdn.quillbay.com/a.tgz"},
        Selection{"url_of_wrong_type_skipped", 10, 9, 0, kOther,
                  {QVariantMap{{"minimumSystemVersion", "10.9"}, {"url", QVariantList{B}}},
                   release("10.6", A)},
                  "https://cdn.quillbay.com/a.tgz"},
        Selection{"size_of_wrong_type_skipped", 10, 9, 0, kOther,
                  {release("10.9", B, 1.5), release("10.8", C, "12abc"),
                   release("10.7", C, true), release("10.6", A, "77")},
                  "https://cdn.quillbay.com/a.tgz"},
        Selection{"missing_minimum_fits_any_system", 10, 6, 0, kOther,
                  {QVariantMap{{"url", A}}}, "https://cdn.quillbay.com/a.tgz"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SizeRow {
    const char* name;
    QVariant value;
    qint64 expected;
};

class DownloadSizeTest : public ReleaseFeedTest, public ::testing::WithParamInterface<SizeRow> {};

TEST_P(DownloadSizeTest, IsReadAsSigned64BitBeforeTheUrl) {
    // The url is unusable: the size is set all the same, before the url is looked at.
    downloader.doDownload({release("10.6", "http://cdn.quillbay.com/a.tgz", GetParam().value)});
    EXPECT_EQ(downloader.downloadSizeInBytes(), GetParam().expected);
    expectServersBusySheet();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DownloadSizeTest,
    ::testing::Values(SizeRow{"missing", QVariant(), 0}, SizeRow{"integer", 2000, 2000},
                      SizeRow{"large_integer", qint64(9000000000), 9000000000},
                      SizeRow{"decimal_text", QStringLiteral("4096"), 4096},
                      SizeRow{"largest_text", QStringLiteral("9223372036854775807"),
                              std::numeric_limits<qint64>::max()},
                      SizeRow{"unsigned", QVariant(quint64(7)), 7}),
    [](const auto& info) { return std::string(info.param.name); });

struct UrlRow {
    const char* url;
    const char* fileName;  // "" when the url counts as missing
};

class ReleaseUrlTest : public ReleaseFeedTest, public ::testing::WithParamInterface<UrlRow> {};

TEST_P(ReleaseUrlTest, NamesTheArchiveOrCountsAsNoUrl) {
    downloader.doDownload({release("10.6", GetParam().url), release("10.5", A)});
    if (QString(GetParam().fileName).isEmpty()) {
        expectServersBusySheet();
        return;
    }
    EXPECT_EQ(downloader.downloadPath(), kWorkFolder + "/" + GetParam().fileName) << calls();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReleaseUrlTest,
    ::testing::Values(UrlRow{"https://cdn.quillbay.com/r/Quillbay.tgz", "Quillbay.tgz"},
                      UrlRow{"https://cdn.quillbay.com/Quillbay.zip?sig=a/b#x", "Quillbay.zip"},
                      UrlRow{"https://cdn.quillbay.com/a%20b.tgz", "a%20b.tgz"},
                      UrlRow{"https://cdn.quillbay.com/a%2Fb.zip", "a%2Fb.zip"},
                      UrlRow{"HTTPS://cdn.quillbay.com/Q.tgz", "Q.tgz"},
                      UrlRow{"http://cdn.quillbay.com/Quillbay.tgz", ""},
                      UrlRow{"ftp://cdn.quillbay.com/Quillbay.tgz", ""},
                      UrlRow{"file:///tmp/Quillbay.tgz", ""},
                      UrlRow{"https://cdn.quillbay.com/", ""},
                      UrlRow{"https://cdn.quillbay.com", ""},
                      UrlRow{"https://cdn.quillbay.com/r/.", ""},
                      UrlRow{"https://cdn.quillbay.com/r/..", ""},
                      UrlRow{"https://cdn.quillbay.com/r/%2e%2E", ""},
                      UrlRow{"https:///Quillbay.tgz", ""}, UrlRow{"Quillbay.tgz", ""},
                      UrlRow{"", ""}));

}  // namespace
}  // namespace qby::testing

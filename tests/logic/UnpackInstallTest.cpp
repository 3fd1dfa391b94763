// The finished download is unpacked, installed, launched; and the short download.
#include "DownloaderFixture.h"

#include <QRegularExpression>
#include <cerrno>

namespace qby::testing {
namespace {

const QString kSource = kWorkFolder + "/Quillbay.app";
const QString kAside = "/Applications/.Quillbay.app.old-TOKEN2";
const QString kUserDestination = "/home/player/Applications/Quillbay.app";
const QString kStopped = "console Install stopped: ";
const QString kForUser = "console Installing for this user alone: ";

struct FinishRow {
    const char* name;
    const char* fileName = "Quillbay.tgz";
    const char* format = "tgz";
    bool existingClient = false;
    bool applicationsFolder = true;
    bool entryWritten = true;
    bool userFolderMade = true;
    bool unpacks = true;
    bool busyBar = false;  // no length anywhere: the bar shows activity until the end
    QStringList unpackedNames = {"Quillbay.app"};
    // Unpacked as files, not folders.
    QStringList unpackedFiles;
    // A listing other than the file system's; nothing inside: a listing error.
    std::optional<std::optional<QStringList>> listing;
    QMap<QString, int> moveErrors;
    // The administrator's answers; each is asked for once.
    std::vector<foundation::Result<int>> privilegedAnswers;
    bool launches = true;
    QStringList log;  // the console lines
    // "nothing", "old", or the unpacked bundle installed there; a launched new one is handed off.
    const char* destinationHolds = "Quillbay.app";
    bool forUser = false;  // installed in ~/Applications instead, and handed off
};

class FinishTest : public ::testing::TestWithParam<FinishRow>, public DownloaderFixture {
protected:
    // What stands at path: "nothing", "old", or the name of the unpacked bundle moved there.
    QString holds(const QString& path) const {
        if (!platform.exists(path)) return "nothing";
        if (platform.exists(path + "/Contents/old.txt")) return "old";
        return platform.files.value(path + "/.unpacked-as").value_or("?");
    }
};

TEST_P(FinishTest, UnpacksInstallsAndLaunches) {
    const FinishRow& row = GetParam();
    const QString file = QString::fromUtf8(row.fileName);
    if (row.existingClient) platform.addFile(kDestination + "/Contents/old.txt", QString("old"));
    if (!row.applicationsFolder) platform.removeTree("/Applications");
    if (!row.userFolderMade) platform.uncreatableFolders.insert("/home/player/Applications");
    if (!row.entryWritten) install.desktopEntryResult = foundation::Error{28, "disk full"};
    platform.moveErrors = row.moveErrors;
    install.privilegedAnswers.assign(row.privilegedAnswers.begin(), row.privilegedAnswers.end());
    install.unpackResult = row.unpacks ? foundation::Status()
                                       : foundation::Status(foundation::Error{2, "tar: exit 2"});
    install.unpackedNames = row.unpackedNames;
    if (row.listing) platform.listings.insert(kWorkFolder, *row.listing);
    if (!row.launches) platform.launchFails(13);

    startRelease(file);
    for (const QString& name : row.unpackedNames)
        platform.addFile(kWorkFolder + "/" + name + "/.unpacked-as", name);
    for (const QString& name : row.unpackedFiles) platform.addFile(kWorkFolder + "/" + name, name);
    respond(row.busyBar ? -1 : 100);
    receive(100);
    platform.addFile(downloader.downloadPath(), QString("archive"));
    const qsizetype mark = platform.log.calls().size();
    downloader.downloadDidFinish();

    const QStringList after = platform.log.calls().mid(mark);
    // The bar determinate at 100, then a pause on either side of unpacking.
    const QString unpack = QStringLiteral("archive.unpack %1 %2 %3")
                               .arg(kWorkFolder, file, QString::fromLatin1(row.format));
    QStringList finish = {"window.setProgress 100", "window.displayIfNeeded", "usleep 10000",
                          unpack};
    finish << "file.remove " + kWorkFolder + "/" + file << "usleep 10000";
    if (row.busyBar) finish.prepend("window.setIndeterminate 0");
    EXPECT_EQ(joined(after.mid(0, finish.size())), joined(finish)) << calls();
    EXPECT_EQ(joined(after.filter("console ")), joined(row.log)) << calls();
    EXPECT_EQ(count("auth.exec"), qsizetype(row.privilegedAnswers.size()));
    if (row.moveErrors.contains(kDestination))
        EXPECT_EQ(count("file.move " + kSource + " " + kDestination), 0)
            << "nothing is moved onto an old client that could not be set aside";
    // Installed: the user's desktop entry unless the administrator installed it, a second's
    // pause, then the client launched where it stands and a second for it to start.
    const bool installed = row.forUser || QString(row.destinationHolds).endsWith(".app");
    const QString at = row.forUser ? kUserDestination : kDestination;
    const bool byAdministrator = !row.forUser && !row.privilegedAnswers.empty();
    EXPECT_EQ(joined(after.filter("desktop.register")),
              installed && !byAdministrator ? "desktop.register " + at.toStdString() : "");
    QStringList started = {"sleep 1", "workspace.launch " + at};
    if (row.launches) started.append("sleep 1");
    EXPECT_EQ(joined(after.filter(QRegularExpression("^(sleep|workspace.launch)"))),
              installed ? joined(started) : "");
    EXPECT_EQ(handOff.isSet(), installed && row.launches);
    EXPECT_EQ(holds(kDestination), row.destinationHolds);
    EXPECT_EQ(holds(kUserDestination), row.forUser ? "Quillbay.app" : "nothing");
    EXPECT_TRUE(downloader.clientDownload() == nullptr && !downloader.downloadResponse());
    EXPECT_FALSE(platform.exists(kAside)) << "no set-aside copy stays";
    EXPECT_FALSE(platform.exists(kWorkFolder)) << "the download folder never stays";
    EXPECT_EQ(count("window.beginSheet"), 0) << "this road shows no message of its own";
    EXPECT_EQ(count("application.terminate"), 1);
}

const foundation::Result<int> kDone = 0;
const foundation::Result<int> kRefused =
    foundation::Error{platform::Authorization::kConsentRefused, "refused"};
const foundation::Result<int> kCannotStart =
    foundation::Error{platform::Authorization::kCannotStart, "no pkexec"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, FinishTest,
    ::testing::Values(
        FinishRow{.name = "tgz_unpacked_with_tar"}, FinishRow{.name = "busy_bar_turns_determinate_at_the_end", .busyBar = true},
        FinishRow{.name = "any_bundle_name_installed_as_Quillbay_upper_case_TGZ_to_unzip", .fileName = "Client.TGZ",
                  .format = "zip", .unpackedNames = {"Store Client.app"}, .destinationHolds = "Store Client.app"},
        FinishRow{.name = "first_app_by_name_not_listing_order", .unpackedNames = {"Quillbay.app", "Z.app", "A.APP"},
                  .listing = std::optional<QStringList>(QStringList{"readme.txt", "Z.app", "A.APP", "Quillbay.app"})},
        FinishRow{.name = "file_named_app_is_no_bundle", .unpackedFiles = {"A.app"}},
        FinishRow{.name = "bundle_in_a_subfolder_is_silent", .unpackedNames = {"Quillbay", "Quillbay/Quillbay.app"},
                  .log = {kStopped + "the archive holds no bundle at its top"}, .destinationHolds = "nothing"},
        FinishRow{.name = "listing_error_is_silent", .listing = std::optional<QStringList>(),
                  .log = {kStopped + "the unpacked archive could not be listed"}, .destinationHolds = "nothing"},
        FinishRow{.name = "unpack_failure_is_silent", .unpacks = false,
                  .log = {kStopped + "the archive did not unpack (tar: exit 2)"}, .destinationHolds = "nothing"},
        FinishRow{.name = "existing_client_replaced_without_prompt", .existingClient = true},
        FinishRow{.name = "unwritten_entry_is_logged_and_the_client_starts", .entryWritten = false,
                  .log = {"console Desktop entry not written: disk full"}},
        FinishRow{.name = "failed_move_puts_the_old_client_back_then_asks_once", .existingClient = true,
                  .moveErrors = {{kSource, EXDEV}}, .privilegedAnswers = {kDone}},
        FinishRow{.name = "old_client_that_cannot_be_moved_needs_the_administrator", .existingClient = true,
                  .moveErrors = {{kDestination, EACCES}}, .privilegedAnswers = {kDone}},
        FinishRow{.name = "no_applications_folder_asks_the_administrator", .applicationsFolder = false,
                  .privilegedAnswers = {kDone}},
        FinishRow{.name = "refused_consent_installs_for_the_user_beside_the_old_client", .existingClient = true,
                  .moveErrors = {{kDestination, EACCES}}, .privilegedAnswers = {kRefused}, .log = {kForUser + "refused"},
                  .destinationHolds = "old", .forUser = true},
        FinishRow{.name = "no_pkexec_installs_for_the_user", .applicationsFolder = false,
                  .privilegedAnswers = {kCannotStart}, .log = {kForUser + "no pkexec"}, .destinationHolds = "nothing",
                  .forUser = true},
        FinishRow{.name = "user_install_that_cannot_move_stops", .moveErrors = {{kSource, EACCES}},
                  .privilegedAnswers = {kRefused}, .log = {kForUser + "refused",
                  kStopped + "the client could not be moved to " + kUserDestination}, .destinationHolds = "nothing"},
        FinishRow{.name = "user_folder_that_cannot_be_made_stops", .applicationsFolder = false, .userFolderMade = false,
                  .privilegedAnswers = {kRefused}, .log = {kForUser + "refused",
                  kStopped + "/home/player/Applications could not be made"}, .destinationHolds = "nothing"},
        FinishRow{.name = "failing_helper_stops_without_the_user_install", .existingClient = true,
                  .moveErrors = {{kDestination, EACCES}}, .privilegedAnswers = {foundation::Result<int>(18)},
                  .log = {kStopped + "the desktop entry could not be written; the old client is back (status 18)"},
                  .destinationHolds = "old"},
        FinishRow{.name = "launch_failure_leaves_the_flag_unset", .launches = false,
                  .log = {"console The client could not be started: scripted failure 13"}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Each exit status of the install helper: installed, or one "Install stopped" line naming what
// happened, and no install for the user alone after an administrator's failed install.
struct HelperAnswerRow {
    int status;
    const char* saying;  // a word of the log line
};

class HelperAnswerTest : public ::testing::TestWithParam<HelperAnswerRow>,
                         public DownloaderFixture {};

TEST_P(HelperAnswerTest, EndsAsTheHelperSays) {
    const HelperAnswerRow& row = GetParam();
    platform.addFolder(kSource);
    platform.moveErrors = {{kSource, EACCES}};
    install.privilegedAnswers = {foundation::Result<int>(row.status)};
    EXPECT_EQ(downloader.installClient(kSource, kDestination), row.status == 0);
    const QString logged = platform.log.calls().filter("console ").join('\n');
    EXPECT_TRUE(row.status == 0
                    ? logged.isEmpty()
                    : logged.startsWith(kStopped) &&
                          logged.contains(QString::fromUtf8(row.saying)) &&
                          logged.endsWith(QStringLiteral("(status %1)").arg(row.status)))
        << logged.toStdString();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Statuses, HelperAnswerTest,
    ::testing::Values(HelperAnswerRow{0, ""}, HelperAnswerRow{10, "arguments"}, HelperAnswerRow{11, "pkexec"},
                      HelperAnswerRow{12, "refused the unpacked client"}, HelperAnswerRow{13, "Info.plist"},
                      HelperAnswerRow{14, "/Applications could not be made"}, HelperAnswerRow{15, "copied"},
                      HelperAnswerRow{16, "set aside"}, HelperAnswerRow{17, "put in place"},
                      HelperAnswerRow{18, "desktop entry"}, HelperAnswerRow{19, "could not be put back"},
                      HelperAnswerRow{42, "install helper failed"}),
    [](const auto& info) { return "status_" + std::to_string(info.param.status); });
// clang-format on

const QString kShort =
    "The download ended before the whole file had arrived. Please try again later.";
const QString kLong = "The download was larger than announced. Please try again later.";

struct ShortRow {
    const char* name;
    qint64 announced;  // -2: no response at all
    qint64 sizeInBytes;
    quint64 received;
    const QString* refusal;  // the sheet's text; none: unpacked
};

class ShortDownloadTest : public ::testing::TestWithParam<ShortRow>, public DownloaderFixture {};

TEST_P(ShortDownloadTest, EndsInTheFailureSheetWithNothingUnpacked) {
    const ShortRow& row = GetParam();
    install.unpackResult = foundation::Status();
    startRelease(QStringLiteral("Quillbay.tgz"), row.sizeInBytes);
    if (row.announced >= -1) respond(row.announced);
    if (row.received > 0) receive(row.received);
    platform.addFile(downloader.downloadPath(), QString("part"));
    downloader.downloadDidFinish();
    if (row.refusal == nullptr) {
        EXPECT_EQ(count("archive.unpack"), 1) << calls();
        return;
    }
    const platform::Alert& alert = onlySheet();
    EXPECT_EQ(alert.buttonTitles.join("|") + "|" + alert.informativeText, "Quit|" + *row.refusal);
    EXPECT_FALSE(platform.exists(kWorkFolder) || handOff.isSet()) << calls();
    EXPECT_EQ(count("window.displayIfNeeded"), 0) << "the bar is not driven to 100";
    EXPECT_EQ(downloader.clientDownload(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShortDownloadTest,
    ::testing::Values(ShortRow{"announced_and_short", 1000, 0, 999, &kShort},
                      ShortRow{"announced_and_long", 1000, 0, 1001, &kLong},
                      ShortRow{"announced_beats_feed_size", 1000, 5000, 1000, nullptr},
                      ShortRow{"feed_size_and_short", -1, 2000, 1500, &kShort},
                      ShortRow{"feed_size_and_whole", -1, 2000, 2000, nullptr},
                      ShortRow{"no_response_feed_size_short", -2, 2000, 10, &kShort},
                      ShortRow{"no_length_anywhere", -1, 0, 123, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a length from the server, a body that runs past the release's size is stopped at once
// rather than written on until the server stops.
TEST(OversizeDownloadTest, StopsOnceTheBodyExceedsTheReleaseSize) {
    for (const qint64 response : {-1LL, -2LL}) {
        DownloaderFixture fixture;
        fixture.startRelease(QStringLiteral("Quillbay.tgz"), 2000);
        if (response == -1) fixture.respond(-1);
        fixture.receive(2000);
        EXPECT_EQ(fixture.count("download.cancel"), 0) << "the whole size is no excess";
        fixture.receive(1);
        EXPECT_EQ(joined(fixture.callsFrom("download.cancel")),
                  joined({"download.cancel", "file.remove " + kWorkFolder,
                          "window.beginSheet The Quillbay app could not be downloaded."}))
            << fixture.calls();
        EXPECT_EQ(fixture.onlySheet().informativeText, kLong);
        EXPECT_EQ(fixture.downloader.clientDownload(), nullptr);
        EXPECT_FALSE(fixture.platform.exists(kWorkFolder));
    }
}

}  // namespace
}  // namespace qby::testing

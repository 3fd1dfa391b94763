// The finished download is unpacked, installed, launched; and the short download.
#include "DownloaderFixture.h"

#include <QRegularExpression>
#include <cerrno>

namespace qby::testing {
namespace {

const QString kUserDestination = "/home/player/Applications/Quillbay.app";
const QString kStopped = "console Install stopped: ";

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
    bool applicationsWritable = true;
    QMap<QString, int> replaceErrors;  // destination -> errno
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
    if (!row.applicationsWritable) platform.unwritableFolders.insert("/Applications");
    platform.replaceErrors = row.replaceErrors;
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
    // Installed: the user's desktop entry, a second's pause, then the client launched where it
    // stands and a second for it to start.
    const bool installed = row.forUser || QString(row.destinationHolds).endsWith(".app");
    const QString at = row.forUser ? kUserDestination : kDestination;
    EXPECT_EQ(joined(after.filter("desktop.register")),
              installed ? "desktop.register " + at.toStdString() : "");
    QStringList started = {"sleep 1", "workspace.launch " + at};
    if (row.launches) started.append("sleep 1");
    EXPECT_EQ(joined(after.filter(QRegularExpression("^(sleep|workspace.launch)"))),
              installed ? joined(started) : "");
    EXPECT_EQ(handOff.isSet(), installed && row.launches);
    EXPECT_EQ(holds(kDestination), row.destinationHolds);
    EXPECT_EQ(holds(kUserDestination), row.forUser ? "Quillbay.app" : "nothing");
    EXPECT_TRUE(downloader.clientDownload() == nullptr && !downloader.downloadResponse());
    EXPECT_FALSE(platform.exists(kWorkFolder)) << "the download folder never stays";
    EXPECT_EQ(count("window.beginSheet"), 0) << "this road shows no message of its own";
    EXPECT_EQ(count("application.terminate"), 1);
}

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
        FinishRow{.name = "unwritable_applications_installs_for_the_user_beside_the_old_client",
                  .existingClient = true, .applicationsWritable = false, .destinationHolds = "old", .forUser = true},
        FinishRow{.name = "no_applications_folder_installs_for_the_user", .applicationsFolder = false,
                  .destinationHolds = "nothing", .forUser = true},
        FinishRow{.name = "user_folder_that_cannot_be_made_stops", .applicationsFolder = false, .userFolderMade = false,
                  .log = {kStopped + "/home/player/Applications could not be made"}, .destinationHolds = "nothing"},
        FinishRow{.name = "failed_replace_keeps_the_old_client_and_stops", .existingClient = true,
                  .replaceErrors = {{kDestination, EACCES}},
                  .log = {kStopped + "the client could not be put at " + kDestination + " (Permission denied)"},
                  .destinationHolds = "old"},
        FinishRow{.name = "launch_failure_leaves_the_flag_unset", .launches = false,
                  .log = {"console The client could not be started: scripted failure 13"}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A disk that fills up at any step ends in a sheet that says how much room the client needs; the
// download folder goes, the old client stays, the downloader is kept.
enum class FullAt { Download, Unpack, Install };

class DiskFullTest : public ::testing::TestWithParam<FullAt>, public DownloaderFixture {};

TEST_P(DiskFullTest, SaysHowMuchRoomTheClientNeeds) {
    const FullAt at = GetParam();
    const foundation::Error full{ENOSPC, "No space left on device"};
    platform.addFile(kDestination + "/Contents/old.txt", QString("old"));
    install.unpackResult = at == FullAt::Unpack ? foundation::Status(full) : foundation::Status();
    install.unpackedNames = {"Quillbay.app"};
    platform.replaceErrors = {{kDestination, ENOSPC}};
    startRelease(QStringLiteral("Quillbay.tgz"), 2'500'000);
    respond(-1);
    receive(at == FullAt::Download ? 1000 : 2'500'000);
    platform.addFile(downloader.downloadPath(), QString("archive"));
    at == FullAt::Download ? downloader.downloadDidFailWithError(full)
                           : downloader.downloadDidFinish();
    const platform::Alert& sheet = onlySheet();
    EXPECT_EQ(sheet.messageText.toStdString(), "The Quillbay app could not be downloaded.");
    EXPECT_EQ(sheet.informativeText.toStdString(),
              "The disk is full. The Quillbay app needs about 10 MB of free space. Please make "
              "room and try again.");
    EXPECT_EQ(count("file.replace"), at == FullAt::Install ? 1 : 0);
    EXPECT_TRUE(platform.exists(kDestination + "/Contents/old.txt")) << "the old client stays";
    EXPECT_FALSE(platform.exists(kWorkFolder)) << calls();
    EXPECT_FALSE(count("workspace.launch") > 0 || handOff.isSet());
    EXPECT_EQ(count("application.terminate"), 1) << "once the sheet is dismissed";
}

INSTANTIATE_TEST_SUITE_P(Steps, DiskFullTest,
                         ::testing::Values(FullAt::Download, FullAt::Unpack, FullAt::Install));

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

}  // namespace
}  // namespace qby::testing

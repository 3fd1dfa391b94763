#include "FakeWorld.h"
#include "downloader/QBYClientDownloader.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;

const QString kDrop = QStringLiteral("/home/user/.local/share/quillbay.com/Notifications");

// One launch of the downloader Game.K7.V9.app from Downloads, on the fake platform.
class LaunchSequenceTest : public ::testing::Test {
protected:
    LaunchSequenceTest() {
        platform.bundlePathValue = QStringLiteral("/home/user/Downloads/Game.K7.V9.app");
        platform.addFolder(platform.bundlePathValue + "/Contents");
        platform.addFile(QStringLiteral("/home/user/Downloads/Game.K7.V9.zip"), "");
    }

    std::shared_ptr<fake::FakeRunningApplication> client(const char* name, bool accepts = true) {
        return world.client(name, accepts);
    }
    void launch() { delegate.applicationDidFinishLaunching(); }
    qsizetype at(const QString& prefix) const { return platform.log.indexOf(prefix); }
    bool bundleRemoved() const { return !platform.exists(platform.bundlePathValue); }
    std::string calls() const { return world.calls(); }

    fake::FakeWorld world;
    FakePlatform& platform = world.platform;
    app::HandOffFlag& handOff = world.handOff;
    app::QBY_DownloaderAppDelegate& delegate = world.delegate;
};

TEST_F(LaunchSequenceTest, RunningClientGetsTheRequestActivationPauseAndNotification) {
    platform.running = {client("client")};
    launch();
    EXPECT_EQ(
        platform.log.calls().mid(at("file.createDirectory")),
        QStringList({"file.createDirectory " + kDrop,
                     "file.remove " + kDrop + "/download.TOKEN1.plist",
                     "plist.write " + kDrop + "/download.TOKEN1.plist",
                     "client.activateWithOptions 2", "sleep 1", "notifications.post QBY.Helper",
                     "application.terminate", "file.remove /home/user/Downloads/Game.K7.V9.app",
                     "file.remove /home/user/Downloads/Game.K7.V9.zip"}))
        << calls();
    EXPECT_EQ(platform.writtenPropertyLists.first(), (foundation::DownloadRequest{{"K7", "V9"}}));
    EXPECT_TRUE(handOff.isSet());
    EXPECT_TRUE(platform.alerts.empty());
    EXPECT_EQ(platform.log.count("application.activateIgnoringOtherApps"), 0);
    EXPECT_TRUE(bundleRemoved());
}

TEST_F(LaunchSequenceTest, InstalledClientIsLaunchedByPathThenNotified) {
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    platform.launchAnswer = {client("launched"), std::nullopt};
    launch();
    EXPECT_LT(at("application.activateIgnoringOtherApps 1"), at("plist.write")) << calls();
    EXPECT_LT(at("plist.write"), at("workspace.launch /Applications/Quillbay.app"));
    EXPECT_LT(at("workspace.launch"), at("sleep 1"));
    EXPECT_LT(at("sleep 1"), at("notifications.post QBY.Helper"));
    EXPECT_LT(at("notifications.post"), at("application.terminate"));
    EXPECT_EQ(platform.log.count("usleep"), 0) << "bring-to-front on nothing must not pause";
    EXPECT_EQ(platform.log.count("plist.write"), 1);
    EXPECT_TRUE(handOff.isSet());
    EXPECT_TRUE(bundleRemoved());
}

TEST_F(LaunchSequenceTest, ClientStartedMeanwhileIsBroughtToFrontInsteadOfLaunched) {
    platform.runningLater =
        std::vector<std::shared_ptr<platform::RunningApplication>>{client("late")};
    launch();
    EXPECT_LT(at("plist.write"), at("late.activateWithOptions 3")) << calls();
    EXPECT_LT(at("late.activateWithOptions 3"), at("usleep 100000"));
    EXPECT_LT(at("usleep 100000"), at("notifications.post QBY.Helper"));
    EXPECT_EQ(platform.log.count("workspace.launch"), 0);
    EXPECT_EQ(platform.log.count("workspace.registry"), 0);
    EXPECT_TRUE(handOff.isSet());
}

TEST_F(LaunchSequenceTest, RefusedBringToFrontFallsBackToLaunch) {
    platform.runningLater = std::vector<std::shared_ptr<platform::RunningApplication>>{
        client("late", /*accepts=*/false)};
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    platform.launchAnswer = {client("launched"), std::nullopt};
    launch();
    EXPECT_LT(at("usleep 100000"), at("workspace.registry")) << calls();
    EXPECT_LT(at("workspace.launch"), at("notifications.post"));
    EXPECT_TRUE(handOff.isSet());
}

TEST_F(LaunchSequenceTest, FailedLaunchKeepsTheDownloaderAndTheRequestFile) {
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    platform.launchAnswer = {nullptr, 2};
    launch();
    ASSERT_EQ(platform.alerts.size(), 1u) << calls();
    EXPECT_TRUE(platform.alerts.front().informativeText.endsWith("Error 2"));
    EXPECT_EQ(platform.log.count("notifications.post"), 0);
    EXPECT_EQ(platform.log.count("application.terminate"), 1);
    EXPECT_FALSE(handOff.isSet());
    EXPECT_FALSE(bundleRemoved());
    EXPECT_EQ(platform.writtenPropertyLists.size(), 1);
}

TEST_F(LaunchSequenceTest, ClientThatVanishedBeforeTheLaunchEndsInTheAlert) {
    // Installed at the look-up, gone when its path is asked for again.
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    platform.registryAnswersLeft = 1;
    platform.launchAnswer = {nullptr, 2};
    launch();
    EXPECT_EQ(platform.log.count("workspace.launch"), 1) << calls();
    EXPECT_EQ(platform.alerts.size(), 1u) << calls();
    EXPECT_FALSE(handOff.isSet());
}

struct OsGateCase {
    qint64 major, minor;
    bool refused;
};

class OsGateTest : public LaunchSequenceTest, public ::testing::WithParamInterface<OsGateCase> {};

TEST_P(OsGateTest, SystemsBeforeTenSixAreRefusedBeforeAnythingElse) {
    const OsGateCase& c = GetParam();
    platform.osVersion = platform::OperatingSystemVersion{c.major, c.minor, 0};
    platform.alertResponses = {platform::kAlertSecondButtonReturn};
    launch();
    const bool refused =
        !platform.alerts.empty() && platform.alerts.front().messageText == "Mac OS X is too old.";
    EXPECT_EQ(refused, c.refused) << c.major << "." << c.minor;
    if (c.refused) {  // and Quit opens nothing
        EXPECT_EQ(platform.log.count("workspace.runningApplications"), 0) << calls();
        EXPECT_EQ(platform.log.count("file.createDirectory"), 0) << calls();
        EXPECT_EQ(platform.log.count("workspace.openURL"), 0);
        EXPECT_EQ(platform.log.count("application.terminate"), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, OsGateTest,
                         ::testing::Values(OsGateCase{10, 5, true}, OsGateCase{10, 6, false},
                                           OsGateCase{11, 0, false}, OsGateCase{9, 9, true}));

TEST_F(LaunchSequenceTest, TooOldAlertSupportOpensThePageThenTerminates) {
    platform.osVersion = platform::OperatingSystemVersion{10, 5, 8};
    platform.alertResponses = {platform::kAlertFirstButtonReturn};
    platform.translations.insert("Support", "Hilfe");  // the texts come from the table
    launch();
    ASSERT_EQ(platform.alerts.size(), 1u);
    const platform::Alert& alert = platform.alerts.front();
    EXPECT_EQ(alert.informativeText,
              "The Quillbay app is needed to download your game. However the Quillbay app "
              "requires Mac OS X 10.6 or newer, and your version of Mac OS X is too old.");
    EXPECT_EQ(alert.buttonTitles, QStringList({"Hilfe", "Quit"}));
    EXPECT_EQ(platform.log.calls().mid(platform.log.calls().size() - 3),
              QStringList({"application.runModal Mac OS X is too old.",
                           "workspace.openURL https://www.quillbay.com/support/",
                           "application.terminate"}))
        << calls();
    EXPECT_LT(at("application.activateIgnoringOtherApps 1"), at("application.runModal"));
    EXPECT_FALSE(handOff.isSet());
    EXPECT_FALSE(bundleRemoved());
}

TEST_F(LaunchSequenceTest, InstallPromptQuitWritesNothing) {
    platform.alertResponses = {platform::kAlertSecondButtonReturn};
    launch();
    ASSERT_EQ(platform.alerts.size(), 1u);
    EXPECT_EQ(platform.alerts.front().messageText, "Quillbay Downloader");
    EXPECT_EQ(platform.alerts.front().informativeText,
              "This application will install the Quillbay app. The Quillbay app will then start "
              "and begin downloading your game.\n");
    EXPECT_EQ(platform.alerts.front().buttonTitles, QStringList({"Download & Install", "Quit"}));
    EXPECT_EQ(platform.log.count("file.createDirectory"), 0);
    EXPECT_EQ(platform.log.count("interface.load"), 0);
    EXPECT_EQ(platform.log.count("application.terminate"), 1);
    EXPECT_FALSE(bundleRemoved());
}

TEST_F(LaunchSequenceTest, DownloadAndInstallWritesTheRequestThenShowsTheWindow) {
    platform.alertResponses = {platform::kAlertFirstButtonReturn};
    launch();
    EXPECT_LT(at("plist.write"), at("interface.load ClientDownloader")) << calls();
    EXPECT_LT(at("interface.load"), at("window.center"));
    EXPECT_LT(at("window.center"), at("window.makeKeyAndOrderFront"));
    EXPECT_EQ(platform.log.count("notifications.post"), 0);
    EXPECT_EQ(platform.log.count("application.terminate"), 0);
    ASSERT_NE(downloader::QBYClientDownloader::sharedDownloader(), nullptr);

    // Cancel ends the application at once and leaves the downloader in place.
    ASSERT_TRUE(platform.window.cancel);
    platform.window.cancel();
    EXPECT_TRUE(downloader::QBYClientDownloader::sharedDownloader()->downloadCancelled());
    EXPECT_EQ(platform.log.count("application.terminate"), 1);
    EXPECT_FALSE(bundleRemoved());
}

TEST_F(LaunchSequenceTest, WindowThatCannotLoadEndsInTheInterfaceAlert) {
    platform.alertResponses = {platform::kAlertFirstButtonReturn};
    platform.windowLoads = false;
    launch();
    ASSERT_EQ(platform.alerts.size(), 2u);
    EXPECT_EQ(platform.alerts.back().messageText, "The Quillbay app could not be downloaded.");
    EXPECT_EQ(platform.alerts.back().informativeText,
              "A problem occurred while starting the download.");
    EXPECT_EQ(platform.alerts.back().buttonTitles, QStringList{"Quit"});
    EXPECT_EQ(platform.log.count("window."), 0);
    EXPECT_EQ(platform.log.count("application.terminate"), 1);
    EXPECT_EQ(platform.writtenPropertyLists.size(), 1) << "the request stays for a later client";
}

TEST_F(LaunchSequenceTest, RequestFileIsConsumedEvenWhenTheUserQuits) {
    platform.bundlePathValue = QStringLiteral("/home/user/Downloads/Game.app");
    platform.addFolder(platform.bundlePathValue);
    platform.addFile(QStringLiteral("/home/user/Downloads/.Game.txt"), QStringLiteral("a;b"));
    platform.alertResponses = {platform::kAlertSecondButtonReturn};
    launch();
    EXPECT_FALSE(platform.exists(QStringLiteral("/home/user/Downloads/.Game.txt")));
    EXPECT_TRUE(platform.writtenPropertyLists.isEmpty());
}

// The ways the drop folder fails are NotificationFileTest's; here the road after any of them.
TEST_F(LaunchSequenceTest, UnwrittenRequestKeepsTheDownloaderThatCarriesIt) {
    platform.running = {client("client")};
    platform.propertyListWritesSucceed = false;
    launch();
    // The road goes on as usual, but the downloader stays for another try.
    EXPECT_EQ(platform.log.count("notifications.post QBY.Helper"), 1) << calls();
    EXPECT_FALSE(handOff.isSet());
    EXPECT_FALSE(bundleRemoved());
}

TEST_F(LaunchSequenceTest, OpenStoreUrlOnlyTerminates) {
    delegate.openStoreURL();
    EXPECT_EQ(platform.log.calls(), QStringList{"application.terminate"});
}

TEST_F(LaunchSequenceTest, CleanUpDoesNothingWithoutHandOff) {
    delegate.applicationWillTerminate();
    EXPECT_TRUE(platform.log.calls().isEmpty());
}

}  // namespace
}  // namespace qby

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
    qsizetype n(const QString& prefix) const { return platform.log.count(prefix); }
    bool inOrder(const QStringList& prefixes) const { return platform.log.inOrder(prefixes); }
    // The one alert shown, as message, informative text and buttons.
    QStringList onlyAlert() const {
        if (platform.alerts.size() != 1)
            return {"alerts shown:", QString::number(platform.alerts.size())};
        const platform::Alert& a = platform.alerts.front();
        return QStringList{a.messageText, a.informativeText} + a.buttonTitles;
    }
    bool bundleRemoved() const { return !platform.exists(platform.bundlePathValue); }
    std::string calls() const { return world.calls(); }

    fake::FakeWorld world;
    FakePlatform& platform = world.platform;
    client::HandOffFlag& handOff = world.handOff;
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
    EXPECT_TRUE(handOff.isSet() && bundleRemoved());
    EXPECT_TRUE(platform.alerts.empty());
    EXPECT_EQ(n("application.activateIgnoringOtherApps"), 0);
}

TEST_F(LaunchSequenceTest, InstalledClientIsLaunchedByPathThenNotified) {
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    platform.launchAnswers(client("launched"));
    launch();
    EXPECT_TRUE(inOrder({"application.activateIgnoringOtherApps 1", "plist.write",
                         "workspace.launch /Applications/Quillbay.app", "sleep 1",
                         "notifications.post QBY.Helper", "application.terminate"}))
        << calls();
    EXPECT_EQ(n("usleep"), 0) << "bring-to-front on nothing must not pause";
    EXPECT_EQ(n("plist.write"), 1);
    EXPECT_TRUE(handOff.isSet() && bundleRemoved());
}

TEST_F(LaunchSequenceTest, ClientStartedMeanwhileIsBroughtToFrontInsteadOfLaunched) {
    platform.runningLater =
        std::vector<std::shared_ptr<platform::RunningApplication>>{client("late")};
    launch();
    EXPECT_TRUE(inOrder({"plist.write", "late.activateWithOptions 3", "usleep 100000",
                         "notifications.post QBY.Helper"}))
        << calls();
    EXPECT_EQ(n("workspace.launch") + n("workspace.registry"), 0);
    EXPECT_TRUE(handOff.isSet());
}

TEST_F(LaunchSequenceTest, RefusedBringToFrontFallsBackToLaunch) {
    platform.runningLater = std::vector<std::shared_ptr<platform::RunningApplication>>{
        client("late", /*accepts=*/false)};
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    platform.launchAnswers(client("launched"));
    launch();
    EXPECT_TRUE(
        inOrder({"usleep 100000", "workspace.registry", "workspace.launch", "notifications.post"}))
        << calls();
    EXPECT_TRUE(handOff.isSet());
}

TEST_F(LaunchSequenceTest, FailedLaunchKeepsTheDownloaderAndTheRequestFile) {
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    platform.launchFails(2);
    launch();
    EXPECT_TRUE(onlyAlert().value(1).endsWith("Error 2")) << calls();
    EXPECT_EQ(n("notifications.post"), 0);
    EXPECT_EQ(n("application.terminate"), 1);
    EXPECT_FALSE(handOff.isSet() || bundleRemoved());
    EXPECT_EQ(platform.writtenPropertyLists.size(), 1);
}

TEST_F(LaunchSequenceTest, ClientThatVanishedBeforeTheLaunchEndsInTheAlert) {
    // Installed at the look-up, gone when its path is asked for again.
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    platform.registryAnswersLeft = 1;
    platform.launchFails(2);
    launch();
    EXPECT_EQ(n("workspace.launch"), 1) << calls();
    EXPECT_EQ(platform.alerts.size(), 1u) << calls();
    EXPECT_FALSE(handOff.isSet());
}

class OsGateTest : public LaunchSequenceTest,
                   public ::testing::WithParamInterface<std::tuple<qint64, qint64, bool>> {};

TEST_P(OsGateTest, SystemsBeforeTenSixAreRefusedBeforeAnythingElse) {
    const auto [major, minor, refused] = GetParam();
    platform.osVersion = foundation::OperatingSystemVersion{major, minor, 0};
    platform.alertResponses = {platform::kAlertSecondButtonReturn};
    launch();
    EXPECT_EQ(onlyAlert().value(0) == "Mac OS X is too old.", refused) << major << "." << minor;
    // And Quit opens nothing.
    if (refused)
        EXPECT_EQ(
            platform.log.calls().mid(at("application.runModal")),
            QStringList({"application.runModal Mac OS X is too old.", "application.terminate"}))
            << calls();
}

INSTANTIATE_TEST_SUITE_P(Versions, OsGateTest,
                         ::testing::Values(std::tuple{10, 5, true}, std::tuple{10, 6, false},
                                           std::tuple{11, 0, false}, std::tuple{9, 9, true}));

TEST_F(LaunchSequenceTest, TooOldAlertSupportOpensThePageThenTerminates) {
    platform.osVersion = foundation::OperatingSystemVersion{10, 5, 8};
    platform.alertResponses = {platform::kAlertFirstButtonReturn};
    platform.translations.insert("Support", "Hilfe");  // the texts come from the table
    launch();
    EXPECT_EQ(onlyAlert(),
              QStringList({"Mac OS X is too old.",
                           "The Quillbay app is needed to download your game. However the Quillbay "
                           "app requires Mac OS X 10.6 or newer, and your version of Mac OS X is "
                           "too old.",
                           "Hilfe", "Quit"}));
    EXPECT_EQ(
        platform.log.calls().mid(at("application.")),
        QStringList(
            {"application.activateIgnoringOtherApps 1", "application.runModal Mac OS X is too old.",
             "workspace.openURL https://www.quillbay.com/support/", "application.terminate"}))
        << calls();
    EXPECT_FALSE(handOff.isSet() || bundleRemoved());
}

TEST_F(LaunchSequenceTest, InstallPromptQuitWritesNothing) {
    platform.alertResponses = {platform::kAlertSecondButtonReturn};
    launch();
    EXPECT_EQ(onlyAlert(),
              QStringList({"Quillbay Downloader",
                           "This application will install the Quillbay app. The Quillbay app will "
                           "then start and begin downloading your game.\n",
                           "Download & Install", "Quit"}));
    EXPECT_EQ(n("file.createDirectory") + n("interface.load"), 0);
    EXPECT_EQ(n("application.terminate"), 1);
    EXPECT_FALSE(bundleRemoved());
}

TEST_F(LaunchSequenceTest, DownloadAndInstallWritesTheRequestThenShowsTheWindow) {
    platform.alertResponses = {platform::kAlertFirstButtonReturn};
    launch();
    EXPECT_TRUE(inOrder({"plist.write", "interface.load ClientDownloader", "window.center",
                         "window.makeKeyAndOrderFront"}))
        << calls();
    EXPECT_EQ(n("notifications.post") + n("application.terminate"), 0);
    ASSERT_NE(downloader::QBYClientDownloader::sharedDownloader(), nullptr);

    // Cancel ends the application at once and leaves the downloader in place.
    ASSERT_TRUE(platform.window.cancel);
    platform.window.cancel();
    EXPECT_TRUE(downloader::QBYClientDownloader::sharedDownloader()->downloadCancelled());
    EXPECT_EQ(n("application.terminate"), 1);
    EXPECT_FALSE(bundleRemoved());
}

TEST_F(LaunchSequenceTest, WindowThatCannotLoadEndsInTheInterfaceAlert) {
    platform.alertResponses = {platform::kAlertFirstButtonReturn};
    platform.windowLoads = false;
    launch();
    ASSERT_EQ(platform.alerts.size(), 2u);
    platform.alerts.erase(platform.alerts.begin());
    EXPECT_EQ(onlyAlert(),
              QStringList({"The Quillbay app could not be downloaded.",
                           "A problem occurred while starting the download.", "Quit"}));
    EXPECT_EQ(n("window."), 0);
    EXPECT_EQ(n("application.terminate"), 1);
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
    EXPECT_EQ(n("notifications.post QBY.Helper"), 1) << calls();
    EXPECT_FALSE(handOff.isSet() || bundleRemoved());
}

// The clean-up that termination runs removes nothing without a hand-off.
TEST_F(LaunchSequenceTest, OpenStoreUrlOnlyTerminates) {
    delegate.openStoreURL();
    EXPECT_EQ(platform.log.calls(), QStringList{"application.terminate"});
}

}  // namespace
}  // namespace qby

#include "FakeWorld.h"
#include "NamedCase.h"
#include "downloader/QBYClientDownloader.h"

#include <functional>
#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;

const QString kBundle = QStringLiteral("/home/user/Downloads/Game.K7.V9.app");
const QString kZipBeside = QStringLiteral("/home/user/Downloads/Game.K7.V9.zip");
const QString kClientPath = QStringLiteral("/Applications/Quillbay.app");
const QString kTooOld = QStringLiteral("Mac OS X is too old.");
const QString kPrompt = QStringLiteral("Quillbay Downloader");

// One launch of the downloader Game.K7.V9.app from Downloads, on the fake platform.
class LaunchSequenceTest : public ::testing::Test {
protected:
    LaunchSequenceTest() {
        platform.bundlePathValue = kBundle;
        platform.addFolder(kBundle + "/Contents");
        platform.addFile(kZipBeside, "");
    }

    void launch() { delegate.applicationDidFinishLaunching(); }
    qsizetype n(const QString& prefix) const { return platform.log.count(prefix); }
    QStringList alertMessages() const {
        QStringList messages;
        for (const platform::Alert& alert : platform.alerts) messages << alert.messageText;
        return messages;
    }
    // The alert shown as message, informative text and buttons.
    QStringList alertAt(size_t i) const {
        if (i >= platform.alerts.size()) return {"no alert", QString::number(i)};
        const platform::Alert& a = platform.alerts[i];
        return QStringList{a.messageText, a.informativeText} + a.buttonTitles;
    }
    bool downloaderRemoved() const {
        return !platform.exists(kBundle) && !platform.exists(kZipBeside) && handOff.isSet();
    }
    std::string calls() const { return world.calls(); }

    fake::FakeWorld world;
    FakePlatform& platform = world.platform;
    client::HandOffFlag& handOff = world.handOff;
    app::QBY_DownloaderAppDelegate& delegate = world.delegate;
};

// What the user ends up with after one launch, by situation.
struct LaunchCase : testsupport::NamedCase {
    std::function<void(fake::FakeWorld&)> situation;
    QStringList alerts;  // their messages, in order
    qsizetype requestsWritten;
    bool clientLaunched;
    bool clientTold;  // the notification posted
    bool windowShown;
    bool downloaderRemoved;
};

class LaunchOutcomeTest : public LaunchSequenceTest,
                          public ::testing::WithParamInterface<LaunchCase> {};

TEST_P(LaunchOutcomeTest, LeavesTheUserWith) {
    const LaunchCase& c = GetParam();
    c.situation(world);
    launch();
    EXPECT_EQ(alertMessages(), c.alerts) << calls();
    EXPECT_EQ(platform.writtenPropertyLists.size(), c.requestsWritten);
    EXPECT_EQ(n("workspace.launch") > 0, c.clientLaunched);
    EXPECT_EQ(n("notifications.post QBY.Helper"), c.clientTold ? 1 : 0);
    EXPECT_EQ(n("window.makeKeyAndOrderFront") > 0, c.windowShown);
    EXPECT_EQ(downloaderRemoved(), c.downloaderRemoved);
    // Only the download window keeps the application going.
    EXPECT_EQ(n("application.terminate"), c.windowShown ? 0 : 1);
}

void installed(fake::FakeWorld& w) {
    w.platform.registeredClientPath = kClientPath;
    w.platform.launchAnswers(w.client("launched"));
}
void startedMeanwhile(fake::FakeWorld& w, bool accepts) {
    w.platform.runningLater =
        std::vector<std::shared_ptr<platform::RunningApplication>>{w.client("late", accepts)};
}
auto onSystem(qint64 major, qint64 minor, int response) {
    return [=](fake::FakeWorld& w) {
        w.platform.osVersion = foundation::OperatingSystemVersion{major, minor, 0};
        w.platform.alertResponses = {response};
    };
}
const QString kNotStarted = QStringLiteral("The Quillbay app could not be started.");
const QString kNotDownloaded = QStringLiteral("The Quillbay app could not be downloaded.");
constexpr int kFirst = platform::kAlertFirstButtonReturn;
constexpr int kSecond = platform::kAlertSecondButtonReturn;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Roads, LaunchOutcomeTest,
    ::testing::Values(
        LaunchCase{{"running_client"}, [](auto& w) { w.platform.running = {w.client("client")}; },
                   {}, 1, false, true, false, true},
        LaunchCase{{"installed_client"}, installed, {}, 1, true, true, false, true},
        LaunchCase{{"started_meanwhile"}, [](auto& w) { startedMeanwhile(w, true); },
                   {}, 1, false, true, false, true},
        LaunchCase{{"refuses_the_front"}, [](auto& w) { startedMeanwhile(w, false); installed(w); },
                   {}, 1, true, true, false, true},
        LaunchCase{{"launch_fails"}, [](auto& w) {
                       w.platform.registeredClientPath = kClientPath; w.platform.launchFails(2); },
                   {kNotStarted}, 1, true, false, false, false},
        // Installed at the look-up, gone when its path is asked for again.
        LaunchCase{{"client_vanished"}, [](auto& w) {
                       w.platform.registeredClientPath = kClientPath;
                       w.platform.registryAnswersLeft = 1; w.platform.launchFails(2); },
                   {kNotStarted}, 1, true, false, false, false},
        // A request that could not be written: the downloader stays, carrying it.
        LaunchCase{{"request_unwritten"}, [](auto& w) {
                       w.platform.running = {w.client("client")};
                       w.platform.propertyListWritesSucceed = false; },
                   {}, 0, false, true, false, false},
        LaunchCase{{"system_10_5"}, onSystem(10, 5, kSecond), {kTooOld}, 0, false, false, false, false},
        LaunchCase{{"system_9_9"}, onSystem(9, 9, kSecond), {kTooOld}, 0, false, false, false, false},
        LaunchCase{{"system_10_6_quits"}, onSystem(10, 6, kSecond), {kPrompt}, 0, false, false, false, false},
        LaunchCase{{"system_11_installs"}, onSystem(11, 0, kFirst), {kPrompt}, 1, false, false, true, false},
        LaunchCase{{"window_unloadable"}, [](auto& w) { w.platform.windowLoads = false; },
                   {kPrompt, kNotDownloaded}, 1, false, false, false, false}),
    testsupport::CaseName{});
// clang-format on

TEST_F(LaunchSequenceTest, RunningClientHasASecondBetweenActivationAndNotification) {
    platform.running = {world.client("client")};
    launch();
    EXPECT_TRUE(platform.log.inOrder(
        {"client.activateWithOptions 2", "sleep 1", "notifications.post QBY.Helper"}))
        << calls();
    EXPECT_EQ(platform.writtenPropertyLists.first(), (foundation::DownloadRequest{{"K7", "V9"}}));
    EXPECT_EQ(n("application.activateIgnoringOtherApps"), 0);
}

TEST_F(LaunchSequenceTest, TooOldAlertSupportOpensThePage) {
    platform.osVersion = foundation::OperatingSystemVersion{10, 5, 8};
    platform.alertResponses = {kFirst};
    platform.translations.insert("Support", "Hilfe");  // the texts come from the table
    launch();
    EXPECT_EQ(alertAt(0),
              QStringList({kTooOld,
                           "The Quillbay app is needed to download your game. However the Quillbay "
                           "app requires Mac OS X 10.6 or newer, and your version of Mac OS X is "
                           "too old.",
                           "Hilfe", "Quit"}));
    EXPECT_EQ(n("workspace.openURL https://www.quillbay.com/support/"), 1) << calls();
    EXPECT_EQ(n("application.terminate"), 1);
}

TEST_F(LaunchSequenceTest, InstallPromptAndTheWindowThatCannotLoad) {
    platform.windowLoads = false;
    launch();
    EXPECT_EQ(alertAt(0),
              QStringList({kPrompt,
                           "This application will install the Quillbay app. The Quillbay app will "
                           "then start and begin downloading your game.\n",
                           "Download & Install", "Quit"}));
    EXPECT_EQ(alertAt(1), QStringList({kNotDownloaded,
                                       "A problem occurred while starting the download.", "Quit"}));
}

TEST_F(LaunchSequenceTest, CancelInTheDownloadWindowEndsAtOnceAndKeepsTheDownloader) {
    launch();
    ASSERT_NE(downloader::QBYClientDownloader::sharedDownloader(), nullptr);
    ASSERT_TRUE(platform.window.cancel);
    platform.window.cancel();
    EXPECT_TRUE(downloader::QBYClientDownloader::sharedDownloader()->downloadCancelled());
    EXPECT_EQ(n("application.terminate"), 1);
    EXPECT_TRUE(platform.exists(kBundle));
}

TEST_F(LaunchSequenceTest, RequestFileIsConsumedEvenWhenTheUserQuits) {
    platform.bundlePathValue = QStringLiteral("/home/user/Downloads/Game.app");
    platform.addFolder(platform.bundlePathValue);
    platform.addFile(QStringLiteral("/home/user/Downloads/.Game.txt"), QStringLiteral("a;b"));
    platform.alertResponses = {kSecond};
    launch();
    EXPECT_FALSE(platform.exists(QStringLiteral("/home/user/Downloads/.Game.txt")));
    EXPECT_TRUE(platform.writtenPropertyLists.isEmpty());
}

// The clean-up that termination runs removes nothing without a hand-off.
TEST_F(LaunchSequenceTest, OpenStoreUrlOnlyTerminates) {
    delegate.openStoreURL();
    EXPECT_EQ(platform.log.calls(), QStringList{"application.terminate"});
}

}  // namespace
}  // namespace qby

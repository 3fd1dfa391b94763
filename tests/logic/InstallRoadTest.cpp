// The install road through the application delegate: the downloader it builds gets the services
// and sets the hand-off flag only when the request reached the drop folder.
#include "FakeInstallServices.h"
#include "FakePlatform.h"
#include "app/QBY_DownloaderAppDelegate.h"
#include "client/ClientIdentity.h"
#include "downloader/QBYClientDownloader.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

struct RoadRow {
    const char* name;
    bool requestWritten;
};

class InstallRoadTest : public ::testing::TestWithParam<RoadRow> {};

TEST_P(InstallRoadTest, InstalledClientTakesOverOnlyWithTheRequestInTheDropFolder) {
    fake::FakePlatform platform;
    platform.bundlePathValue = QStringLiteral("/home/user/Downloads/Game.K7.V9.app");
    platform.addFolder(platform.bundlePathValue + "/Contents");
    platform.addFolder(QStringLiteral("/tmp"));
    platform.addFolder(QStringLiteral("/Applications"));
    platform.propertyListWritesSucceed = GetParam().requestWritten;
    platform.alertResponses = {platform::kAlertFirstButtonReturn};  // Download & Install
    platform.launchAnswer = {std::make_shared<fake::FakeRunningApplication>(
                                 platform.log, kClientBundleIdentifier, QStringLiteral("client")),
                             std::nullopt};
    fake::FakeInstallServices install(platform);
    install.unpackResult = Status();
    install.unpackedNames = {QStringLiteral("Quillbay.app")};
    SystemInfo systemInfo(platform);
    QBYClientProxy proxy({platform, platform, platform, platform, platform, platform, systemInfo});
    HandOffFlag handOff;
    QBY_DownloaderAppDelegate delegate(platform.services(), proxy, systemInfo, handOff,
                                       install.services());
    platform.setTerminationHandler([&] { delegate.applicationWillTerminate(); });

    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(platform.log.count("dispatch.async"), 1) << "the feed is fetched in the background";
    QBYClientDownloader* downloader = QBYClientDownloader::sharedDownloader();
    ASSERT_NE(downloader, nullptr);
    downloader->doDownload({QVariantMap{{"minimumSystemVersion", "10.6"},
                                        {"url", "https://cdn.quillbay.com/Quillbay.zip"}}});
    ASSERT_EQ(install.downloads.size(), 1u) << platform.log.toString().toStdString();
    platform.addFile(install.downloads.front()->destination, QString("zip"));
    downloader->downloadDidFinish();

    EXPECT_EQ(platform.log.count("workspace.launch /Applications/Quillbay.app"), 1);
    EXPECT_EQ(handOff.isSet(), GetParam().requestWritten);
    EXPECT_EQ(platform.exists(platform.bundlePathValue), !GetParam().requestWritten)
        << "the downloader removes itself only once the request is with the client";
}

INSTANTIATE_TEST_SUITE_P(Rows, InstallRoadTest,
                         ::testing::Values(RoadRow{"request_written", true},
                                           RoadRow{"drop_folder_broken", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qby

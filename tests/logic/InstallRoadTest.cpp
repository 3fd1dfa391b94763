// The install road through the application delegate: the downloader it builds gets the services
// and sets the hand-off flag only when the request reached the drop folder.
#include "FakeWorld.h"
#include "downloader/QBYClientDownloader.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

class InstallRoadTest : public ::testing::TestWithParam<bool> {};

TEST_P(InstallRoadTest, InstalledClientTakesOverOnlyWithTheRequestInTheDropFolder) {
    const bool requestWritten = GetParam();
    fake::FakeWorld world;
    fake::FakePlatform& platform = world.platform;
    platform.addFolder(platform.bundlePathValue + "/Contents");
    platform.addFolder(QStringLiteral("/tmp"));
    platform.addFolder(QStringLiteral("/Applications"));
    platform.propertyListWritesSucceed = requestWritten;
    platform.alertResponses = {platform::kAlertFirstButtonReturn};  // Download & Install
    platform.launchAnswers(world.client("client"));
    world.install.unpackResult = foundation::Status();
    world.install.unpackedNames = {QStringLiteral("Quillbay.app")};
    world.install.desktopEntryResult = foundation::Status();

    world.delegate.applicationDidFinishLaunching();
    EXPECT_EQ(platform.log.count("dispatch.async"), 1) << "the feed is fetched in the background";
    downloader::QBYClientDownloader* downloader =
        downloader::QBYClientDownloader::sharedDownloader();
    ASSERT_NE(downloader, nullptr);
    downloader->doDownload({QVariantMap{{"minimumSystemVersion", "10.6"},
                                        {"url", "https://cdn.quillbay.com/Quillbay.zip"}}});
    ASSERT_EQ(world.install.downloads.size(), 1u) << world.calls();
    platform.addFile(world.install.downloads.front()->destination, QString("zip"));
    downloader->downloadDidFinish();

    EXPECT_EQ(platform.log.count("workspace.launch /Applications/Quillbay.app"), 1);
    EXPECT_EQ(world.handOff.isSet(), requestWritten);
    EXPECT_EQ(platform.exists(platform.bundlePathValue), !requestWritten)
        << "the downloader removes itself only once the request is with the client";
}

INSTANTIATE_TEST_SUITE_P(RequestWritten, InstallRoadTest, ::testing::Bool());

}  // namespace
}  // namespace qby

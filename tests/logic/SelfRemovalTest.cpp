#include "FakeWorld.h"
#include "NamedCase.h"
#include "app/SelfRemoval.h"

#include <QRegularExpression>
#include <cerrno>
#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;

const QString kDownloads = QStringLiteral("/home/user/Downloads/");
const QString kMedia = QStringLiteral("/media/disk/Game.app");
const QString kInner = QStringLiteral("/media/Game.app/Contents/Helpers/Inner.app");

struct RemovalCase : testsupport::NamedCase {
    QString bundle;
    QMap<QString, int> errors;  // path -> errno answered by removeItem
    qint64 major, minor;
    QStringList removals;  // every removeItem, in order
    bool folder = true;    // false: the bundle path is a plain file
};

class SelfRemovalTest : public ::testing::TestWithParam<RemovalCase> {};

// The downloader in Downloads beside the archive it came in, or run from elsewhere.
TEST_P(SelfRemovalTest, RemovesTheBundleThenItsArchiveOrTheDownloadsCopy) {
    const RemovalCase& c = GetParam();
    fake::FakeWorld world;
    FakePlatform& platform = world.platform;
    platform.addFile(kDownloads + "Game.app/Contents/Info.plist", "");
    platform.addFile(kDownloads + "Game.zip", "");
    platform.bundlePathValue = c.bundle;
    c.folder ? platform.addFolder(c.bundle) : platform.addFile(c.bundle, "");
    platform.removalErrors = c.errors;
    platform.osVersion = foundation::OperatingSystemVersion{c.major, c.minor, 0};
    app::removeDownloaderFiles(platform, platform, world.systemInfo);
    QStringList removals = platform.log.calls().filter(QRegularExpression("^file.remove "));
    removals.replaceInStrings(QRegularExpression("^file.remove "), "");
    EXPECT_EQ(removals, c.removals) << world.calls();
}

const QStringList kBoth = {kDownloads + "Game.app", kDownloads + "Game.zip"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Roads, SelfRemovalTest,
    ::testing::Values(
        RemovalCase{"InDownloads", kDownloads + "Game.app", {}, 12, 0, kBoth},
        RemovalCase{"ReadOnlyFallsBackToTheDownloadsCopy", kMedia, {{kMedia, EROFS}}, 12, 0, QStringList{kMedia} + kBoth},
        RemovalCase{"FallbackTakesTheOutermostBundle", kInner, {{kInner, EROFS}}, 12, 0, QStringList{kInner} + kBoth},
        RemovalCase{"FailedFallbackLeavesTheArchive", kMedia, {{kMedia, EROFS}, {kDownloads + "Game.app", EACCES}},
                    12, 0, {kMedia, kDownloads + "Game.app"}},
        RemovalCase{"NoFallbackOnPermission", kMedia, {{kMedia, EACCES}}, 12, 0, {kMedia}},
        RemovalCase{"NoFallbackOnTenEleven", kMedia, {{kMedia, EROFS}}, 10, 11, {kMedia}},
        RemovalCase{"NotABundle", "/usr/local/bin", {}, 12, 0, {}}, RemovalCase{"ExtensionOnly", kDownloads + ".app", {}, 12, 0, {}},
        RemovalCase{"UpperCaseExtension", kDownloads + "Game.App", {}, 12, 0, {}},
        RemovalCase{"PlainFileNamedLikeABundle", kDownloads + "Fake.app", {}, 12, 0, {}, false}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby

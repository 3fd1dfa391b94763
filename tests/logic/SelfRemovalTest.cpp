#include "FakeWorld.h"
#include "NamedCase.h"
#include "app/SelfRemoval.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qby {
namespace {

using fake::FakePlatform;

// The downloader Game.app in Downloads, beside the archive it came in.
class SelfRemovalTest : public ::testing::Test {
protected:
    SelfRemovalTest() {
        platform.addFile(QStringLiteral("/home/user/Downloads/Game.app/Contents/Info.plist"), "");
        platform.addFile(QStringLiteral("/home/user/Downloads/Game.zip"), "");
    }
    void remove() { removeDownloaderFiles(platform, platform, world.systemInfo); }
    bool exists(const char* path) const { return platform.exists(QString::fromUtf8(path)); }

    fake::FakeWorld world;
    FakePlatform& platform = world.platform;
};

struct ArchiveCase {
    const char* bundle;
    const char* archive;
};

class ArchiveBesideBundleTest : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveBesideBundleTest, LosesOnlyTheLastExtension) {
    EXPECT_EQ(archiveBesideBundle(QString::fromUtf8(GetParam().bundle)),
              QString::fromUtf8(GetParam().archive));
}

INSTANTIATE_TEST_SUITE_P(Paths, ArchiveBesideBundleTest,
                         ::testing::Values(ArchiveCase{"/d/Game.app", "/d/Game.zip"},
                                           ArchiveCase{"/d/Game.K7.V9.app", "/d/Game.K7.V9.zip"},
                                           ArchiveCase{"/d/Game", "/d/Game.zip"},
                                           ArchiveCase{"/d.x/Game", "/d.x/Game.zip"}));

TEST_F(SelfRemovalTest, RemovesTheBundleThenItsArchive) {
    remove();
    EXPECT_FALSE(exists("/home/user/Downloads/Game.app"));
    EXPECT_FALSE(exists("/home/user/Downloads/Game.zip"));
    EXPECT_TRUE(exists("/home/user/Downloads"));
}

TEST_F(SelfRemovalTest, ReadOnlyBundleFallsBackToTheDownloadsCopy) {
    platform.bundlePathValue = QStringLiteral("/media/disk/Game.app");
    platform.addFolder(QStringLiteral("/media/disk/Game.app/Contents"));
    platform.removalErrors.insert(QStringLiteral("/media/disk/Game.app"), EROFS);
    remove();
    EXPECT_FALSE(exists("/home/user/Downloads/Game.app"));
    EXPECT_FALSE(exists("/home/user/Downloads/Game.zip"));
    EXPECT_TRUE(exists("/media/disk/Game.app"));
    EXPECT_EQ(platform.log.count("file.remove /media/disk/Game.zip"), 0);
}

TEST_F(SelfRemovalTest, FallbackTakesTheOutermostBundleOfThePath) {
    platform.bundlePathValue = QStringLiteral("/media/Game.app/Contents/Helpers/Inner.app");
    platform.addFolder(platform.bundlePathValue);
    platform.removalErrors.insert(platform.bundlePathValue, EROFS);
    remove();
    EXPECT_FALSE(exists("/home/user/Downloads/Game.app"));
}

struct NoFallbackCase : testsupport::NamedCase {
    int error;
    qint64 major, minor;
};

class NoFallbackTest : public SelfRemovalTest,
                       public ::testing::WithParamInterface<NoFallbackCase> {};

TEST_P(NoFallbackTest, ForOtherFailuresOrOlderSystems) {
    platform.osVersion = platform::OperatingSystemVersion{GetParam().major, GetParam().minor, 0};
    platform.bundlePathValue = QStringLiteral("/media/disk/Game.app");
    platform.addFolder(platform.bundlePathValue);
    platform.removalErrors.insert(platform.bundlePathValue, GetParam().error);
    remove();
    EXPECT_EQ(platform.log.count("file.remove"), 1) << world.calls();
}

INSTANTIATE_TEST_SUITE_P(Failures, NoFallbackTest,
                         ::testing::Values(NoFallbackCase{"Permission", EACCES, 12, 0},
                                           NoFallbackCase{"Busy", EBUSY, 12, 0},
                                           NoFallbackCase{"ReadOnlyOnTenEleven", EROFS, 10, 11},
                                           NoFallbackCase{"ReadOnlyOnNineNine", EROFS, 9, 9}),
                         testsupport::CaseName{});

TEST_F(SelfRemovalTest, FailedFallbackLeavesTheArchive) {
    platform.bundlePathValue = QStringLiteral("/media/disk/Game.app");
    platform.addFolder(platform.bundlePathValue);
    platform.removalErrors.insert(platform.bundlePathValue, EROFS);
    platform.removalErrors.insert(QStringLiteral("/home/user/Downloads/Game.app"), EACCES);
    remove();
    EXPECT_TRUE(exists("/home/user/Downloads/Game.zip"));
}

class NotABundleTest : public SelfRemovalTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NotABundleTest, IsNeverRemoved) {
    platform.bundlePathValue = QString::fromUtf8(GetParam());
    platform.addFolder(platform.bundlePathValue);
    remove();
    EXPECT_EQ(platform.log.count("file.remove"), 0) << world.calls();
}

INSTANTIATE_TEST_SUITE_P(Paths, NotABundleTest,
                         ::testing::Values("/usr/local/bin", "/home/user",
                                           "/home/user/Downloads/.app",
                                           "/home/user/Downloads/Game.App"));

TEST_F(SelfRemovalTest, APlainFileNamedLikeABundleIsNotOne) {
    platform.bundlePathValue = QStringLiteral("/home/user/Downloads/Fake.app");
    platform.addFile(platform.bundlePathValue, "");
    remove();
    EXPECT_TRUE(platform.exists(platform.bundlePathValue));
}

}  // namespace
}  // namespace qby

#include "FakePlatform.h"
#include "app/SelfRemoval.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qby {
namespace {

using fake::FakePlatform;

TEST(ArchiveBesideBundle, LosesOnlyTheLastExtension) {
    const struct {
        const char* bundle;
        const char* archive;
    } cases[] = {{"/d/Game.app", "/d/Game.zip"},
                 {"/d/Game.K7.V9.app", "/d/Game.K7.V9.zip"},
                 {"/d/Game", "/d/Game.zip"},
                 {"/d.x/Game", "/d.x/Game.zip"}};
    for (const auto& c : cases)
        EXPECT_EQ(archiveBesideBundle(QString::fromUtf8(c.bundle)), QString::fromUtf8(c.archive));
}

class SelfRemovalTest : public ::testing::Test {
protected:
    SelfRemovalTest() : systemInfo(platform) {
        platform.addFile(QStringLiteral("/home/user/Downloads/Game.app/Contents/Info.plist"), "");
        platform.addFile(QStringLiteral("/home/user/Downloads/Game.zip"), "");
    }
    void remove() { removeDownloaderFiles(platform, platform, systemInfo); }
    bool exists(const char* path) const { return platform.exists(QString::fromUtf8(path)); }

    FakePlatform platform;
    SystemInfo systemInfo;
};

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

TEST_F(SelfRemovalTest, NoFallbackForOtherFailuresOrOlderSystems) {
    const struct {
        const char* name;
        int error;
        qint64 major, minor;
    } cases[] = {{"permission", EACCES, 12, 0},
                 {"busy", EBUSY, 12, 0},
                 {"read-only on 10.11", EROFS, 10, 11},
                 {"read-only on 9.9", EROFS, 9, 9}};
    for (const auto& c : cases) {
        FakePlatform fresh;
        fresh.osVersion = platform::OperatingSystemVersion{c.major, c.minor, 0};
        fresh.bundlePathValue = QStringLiteral("/media/disk/Game.app");
        fresh.addFolder(fresh.bundlePathValue);
        fresh.addFolder(QStringLiteral("/home/user/Downloads/Game.app"));
        fresh.addFile(QStringLiteral("/home/user/Downloads/Game.zip"), "");
        fresh.removalErrors.insert(fresh.bundlePathValue, c.error);
        SystemInfo info(fresh);
        removeDownloaderFiles(fresh, fresh, info);
        EXPECT_EQ(fresh.log.count("file.remove"), 1) << c.name << "\n"
                                                     << fresh.log.toString().toStdString();
    }
}

TEST_F(SelfRemovalTest, FailedFallbackLeavesTheArchive) {
    platform.bundlePathValue = QStringLiteral("/media/disk/Game.app");
    platform.addFolder(platform.bundlePathValue);
    platform.removalErrors.insert(platform.bundlePathValue, EROFS);
    platform.removalErrors.insert(QStringLiteral("/home/user/Downloads/Game.app"), EACCES);
    remove();
    EXPECT_TRUE(exists("/home/user/Downloads/Game.zip"));
}

TEST_F(SelfRemovalTest, NeverRemovesWhatIsNotABundleFolder) {
    const char* notBundles[] = {"/usr/local/bin", "/home/user", "/home/user/Downloads/.app",
                                "/home/user/Downloads/Game.App"};
    for (const char* path : notBundles) {
        FakePlatform fresh;
        fresh.bundlePathValue = QString::fromUtf8(path);
        fresh.addFolder(fresh.bundlePathValue);
        SystemInfo info(fresh);
        removeDownloaderFiles(fresh, fresh, info);
        EXPECT_EQ(fresh.log.count("file.remove"), 0) << path;
    }
    // A plain file named like a bundle is not a bundle either.
    FakePlatform fresh;
    fresh.bundlePathValue = QStringLiteral("/home/user/Downloads/Fake.app");
    fresh.addFile(fresh.bundlePathValue, "");
    SystemInfo info(fresh);
    removeDownloaderFiles(fresh, fresh, info);
    EXPECT_TRUE(fresh.exists(fresh.bundlePathValue));
}

}  // namespace
}  // namespace qby

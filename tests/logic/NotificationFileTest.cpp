#include "FakePlatform.h"
#include "client/NotificationFileWriter.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;

const QString kDropFolder = QStringLiteral("/home/user/.local/share/quillbay.com/Notifications");

client::NotificationFileServices servicesOf(FakePlatform& platform) {
    return {platform, platform, platform, platform};
}

TEST(NotificationFile, CreatesTheFolderAndWritesTheRequestUnderAFreshName) {
    FakePlatform platform;
    const foundation::DownloadRequest request{{"K7", "V9"}, {"", ""}};
    EXPECT_TRUE(
        client::writeNotificationFile(request, QStringLiteral("download"), servicesOf(platform)));
    EXPECT_TRUE(
        client::writeNotificationFile(request, QStringLiteral("download"), servicesOf(platform)));

    EXPECT_TRUE(platform.isDirectory(kDropFolder));
    const QStringList written = platform.writtenPropertyLists.keys();
    EXPECT_EQ(written, QStringList({kDropFolder + "/download.TOKEN1.plist",
                                    kDropFolder + "/download.TOKEN2.plist"}));
    for (const QString& path : written)
        EXPECT_EQ(platform.writtenPropertyLists.value(path), request);
    // A stale item under the new name is cleared first.
    EXPECT_LT(platform.log.indexOf("file.remove " + written.first()),
              platform.log.indexOf("plist.write " + written.first()));
}

TEST(NotificationFile, FolderThatCannotBeCreatedIsLoggedOnceAndNothingWritten) {
    FakePlatform platform;
    platform.addFile(QStringLiteral("/home/user/.local/share/quillbay.com"), QStringLiteral("x"));
    EXPECT_FALSE(client::writeNotificationFile({{"a", "b"}}, QStringLiteral("download"),
                                               servicesOf(platform)));
    EXPECT_TRUE(platform.writtenPropertyLists.isEmpty());
    EXPECT_EQ(platform.log.count(QStringLiteral("syslog")), 1);
    EXPECT_EQ(platform.log.calls().at(platform.log.indexOf("syslog")),
              QStringLiteral("syslog 3 Path Could Not Be Created: ") + kDropFolder);
}

TEST(NotificationFile, NoApplicationDataFolderDoesNothing) {
    for (const QStringList& folders : {QStringList{}, QStringList{QString()}}) {
        FakePlatform platform;
        platform.applicationSupport = folders;
        EXPECT_FALSE(client::writeNotificationFile({{"a", "b"}}, QStringLiteral("download"),
                                                   servicesOf(platform)));
        EXPECT_EQ(platform.log.calls(), QStringList{});
    }
}

TEST(NotificationFile, FailedWriteIsAnsweredButNotLogged) {
    FakePlatform platform;
    platform.propertyListWritesSucceed = false;
    EXPECT_FALSE(client::writeNotificationFile({{"a", "b"}}, QStringLiteral("download"),
                                               servicesOf(platform)));
    EXPECT_EQ(platform.log.count(QStringLiteral("syslog")), 0);
    EXPECT_EQ(platform.log.count(QStringLiteral("plist.write")), 1);
}

}  // namespace
}  // namespace qby

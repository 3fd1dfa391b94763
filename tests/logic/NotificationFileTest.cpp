#include "FakePlatform.h"
#include "client/NotificationFileWriter.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;

const QString kDropFolder = QStringLiteral("/home/user/.local/share/quillbay.com/Notifications");

bool write(FakePlatform& platform, const foundation::DownloadRequest& request = {{"a", "b"}}) {
    return client::writeNotificationFile(request, QStringLiteral("download"),
                                         {platform, platform, platform, platform});
}

TEST(NotificationFile, CreatesTheFolderAndWritesTheRequestUnderAFreshName) {
    FakePlatform platform;
    const foundation::DownloadRequest request{{"K7", "V9"}, {"", ""}};
    EXPECT_TRUE(write(platform, request) && write(platform, request));

    const QStringList written = platform.writtenPropertyLists.keys();
    EXPECT_EQ(written, QStringList({kDropFolder + "/download.TOKEN1.plist",
                                    kDropFolder + "/download.TOKEN2.plist"}));
    for (const QString& path : written)
        EXPECT_EQ(platform.writtenPropertyLists.value(path), request);
    // A stale item under the new name is cleared first.
    EXPECT_TRUE(platform.log.inOrder({"file.remove " + written[0], "plist.write " + written[0]}));
}

TEST(NotificationFile, FolderThatCannotBeCreatedIsLoggedOnceAndNothingWritten) {
    FakePlatform platform;
    platform.addFile(QStringLiteral("/home/user/.local/share/quillbay.com"), QStringLiteral("x"));
    EXPECT_FALSE(write(platform));
    EXPECT_TRUE(platform.writtenPropertyLists.isEmpty());
    EXPECT_EQ(platform.log.calls().filter("syslog"),
              QStringList{"syslog 3 Path Could Not Be Created: " + kDropFolder});
}

TEST(NotificationFile, NoApplicationDataFolderDoesNothing) {
    for (const QStringList& folders : {QStringList{}, QStringList{QString()}}) {
        FakePlatform platform;
        platform.applicationSupport = folders;
        EXPECT_FALSE(write(platform));
        EXPECT_EQ(platform.log.calls(), QStringList{});
    }
}

TEST(NotificationFile, FailedWriteIsAnsweredButNotLogged) {
    FakePlatform platform;
    platform.propertyListWritesSucceed = false;
    EXPECT_FALSE(write(platform));
    EXPECT_EQ(platform.log.count(QStringLiteral("syslog")), 0);
}

}  // namespace
}  // namespace qby

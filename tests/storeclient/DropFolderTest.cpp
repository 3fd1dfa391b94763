#include "NotificationFiles.h"
#include "TemporaryBundle.h"
#include "storeclient/DropFolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace qby::storeclient {
namespace {

using harness::storeclient::NotificationFiles;

TEST(NotificationNameTest, TellsNotificationFilesFromOthers) {
    EXPECT_TRUE(DropFolder::isNotificationName("download.1B2C-33.plist"));
    for (const char* name :
         {"download..plist", ".download.A.plist", "download.A.plist.tmp", "upload.A.plist"})
        EXPECT_FALSE(DropFolder::isNotificationName(name)) << name;
}

class DropFolderTest : public testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    QTemporaryDir dir;
    DropFolder folder{dir.path()};
    const QByteArray request = testsupport::TemporaryBundle::infoPlistXml({{"k", "v"}});
};

// Links, pipes and folders are not listed; only a plain file of at most 1 MiB is read. Removing
// a file that is already gone succeeds.
TEST_F(DropFolderTest, ListsReadsAndRemovesOnlyPlainSmallFiles) {
    // The link points at a valid request: following it would consume a file outside the folder.
    QTemporaryDir outside;
    ASSERT_TRUE(NotificationFiles::place(outside.path(), "download.A.plist", request));
    ASSERT_TRUE(QFile::link(outside.path() + "/download.A.plist", path("download.Link.plist")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("download.Pipe.plist")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(path("download.Folder.plist")));
    for (const char* name : {"download.A.plist", ".download.C.plist", "notes.txt"})
        ASSERT_TRUE(NotificationFiles::place(dir.path(), name, request));
    ASSERT_TRUE(NotificationFiles::place(dir.path(), "download.Big.plist",
                                         QByteArray(DropFolder::kMaximumFileSize + 1, ' ')));
    ASSERT_TRUE(NotificationFiles::place(dir.path(), "download.Limit.plist",
                                         QByteArray(DropFolder::kMaximumFileSize, ' ')));
    QStringList names = folder.notificationNames();
    names.sort();
    EXPECT_EQ(names,
              QStringList({"download.A.plist", "download.Big.plist", "download.Limit.plist"}));

    for (auto [name, error] : {std::pair{"download.Link.plist", "is a symbolic link"},
                               {"download.Pipe.plist", "not a regular file"},
                               {"download.Big.plist", "larger than 1 MiB"},
                               {"download.Limit.plist", ""},
                               {"download.Missing.plist", "cannot be opened"}}) {
        const FileContents contents = folder.read(name);
        EXPECT_EQ(contents.ok, QByteArray(error).isEmpty()) << name;
        EXPECT_EQ(contents.error, QString::fromUtf8(error)) << name;
    }
    EXPECT_EQ(folder.read("download.A.plist").bytes, request);
    EXPECT_TRUE(folder.remove("download.A.plist"));
    EXPECT_TRUE(folder.remove("download.A.plist"));  // already gone counts as gone
    EXPECT_FALSE(QFile::exists(path("download.A.plist")));
}

}  // namespace
}  // namespace qby::storeclient

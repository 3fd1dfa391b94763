#include "NotificationFiles.h"
#include "PropertyListBytes.h"
#include "ReferenceClient.h"
#include "TemporaryBundle.h"
#include "storeclient/StoreClient.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qby::storeclient {
namespace {

using harness::storeclient::NotificationFiles;
using testsupport::TemporaryBundle;

// The client's scan in process: a temporary drop folder and a temporary record.
class StoreClientTest : public testing::Test {
protected:
    QString dropPath(const QString& name) const { return drop.path() + QLatin1Char('/') + name; }
    QList<QJsonObject> log() const { return NotificationFiles::readLog(logPath); }
    bool place(const QString& name, const QByteArray& bytes) const {
        return NotificationFiles::place(drop.path(), name, bytes);
    }

    QTemporaryDir drop;
    QTemporaryDir data;
    QString logPath = data.path() + "/Quillbay/requests.jsonl";
    StoreClient client{DropFolder(drop.path()), RequestRecorder(logPath)};
};

TEST_F(StoreClientTest, RecordsEachRequestOnceAndRemovesItsFile) {
    const Request first{{"Product", "Harbour Lights"}, {"Token", "T-1"}};
    const Request second{{"Product", "Ice Road"}};
    ASSERT_TRUE(place("download.A.plist", TemporaryBundle::infoPlistXml(first)));
    ASSERT_TRUE(place("download.B.plist", testsupport::binaryPlist(second)));
    QMap<QString, Request> received, recorded;
    QObject::connect(&client, &StoreClient::requestReceived,
                     [&](const QString& file, const Request& r) { received.insert(file, r); });
    EXPECT_EQ(client.scan(), 2);
    EXPECT_EQ(client.scan(), 0);
    for (const QJsonObject& line : log())
        recorded.insert(line.value("file").toString(), harness::storeclient::recordedRequest(line));
    const QMap<QString, Request> expected{{"download.A.plist", first},
                                          {"download.B.plist", second}};
    EXPECT_EQ(recorded, expected);
    EXPECT_EQ(received, expected);
    EXPECT_TRUE(QDir(drop.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

// What is wrong with a file is told by the parser or the folder (the folder's own tests); the
// client records it once and keeps the file, and a real request beside it still gets through.
TEST_F(StoreClientTest, KeepsFilesThatAreNotRequestsAndRecordsThemOnce) {
    ASSERT_TRUE(place("download.Garbage.plist", "garbage"));
    ASSERT_TRUE(place("download.Real.plist", TemporaryBundle::infoPlistXml({{"K7", "V9"}})));
    EXPECT_EQ(client.scan(), 1);
    EXPECT_EQ(client.scan(), 0);
    QStringList lines;
    for (const QJsonObject& line : log())
        lines << line.value("file").toString() + " " + line.value("error").toString() + " " +
                     QString::number(line.contains("request"));
    lines.sort();
    EXPECT_EQ(lines, QStringList({"download.Garbage.plist not a property list 0",
                                  "download.Real.plist  1"}));
    EXPECT_TRUE(QFile::exists(dropPath("download.Garbage.plist")));
    EXPECT_FALSE(QFile::exists(dropPath("download.Real.plist")));
}

TEST_F(StoreClientTest, KeepsTheFileWhileTheRequestCannotBeRecorded) {
    ASSERT_TRUE(place("download.A.plist", TemporaryBundle::infoPlistXml({{"k", "v"}})));
    // A folder where the record should be: appending fails.
    ASSERT_TRUE(QDir().mkpath(logPath));
    EXPECT_EQ(client.scan(), 0);
    EXPECT_TRUE(QFile::exists(dropPath("download.A.plist")));

    ASSERT_TRUE(QDir(logPath).removeRecursively());
    EXPECT_EQ(client.scan(), 1);
    EXPECT_FALSE(QFile::exists(dropPath("download.A.plist")));
    EXPECT_EQ(NotificationFiles::linesFor(log(), "download.A.plist"), 1);
}

// A file marked immutable for as long as this lives: not even root can remove it.
struct ImmutableFile {
    explicit ImmutableFile(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)),
          marked(mark(true)) {}
    ~ImmutableFile() {
        if (marked) mark(false);
        if (fd >= 0) ::close(fd);
    }
    bool mark(bool immutable) const {
        int flags = 0;
        if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return false;
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        return ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    const int fd;
    const bool marked;
};

TEST_F(StoreClientTest, RecordsARequestWhoseFileCannotBeRemovedOnlyOnce) {
    ASSERT_TRUE(place("download.A.plist", TemporaryBundle::infoPlistXml({{"k", "v"}})));
    const ImmutableFile stuck(dropPath("download.A.plist"));
    if (!stuck.marked) {
        GTEST_SKIP() << "cannot mark a file immutable here (needs root and a file system that "
                        "keeps the flag)";
    }
    EXPECT_EQ(client.scan(), 1);
    EXPECT_EQ(client.scan(), 0);
    EXPECT_TRUE(QFile::exists(dropPath("download.A.plist")));
    EXPECT_EQ(NotificationFiles::linesFor(log(), "download.A.plist"), 1);
}

TEST_F(StoreClientTest, ScansOnlyOnTheHelperNotification) {
    ASSERT_TRUE(place("download.A.plist", TemporaryBundle::infoPlistXml({{"k", "v"}})));
    client.notificationPosted("qby.helper");
    EXPECT_TRUE(QFile::exists(dropPath("download.A.plist")));
    client.notificationPosted("QBY.Helper");
    EXPECT_FALSE(QFile::exists(dropPath("download.A.plist")));
    EXPECT_EQ(log().size(), 1);
}

}  // namespace
}  // namespace qby::storeclient

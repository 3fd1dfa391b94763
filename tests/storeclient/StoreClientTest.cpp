#include "NotificationFiles.h"
#include "PropertyListBytes.h"
#include "ReferenceClient.h"
#include "TemporaryBundle.h"
#include "storeclient/StoreClient.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qby::storeclient {
namespace {

using test::NotificationFiles;
using testsupport::TemporaryBundle;

// The client's scan in process: a temporary drop folder and a temporary record.
class StoreClientTest : public testing::Test {
protected:
    QString dropPath(const QString& name) const { return drop.path() + QLatin1Char('/') + name; }
    QList<QJsonObject> log() const { return NotificationFiles::readLog(logPath); }

    QTemporaryDir drop;
    QTemporaryDir data;
    QString logPath = data.path() + "/Quillbay/requests.jsonl";
    StoreClient client{DropFolder(drop.path()), RequestRecorder(logPath)};
};

TEST_F(StoreClientTest, RecordsEachRequestOnceAndRemovesItsFile) {
    const Request first{{"Product", "Harbour Lights"}, {"Token", "T-1"}};
    const Request second{{"Product", "Ice Road"}};
    ASSERT_TRUE(NotificationFiles::place(drop.path(), "download.A.plist",
                                         TemporaryBundle::infoPlistXml(first)));
    ASSERT_TRUE(NotificationFiles::place(drop.path(), "download.B.plist",
                                         testsupport::binaryPlist(second)));
    QList<QPair<QString, Request>> received;
    QObject::connect(&client, &StoreClient::requestReceived,
                     [&](const QString& file, const Request& r) {
                         received.append({file, r});
                     });

    EXPECT_EQ(client.scan(), 2);
    EXPECT_EQ(client.scan(), 0);

    const QList<QJsonObject> lines = log();
    ASSERT_EQ(lines.size(), 2);
    for (const QJsonObject& line : lines) {
        const Request& expected =
            line.value("file").toString() == "download.A.plist" ? first : second;
        EXPECT_EQ(test::recordedRequest(line), expected)
            << line.value("file").toString().toStdString();
    }
    EXPECT_EQ(received.size(), 2);
    EXPECT_TRUE(QDir(drop.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(StoreClientTest, KeepsFilesThatAreNotRequestsAndRecordsThemOnce) {
    const struct {
        const char* file;
        QByteArray bytes;
        const char* error;
    } cases[] = {
        // What is wrong with each is told by the parser and the folder; the client keeps both.
        {"download.Garbage.plist", "garbage", "not a property list"},
        {"download.Big.plist", QByteArray(DropFolder::kMaximumFileSize + 1, 'x'),
         "larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(NotificationFiles::place(drop.path(), c.file, c.bytes));
    }

    // A real request waits beside them and still gets through.
    ASSERT_TRUE(NotificationFiles::place(drop.path(), "download.Real.plist",
                                         TemporaryBundle::infoPlistXml({{"K7", "V9"}})));
    EXPECT_EQ(client.scan(), 1);
    EXPECT_EQ(client.scan(), 0);

    const QList<QJsonObject> lines = log();
    EXPECT_EQ(lines.size(), std::size(cases) + 1);
    EXPECT_EQ(NotificationFiles::linesFor(lines, "download.Real.plist"), 1);
    EXPECT_FALSE(QFile::exists(dropPath("download.Real.plist")));
    for (const auto& c : cases) {
        EXPECT_TRUE(QFile::exists(dropPath(c.file))) << c.file;
        EXPECT_EQ(NotificationFiles::linesFor(lines, c.file), 1) << c.file;
        for (const QJsonObject& line : lines) {
            if (line.value("file").toString() == c.file) {
                EXPECT_EQ(line.value("error").toString(), QString::fromUtf8(c.error)) << c.file;
                EXPECT_FALSE(line.contains("request")) << c.file;
            }
        }
    }
}

TEST_F(StoreClientTest, KeepsTheFileWhileTheRequestCannotBeRecorded) {
    ASSERT_TRUE(NotificationFiles::place(drop.path(), "download.A.plist",
                                         TemporaryBundle::infoPlistXml({{"k", "v"}})));
    // A folder where the record should be: appending fails.
    ASSERT_TRUE(QDir().mkpath(logPath));
    EXPECT_EQ(client.scan(), 0);
    EXPECT_TRUE(QFile::exists(dropPath("download.A.plist")));

    ASSERT_TRUE(QDir(logPath).removeRecursively());
    EXPECT_EQ(client.scan(), 1);
    EXPECT_FALSE(QFile::exists(dropPath("download.A.plist")));
    EXPECT_EQ(NotificationFiles::linesFor(log(), "download.A.plist"), 1);
}

TEST_F(StoreClientTest, ScansOnlyOnTheHelperNotification) {
    ASSERT_TRUE(NotificationFiles::place(drop.path(), "download.A.plist",
                                         TemporaryBundle::infoPlistXml({{"k", "v"}})));
    client.notificationPosted("QBY.Other");
    client.notificationPosted("qby.helper");
    EXPECT_TRUE(QFile::exists(dropPath("download.A.plist")));
    client.notificationPosted("QBY.Helper");
    EXPECT_FALSE(QFile::exists(dropPath("download.A.plist")));
    EXPECT_EQ(log().size(), 1);
}

}  // namespace
}  // namespace qby::storeclient

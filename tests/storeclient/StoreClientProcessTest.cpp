#include "NotificationFiles.h"
#include "PrivateSessionBus.h"
#include "ReferenceClient.h"
#include "TemporaryBundle.h"
#include "WaitUntil.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qby::storeclient::test {
namespace {

using testsupport::PrivateSessionBus;
using testsupport::TemporaryBundle;

const QString kService = "com.quillbay.Client2";

// The built Quillbay.app on a private session bus, as the downloader meets it.
class StoreClientProcessTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(connection.isConnected());
    }

    bool clientOwnsName() { return connection.interface()->isServiceRegistered(kService).value(); }

    // Returns once the client owns its name and has finished its scan at start: it answers
    // calls only from its event loop, which it enters after that scan.
    bool startAndWaitForName() {
        return client.start() && waitUntil([this] { return clientOwnsName(); }) && activate();
    }

    bool place(const QString& name, const QByteArray& bytes) {
        return NotificationFiles::place(client.dropFolder(), name, bytes);
    }

    bool dropped(const QString& name) const {
        return QFile::exists(client.dropFolder() + QLatin1Char('/') + name);
    }

    void post(const QString& name) {
        QDBusMessage signal =
            QDBusMessage::createSignal("/com/quillbay/DistributedNotification",
                                       "com.quillbay.DistributedNotification", "Posted");
        signal << name;
        ASSERT_TRUE(connection.send(signal));
    }

    // A method call of org.freedesktop.Application; true when the client answered it. Because
    // the bus keeps one sender's messages in order, an answer also means that every signal
    // posted before has been handled.
    bool call(const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            kService, "/com/quillbay/Client2", "org.freedesktop.Application", method);
        message.setArguments(arguments);
        return connection.call(message, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    }
    bool activate() { return call("Activate", {QVariantMap{}}); }

    QTemporaryDir home;
    PrivateSessionBus bus;
    QDBusConnection connection = bus.connection("test");
    ReferenceClient client{home.path(), bus.address()};
};

TEST_F(StoreClientProcessTest, TakesTheRequestsWaitingAtStart) {
    const QMap<QString, QString> first{{"Product", "Harbour Lights"}, {"Token", "1 & <2>"}};
    const QMap<QString, QString> second{{"Product", "Ice Road"}};
    ASSERT_TRUE(place("download.A.plist", TemporaryBundle::infoPlistXml(first)));
    ASSERT_TRUE(place("download.B.plist", NotificationFiles::binaryPlist(second)));

    ASSERT_TRUE(client.start());
    ASSERT_TRUE(waitUntil([&] {
        return client.log().size() == 2 && !dropped("download.A.plist") &&
               !dropped("download.B.plist");
    }));
    for (const QJsonObject& line : client.log()) {
        const bool isFirst = line.value("file").toString() == "download.A.plist";
        EXPECT_EQ(recordedRequest(line), isFirst ? first : second);
    }
}

TEST_F(StoreClientProcessTest, TakesALaterRequestOnceOnTheHelperNotification) {
    ASSERT_TRUE(startAndWaitForName());
    const QMap<QString, QString> request{{"Product", "Harbour Lights"}};
    ASSERT_TRUE(place("download.A.plist", TemporaryBundle::infoPlistXml(request)));

    // Another name is not the downloader's call.
    post("QBY.Other");
    ASSERT_TRUE(activate());
    EXPECT_TRUE(dropped("download.A.plist"));

    post("QBY.Helper");
    post("QBY.Helper");
    ASSERT_TRUE(activate());
    EXPECT_FALSE(dropped("download.A.plist"));
    const QList<QJsonObject> lines = client.log();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first().value("file").toString(), "download.A.plist");
    EXPECT_EQ(recordedRequest(lines.first()), request);
}

TEST_F(StoreClientProcessTest, KeepsBrokenFilesAndRecordsEachOnce) {
    ASSERT_TRUE(place("download.Garbage.plist", "garbage\n"));
    ASSERT_TRUE(place("download.Array.plist", "<plist version=\"1.0\"><array/></plist>"));
    ASSERT_TRUE(startAndWaitForName());

    post("QBY.Helper");
    post("QBY.Helper");
    ASSERT_TRUE(activate());
    const QList<QJsonObject> lines = client.log();
    EXPECT_EQ(lines.size(), 2);
    EXPECT_EQ(NotificationFiles::linesFor(lines, "download.Garbage.plist"), 1);
    EXPECT_EQ(NotificationFiles::linesFor(lines, "download.Array.plist"), 1);
    for (const QJsonObject& line : lines) {
        EXPECT_FALSE(line.value("error").toString().isEmpty());
    }
    EXPECT_TRUE(dropped("download.Garbage.plist"));
    EXPECT_TRUE(dropped("download.Array.plist"));
}

TEST_F(StoreClientProcessTest, ASecondInstanceLeavesAtOnce) {
    ASSERT_TRUE(startAndWaitForName());
    ReferenceClient second{home.path(), bus.address()};
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.process().waitForFinished(5000));
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process().exitCode(), 0);
    EXPECT_EQ(client.process().state(), QProcess::Running);
    EXPECT_TRUE(clientOwnsName());
}

TEST_F(StoreClientProcessTest, AnswersTheApplicationInterface) {
    ASSERT_TRUE(startAndWaitForName());
    EXPECT_TRUE(activate());
    EXPECT_TRUE(call("Open", {QStringList{"file:///tmp/x"}, QVariantMap{}}));
    EXPECT_TRUE(call("ActivateAction",
                     {QString("quit"), QVariant::fromValue(QVariantList{}), QVariantMap{}}));
    EXPECT_EQ(client.process().state(), QProcess::Running);
}

TEST_F(StoreClientProcessTest, WithoutASessionBusTakesWhatWaitsAndLeaves) {
    ASSERT_TRUE(place("download.A.plist", TemporaryBundle::infoPlistXml({{"k", "v"}})));
    ReferenceClient alone{home.path(), "unix:path=" + home.path() + "/no-bus"};
    ASSERT_TRUE(alone.start());
    ASSERT_TRUE(alone.process().waitForFinished(5000));
    EXPECT_EQ(alone.process().exitCode(), 0);
    EXPECT_FALSE(dropped("download.A.plist"));
    EXPECT_EQ(NotificationFiles::linesFor(alone.log(), "download.A.plist"), 1);
}

}  // namespace
}  // namespace qby::storeclient::test

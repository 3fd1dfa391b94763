#include "HandOffServices.h"
#include "NotificationFiles.h"
#include "PrivateSessionBus.h"
#include "ReferenceClient.h"
#include "ScopedEnvironment.h"
#include "TemporaryBundle.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::storeclient {
namespace {

using harness::PrivateSessionBus;
using harness::waitUntil;
using harness::storeclient::HandOffServices;
using harness::storeclient::NotificationFiles;
using harness::storeclient::recordedRequest;
using harness::storeclient::ReferenceClient;
using testsupport::ScopedEnvironment;
using testsupport::TemporaryBundle;

const QString kClientIdentifier = "com.quillbay.Client2";

// The downloader's real services and the reference client run as a process, on one private
// session bus and in one temporary home.
class HandOffIntegrationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid() && bus.isRunning() && connection.isConnected());
        // The downloader finds the drop folder through the user's data folder.
        environment.set("XDG_DATA_HOME", home.path() + "/.local/share");
    }

    bool clientOwnsName() {
        return connection.interface()->isServiceRegistered(kClientIdentifier).value();
    }

    bool startClient() {
        return client.start() && waitUntil([this] { return clientOwnsName(); });
    }

    // Activate of org.freedesktop.Application; true when the client answered it. The bus keeps
    // one sender's messages in order: an answer also means that the client has handled
    // everything sent to it before.
    bool barrier() {
        const QDBusMessage message =
            QDBusMessage::createMethodCall(kClientIdentifier, "/com/quillbay/Client2",
                                           "org.freedesktop.Application", "Activate")
            << QVariantMap{};
        return connection.call(message, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    }

    QStringList dropped() const {
        return QDir(client.dropFolder()).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir home;
    PrivateSessionBus bus;
    QDBusConnection connection = bus.connection("downloader");
    ScopedEnvironment environment;
    ReferenceClient client{home.path(), bus.address()};
    HandOffServices services{connection, home.path()};
};

TEST_F(HandOffIntegrationTest, TheRunningClientIsFoundAndRecordsTheRequestOnceAndUnchanged) {
    // A name that differs only in letter case is another application.
    QDBusConnection other = bus.connection("other");
    ASSERT_TRUE(other.registerService("com.quillbay.client2"));
    EXPECT_EQ(services.proxy().isClientRunning(), nullptr);
    ASSERT_TRUE(startClient());
    const foundation::DownloadRequest request{{"Product", "Harbour Lights: Director's Cut"},
                                              {"Token", "a&b<c>\"d\"'e"},
                                              {"Title", "Grüße aus 世界"},
                                              {"Lines", "one\ntwo"},
                                              {"Empty", ""}};

    client::writeNotificationFile(request, "download", services.fileServices());
    const QStringList files = dropped();
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.first().startsWith("download.") && files.first().endsWith(".plist"));

    const auto running = services.proxy().isClientRunning();
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->bundleIdentifier(), kClientIdentifier);
    services.proxy().notifyClient("QBY.Helper");
    services.proxy().notifyClient("QBY.Helper");
    ASSERT_TRUE(barrier());

    EXPECT_TRUE(dropped().isEmpty());
    const QList<QJsonObject> lines = client.log();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first().value("file").toString(), files.first());
    EXPECT_EQ(recordedRequest(lines.first()), request);
}

TEST_F(HandOffIntegrationTest, ASecondInstanceLeavesAtOnce) {
    ASSERT_TRUE(startClient());
    ReferenceClient second{home.path(), bus.address()};
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.process().waitForFinished(5000));
    EXPECT_TRUE(second.process().exitStatus() == QProcess::NormalExit &&
                second.process().exitCode() == 0);
    EXPECT_TRUE(client.process().state() == QProcess::Running && clientOwnsName());
}

TEST_F(HandOffIntegrationTest, WithoutASessionBusTheClientTakesWhatWaitsAndLeaves) {
    ASSERT_TRUE(NotificationFiles::place(client.dropFolder(), "download.A.plist",
                                         TemporaryBundle::infoPlistXml({{"k", "v"}})));
    ReferenceClient alone{home.path(), "unix:path=" + home.path() + "/no-bus"};
    ASSERT_TRUE(alone.start());
    ASSERT_TRUE(alone.process().waitForFinished(5000));
    EXPECT_EQ(alone.process().exitCode(), 0);
    EXPECT_TRUE(dropped().isEmpty());
    EXPECT_EQ(NotificationFiles::linesFor(alone.log(), "download.A.plist"), 1);
}

}  // namespace
}  // namespace qby::storeclient

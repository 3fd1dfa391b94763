#include "PrivateSessionBus.h"
#include "platform/linux/desktop/LinuxNotificationCenter.h"
#include "platform/linux/desktop/LinuxRunningApplication.h"
#include "platform/linux/desktop/LinuxWorkspace.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

using harness::PrivateSessionBus;

// Stands for a running application: answers org.freedesktop.Application.Activate and counts.
class ActivationTarget : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    std::atomic<int> activations{0};

public slots:
    void Activate(const QVariantMap& platformData) {
        if (platformData.isEmpty()) ++activations;
    }
};

// Receives the notification signal.
class NotificationListener : public QObject {
    Q_OBJECT

public:
    QStringList names;
    bool listenOn(QDBusConnection connection) {
        return connection.connect(QString(), "/com/quillbay/DistributedNotification",
                                  "com.quillbay.DistributedNotification", "Posted", this,
                                  SLOT(posted(QString)));
    }

public slots:
    void posted(const QString& name) { names.append(name); }
};

class SessionBusServicesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning());
        ours = bus.connection("downloader");
        ASSERT_TRUE(ours.isConnected());
    }
    // A connection that owns the names, served from its own thread so that our blocking calls
    // can be answered.
    QDBusConnection application(const QString& tag, const QStringList& names) {
        QDBusConnection connection = bus.connection(tag);
        for (const QString& name : names) EXPECT_TRUE(connection.registerService(name));
        return connection;
    }
    // An application named name whose object is target, living in the serving thread.
    void serve(const QString& name) {
        target.moveToThread(&serving);
        serving.start();
        QDBusConnection connection = application(name, {name});
        ASSERT_TRUE(connection.registerObject(LinuxRunningApplication::objectPathFor(name), &target,
                                              QDBusConnection::ExportAllSlots));
    }
    void TearDown() override {
        serving.quit();
        serving.wait();
    }

    PrivateSessionBus bus;
    QDBusConnection ours{QString()};
    QThread serving;
    ActivationTarget target;
    QSemaphore release;  // holds up the serving thread until the test lets it go
};

TEST_F(SessionBusServicesTest, RunningApplicationsAreTheWellKnownNames) {
    QDBusConnection first = application("first", {"com.example.Editor", "com.quillbay.Client2"});
    QDBusConnection second =
        application("second", {"com.quillbay.client2", "com.quillbay.Client2-beta"});

    QStringList identifiers;
    for (const auto& app : LinuxWorkspace({}, ours).runningApplications())
        identifiers.append(app->bundleIdentifier().value_or("(none)"));
    identifiers.sort();  // names differing in case or by a suffix are other applications
    EXPECT_EQ(identifiers, (QStringList{"com.example.Editor", "com.quillbay.Client2",
                                        "com.quillbay.Client2-beta", "com.quillbay.client2"}));
}

TEST_F(SessionBusServicesTest, ActivationReachesTheApplicationObject) {
    serve("com.quillbay.Client2");

    std::shared_ptr<RunningApplication> found;
    for (const auto& app : LinuxWorkspace({}, ours).runningApplications())
        if (app->bundleIdentifier() == QString("com.quillbay.Client2")) found = app;
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(found->activateWithOptions(kActivateIgnoringOtherApps));
    EXPECT_TRUE(found->activateWithOptions(kActivateAllWindows | kActivateIgnoringOtherApps));
    EXPECT_EQ(target.activations.load(), 2);
}

TEST_F(SessionBusServicesTest, ActivationFailsForAbsentOrSilentApplications) {
    // A name whose owner has no application object, and no name at all.
    QDBusConnection bare = application("bare", {"com.example.Bare"});
    LinuxRunningApplication objectless("com.example.Bare", ours);
    EXPECT_FALSE(objectless.activateWithOptions(kActivateIgnoringOtherApps));
    LinuxRunningApplication nameless("", ours);
    EXPECT_FALSE(nameless.activateWithOptions(kActivateIgnoringOtherApps));
    EXPECT_EQ(nameless.bundleIdentifier(), std::nullopt);
    // The object path comes from the name.
    EXPECT_EQ(LinuxRunningApplication::objectPathFor("org.example.my-app"), "/org/example/my_app");
}

TEST_F(SessionBusServicesTest, AStuckApplicationCannotHoldUsBeyondTheTimeout) {
    // The object's thread is busy until the test lets it go: the call is not answered in time.
    serve("com.example.Stuck");
    QMetaObject::invokeMethod(
        &target, [this] { release.acquire(); }, Qt::QueuedConnection);

    LinuxRunningApplication app("com.example.Stuck", ours);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(app.activateWithOptions(kActivateIgnoringOtherApps));
    EXPECT_LT(timer.elapsed(), LinuxRunningApplication::kActivateTimeoutMs + 3000);
    release.release();
}

// Each poster ends right after posting: the signal must have left it by then.
TEST_F(SessionBusServicesTest, NotificationsPostedJustBeforeExitReachEveryListener) {
    NotificationListener first, second;
    ASSERT_TRUE(first.listenOn(bus.connection("listenerA")));
    ASSERT_TRUE(second.listenOn(bus.connection("listenerB")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    QStringList posted;
    for (int i = 0; i < 20; ++i) {
        posted << QString::fromUtf8("QBY.Helper.\xC3\xBC") + QString::number(i);
        QProcess poster;
        poster.setProcessEnvironment(environment);
        poster.start(QBY_POST_NOTIFICATION, {posted.last()});
        ASSERT_TRUE(poster.waitForFinished(10000) && poster.exitCode() == 0);
    }
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return first.names.size() + second.names.size() == 40; }, 5000))
        << first.names.size() + second.names.size() << " of 40 notifications arrived";
    EXPECT_EQ(first.names, posted);
    EXPECT_EQ(second.names, posted);
}

TEST(NoSessionBusTest, NothingRunsAndNothingBlocks) {
    QDBusConnection none = QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none");
    ASSERT_FALSE(none.isConnected());
    QElapsedTimer timer;
    timer.start();
    LinuxWorkspace workspace({}, none);
    EXPECT_TRUE(workspace.runningApplications().empty());
    LinuxNotificationCenter(none).postNotification("QBY.Helper");
    EXPECT_FALSE(LinuxRunningApplication("com.quillbay.Client2", none).activateWithOptions(2));
    // Not a speed test: a sanity bound against waiting on a bus that is not there.
    EXPECT_LT(timer.elapsed(), 1000);
    QDBusConnection::disconnectFromBus("none");
}

}  // namespace
}  // namespace qby::platform::linuxhost

#include "SessionBusServicesTest.moc"

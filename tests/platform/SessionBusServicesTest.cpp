#include "PrivateSessionBus.h"
#include "platform/linux/desktop/LinuxNotificationCenter.h"
#include "platform/linux/desktop/LinuxRunningApplication.h"
#include "platform/linux/desktop/LinuxWorkspace.h"

#include <QDBusConnectionInterface>
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

TEST_F(SessionBusServicesTest, RunningApplicationsAreTheWellKnownNamesInBusOrder) {
    QDBusConnection first = application("first", {"com.example.Editor", "com.quillbay.Client2"});
    QDBusConnection second =
        application("second", {"com.quillbay.client2", "com.quillbay.Client2-beta"});

    LinuxWorkspace workspace({}, ours);
    QStringList identifiers;
    for (const auto& app : workspace.runningApplications()) {
        ASSERT_TRUE(app->bundleIdentifier().has_value());
        identifiers.append(*app->bundleIdentifier());
    }
    QStringList expected = ours.interface()->registeredServiceNames().value();
    expected.removeIf(
        [](const QString& n) { return n.startsWith(':') || n == "org.freedesktop.DBus"; });
    EXPECT_EQ(identifiers, expected);
    EXPECT_EQ(identifiers.size(), 4);
}

TEST_F(SessionBusServicesTest, ActivationReachesTheApplicationObject) {
    serve("com.quillbay.Client2");

    LinuxWorkspace workspace({}, ours);
    std::shared_ptr<RunningApplication> found;
    for (const auto& app : workspace.runningApplications())
        if (app->bundleIdentifier() == QString("com.quillbay.Client2")) found = app;
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(found->activateWithOptions(kActivateIgnoringOtherApps));
    EXPECT_TRUE(found->activateWithOptions(kActivateAllWindows | kActivateIgnoringOtherApps));
    EXPECT_EQ(target.activations.load(), 2);
}

TEST_F(SessionBusServicesTest, ActivationFailsForAbsentOrSilentApplications) {
    // A name that nobody owns, and a name whose owner has no application object.
    LinuxRunningApplication absent("com.quillbay.Client2", ours);
    EXPECT_FALSE(absent.activateWithOptions(kActivateIgnoringOtherApps));
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

TEST_F(SessionBusServicesTest, NotificationsReachEveryListener) {
    NotificationListener first, second;
    ASSERT_TRUE(first.listenOn(bus.connection("listenerA")));
    ASSERT_TRUE(second.listenOn(bus.connection("listenerB")));

    LinuxNotificationCenter center(ours);
    center.postNotification("QBY.Helper");
    center.postNotification(QString::fromUtf8("\xC3\xBC"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return first.names.size() == 2 && second.names.size() == 2; }, 5000));
    EXPECT_EQ(first.names, (QStringList{"QBY.Helper", QString::fromUtf8("\xC3\xBC")}));
    EXPECT_EQ(second.names, first.names);
}

// The process ends right after posting: the signal must have left it by then.
TEST_F(SessionBusServicesTest, ANotificationPostedJustBeforeExitIsDelivered) {
    NotificationListener listener;
    ASSERT_TRUE(listener.listenOn(bus.connection("listener")));
    constexpr int kRuns = 20;
    for (int i = 0; i < kRuns; ++i) {
        QProcess poster;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        poster.setProcessEnvironment(environment);
        poster.start(QBY_POST_NOTIFICATION, {"QBY.Helper." + QString::number(i)});
        ASSERT_TRUE(poster.waitForFinished(10000));
        ASSERT_EQ(poster.exitCode(), 0);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.names.size() == kRuns; }, 5000))
        << listener.names.size() << " of " << kRuns << " notifications arrived";
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

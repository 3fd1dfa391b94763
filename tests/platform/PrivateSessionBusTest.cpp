#include "PrivateSessionBus.h"

#include <gtest/gtest.h>
#include <QDBusConnectionInterface>

namespace qby::testsupport {
namespace {

TEST(PrivateSessionBusTest, ClientsSeeEachOthersNamesAndTheDaemonGoesAway) {
    QString address;
    {
        PrivateSessionBus bus;
        ASSERT_TRUE(bus.isRunning());
        address = bus.address();
        EXPECT_TRUE(address.startsWith("unix:")) << address.toStdString();

        QDBusConnection owner = bus.connection("owner");
        ASSERT_TRUE(owner.isConnected());
        ASSERT_TRUE(owner.registerService("com.example.Owned"));
        QDBusConnection other = bus.connection("other");
        ASSERT_TRUE(other.isConnected());
        EXPECT_TRUE(
            other.interface()->registeredServiceNames().value().contains("com.example.Owned"));
    }
    QDBusConnection late = QDBusConnection::connectToBus(address, "late");
    EXPECT_FALSE(late.isConnected());
    QDBusConnection::disconnectFromBus("late");
}

}  // namespace
}  // namespace qby::testsupport

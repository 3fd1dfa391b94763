#include "CoreApplication.h"
#include "platform/linux/LinuxClock.h"
#include "platform/linux/LinuxDispatch.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTest>
#include <QThread>

namespace qby::platform::linuxhost {
namespace {

// The task leaves the main thread; its hand-backs return to it, in the order they were queued,
// and are queued even when the main thread itself hands back.
TEST(LinuxDispatchTest, TasksRunInTheBackgroundAndHandBackToTheMainThread) {
    testsupport::ensureCoreApplication();
    LinuxDispatch dispatch;
    QThread* const mainThread = QThread::currentThread();
    QThread* taskThread = mainThread;
    QList<int> handedBack;
    bool onMainThread = true;
    dispatch.async([&] {
        taskThread = QThread::currentThread();
        for (int i = 0; i < 3; ++i) {
            dispatch.performOnMainThread([&, i] {
                onMainThread = onMainThread && QThread::currentThread() == mainThread;
                handedBack << i;
            });
        }
    });
    dispatch.performOnMainThread([&] { handedBack << 3; });
    EXPECT_TRUE(handedBack.isEmpty()) << "ran at once instead of being queued";
    ASSERT_TRUE(QTest::qWaitFor([&] { return handedBack.size() == 4; }, 5000));
    EXPECT_NE(taskThread, mainThread);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(handedBack.count(3), 1);
    handedBack.removeOne(3);
    EXPECT_EQ(handedBack, (QList<int>{0, 1, 2}));
}

// Milliseconds, not another unit: a pause of 50 ms reads as about 50.
TEST(LinuxClockTest, CountsMilliseconds) {
    const LinuxClock clock;
    const qint64 before = clock.monotonicMilliseconds();
    QThread::msleep(50);
    const qint64 elapsed = clock.monotonicMilliseconds() - before;
    EXPECT_GE(elapsed, 50);
    EXPECT_LT(elapsed, 1000);
}

}  // namespace
}  // namespace qby::platform::linuxhost

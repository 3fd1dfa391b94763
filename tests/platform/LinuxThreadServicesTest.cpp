// The small process services: threads, clock, pauses, console logs, unique tokens.
#include "platform/linux/system/LinuxClock.h"
#include "platform/linux/system/LinuxDispatch.h"
#include "platform/linux/system/LinuxLogs.h"
#include "platform/linux/system/LinuxPauses.h"
#include "platform/linux/system/LinuxProcessInfo.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

namespace qby::platform::linuxhost {
namespace {

// The task leaves the main thread; its hand-backs return to it, in the order they were queued,
// and are queued even when the main thread itself hands back.
TEST(LinuxDispatchTest, TasksRunInTheBackgroundAndHandBackToTheMainThread) {
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
    EXPECT_TRUE(handedBack.removeOne(3));
    EXPECT_EQ(handedBack, (QList<int>{0, 1, 2}));
}

// Milliseconds, not another unit: a pause of 50 ms reads as about 50.
TEST(LinuxClockTest, CountsMilliseconds) {
    const LinuxClock clock;
    const qint64 before = clock.monotonicMilliseconds();
    QThread::msleep(50);
    const qint64 elapsed = clock.monotonicMilliseconds() - before;
    EXPECT_TRUE(elapsed >= 50 && elapsed < 1000) << elapsed;
}

void ignoreAlarm(int) {}

// A signal arriving during a pause does not shorten it. Only a lower bound is checked.
TEST(LinuxPausesTest, SignalsDoNotCutAPauseShort) {
    struct sigaction action = {}, previous = {};
    action.sa_handler = ignoreAlarm;
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    const itimerval every5ms{{0, 5000}, {0, 5000}}, stop{};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every5ms, nullptr), 0);

    LinuxPauses pauses;
    QElapsedTimer timer;
    timer.start();
    pauses.usleep(100'000);
    const qint64 elapsed = timer.elapsed();

    setitimer(ITIMER_REAL, &stop, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_GE(elapsed, 100);
}

TEST(LinuxLogsTest, ConsoleLinesCarryTimeNameAndPidOneLineEach) {
    QTemporaryFile standardError;  // stands in for standard error while the lines are written
    ASSERT_TRUE(standardError.open());
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(standardError.handle(), STDERR_FILENO);
    LinuxLogs logs;
    logs.consoleLog("Dict: {title = abc; lang = en}");
    logs.consoleLog("Dict: {a = b\nforged line\r}");
    logs.consoleLog("%s%n%d");
    dup2(saved, STDERR_FILENO);
    close(saved);
    standardError.seek(0);
    const QByteArray written = standardError.readAll();
    const QString prefix =
        "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\S* QuillbayDownloader\\[" +
        QString::number(getpid()) + "\\] ";
    const QRegularExpression form("\\A" + prefix + "Dict: \\{title = abc; lang = en\\}\n" + prefix +
                                  "Dict: \\{a = b\\\\nforged line\\\\r\\}\n" + prefix +
                                  "%s%n%d\n\\z");
    EXPECT_TRUE(form.match(QString::fromUtf8(written)).hasMatch()) << written.toStdString();
}

TEST(LinuxProcessInfoTest, TokensAndUuidsAreDistinctAndSafeInFileNames) {
    LinuxProcessInfo info;
    const QString pid = QString::number(getpid(), 16).toUpper();
    const QString uuid = "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}";
    const QRegularExpression tokenForm("\\A" + uuid + "-" + pid + "\\z");
    const QRegularExpression uuidForm("\\A" + uuid + "\\z");
    QStringList made;  // a token, then a bare uuid
    for (int i = 0; i < 20000; i += 2) {
        made << info.globallyUniqueString() << info.uuidString();
        ASSERT_TRUE(tokenForm.match(made[i]).hasMatch() && uuidForm.match(made[i + 1]).hasMatch())
            << made[i].toStdString() << " " << made[i + 1].toStdString();
    }
    EXPECT_EQ(QSet<QString>(made.begin(), made.end()).size(), 20000);
}

}  // namespace
}  // namespace qby::platform::linuxhost

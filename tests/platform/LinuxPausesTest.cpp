#include "platform/linux/LinuxPauses.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <QElapsedTimer>
#include <csignal>

namespace qby::platform::linuxhost {
namespace {

void ignoreAlarm(int) {}

// A signal arriving during a pause does not shorten it. Only a lower bound is checked.
TEST(LinuxPausesTest, SignalsDoNotCutAPauseShort) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = ignoreAlarm;
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    itimerval every5ms{{0, 5000}, {0, 5000}};
    itimerval stop{};
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

}  // namespace
}  // namespace qby::platform::linuxhost

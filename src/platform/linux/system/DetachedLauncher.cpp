#include "platform/linux/system/DetachedLauncher.h"

#include "platform/linux/system/EventDispatcherChoice.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

// Only async-signal-safe calls from here on: the parent may have other threads.
[[noreturn]] void failChild(int reportFd) {
    const int error = errno;
    (void)!write(reportFd, &error, sizeof error);
    _exit(127);
}

[[noreturn]] void runGrandchild(const char* executable, const char* workingFolder,
                                char* const* environment, int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &defaults, nullptr);

    // Descriptors we hold (the bus socket, open files) are not the program's business; the
    // report pipe is close-on-exec already.
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < 1024; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    const int input = open("/dev/null", O_RDONLY);
    if (input < 0 || dup2(input, STDIN_FILENO) < 0) failChild(reportFd);
    if (input != STDIN_FILENO) close(input);
    // A missing home leaves the program in the root folder rather than not starting it.
    if (chdir(workingFolder) != 0 && chdir("/") != 0) failChild(reportFd);

    char* const argv[] = {const_cast<char*>(executable), nullptr};
    execve(executable, argv, environment);
    failChild(reportFd);
}

}  // namespace

int DetachedLauncher::launch(const QByteArray& executable, const QByteArray& workingFolder) {
    // Made before the fork: the child may only make async-signal-safe calls.
    std::vector<QByteArray> entries = EventDispatcherChoice::environmentForPrograms();
    std::vector<char*> environment;
    for (QByteArray& entry : entries) environment.push_back(entry.data());
    environment.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return errno;

    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        return error;
    }
    if (child == 0) {
        close(report[0]);
        if (setsid() < 0) failChild(report[1]);
        const pid_t grandchild = fork();
        if (grandchild < 0) failChild(report[1]);
        if (grandchild == 0) {
            runGrandchild(executable.constData(), workingFolder.constData(), environment.data(),
                          report[1]);
        }
        _exit(0);
    }

    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // End of file without a number: the exec went through and closed the pipe.
    int error = 0;
    ssize_t n;
    do {
        n = read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    if (n == sizeof error) return error != 0 ? error : ECHILD;
    // The middle process died before it could start the program or report why.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return ECHILD;
    return 0;
}

}  // namespace qby::platform::linuxhost

#include "platform/linux/system/PipedTool.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qby::platform::linuxhost {

namespace {

constexpr qsizetype kKeptErrorBytes = 4096;
// A pipe this large lets the tool take a whole chunk of ours per wake-up.
constexpr int kPipeBytes = 1024 * 1024;

foundation::Error failure(int code, const QString& tool, const QString& what) {
    return foundation::Error{code, QStringLiteral("%1: %2").arg(tool, what)};
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// A write to a pipe whose reader is gone raises SIGPIPE, which would end the whole process. It is
// held back on this thread for the write and taken away when the write failed with EPIPE.
ssize_t writeWithoutSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const ssize_t written = ::write(fd, data, size);
    const int error = errno;
    if (written < 0 && error == EPIPE) {
        const timespec now{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

}  // namespace

PipedTool::~PipedTool() {
    stop();
}

foundation::Status PipedTool::start(const QString& tool, const QStringList& arguments,
                                    const QString& workingFolder) {
    tool_ = tool;
    const QString program = ToolRunner::locate(tool);
    if (program.isEmpty()) return failure(ENOENT, tool, QStringLiteral("not installed"));
    int input[2];
    int errors[2];
    if (pipe2(input, O_CLOEXEC) != 0) return failure(errno, tool, QStringLiteral("no pipe"));
    if (pipe2(errors, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(input[0]);
        ::close(input[1]);
        return failure(error, tool, QStringLiteral("no pipe"));
    }
    fcntl(input[1], F_SETPIPE_SZ, kPipeBytes);  // a smaller pipe only costs wake-ups

    std::vector<QByteArray> argumentBytes{program.toLocal8Bit()};
    for (const QString& argument : arguments) argumentBytes.push_back(argument.toLocal8Bit());
    std::vector<QByteArray> environmentBytes;
    for (const QString& entry : ToolRunner::environment()) {
        environmentBytes.push_back(entry.toLocal8Bit());
    }
    std::vector<char*> argv, envp;
    for (QByteArray& bytes : argumentBytes) argv.push_back(bytes.data());
    for (QByteArray& bytes : environmentBytes) envp.push_back(bytes.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const QByteArray folder = workingFolder.toLocal8Bit();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    // The tool starts with every signal at its default and none blocked, whatever ours are.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int spawned =
        posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    ::close(errors[1]);
    input_ = input[1];
    errors_ = errors[0];
    if (spawned != 0) {
        pid_ = -1;
        closeInput();
        closeFd(errors_);
        return failure(spawned, tool,
                       QStringLiteral("cannot start: %1").arg(qt_error_string(spawned)));
    }
    fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
    return {};
}

bool PipedTool::readErrors() {
    char buffer[4096];
    const ssize_t got = ::read(errors_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) return true;
    if (got <= 0) {
        closeFd(errors_);
        return false;
    }
    const qsizetype room = kKeptErrorBytes - keptErrors_.size();
    if (room > 0) keptErrors_.append(buffer, std::min<qsizetype>(room, got));
    return true;
}

foundation::Status PipedTool::write(const char* data, qsizetype size) {
    if (input_ < 0) return failure(EPIPE, tool_, QStringLiteral("its input is closed"));
    while (size > 0) {
        const ssize_t written = writeWithoutSigpipe(input_, data, static_cast<size_t>(size));
        if (written > 0) {
            data += written;
            size -= written;
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN) {
            return failure(errno, tool_, QStringLiteral("stopped reading its input"));
        }
        pollfd waits[2] = {{input_, POLLOUT, 0}, {errors_, POLLIN, 0}};
        if (poll(waits, errors_ >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) {
            return failure(errno, tool_, QStringLiteral("cannot wait for its input"));
        }
        if (errors_ >= 0 && waits[1].revents != 0) readErrors();
    }
    return {};
}

void PipedTool::closeInput() {
    closeFd(input_);
}

foundation::Result<ToolRunner::Outcome> PipedTool::finish() {
    closeInput();
    if (pid_ <= 0) return failure(EIO, tool_, QStringLiteral("not running"));
    while (errors_ >= 0 && readErrors()) {
    }
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (waited < 0 || !WIFEXITED(status)) {
        return failure(EIO, tool_, QStringLiteral("ended abnormally"));
    }
    ToolRunner::Outcome outcome;
    outcome.exitCode = WEXITSTATUS(status);
    outcome.errors = keptErrors_;
    return outcome;
}

void PipedTool::stop() {
    closeInput();
    closeFd(errors_);
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

}  // namespace qby::platform::linuxhost

#include "PrivateSessionBus.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QUuid>
#include <cerrno>
#include <csignal>

extern char** environ;

namespace qby::testsupport {

namespace {

// Reads the first line the daemon prints on the pipe, waiting at most timeoutMs in total.
QString readAddressLine(int fd, int timeoutMs) {
    QByteArray line;
    char chunk[256];
    while (!line.contains('\n')) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return {};
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        line.append(chunk, n);
    }
    return QString::fromUtf8(line.left(line.indexOf('\n'))).trimmed();
}

}  // namespace

PrivateSessionBus::PrivateSessionBus() {
    tag_ = QUuid::createUuid().toString(QUuid::Id128);
    if (!folder_.isValid()) return;

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;

    // The daemon inherits only the write end, as fd 3, and prints its address there.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // Running as root it complains about the file limit; its address is all we need from it.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    const QByteArray listen = "--address=unix:dir=" + QFile::encodeName(folder_.path());
    const char* argv[] = {"dbus-daemon",      "--session",         "--nofork", "--nopidfile",
                          listen.constData(), "--print-address=3", nullptr};
    pid_t pid = -1;
    int rc =
        posix_spawnp(&pid, "dbus-daemon", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return;
    }
    pid_ = pid;
    address_ = readAddressLine(fds[0], 10000);
    close(fds[0]);
    if (address_.isEmpty()) stop();
}

PrivateSessionBus::~PrivateSessionBus() {
    stop();
}

QDBusConnection PrivateSessionBus::connection(const QString& name) {
    const QString full = tag_ + "-" + name;
    if (!connectionNames_.contains(full)) connectionNames_.append(full);
    return QDBusConnection::connectToBus(address_, full);
}

void PrivateSessionBus::stop() {
    for (const QString& name : connectionNames_) QDBusConnection::disconnectFromBus(name);
    connectionNames_.clear();
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    address_.clear();
}

}  // namespace qby::testsupport

#include "PrivateSessionBus.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QUuid>
#include <cerrno>
#include <csignal>
#include <cstdio>

extern char** environ;

namespace qby::testsupport {

PrivateSessionBus::PrivateSessionBus() : tag_(QUuid::createUuid().toString(QUuid::Id128)) {
    int fds[2];
    if (!folder_.isValid() || pipe2(fds, O_CLOEXEC) != 0) return;
    // The daemon gets the pipe's write end as fd 3 and prints its address there; running as root
    // it complains about the file limit on standard error, which nobody needs.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const QByteArray listen = "--address=unix:dir=" + QFile::encodeName(folder_.path());
    const char* argv[] = {"dbus-daemon",      "--session",         "--nofork", "--nopidfile",
                          listen.constData(), "--print-address=3", nullptr};
    const int rc =
        posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    // The first line, or end of file when the daemon gave up.
    FILE* output = fdopen(fds[0], "r");
    char line[1024];
    if (rc == 0 && fgets(line, sizeof line, output) != nullptr)
        address_ = QString::fromUtf8(line).trimmed();
    fclose(output);
    if (rc != 0) pid_ = -1;
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
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
    address_.clear();
}

}  // namespace qby::testsupport

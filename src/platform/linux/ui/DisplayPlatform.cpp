#include "platform/linux/ui/DisplayPlatform.h"

#include <QRegularExpression>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

// Whether something accepts a connection on the local socket at `path` (a leading '@' for the
// abstract namespace).
bool answers(const QByteArray& path) {
    sockaddr_un address{};
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    if (path.startsWith('@')) address.sun_path[0] = '\0';
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return connected;
}

bool waylandAnswers(const QProcessEnvironment& environment) {
    const QString name = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (name.isEmpty()) return false;
    if (name.startsWith(u'/')) return answers(name.toLocal8Bit());
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    return !runtime.isEmpty() && answers((runtime + u'/' + name).toLocal8Bit());
}

bool xServerAnswers(const QProcessEnvironment& environment) {
    const QString display = environment.value(QStringLiteral("DISPLAY"));
    static const QRegularExpression local(QStringLiteral("^(?:unix)?:(\\d+)(?:\\.\\d+)?$"));
    const QRegularExpressionMatch match = local.match(display);
    if (!match.hasMatch()) {
        // A display on another host (ssh -X) is Qt's to reach; an empty one is none.
        return display.contains(u':');
    }
    const QByteArray socket = "/tmp/.X11-unix/X" + match.captured(1).toLatin1();
    return answers('@' + socket) || answers(socket);
}

}  // namespace

DisplayPlatform::Choice DisplayPlatform::choose(const QProcessEnvironment& environment) {
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty()) return Choice::Users;
    if (waylandAnswers(environment)) return Choice::Wayland;
    if (xServerAnswers(environment)) return Choice::X11;
    return Choice::None;
}

QByteArray DisplayPlatform::pluginName(Choice choice) {
    switch (choice) {
        case Choice::Wayland:
            return "wayland";
        case Choice::X11:
            return "xcb";
        case Choice::Users:
        case Choice::None:
            break;
    }
    return {};
}

const char* DisplayPlatform::noDisplayMessage() {
    return "Quillbay Downloader: no display to show its windows on (neither a Wayland compositor "
           "at WAYLAND_DISPLAY nor an X server at DISPLAY answers); start it from your desktop.";
}

}  // namespace qby::platform::linuxhost

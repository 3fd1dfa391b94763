#include "NamedCase.h"
#include "platform/linux/ui/DisplayPlatform.h"

#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qby::platform::linuxhost {
namespace {

using Choice = DisplayPlatform::Choice;

// A listening local socket at `path` ('@' first: the abstract namespace), closed with the test.
class Listener {
public:
    explicit Listener(const QByteArray& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        if (path.startsWith('@')) address.sun_path[0] = '\0';
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
        listening_ =
            bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd_, 4) == 0;
    }
    ~Listener() { close(fd_); }
    bool listening() const { return listening_; }

private:
    int fd_;
    bool listening_ = false;
};

struct DisplayCase : testsupport::NamedCase {
    const char* waylandDisplay;  // "" unset; "$R" stands for XDG_RUNTIME_DIR
    const char* display;         // "" unset; "$N" for the display number of the test's X server
    const char* qtPlatform;
    Choice expected;
};

class DisplayPlatformTest : public testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayPlatformTest, ChoosesWhatAnswers) {
    const DisplayCase& c = GetParam();
    QTemporaryDir runtime;
    const Listener compositor(QFile::encodeName(runtime.filePath("wayland-7")));
    // An X display number no real server takes, in the abstract namespace as X servers listen.
    const int number = 4000 + getpid() % 1000;
    const Listener xServer("@/tmp/.X11-unix/X" + QByteArray::number(number));
    ASSERT_TRUE(compositor.listening() && xServer.listening());

    QProcessEnvironment environment;
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    const auto put = [&](const char* name, const QString& value) {
        if (!value.isEmpty()) environment.insert(name, value);
    };
    put("WAYLAND_DISPLAY", QString::fromUtf8(c.waylandDisplay).replace("$R", runtime.path()));
    put("DISPLAY", QString::fromUtf8(c.display).replace("$N", QString::number(number)));
    put("QT_QPA_PLATFORM", QString::fromUtf8(c.qtPlatform));
    EXPECT_EQ(DisplayPlatform::choose(environment), c.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Sessions, DisplayPlatformTest, testing::Values(
    DisplayCase{"wayland_without_xwayland", "wayland-7", "", "", Choice::Wayland},
    DisplayCase{"wayland_with_xwayland", "wayland-7", ":$N", "", Choice::Wayland},
    DisplayCase{"wayland_by_path", "$R/wayland-7", "", "", Choice::Wayland},
    DisplayCase{"x11", "", ":$N", "", Choice::X11},
    DisplayCase{"x11_screen_and_unix", "", "unix:$N.0", "", Choice::X11},
    DisplayCase{"stale_wayland_name_falls_to_x11", "wayland-9", ":$N", "", Choice::X11},
    DisplayCase{"x_server_gone", "", ":3999", "", Choice::None},
    DisplayCase{"nothing_set", "", "", "", Choice::None},
    DisplayCase{"remote_x_is_qts_to_reach", "", "example.org:10", "", Choice::X11},
    DisplayCase{"users_choice_wins", "", "", "offscreen", Choice::Users}),
    testsupport::CaseName());
// clang-format on

TEST(DisplayPlatformNames, NameQtsPlugins) {
    EXPECT_EQ(DisplayPlatform::pluginName(Choice::Wayland), "wayland");
    EXPECT_EQ(DisplayPlatform::pluginName(Choice::X11), "xcb");
    EXPECT_TRUE(DisplayPlatform::pluginName(Choice::None).isEmpty());
    EXPECT_TRUE(DisplayPlatform::pluginName(Choice::Users).isEmpty());
}

}  // namespace
}  // namespace qby::platform::linuxhost

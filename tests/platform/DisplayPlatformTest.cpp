#include "NamedCase.h"
#include "platform/linux/ui/DisplayPlatform.h"

#include <QLocalServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qby::platform::linuxhost {
namespace {

using Choice = DisplayPlatform::Choice;

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
    QLocalServer compositor, xServer;
    // An X display number no real server takes, in the abstract namespace as X servers listen.
    const int number = 4000 + getpid() % 1000;
    xServer.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    ASSERT_TRUE(compositor.listen(runtime.filePath("wayland-7")) &&
                xServer.listen("/tmp/.X11-unix/X" + QString::number(number)));

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

// Qt's plugin names are the display roads' to see; the user's choice must reach Qt untouched.
TEST(DisplayPlatformNames, LeaveTheUsersChoiceToQt) {
    EXPECT_TRUE(DisplayPlatform::pluginName(Choice::Users).isEmpty());
}

}  // namespace
}  // namespace qby::platform::linuxhost

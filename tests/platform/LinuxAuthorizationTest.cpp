#include "NamedCase.h"
#include "platform/linux/system/LinuxAuthorization.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

// Stands in for pkexec: the prompt's refusals by their exit statuses, otherwise the tool is run
// as pkexec runs it once consent is given.
const QByteArray kPkexec = R"(#!/bin/sh
case "$1" in
/dismissed) exit 126 ;;
/unauthorized) exit 127 ;;
esac
exec "$@"
)";

struct PrivilegeCase : testsupport::NamedCase {
    bool pkexecInstalled;
    const char* tool;
    QStringList arguments;
    std::optional<int> status;  // the tool's exit status, or nothing
    int errorCode;              // the error's code when there is no status
};

class LinuxAuthorizationTest : public testing::TestWithParam<PrivilegeCase> {
protected:
    void SetUp() override {
        QFile script(dir.filePath("pkexec"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly) && script.write(kPkexec) == kPkexec.size());
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    }
    QTemporaryDir dir;  // private to the user, as the real pkexec's folder is to root
};

TEST_P(LinuxAuthorizationTest, AnswersTheToolsStatusOrWhyItDidNotRun) {
    const PrivilegeCase& c = GetParam();
    LinuxAuthorization authorization(dir.filePath(c.pkexecInstalled ? "pkexec" : "absent"));
    const foundation::Result<int> result = authorization.executeWithPrivileges(c.tool, c.arguments);

    ASSERT_EQ(result.ok(), c.status.has_value());
    EXPECT_EQ(result.ok() ? result.value() : result.error().code, c.status.value_or(c.errorCode));
    EXPECT_TRUE(result.ok() || !result.error().message.isEmpty());
}

// Each argument reaches the tool whole and unread by any shell.
const char* const kArgumentsAsTheyAre =
    "[ $# = 3 ] && [ \"$1\" = '/Applications/Quillbay Game.app' ] && [ \"$2\" = '$(exit 9)' ] "
    "&& [ \"$3\" = 'a;b' ]";
constexpr int kRefused = Authorization::kConsentRefused;
constexpr int kCannotStart = Authorization::kCannotStart;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Roads, LinuxAuthorizationTest,
    testing::Values(
        PrivilegeCase{"ToolFails", true, "/bin/sh", {"-c", "exit 3"}, 3, 0},
        PrivilegeCase{"ArgumentsAsTheyAre", true, "/bin/sh",
                      {"-c", kArgumentsAsTheyAre, "sh", "/Applications/Quillbay Game.app", "$(exit 9)", "a;b"}, 0, 0},
        PrivilegeCase{"PromptDismissed", true, "/dismissed", {}, std::nullopt, kRefused},
        PrivilegeCase{"NotAuthorized", true, "/unauthorized", {}, std::nullopt, kRefused},
        PrivilegeCase{"NoPkexec", false, "/bin/sh", {"-c", "exit 0"}, std::nullopt, kCannotStart},
        PrivilegeCase{"RelativeTool", true, "sh", {"-c", "exit 0"}, std::nullopt, kCannotStart},
        PrivilegeCase{"Killed", true, "/bin/sh", {"-c", "kill -KILL $$"}, std::nullopt, kCannotStart}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost

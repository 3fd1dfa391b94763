#include "platform/linux/LinuxWorkspace.h"

#include "TemporaryBundle.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <ostream>

namespace qby::platform::linuxhost {
namespace {

using testsupport::BundleContents;
using testsupport::TemporaryBundle;

// Waits up to five seconds for the file a launched program writes (it runs detached).
QByteArray waitForFile(const QString& path) {
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            if (bytes.endsWith("end\n")) return bytes;
        }
        QThread::msleep(10);
    }
    return {};
}

class LaunchTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        home = root.filePath("home");
        ASSERT_TRUE(QDir().mkpath(home));
    }
    LaunchResult launch(const QString& bundlePath) {
        LinuxWorkspace workspace({}, QDBusConnection(""), home);
        return workspace.launchApplication(bundlePath);
    }

    QTemporaryDir root;
    QString home;
};

TEST_F(LaunchTest, StartsTheExecutableDetachedInTheHomeFolder) {
    const QString report = root.filePath("report");
    const QByteArray script =
        "#!/bin/sh\n"
        "{ pwd; echo \"$#\"; readlink /proc/self/fd/0; echo \"$PPID\";\n"
        "  echo end; } > '" +
        QFile::encodeName(report) + "'\n";
    const QString app = TemporaryBundle::create(root.filePath("Applications"), "Quillbay",
                                                {.identifier = "com.quillbay.Client2",
                                                 .executableName = "Quillbay",
                                                 .executableContent = script});
    ASSERT_FALSE(app.isEmpty());

    const LaunchResult result = launch(app);
    EXPECT_EQ(result.errorCode, std::nullopt);
    ASSERT_NE(result.application, nullptr);
    EXPECT_EQ(result.application->bundleIdentifier(), QString("com.quillbay.Client2"));

    const QList<QByteArray> lines = waitForFile(report).split('\n');
    ASSERT_GE(lines.size(), 5) << "the program did not run";
    EXPECT_EQ(lines[0], QFile::encodeName(home));
    EXPECT_EQ(lines[1], "0");  // no arguments
    EXPECT_EQ(lines[2], "/dev/null");
    EXPECT_NE(lines[3].toLongLong(), static_cast<long long>(getpid()));  // not our child
}

struct LaunchFailureCase {
    const char* name;
    BundleContents contents;
    qint64 errorCode;
};

// Test names and failure messages show the case, not its bytes.
void PrintTo(const LaunchFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class LaunchFailureTest : public LaunchTest,
                          public testing::WithParamInterface<LaunchFailureCase> {};

TEST_P(LaunchFailureTest, AnswersTheErrnoAndNoApplication) {
    const QString app =
        TemporaryBundle::create(root.filePath("Applications"), "Quillbay", GetParam().contents);
    ASSERT_FALSE(app.isEmpty());
    const LaunchResult result = launch(app);
    EXPECT_EQ(result.errorCode, GetParam().errorCode);
    EXPECT_EQ(result.application, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Bundles, LaunchFailureTest,
    testing::Values(
        LaunchFailureCase{"MissingExecutable",
                          {.identifier = "com.quillbay.Client2", .executableName = "Quillbay"},
                          ENOENT},
        LaunchFailureCase{"NotExecutable",
                          {.identifier = "com.quillbay.Client2",
                           .executableName = "Quillbay",
                           .executableContent = "#!/bin/sh\nexit 0\n",
                           .executableMode = 0644},
                          EACCES},
        LaunchFailureCase{"NoProgramFormat",
                          {.identifier = "com.quillbay.Client2",
                           .executableName = "Quillbay",
                           .executableContent = "just text, no interpreter line\n"},
                          ENOEXEC},
        LaunchFailureCase{
            "NoInfoPlist", {.identifier = "com.quillbay.Client2", .writeInfoPlist = false}, ENOENT},
        LaunchFailureCase{"NoExecutableKey", {.identifier = "com.quillbay.Client2"}, ENOEXEC},
        LaunchFailureCase{"EscapingExecutable",
                          {.identifier = "com.quillbay.Client2", .executableName = "../../bin/sh"},
                          ENOEXEC},
        LaunchFailureCase{"AbsoluteExecutable",
                          {.identifier = "com.quillbay.Client2", .executableName = "/bin/sh"},
                          ENOEXEC},
        LaunchFailureCase{"DotDotExecutable",
                          {.identifier = "com.quillbay.Client2", .executableName = ".."},
                          ENOEXEC}),
    [](const testing::TestParamInfo<LaunchFailureCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(LaunchTest, AGarbageInfoPlistIsNoProgramAndAMissingBundleIsAbsent) {
    const QString app = root.filePath("Broken.app");
    ASSERT_TRUE(QDir().mkpath(app + "/Contents/MacOS"));
    QFile info(app + "/Contents/Info.plist");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("\x00\x01 not a plist", 14);
    info.close();
    EXPECT_EQ(launch(app).errorCode, ENOEXEC);
    EXPECT_EQ(launch(root.filePath("Nowhere.app")).errorCode, ENOENT);
}

// A client gone between the look-up and the launch leaves an empty path; neither it nor a
// relative path may reach a bundle through the working folder (or the root).
TEST_F(LaunchTest, AnEmptyOrRelativePathIsAbsentWithoutLookingAtAnyFile) {
    const QString app = TemporaryBundle::create(root.path(), "Quillbay",
                                                {.identifier = "com.quillbay.Client2",
                                                 .executableName = "Quillbay",
                                                 .executableContent = "#!/bin/sh\nexit 0\n"});
    ASSERT_FALSE(app.isEmpty());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(app));
    const LaunchResult empty = launch(QString());
    const LaunchResult relative = launch(QStringLiteral("."));
    QDir::setCurrent(previous);
    EXPECT_EQ(empty.errorCode, ENOENT);
    EXPECT_EQ(relative.errorCode, ENOENT);
    EXPECT_EQ(relative.application, nullptr);
}

}  // namespace
}  // namespace qby::platform::linuxhost

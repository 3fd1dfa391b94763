#include "platform/linux/LinuxWorkspace.h"

#include "NamedCase.h"
#include "PropertyListBytes.h"
#include "TemporaryBundle.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

namespace qby::platform::linuxhost {
namespace {

using testsupport::binaryPlist;
using testsupport::BundleContents;
using testsupport::TemporaryBundle;
using testsupport::waitUntil;

constexpr const char* kClient = "com.quillbay.Client2";

// A home folder and two application folders standing for /Applications and ~/Applications.
class LinuxWorkspaceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir().mkpath(home));
        ASSERT_TRUE(QDir().mkpath(system));
        ASSERT_TRUE(QDir().mkpath(user));
    }
    QString bundle(const QString& folder, const QString& name, const QString& identifier) {
        const QString path = TemporaryBundle::create(folder, name, {.identifier = identifier});
        EXPECT_FALSE(path.isEmpty());
        return path;
    }
    std::optional<QString> lookup(const QString& identifier) {
        LinuxWorkspace workspace({system, user}, QDBusConnection(""), root.path());
        return workspace.absolutePathForAppBundleWithIdentifier(identifier);
    }
    LaunchResult launch(const QString& bundlePath) {
        LinuxWorkspace workspace({}, QDBusConnection(""), home);
        return workspace.launchApplication(bundlePath);
    }

    QTemporaryDir root;
    QString home = root.filePath("home");
    QString system = root.filePath("Applications");
    QString user = root.filePath("home/Applications");
};

TEST_F(LinuxWorkspaceTest, SystemFolderComesBeforeTheUsersFolder) {
    bundle(user, "Quillbay", kClient);
    EXPECT_EQ(lookup(kClient), user + "/Quillbay.app");
    const QString first = bundle(system, "Quillbay", kClient);
    EXPECT_EQ(lookup(kClient), first);
}

TEST_F(LinuxWorkspaceTest, WithinAFolderTheFirstNameWins) {
    bundle(system, "Zed", kClient);
    bundle(system, "Beta", kClient);
    bundle(system, "Alpha", "com.example.other");
    EXPECT_EQ(lookup(kClient), system + "/Beta.app");
}

TEST_F(LinuxWorkspaceTest, IdentifierMustMatchExactly) {
    bundle(system, "Upper", "COM.QUILLBAY.CLIENT2");
    bundle(system, "Longer", "com.quillbay.Client22");
    bundle(system, "Shorter", "com.quillbay.Client");
    bundle(system, "Spaced", "com.quillbay.Client2 ");
    EXPECT_EQ(lookup(kClient), std::nullopt);
    EXPECT_EQ(lookup("COM.QUILLBAY.CLIENT2"), system + "/Upper.app");
}

TEST_F(LinuxWorkspaceTest, OnlyBundlesDirectlyInsideCount) {
    // Not named *.app, nested one level down, or without a readable description.
    ASSERT_TRUE(QDir().mkpath(system + "/Quillbay/Contents"));
    QFile info(system + "/Quillbay/Contents/Info.plist");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write(TemporaryBundle::infoPlistXml({{"CFBundleIdentifier", kClient}}));
    info.close();
    bundle(system + "/Games", "Quillbay", kClient);
    TemporaryBundle::create(system, "NoInfo", {.identifier = kClient, .writeInfoPlist = false});
    ASSERT_TRUE(QDir().mkpath(system + "/Garbage.app/Contents"));
    QFile garbage(system + "/Garbage.app/Contents/Info.plist");
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("<plist><dict><key>CFBundleIdentifier</key><string>com.quillbay.Cl");
    garbage.close();
    EXPECT_EQ(lookup(kClient), std::nullopt);
}

TEST_F(LinuxWorkspaceTest, ReadsBinaryDescriptionsAndLinkedBundles) {
    const QString elsewhere = bundle(root.filePath("opt"), "Real", kClient);
    ASSERT_EQ(symlink(QFile::encodeName(elsewhere).constData(),
                      QFile::encodeName(user + "/Linked.app").constData()),
              0);
    EXPECT_EQ(lookup(kClient), user + "/Linked.app");

    const QString binary = bundle(system, "Binary", "placeholder");
    QFile info(binary + "/Contents/Info.plist");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly | QIODevice::Truncate));
    info.write(binaryPlist({{"CFBundleIdentifier", kClient}}));
    info.close();
    EXPECT_EQ(lookup(kClient), binary);
}

TEST_F(LinuxWorkspaceTest, PathsAreCleanWhateverTheFolderLooksLike) {
    const QString found = bundle(user, "Quillbay", kClient);
    LinuxWorkspace workspace({user + "/", user + "/../Applications"}, QDBusConnection(""),
                             root.path());
    EXPECT_EQ(workspace.absolutePathForAppBundleWithIdentifier(kClient), found);
}

TEST_F(LinuxWorkspaceTest, MissingFoldersAreNoError) {
    LinuxWorkspace workspace({root.filePath("none"), user}, QDBusConnection(""), root.path());
    bundle(user, "Quillbay", kClient);
    EXPECT_EQ(workspace.absolutePathForAppBundleWithIdentifier(kClient), user + "/Quillbay.app");
    LinuxWorkspace empty({}, QDBusConnection(""), root.path());
    EXPECT_EQ(empty.absolutePathForAppBundleWithIdentifier(kClient), std::nullopt);
}

TEST_F(LinuxWorkspaceTest, StartsTheExecutableDetachedInTheHomeFolder) {
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

    // The program runs detached: wait for the report it writes.
    QByteArray bytes;
    waitUntil([&] {
        QFile file(report);
        bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        return bytes.endsWith("end\n");
    });
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_GE(lines.size(), 5) << "the program did not run";
    EXPECT_EQ(lines[0], QFile::encodeName(home));
    EXPECT_EQ(lines[1], "0");  // no arguments
    EXPECT_EQ(lines[2], "/dev/null");
    EXPECT_NE(lines[3].toLongLong(), static_cast<long long>(getpid()));  // not our child
}

struct LaunchFailureCase : testsupport::NamedCase {
    BundleContents contents;
    qint64 errorCode;
};

class LaunchFailureTest : public LinuxWorkspaceTest,
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
    testsupport::CaseName{});

TEST_F(LinuxWorkspaceTest, AGarbageInfoPlistIsNoProgramAndAMissingBundleIsAbsent) {
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
TEST_F(LinuxWorkspaceTest, AnEmptyOrRelativePathIsAbsentWithoutLookingAtAnyFile) {
    const QString app = TemporaryBundle::create(root.path(), "Quillbay",
                                                {.identifier = kClient,
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

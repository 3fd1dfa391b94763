#include "NamedCase.h"
#include "PropertyListBytes.h"
#include "TemporaryBundle.h"
#include "TestFiles.h"
#include "WaitUntil.h"
#include "platform/linux/desktop/LinuxWorkspace.h"
#include "platform/linux/system/EventDispatcherChoice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qby::platform::linuxhost {
namespace {

using harness::waitUntil;
using testsupport::binaryPlist;
using testsupport::BundleContents;
using testsupport::TemporaryBundle;

constexpr const char* kClient = "com.quillbay.Client2";

// A client bundle whose Info.plist names the executable, written when content is given.
BundleContents withExecutable(const char* name, std::optional<QByteArray> content = std::nullopt,
                              mode_t mode = 0755) {
    return {kClient, name, content, mode};
}

// A home folder and two application folders standing for /Applications and ~/Applications.
class LinuxWorkspaceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(system) && QDir().mkpath(user)); }
    QString bundle(const QString& folder, const QString& name, const QString& identifier) {
        const QString path = TemporaryBundle::create(folder, name, {.identifier = identifier});
        EXPECT_FALSE(path.isEmpty());
        return path;
    }
    // Looks in the given folders, else in the system folder, then the user's.
    std::optional<QString> lookup(const QString& identifier, QStringList folders = {}) {
        LinuxWorkspace workspace(folders.isEmpty() ? QStringList{system, user} : folders,
                                 QDBusConnection(""), root.path());
        return workspace.absolutePathForAppBundleWithIdentifier(identifier);
    }
    static void put(const QString& path, const QByteArray& bytes) {
        ASSERT_TRUE(testsupport::writeFile(path, bytes));
    }
    LaunchResult launch(const QString& bundlePath) {
        return LinuxWorkspace({}, QDBusConnection(""), home).launchApplication(bundlePath);
    }

    QTemporaryDir root;
    QString home = root.filePath("home");
    QString system = root.filePath("Applications");
    QString user = root.filePath("home/Applications");
};

// Bundles as "s:Name=identifier" (system folder) or "u:Name=identifier" (the user's); the
// bundle found for the identifier, as "s:Name" or "u:Name", or "" for none.
struct LookupCase : testsupport::NamedCase {
    QStringList bundles;
    const char* identifier;
    const char* found;
};

class LookupTest : public LinuxWorkspaceTest, public testing::WithParamInterface<LookupCase> {};

TEST_P(LookupTest, FindsTheFirstBundleWithExactlyThatIdentifier) {
    for (const QString& placed : GetParam().bundles) {
        const QStringList nameAndId = placed.mid(2).split('=');
        bundle(placed[0] == 's' ? system : user, nameAndId[0], nameAndId[1]);
    }
    const QString found = GetParam().found;
    EXPECT_EQ(
        lookup(GetParam().identifier).value_or(""),
        found.isEmpty() ? "" : (found[0] == 's' ? system : user) + "/" + found.mid(2) + ".app");
}

const QStringList kNearMisses{"s:Upper=COM.QUILLBAY.CLIENT2", "s:Longer=com.quillbay.Client22",
                              "s:Shorter=com.quillbay.Client", "s:Spaced=com.quillbay.Client2 "};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Folders, LookupTest,
    testing::Values(
        LookupCase{"OnlyInTheUsersFolder", {"u:Quillbay=com.quillbay.Client2"}, kClient, "u:Quillbay"},
        LookupCase{"SystemFolderFirst", {"u:Quillbay=com.quillbay.Client2", "s:Quillbay=com.quillbay.Client2"},
                   kClient, "s:Quillbay"},
        LookupCase{"FirstNameWins", {"s:Zed=com.quillbay.Client2", "s:Beta=com.quillbay.Client2",
                                     "s:Alpha=com.example.other"}, kClient, "s:Beta"},
        LookupCase{"NearMissesAreNoMatch", kNearMisses, kClient, ""},
        LookupCase{"CaseCounts", kNearMisses, "COM.QUILLBAY.CLIENT2", "s:Upper"}),
    testsupport::CaseName{});
// clang-format on

TEST_F(LinuxWorkspaceTest, OnlyBundlesDirectlyInsideCount) {
    // Not named *.app, nested one level down, or without a readable description.
    put(system + "/Quillbay/Contents/Info.plist",
        TemporaryBundle::infoPlistXml({{"CFBundleIdentifier", kClient}}));
    bundle(system + "/Games", "Quillbay", kClient);
    TemporaryBundle::create(system, "NoInfo", {.identifier = kClient, .writeInfoPlist = false});
    put(system + "/Garbage.app/Contents/Info.plist",
        "<plist><dict><key>CFBundleIdentifier</key><string>com.quillbay.Cl");
    EXPECT_EQ(lookup(kClient), std::nullopt);
}

TEST_F(LinuxWorkspaceTest, ReadsBinaryDescriptionsAndLinkedBundles) {
    const QString elsewhere = bundle(root.filePath("opt"), "Real", kClient);
    ASSERT_TRUE(QFile::link(elsewhere, user + "/Linked.app"));
    EXPECT_EQ(lookup(kClient), user + "/Linked.app");

    const QString binary = bundle(system, "Binary", "placeholder");
    put(binary + "/Contents/Info.plist", binaryPlist({{"CFBundleIdentifier", kClient}}));
    EXPECT_EQ(lookup(kClient), binary);
}

TEST_F(LinuxWorkspaceTest, PathsAreCleanWhateverTheFolderLooksLikeAndMissingFoldersAreNoError) {
    const QString found = bundle(user, "Quillbay", kClient);
    for (const QString& folder : {user + "/", user + "/../Applications"})
        EXPECT_EQ(lookup(kClient, {root.filePath("none"), folder}), found);
}

TEST_F(LinuxWorkspaceTest, StartsTheExecutableDetachedInTheHomeFolder) {
    const QString report = root.filePath("report");
    const QByteArray script =
        "#!/bin/sh\n"
        "{ pwd; echo \"$#\"; readlink /proc/self/fd/0; echo \"${QT_NO_GLIB-none}\";\n"
        "  echo \"$PPID\";\n"
        "  echo end; } > '" +
        QFile::encodeName(report) + "'\n";
    const QString app =
        TemporaryBundle::create(system, "Quillbay", withExecutable("Quillbay", script));
    ASSERT_FALSE(app.isEmpty());

    EventDispatcherChoice::preferQtDispatcher();  // the downloader's own, not the program's
    const LaunchResult result = launch(app);
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    ASSERT_NE(result.value(), nullptr);
    EXPECT_EQ(result.value()->bundleIdentifier(), QString(kClient));

    // The program runs detached: wait for the report it writes.
    QByteArray bytes;
    waitUntil([&] {
        QFile file(report);
        bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        return bytes.endsWith("end\n");
    });
    // In the home folder, no arguments, no input, none of our choices, not our child.
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_GE(lines.size(), 6) << "the program did not run";
    EXPECT_EQ(lines.mid(0, 4),
              QList<QByteArray>({QFile::encodeName(home), "0", "/dev/null", "none"}));
    EXPECT_NE(lines[4].toLongLong(), static_cast<long long>(getpid()));
}

// The bundle's Info.plist is replaced by infoPlist when that is given.
struct LaunchFailureCase : testsupport::NamedCase {
    BundleContents contents;
    int errorCode;
    QByteArray infoPlist = {};
};

class LaunchFailureTest : public LinuxWorkspaceTest,
                          public testing::WithParamInterface<LaunchFailureCase> {};

TEST_P(LaunchFailureTest, AnswersTheErrnoAndNoApplication) {
    const QString app = TemporaryBundle::create(system, "Quillbay", GetParam().contents);
    ASSERT_FALSE(app.isEmpty());
    if (!GetParam().infoPlist.isEmpty()) put(app + "/Contents/Info.plist", GetParam().infoPlist);
    const LaunchResult result = launch(app);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, GetParam().errorCode);
    // The reason names the bundle's file that kept it from starting.
    EXPECT_TRUE(result.error().message.contains(app + "/Contents/"))
        << result.error().message.toStdString();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Bundles, LaunchFailureTest,
    testing::Values(
        LaunchFailureCase{"MissingExecutable", withExecutable("Quillbay"), ENOENT},
        LaunchFailureCase{"NotExecutable", withExecutable("Quillbay", "#!/bin/sh\n", 0644), EACCES},
        LaunchFailureCase{"NoProgramFormat", withExecutable("Quillbay", "no interpreter\n"), ENOEXEC},
        LaunchFailureCase{"NoInfoPlist", {.identifier = kClient, .writeInfoPlist = false}, ENOENT},
        LaunchFailureCase{"GarbageInfoPlist", {.identifier = kClient}, ENOEXEC, QByteArray("\x00\x01 not a plist", 14)},
        LaunchFailureCase{"NoExecutableKey", {.identifier = kClient}, ENOEXEC},
        LaunchFailureCase{"EscapingExecutable", withExecutable("../../bin/sh"), ENOEXEC},
        LaunchFailureCase{"DotDotExecutable", withExecutable(".."), ENOEXEC}),
    testsupport::CaseName{});
// clang-format on

// A client gone between the look-up and the launch leaves an empty path; neither it nor a
// relative path may reach a bundle through the working folder (or the root).
TEST_F(LinuxWorkspaceTest, AnEmptyOrRelativePathIsAbsentWithoutLookingAtAnyFile) {
    const QString app =
        TemporaryBundle::create(root.path(), "Quillbay", withExecutable("Quillbay", "#!/bin/sh\n"));
    ASSERT_FALSE(app.isEmpty());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(app));
    const LaunchResult empty = launch(QString()), relative = launch(QStringLiteral("."));
    QDir::setCurrent(previous);
    for (const LaunchResult* result : {&empty, &relative})
        EXPECT_TRUE(!result->ok() && result->error().code == ENOENT);
}

}  // namespace
}  // namespace qby::platform::linuxhost

// The install helper's refusals, run as the real program. The caller's folder has no Info.plist,
// so that no case, even with a check taken out, can go on to write anything: a check that is
// gone shows as the Info.plist's status instead of the refusal.
#include "NamedCase.h"
#include "installhelper/InstallStatus.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qby::installhelper {
namespace {

struct RefusalCase : testsupport::NamedCase {
    const char* source;  // "own": the caller's folder, "link": a link to it, else as given
    const char* extra;   // a second argument, or nothing
    int callerOffset;    // PKEXEC_UID: our uid plus this; -1: unset
    int status;
};

class InstallHelperTest : public testing::TestWithParam<RefusalCase> {
protected:
    QTemporaryDir dir;
};

TEST_P(InstallHelperTest, RefusesBeforeTouchingAnything) {
    const RefusalCase& c = GetParam();
    const QString own = dir.filePath("Quillbay.app");
    ASSERT_TRUE(QDir().mkpath(own + "/Contents/MacOS"));
    ASSERT_TRUE(QFile::link(own, dir.filePath("Link.app")));
    const QString source = QString(c.source) == "own"    ? own
                           : QString(c.source) == "link" ? dir.filePath("Link.app")
                                                         : QString(c.source);

    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("PKEXEC_UID");
    if (c.callerOffset >= 0)
        environment.insert("PKEXEC_UID", QString::number(getuid() + c.callerOffset));
    helper.setProcessEnvironment(environment);
    QStringList arguments{source};
    if (c.extra != nullptr) arguments << c.extra;
    helper.start(QBY_INSTALL_HELPER, arguments);
    ASSERT_TRUE(helper.waitForFinished(10000));
    EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(helper.exitCode(), c.status) << helper.readAllStandardError().toStdString();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Refusals, InstallHelperTest,
    testing::Values(
        RefusalCase{"OtherDestination", "own", "/tmp/Elsewhere.app", 0, kBadArguments},
        RefusalCase{"RelativeSource", "Quillbay.app", nullptr, 0, kBadArguments},
        RefusalCase{"NoCaller", "own", nullptr, -1, kNoCaller},
        RefusalCase{"ForeignSource", "own", nullptr, 1, kSourceRefused},
        RefusalCase{"LinkAsSource", "link", nullptr, 0, kSourceRefused},
        RefusalCase{"MissingSource", "/nonexistent/Quillbay.app", nullptr, 0, kSourceRefused},
        // The caller's own folder passes the source checks: what stops it is its Info.plist.
        RefusalCase{"OwnFolderWithoutInfoPlist", "own", nullptr, 0, kBundleUnreadable}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::installhelper

// How a tool's failure reads: a full disk is told apart from every other failure.
#include "NamedCase.h"
#include "platform/linux/system/ToolRunner.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

struct ExitCase : testsupport::NamedCase {
    const char* tool;
    int status;
    QByteArray errors;
    int code;
};

class ToolExitErrorTest : public testing::TestWithParam<ExitCase> {};

TEST_P(ToolExitErrorTest, CodeIsEnospcOnlyForAFullDisk) {
    const ExitCase& row = GetParam();
    const foundation::Error error = ToolRunner::exitError(QString::fromLatin1(row.tool),
                                                          {row.status, QByteArray(), row.errors});
    EXPECT_EQ(error.code, row.code);
    EXPECT_TRUE(error.message.startsWith(
        QStringLiteral("%1 exited with status %2: ").arg(row.tool).arg(row.status)))
        << error.message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ToolExitErrorTest,
    testing::Values(ExitCase{"TarOutOfSpace", "tar", 2,
                             "tar: a/b: Cannot write: No space left on device\n", ENOSPC},
                    ExitCase{"TarOtherFailure", "tar", 2, "tar: Unexpected EOF in archive\n", 2},
                    ExitCase{"UnzipDiskFull", "unzip", 50,
                             "write error (disk full?).  Continue? (y/n/^C)", ENOSPC},
                    ExitCase{"UnzipOtherFailure", "unzip", 9, "cannot find zipfile directory", 9},
                    ExitCase{"StatusFiftyOfAnotherTool", "tar", 50, "", 50}),
    testsupport::CaseName{});

}  // namespace
}  // namespace qby::platform::linuxhost

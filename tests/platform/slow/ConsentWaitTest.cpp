// An administrator who answers after 45 seconds still gets the tool run: nothing caps the wait
// for consent. Slow by nature (label "slow"); it runs beside the other tests.
#include "platform/linux/system/LinuxAuthorization.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

// Stands in for pkexec: the administrator takes 46 seconds to consent.
const QByteArray kSlowPkexec = "#!/bin/sh\nsleep 46\nexec \"$@\"\n";

TEST(ConsentWaitTest, ConsentAfterFortyFiveSecondsStillRunsTheTool) {
    QTemporaryDir dir;
    QFile script(dir.filePath("pkexec"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly) &&
                script.write(kSlowPkexec) == kSlowPkexec.size());
    script.close();
    ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));

    QElapsedTimer waited;
    waited.start();
    LinuxAuthorization authorization(script.fileName());
    const foundation::Result<int> result =
        authorization.executeWithPrivileges("/bin/sh", {"-c", "exit 7"});
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    EXPECT_EQ(result.value(), 7);
    EXPECT_GE(waited.elapsed(), 46000);
}

}  // namespace
}  // namespace qby::platform::linuxhost

#include "platform/linux/LinuxProcessInfo.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QRegularExpression>
#include <QSet>

namespace qby::platform::linuxhost {
namespace {

TEST(LinuxProcessInfoTest, TokensAreDistinctAndSafeInFileNames) {
    LinuxProcessInfo info;
    const QString pid = QString::number(getpid(), 16).toUpper();
    const QRegularExpression form(
        "\\A[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}-" + pid + "\\z");
    QSet<QString> seen;
    for (int i = 0; i < 10000; ++i) {
        const QString token = info.globallyUniqueString();
        ASSERT_TRUE(form.match(token).hasMatch()) << token.toStdString();
        ASSERT_FALSE(token.contains('.') || token.contains('/')) << token.toStdString();
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 10000);
}

}  // namespace
}  // namespace qby::platform::linuxhost

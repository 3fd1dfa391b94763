#include "NamedCase.h"
#include "platform/linux/archive/ArchiveMemberCheck.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

// Members as "KIND:NAME" or "h:NAME=>TARGET" (KIND: d folder, f file, l link, h hard link).
std::vector<ArchiveMember> membersOf(const QStringList& descriptions) {
    std::vector<ArchiveMember> members;
    for (const QString& description : descriptions) {
        const QByteArray text = description.toUtf8();
        const QList<QByteArray> nameAndTarget = text.mid(2).split('>');
        const auto kind = text[0] == 'd'   ? ArchiveMember::Kind::Folder
                          : text[0] == 'f' ? ArchiveMember::Kind::File
                          : text[0] == 'l' ? ArchiveMember::Kind::SymbolicLink
                                           : ArchiveMember::Kind::HardLink;
        members.push_back({nameAndTarget[0], kind, nameAndTarget.value(1)});
    }
    return members;
}

struct CheckCase : testsupport::NamedCase {
    QStringList members;
    const char* refusal;  // part of the refusal; empty when the members pass
};

class ArchiveMemberCheckTest : public testing::TestWithParam<CheckCase> {};

TEST_P(ArchiveMemberCheckTest, RefusesWhatWouldLeadOutOfTheFolderInEitherOrder) {
    const CheckCase& c = GetParam();
    const foundation::Status checked = ArchiveMemberCheck::check(membersOf(c.members));
    EXPECT_EQ(checked.ok(), *c.refusal == '\0') << checked.error().message.toStdString();
    EXPECT_TRUE(checked.error().message.contains(QLatin1String(c.refusal)))
        << checked.error().message.toStdString();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Members, ArchiveMemberCheckTest,
    testing::Values(
        CheckCase{"Bundle", {"d:a/", "f:a/b", "l:a/c", "h:a/d>a/b", "f:a/b", "d:a/./"}, ""},
        CheckCase{"Nothing", {}, "holds nothing"},
        CheckCase{"LinkWhereAFolderWas", {"d:a/", "l:a"}, "in place of a folder"},
        CheckCase{"LinkWhereAParentWas", {"f:a\\b", "l:a"}, "in place of a folder"},
        CheckCase{"FolderWhereALinkWas", {"l:a", "d:a"}, "folder in place of a link"},
        CheckCase{"BelowALink", {"l:a", "f:a/b/c"}, "below a link"},
        CheckCase{"HardLinkThroughALink", {"l:a", "h:b>a/c"}, "through a link"},
        CheckCase{"LinkOverAHardLinkTarget", {"h:b>a/c", "l:a"}, "in place of a folder"},
        CheckCase{"TheFolderItself", {"l:./"}, "replace the folder itself"}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost

#include "NamedCase.h"
#include "ScopedEnvironment.h"
#include "platform/linux/archive/LinuxArchiveTools.h"
#include "platform/linux/system/ToolRunner.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

constexpr auto kTgz = ArchiveFormat::TarGzip;
constexpr auto kZip = ArchiveFormat::Zip;

// The archive's format follows its name; it unpacks when files are expected afterwards.
struct UnpackCase : testsupport::NamedCase {
    const char* fileName;
    QStringList members;   // as make_archive.py reads them; "@OUT": the folder beside "work"
    QStringList expected;  // files that stand in the work folder afterwards
    ArchiveFormat format() const { return QByteArray(fileName).endsWith(".zip") ? kZip : kTgz; }
};

// Everything below root, relative to it, links not followed; one text that failures print.
std::string treeOf(const QString& root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) paths.append(QDir(root).relativeFilePath(it.next()));
    paths.sort();
    return paths.join(" | ").toStdString();
}

class LinuxArchiveToolsTest : public testing::TestWithParam<UnpackCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(root.path()).mkdir("work") && QDir(root.path()).mkdir("outside"));
    }

    // Writes the archive with the members of the case (tar skips some hostile members on its own,
    // so rows put a harmless member first that it would write); "!corrupt" writes bytes no tool
    // reads.
    void makeArchive(const UnpackCase& c) {
        const QString archive = work() + "/" + c.fileName;
        if (c.members == QStringList{"!corrupt"}) {
            QFile file(archive);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) &&
                        file.write(QByteArray(4096, '\x1f')) > 0);
            return;
        }
        QStringList arguments{QBY_MAKE_ARCHIVE, c.format() == kTgz ? "tgz" : "zip", archive};
        for (QString member : c.members) arguments.append(member.replace("@OUT", outside()));
        QProcess python;
        // The system Python starts fastest; any Python 3 will do.
        python.start(QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3", arguments);
        ASSERT_TRUE(python.waitForFinished(30000));
        ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    }

    QString work() const { return root.filePath("work"); }
    QString outside() const { return root.filePath("outside"); }

    QTemporaryDir root;
    LinuxArchiveTools tools;
};

TEST_P(LinuxArchiveToolsTest, UnpacksOnlyWhatStaysInsideTheFolder) {
    const UnpackCase& c = GetParam();
    makeArchive(c);

    const foundation::Status unpacked =
        tools.unpack(work(), QString::fromUtf8(c.fileName), c.format());

    EXPECT_EQ(unpacked.ok(), !c.expected.isEmpty()) << unpacked.error().message.toStdString();
    for (const QString& file : c.expected)
        EXPECT_TRUE(QFile::exists(work() + "/" + file)) << file.toStdString();
    if (c.expected.isEmpty()) {
        EXPECT_FALSE(unpacked.error().message.isEmpty());
        EXPECT_EQ(treeOf(work()), c.fileName);
    }
    // Nothing beside the work folder.
    EXPECT_EQ(treeOf(outside()), "");
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"outside", "work"}));
}

const QStringList kBundle{"d:Game.app/", "d:Game.app/Contents/", "f:Game.app/Contents/Info.plist",
                          "x:Game.app/Contents/MacOS/Game", "l:Game.app/Contents/Current=>MacOS"};
const QStringList kBundleFiles{"Game.app/Contents/Info.plist", "Game.app/Contents/MacOS/Game",
                               "Game.app/Contents/Current/Game"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Archives, LinuxArchiveToolsTest,
    testing::Values(
        UnpackCase{"ValidTgz", "Game.tgz", kBundle + QStringList{"h:Game.app/Hard=>Game.app/Contents/Info.plist"},
                   kBundleFiles + QStringList{"Game.app/Hard"}},
        UnpackCase{"ValidZip", "Game.zip", kBundle, kBundleFiles},
        UnpackCase{"DashNameZip", "-o.zip", kBundle, kBundleFiles},
        UnpackCase{"AbsoluteZip", "Game.zip", {"f:@OUT/evil"}},
        UnpackCase{"ClimbingZip", "Game.zip", {"f:../outside/evil"}},
        UnpackCase{"ThroughLinkZip", "Game.zip", {"l:Game.app=>@OUT", "f:Game.app/evil"}},
        UnpackCase{"HardLinkAbsolute", "Game.tgz", {"f:Game.app/Info", "h:evil=>@OUT/x"}},
        UnpackCase{"HardLinkClimbing", "Game.tgz", {"f:Game.app/Info", "h:evil=>../outside/x"}},
        // The listing would show "ev^Ail" for a name that unpacks as "evil".
        UnpackCase{"ControlCharacterZip", "Game.zip", {"f:Game.app/Info", "f:ev\x01il"}},
        UnpackCase{"CaretZip", "Game.zip", {"f:Game.app/Info", "f:a^Ab"}},
        UnpackCase{"CorruptTgz", "Game.tgz", {"!corrupt"}},
        UnpackCase{"TruncatedTgz", "Game.tgz", kBundle + QStringList{"!cut"}},
        UnpackCase{"GzipOfNoTar", "Game.tgz", {"!garbage"}},
        UnpackCase{"EmptyTgz", "Game.tgz", {}},
        // A name that only a reader of pax headers sees.
        UnpackCase{"PaxPathClimbs", "Game.tgz", {"f:Game.app/Info", "f:Game.app/Readme|path=../outside/evil"}},
        UnpackCase{"CorruptZip", "Game.zip", {"!corrupt"}}),
    testsupport::CaseName{});
// clang-format on

TEST_F(LinuxArchiveToolsTest, KeepsExecutableBitsAndRefusesNamesThatAreNotFileNames) {
    makeArchive({"", "Game.zip", kBundle});
    // A path that leads back to this very archive is still not a file name.
    for (const QString& name :
         {QString(), QString("."), QString(".."), QString("../work/Game.zip")})
        EXPECT_FALSE(tools.unpack(work(), name, kZip).ok()) << name.toStdString();
    EXPECT_EQ(treeOf(work()), "Game.zip");
    ASSERT_TRUE(tools.unpack(work(), "Game.zip", kZip).ok());
    EXPECT_TRUE(QFile(work() + "/Game.app/Contents/MacOS/Game")
                    .permissions()
                    .testFlags(QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
    EXPECT_FALSE(tools.unpack(work(), "Absent.zip", kZip).ok());
}

// Unpacking replaces nothing: what was moved up before the clash goes again.
TEST_F(LinuxArchiveToolsTest, LeavesTheFolderAsItWasWhenAMemberIsThereAlready) {
    makeArchive({"", "Game.tgz", {"f:Game.app/Info", "f:Readme", "f:Zzz"}});
    ASSERT_TRUE(QFile(work() + "/Readme").open(QIODevice::WriteOnly));

    const foundation::Status unpacked = tools.unpack(work(), "Game.tgz", kTgz);

    EXPECT_EQ(unpacked.error().code, EEXIST) << unpacked.error().message.toStdString();
    EXPECT_EQ(treeOf(work()), "Game.tgz | Readme");
    EXPECT_EQ(QFile(work() + "/Readme").size(), 0);
}

// Options from the user's environment reach neither tool.
TEST_F(LinuxArchiveToolsTest, IgnoresTheUsersEnvironment) {
    const std::tuple<const char*, QString, const char*, ArchiveFormat> rows[] = {
        {"UNZIP", "-d " + outside(), "Game.zip", kZip},
        {"TAR_OPTIONS", "--directory=" + outside(), "Game.tgz", kTgz}};
    for (const auto& [name, value, archive, format] : rows) {
        makeArchive({"", archive, kBundle});
        testsupport::ScopedEnvironment environment;
        environment.set(name, value);
        const foundation::Status unpacked = tools.unpack(work(), archive, format);
        EXPECT_TRUE(unpacked.ok() && QDir(work() + "/Game.app").removeRecursively())
            << name << ": " << unpacked.error().message.toStdString();
        EXPECT_EQ(treeOf(outside()), "") << name;
    }
}

// How a tool's failure reads: a full disk is told apart from every other failure.
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

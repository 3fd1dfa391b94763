#include "NamedCase.h"
#include "ScopedEnvironment.h"
#include "platform/linux/archive/LinuxArchiveTools.h"

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
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, '\x1f'));
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
    const QString startFolder = QDir::currentPath();

    const foundation::Status unpacked =
        tools.unpack(work(), QString::fromUtf8(c.fileName), c.format());

    EXPECT_EQ(unpacked.ok(), !c.expected.isEmpty()) << unpacked.error().message.toStdString();
    for (const QString& file : c.expected)
        EXPECT_TRUE(QFile::exists(work() + "/" + file)) << file.toStdString();
    if (c.expected.isEmpty()) {
        EXPECT_FALSE(unpacked.error().message.isEmpty());
        EXPECT_EQ(treeOf(work()), c.fileName);
    }
    // Nothing beside the work folder, nothing in the folder the test runs in, no command run.
    EXPECT_EQ(treeOf(outside()), "");
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"outside", "work"}));
    EXPECT_FALSE(QFile::exists(startFolder + "/HACKED") || QFile::exists(work() + "/HACKED"));
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
        UnpackCase{"ZipBundleInSubFolder", "Game.zip", {"f:Release/Game.app/Contents/Info.plist"},
                   {"Release/Game.app/Contents/Info.plist"}},
        UnpackCase{"CommandInName", "c$(touch${IFS}HACKED).tgz", kBundle, kBundleFiles},
        UnpackCase{"SpacesInName", "My Game (1).zip", kBundle, kBundleFiles},
        UnpackCase{"DashNameTgz", "-x.tgz", kBundle, kBundleFiles},
        UnpackCase{"DashNameZip", "-o.zip", kBundle, kBundleFiles},
        UnpackCase{"ColonInName", "host:Game.tgz", kBundle, kBundleFiles},
        UnpackCase{"AbsoluteTgz", "Game.tgz", {"f:@OUT/evil"}},
        UnpackCase{"AbsoluteZip", "Game.zip", {"f:@OUT/evil"}},
        UnpackCase{"ClimbingTgz", "Game.tgz", {"f:Game.app/Info", "f:Game.app/../../outside/evil"}},
        UnpackCase{"ClimbingZip", "Game.zip", {"f:../outside/evil"}},
        UnpackCase{"BackslashClimbZip", "Game.zip", {"f:..\\outside\\evil"}},
        UnpackCase{"ThroughLinkTgz", "Game.tgz", {"l:Game.app=>@OUT", "f:Game.app/evil"}},
        UnpackCase{"ThroughLinkZip", "Game.zip", {"l:Game.app=>@OUT", "f:Game.app/evil"}},
        UnpackCase{"ThroughLinkBeforeItTgz", "Game.tgz", {"f:a/./b/evil", "l:a/b=>@OUT"}},
        UnpackCase{"LinkNamedWithArrow", "Game.tgz", {"l:a -> b=>@OUT", "f:a -> b/evil"}},
        UnpackCase{"FolderOverLink", "Game.tgz", {"l:a=>@OUT", "d:a/"}},
        UnpackCase{"HardLinkAbsolute", "Game.tgz", {"f:Game.app/Info", "h:evil=>@OUT/x"}},
        UnpackCase{"HardLinkClimbing", "Game.tgz", {"f:Game.app/Info", "h:evil=>../outside/x"}},
        UnpackCase{"HardLinkThroughLink", "Game.tgz", {"l:a=>@OUT", "h:evil=>a/x"}},
        UnpackCase{"LinkInPlaceOfTheFolder", "Game.tgz", {"f:Game.app/Info", "l:.=>@OUT"}},
        UnpackCase{"Device", "Game.tgz", {"c:dev"}},
        // The listing would show "ev^Ail" for a name that unpacks as "evil".
        UnpackCase{"ControlCharacterZip", "Game.zip", {"f:Game.app/Info", "f:ev\x01il"}},
        UnpackCase{"CaretZip", "Game.zip", {"f:Game.app/Info", "f:a^Ab"}},
        UnpackCase{"CorruptTgz", "Game.tgz", {"!corrupt"}},
        UnpackCase{"TruncatedTgz", "Game.tgz", kBundle + QStringList{"!cut"}},
        UnpackCase{"GzipOfNoTar", "Game.tgz", {"!garbage"}},
        UnpackCase{"EmptyTgz", "Game.tgz", {}},
        // Names that only a reader of every header form sees.
        UnpackCase{"PaxPathClimbs", "Game.tgz", {"f:Game.app/Info", "f:Game.app/Readme|path=../outside/evil"}},
        UnpackCase{"LongNameClimbs", "Game.tgz", {"f:Game.app/Info", "f:Game.app/" + QString(100, 'a') + "/../../../outside/evil"}},
        UnpackCase{"GlobalPaxPath", "Game.tgz", {"g:|path=evil", "f:Game.app/Info"}},
        UnpackCase{"SparseFile", "Game.tgz", {"f:Game.app/Info", "s:Game.app/Sparse"}},
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
    QFile readme(work() + "/Readme");
    ASSERT_TRUE(readme.open(QIODevice::WriteOnly));
    readme.close();

    const foundation::Status unpacked = tools.unpack(work(), "Game.tgz", kTgz);

    EXPECT_EQ(unpacked.error().code, EEXIST) << unpacked.error().message.toStdString();
    EXPECT_EQ(treeOf(work()), "Game.tgz | Readme");
    EXPECT_EQ(QFile(work() + "/Readme").size(), 0);
}

// The user's environment reaches neither tool: options from variables, nor a gzip of their own.
TEST_F(LinuxArchiveToolsTest, IgnoresTheUsersEnvironment) {
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    QFile gzip(bin.filePath("gzip"));
    ASSERT_TRUE(gzip.open(QIODevice::WriteOnly));
    gzip.write(QString("#!/bin/sh\ntouch '%1/HACKED'\nexit 1\n").arg(outside()).toUtf8());
    gzip.close();
    ASSERT_TRUE(gzip.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const std::pair<const char*, QString> variables[] = {
        {"UNZIP", "-d " + outside()},
        {"UNZIPOPT", "-d " + outside()},
        {"ZIPINFO", "-l"},
        {"TAR_OPTIONS", "--directory=" + outside()},
        {"GZIP", "--bogus-option"},
        {"PATH", bin.path() + ":/usr/bin:/bin"}};
    for (const char* archive : {"Game.zip", "Game.tgz"}) makeArchive({"", archive, kBundle});
    for (const auto& [name, value] : variables) {
        for (const auto& [archive, format] : {std::pair{"Game.zip", kZip}, {"Game.tgz", kTgz}}) {
            testsupport::ScopedEnvironment environment;
            environment.set(name, value);
            const foundation::Status unpacked = tools.unpack(work(), archive, format);
            EXPECT_TRUE(unpacked.ok() && QDir(work() + "/Game.app").removeRecursively())
                << name << " " << archive << ": " << unpacked.error().message.toStdString();
            EXPECT_EQ(treeOf(outside()), "") << name << " " << archive;
        }
    }
}

}  // namespace
}  // namespace qby::platform::linuxhost

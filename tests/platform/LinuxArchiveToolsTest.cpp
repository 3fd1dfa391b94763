#include "platform/linux/LinuxArchiveTools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <ostream>

namespace qby::platform::linuxhost {
namespace {

constexpr auto kTgz = ArchiveFormat::TarGzip;
constexpr auto kZip = ArchiveFormat::Zip;

struct UnpackCase {
    const char* name;
    ArchiveFormat format;
    const char* fileName;
    QStringList members;  // make_archive.py specs; "@OUT" is the folder beside the work folder
    bool unpacks;
    QStringList expected;  // files that stand in the work folder afterwards
};

void PrintTo(const UnpackCase& c, std::ostream* os) {
    *os << c.name;
}

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
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkdir("work"));
        ASSERT_TRUE(QDir(root.path()).mkdir("outside"));
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
        QStringList arguments{QBY_MAKE_ARCHIVE, c.format == kTgz ? "tgz" : "zip", archive};
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

    const Status unpacked = tools.unpack(work(), QString::fromUtf8(c.fileName), c.format);

    EXPECT_EQ(unpacked.ok(), c.unpacks) << unpacked.error().message.toStdString();
    if (c.unpacks) {
        for (const QString& file : c.expected)
            EXPECT_TRUE(QFile::exists(work() + "/" + file)) << file.toStdString();
    } else {
        EXPECT_FALSE(unpacked.error().message.isEmpty());
        EXPECT_EQ(treeOf(work()), c.fileName);
    }
    // Nothing beside the work folder, nothing in the folder the test runs in, no command run.
    EXPECT_EQ(treeOf(outside()), "");
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"outside", "work"}));
    EXPECT_FALSE(QFile::exists(startFolder + "/HACKED"));
    EXPECT_FALSE(QFile::exists(work() + "/HACKED"));
}

const QStringList kBundle{"d:Game.app/", "d:Game.app/Contents/", "f:Game.app/Contents/Info.plist",
                          "x:Game.app/Contents/MacOS/Game", "l:Game.app/Contents/Current=>MacOS"};
const QStringList kBundleFiles{"Game.app/Contents/Info.plist", "Game.app/Contents/MacOS/Game",
                               "Game.app/Contents/Current/Game"};

INSTANTIATE_TEST_SUITE_P(
    Archives, LinuxArchiveToolsTest,
    testing::Values(
        UnpackCase{"ValidTgz", kTgz, "Game.tgz",
                   kBundle + QStringList{"h:Game.app/Hard=>Game.app/Contents/Info.plist"}, true,
                   kBundleFiles + QStringList{"Game.app/Hard"}},
        UnpackCase{"ValidZip", kZip, "Game.zip", kBundle, true, kBundleFiles},
        UnpackCase{"ZipBundleInSubFolder",
                   kZip,
                   "Game.zip",
                   {"f:Release/Game.app/Contents/Info.plist"},
                   true,
                   {"Release/Game.app/Contents/Info.plist"}},
        UnpackCase{"CommandInName", kTgz, "c$(touch${IFS}HACKED).tgz", kBundle, true, kBundleFiles},
        UnpackCase{"SpacesInName", kZip, "My Game (1).zip", kBundle, true, kBundleFiles},
        UnpackCase{"DashNameTgz", kTgz, "-x.tgz", kBundle, true, kBundleFiles},
        UnpackCase{"DashNameZip", kZip, "-o.zip", kBundle, true, kBundleFiles},
        UnpackCase{"ColonInName", kTgz, "host:Game.tgz", kBundle, true, kBundleFiles},
        UnpackCase{"AbsoluteTgz", kTgz, "Game.tgz", {"f:@OUT/evil"}, false, {}},
        UnpackCase{"AbsoluteZip", kZip, "Game.zip", {"f:@OUT/evil"}, false, {}},
        UnpackCase{"ClimbingTgz",
                   kTgz,
                   "Game.tgz",
                   {"f:Game.app/Info", "f:Game.app/../../outside/evil"},
                   false,
                   {}},
        UnpackCase{"ClimbingZip", kZip, "Game.zip", {"f:../outside/evil"}, false, {}},
        UnpackCase{"BackslashClimbZip", kZip, "Game.zip", {"f:..\\outside\\evil"}, false, {}},
        UnpackCase{
            "ThroughLinkTgz", kTgz, "Game.tgz", {"l:Game.app=>@OUT", "f:Game.app/evil"}, false, {}},
        UnpackCase{
            "ThroughLinkZip", kZip, "Game.zip", {"l:Game.app=>@OUT", "f:Game.app/evil"}, false, {}},
        UnpackCase{
            "ThroughLinkBeforeItTgz", kTgz, "Game.tgz", {"f:a/./b/evil", "l:a/b=>@OUT"}, false, {}},
        UnpackCase{
            "LinkNamedWithArrow", kTgz, "Game.tgz", {"l:a -> b=>@OUT", "f:a -> b/evil"}, false, {}},
        UnpackCase{"FolderOverLink", kTgz, "Game.tgz", {"l:a=>@OUT", "d:a/"}, false, {}},
        UnpackCase{
            "HardLinkAbsolute", kTgz, "Game.tgz", {"f:Game.app/Info", "h:evil=>@OUT/x"}, false, {}},
        UnpackCase{"HardLinkClimbing",
                   kTgz,
                   "Game.tgz",
                   {"f:Game.app/Info", "h:evil=>../outside/x"},
                   false,
                   {}},
        UnpackCase{
            "HardLinkThroughLink", kTgz, "Game.tgz", {"l:a=>@OUT", "h:evil=>a/x"}, false, {}},
        UnpackCase{"LinkInPlaceOfTheFolder",
                   kTgz,
                   "Game.tgz",
                   {"f:Game.app/Info", "l:.=>@OUT"},
                   false,
                   {}},
        UnpackCase{"Device", kTgz, "Game.tgz", {"c:dev"}, false, {}},
        UnpackCase{"CorruptTgz", kTgz, "Game.tgz", {"!corrupt"}, false, {}},
        UnpackCase{"CorruptZip", kZip, "Game.zip", {"!corrupt"}, false, {}}),
    [](const testing::TestParamInfo<UnpackCase>& info) { return std::string(info.param.name); });

TEST_F(LinuxArchiveToolsTest, KeepsExecutableBitsAndRefusesNamesThatAreNotFileNames) {
    makeArchive({"", kZip, "Game.zip", kBundle, true, {}});
    // A path that leads back to this very archive is still not a file name.
    for (const QString& name :
         {QString(), QString("."), QString(".."), QString("../work/Game.zip")})
        EXPECT_FALSE(tools.unpack(work(), name, kZip).ok()) << name.toStdString();
    EXPECT_EQ(treeOf(work()), "Game.zip");
    ASSERT_TRUE(tools.unpack(work(), "Game.zip", kZip).ok());
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(work() + "/Game.app/Contents/MacOS/Game").constData(), &st),
              0);
    EXPECT_EQ(st.st_mode & 0111, 0111u);
    EXPECT_FALSE(tools.unpack(work(), "Absent.zip", kZip).ok());
}

}  // namespace
}  // namespace qby::platform::linuxhost

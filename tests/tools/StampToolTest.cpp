#include "NamedCase.h"
#include "TemporaryBundle.h"
#include "TestFiles.h"
#include "ToolRun.h"
#include "app/RequestAssembly.h"
#include "downloader/FeedAuthenticity.h"
#include "platform/linux/files/LinuxFileManager.h"
#include "platform/linux/system/LinuxBundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::tools {
namespace {

using testsupport::NamedCase;

class StampTool : public ::testing::Test {
protected:
    void SetUp() override {
        bundle = testsupport::TemporaryBundle::create(
            folder.path(), "QuillbayDownloader",
            {"com.quillbay.Downloader", "run", QByteArray("#!/bin/sh\n"), 0750, {}});
        ASSERT_TRUE(QFile::link("../MacOS/run", bundle + "/Contents/Resources/link"));
        QDir(folder.path()).mkdir("out");
        for (const auto& [name, more] :
             {std::pair{"serial-17.xml", "<key>feedSerial</key><integer>17</integer>"},
              std::pair{"no-serial.xml", ""}})
            ASSERT_TRUE(testsupport::writeFile(
                folder.filePath(name), QByteArray("<plist><dict><key>downloader</key><array/>") +
                                           more + "</dict></plist>"));
    }
    // The floor the downloader reads from a stamped bundle.
    static foundation::Result<qint64> floorOf(const QString& stamped) {
        return downloader::stampedFeedSerial(
            platform::linuxhost::LinuxBundle(stamped + "/Contents/MacOS/run"),
            platform::linuxhost::LinuxFileManager());
    }
    ToolRun stamp(const QStringList& arguments) {
        return ToolRun::of(QBY_STAMP_TOOL,
                           QStringList{"--bundle", bundle, "--out", out} + arguments);
    }
    QTemporaryDir folder;
    QString bundle, out = folder.filePath("out");
};

// A game's name is a name even where it reads like an option to zip.
class StampZip : public StampTool, public ::testing::WithParamInterface<const char*> {};

TEST_P(StampZip, HoldsOnlyTheRenamedBundleWithItsModesAndLinks) {
    const QString game = GetParam();
    const QString unzipped = folder.filePath("x"), name = game + ".K7.V9";
    ASSERT_EQ(stamp({"--game=" + game, "K7=V9"}).status, 0);
    ASSERT_EQ(ToolRun::of("unzip", {"-q", out + "/" + name + ".zip", "-d", unzipped}).status, 0);
    EXPECT_EQ(QDir(unzipped).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{name + ".app"});
    const QString app = unzipped + "/" + name + ".app/Contents/";
    EXPECT_EQ(QFileInfo(app + "MacOS/run").permissions() & 0x0fff,
              QFileInfo(bundle + "/Contents/MacOS/run").permissions() & 0x0fff);
    EXPECT_EQ(QFileInfo(app + "Resources/link").symLinkTarget(),
              QFileInfo(app + "MacOS/run").filePath());
}

INSTANTIATE_TEST_SUITE_P(Names, StampZip, ::testing::Values("Game", "-Game", "--Game"));

TEST_F(StampTool, RequestFileBesideTheBundleReadsBackAsGiven) {
    ASSERT_EQ(stamp({"--request-file", "-g", "Game", "title=a=b", "=x", "lang="}).status, 0);
    EXPECT_TRUE(QFileInfo(out + "/Game.app/Contents/MacOS/run").isExecutable());
    QFile file(out + "/.Game.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    foundation::DownloadRequest read;
    app::addRequestLines(QString::fromUtf8(file.readAll()), read);
    EXPECT_EQ(read, (foundation::DownloadRequest{{"title", "a=b"}, {"", "x"}, {"lang", ""}}));
}

// Stamped with the current feed, both forms carry its serial as their floor; without, none.
TEST_F(StampTool, FeedSerialIsTheStampedFloor) {
    const QString feed = "--feed=" + folder.filePath("serial-17.xml");
    ASSERT_EQ(stamp({feed, "-g", "Game", "K7=V9"}).status, 0);
    ASSERT_EQ(stamp({feed, "--request-file", "-g", "Game", "a=b"}).status, 0);
    ASSERT_EQ(stamp({"--request-file", "-g", "Plain", "a=b"}).status, 0);
    ASSERT_EQ(ToolRun::of("unzip", {"-q", out + "/Game.K7.V9.zip", "-d", out}).status, 0);
    using Floor = std::pair<const char*, qint64>;
    for (const auto& [stamped, floor] :
         {Floor{"Game.K7.V9.app", 17}, Floor{"Game.app", 17}, Floor{"Plain.app", 0}}) {
        const foundation::Result<qint64> read = floorOf(out + "/" + stamped);
        ASSERT_TRUE(read.ok()) << stamped << ": " << read.error().message.toStdString();
        EXPECT_EQ(read.value(), floor) << stamped;
    }
    EXPECT_FALSE(QFile::exists(bundle + "/Contents/Resources/feedSerial.txt"))
        << "the built bundle is never changed";
}

struct Refusal : NamedCase {
    QStringList arguments;
    const char* reason;
};

// Refused or failed: one plain line, status 1, nothing written.
class StampRefusals : public StampTool, public ::testing::WithParamInterface<Refusal> {};

TEST_P(StampRefusals, SayWhyOnOneLineAndWriteNothing) {
    QStringList arguments = GetParam().arguments;
    for (QString& argument : arguments) argument.replace("@", folder.path() + "/");
    const ToolRun run = stamp(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.errors.startsWith("qby-stamp-downloader: ") &&
                run.errors.contains(GetParam().reason))
        << run.errors.toStdString();
    EXPECT_EQ(run.errors.count('\n'), 1);
    EXPECT_TRUE(QDir(out).isEmpty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, StampRefusals,
    ::testing::Values(
        Refusal{{"TwoPairs"}, {"-g", "Game", "a=1", "b=2"},
                "refused: a bundle name carries exactly one KEY=VALUE, not 2"},
        Refusal{{"NoPair"}, {"-g", "Game"}, "exactly one KEY=VALUE, not 0"},
        Refusal{{"DotInKey"}, {"-g", "Game", "K.7=V9"}, R"(the key "K.7" holds a ".")"},
        Refusal{{"DotInValue"}, {"-g", "Game", "K7=1.5"},
                R"(would read {"K7" = "1";} from the name "Game.K7.1.5.app": )" R"(the value "1.5" holds a ".")"},
        Refusal{{"DotInGame"}, {"-g", "My Game 1.5", "K7=V9"}, R"(the game name "My Game 1.5")"},
        Refusal{{"SlashInValue"}, {"-g", "Game", "K7=a/b"}, R"(the value "a/b" holds a "/")"},
        Refusal{{"NameTooLong"}, {"-g", QString(250, 'G'), "K7=V9"}, "is longer than 255 bytes"},
        Refusal{{"FileAndDotInGame"}, {"--request-file", "-g", "G.K7", "a=b"}, "and no request file"},
        Refusal{{"FileAndSemicolonInKey"}, {"--request-file", "-g", "G", "a;b=c"}, R"(key "a;b" holds a ";")"},
        Refusal{{"FileAndLineFeedInValue"}, {"--request-file", "-g", "G", "k=x\ny"}, R"("x\ny" holds a "\n")"},
        Refusal{{"NoBundle"}, {"--bundle", "/none", "-g", "G", "K=V"}, "failed: /none is no built downloader bundle"},
        Refusal{{"FileAndSlashInGame"}, {"--request-file", "-g", "a/b", "K=V"}, R"(the game name "a/b" holds a "/")"},
        Refusal{{"FileAndEmptyRequest"}, {"--request-file", "-g", "G"}, "the request is empty"},
        Refusal{{"FeedWithoutSerial"}, {"--feed=@no-serial.xml", "-g", "G", "K=V"}, "has no feedSerial"},
        Refusal{{"NoFeed"}, {"--feed=@none.xml", "-g", "G", "K=V"}, "none.xml"}),
    testsupport::CaseName());
// clang-format on

}  // namespace
}  // namespace qby::tools

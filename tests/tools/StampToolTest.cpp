#include "NamedCase.h"
#include "TemporaryBundle.h"
#include "ToolRun.h"
#include "app/RequestAssembly.h"

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

struct Refusal : NamedCase {
    QStringList arguments;
    const char* reason;
};

// Refused or failed: one plain line, status 1, nothing written.
class StampRefusals : public StampTool, public ::testing::WithParamInterface<Refusal> {};

TEST_P(StampRefusals, SayWhyOnOneLineAndWriteNothing) {
    const ToolRun run = stamp(GetParam().arguments);
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
        Refusal{{"FileAndEmptyRequest"}, {"--request-file", "-g", "G"}, "the request is empty"}),
    testsupport::CaseName());
// clang-format on

}  // namespace
}  // namespace qby::tools

#include "FakePlatform.h"
#include "app/RequestAssembly.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;

struct FileCase {
    const char* name;
    QString text;
    DownloadRequest expected;
};

class RequestFileLines : public ::testing::TestWithParam<FileCase> {};

TEST_P(RequestFileLines, ParseAsWrittenAndConsumeTheFile) {
    FakePlatform platform;
    platform.addFile(QStringLiteral("/home/user/Downloads/.Game.txt"), GetParam().text);
    const DownloadRequest request = assembleDownloadRequest(platform, platform, platform);
    EXPECT_EQ(request, GetParam().expected) << platform.log.toString().toStdString();
    EXPECT_FALSE(platform.exists(QStringLiteral("/home/user/Downloads/.Game.txt")));
    EXPECT_EQ(platform.log.count(QStringLiteral("console")), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestFileLines,
    ::testing::Values(
        FileCase{"TwoLines", "title;abc\nlang;en", {{"title", "abc"}, {"lang", "en"}}},
        FileCase{"TrailingLineFeed", "title;abc\n", {{"title", "abc"}, {"", ""}}},
        FileCase{"EmptyFile", "", {{"", ""}}}, FileCase{"NoSeparator", "abc", {{"abc", ""}}},
        FileCase{"ExtraFieldsIgnored", "a;b;c", {{"a", "b"}}},
        FileCase{"EmptyKey", ";x", {{"", "x"}}}, FileCase{"EmptyValue", "a;", {{"a", ""}}},
        FileCase{"LastLineWins", "k;1\nk;2\nk;3", {{"k", "3"}}},
        FileCase{"CarriageReturnsKept", "a;b\r\nabc\r", {{"a", "b\r"}, {"abc\r", ""}}},
        FileCase{"NoTrimming", " a ; b ", {{" a ", " b "}}},
        FileCase{"NonAscii",
                 QStringLiteral("titel;Spiel für Zwei ✓"),
                 {{"titel", QStringLiteral("Spiel für Zwei ✓")}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
    const char* bundle;
    DownloadRequest expected;
};

class BundleNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(BundleNames, CarryTheRequestAndLeaveFilesAlone) {
    FakePlatform platform;
    const QString bundle = QString::fromUtf8(GetParam().bundle);
    platform.bundlePathValue = QStringLiteral("/home/user/Downloads/") + bundle;
    // A request file beside the bundle is neither read nor deleted on this road.
    const QString base = bundle.left(bundle.lastIndexOf(QLatin1Char('.')));
    const QString requestFile = QStringLiteral("/home/user/Downloads/.%1.txt").arg(base);
    platform.addFile(requestFile, QStringLiteral("other;value"));

    const DownloadRequest request = assembleDownloadRequest(platform, platform, platform);
    EXPECT_EQ(request, GetParam().expected);
    EXPECT_TRUE(platform.exists(requestFile));
    EXPECT_EQ(platform.log.count(QStringLiteral("file.")), 0)
        << platform.log.toString().toStdString();
    ASSERT_EQ(platform.log.count(QStringLiteral("console Dict: ")), 1);
    for (auto it = request.cbegin(); it != request.cend(); ++it) {
        const QString line = platform.log.calls().at(platform.log.indexOf("console"));
        EXPECT_TRUE(line.contains(it.key()) && line.contains(it.value())) << line.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BundleNames,
                         ::testing::Values(NameCase{"Game.K7.app", {{"K7", ""}}},
                                           NameCase{"Game.K7.V9.app", {{"K7", "V9"}}},
                                           NameCase{"A.B.C.D.app", {{"B", "C"}}},
                                           NameCase{"My Game 1.5.app", {{"5", ""}}}));

TEST(RequestSources, HiddenFileWinsOverPlainFileWhichStays) {
    FakePlatform platform;
    platform.addFile(QStringLiteral("/home/user/Downloads/.Game.txt"), QStringLiteral("a;hidden"));
    platform.addFile(QStringLiteral("/home/user/Downloads/Game.txt"), QStringLiteral("a;plain"));
    EXPECT_EQ(assembleDownloadRequest(platform, platform, platform),
              (DownloadRequest{{"a", "hidden"}}));
    EXPECT_FALSE(platform.exists(QStringLiteral("/home/user/Downloads/.Game.txt")));
    EXPECT_TRUE(platform.exists(QStringLiteral("/home/user/Downloads/Game.txt")));
}

TEST(RequestSources, PlainFileIsReadAndConsumed) {
    FakePlatform platform;
    platform.addFile(QStringLiteral("/home/user/Downloads/Game.txt"), QStringLiteral("a;plain"));
    EXPECT_EQ(assembleDownloadRequest(platform, platform, platform),
              (DownloadRequest{{"a", "plain"}}));
    EXPECT_FALSE(platform.exists(QStringLiteral("/home/user/Downloads/Game.txt")));
}

TEST(RequestSources, UnreadableFileGivesEmptyRequestAndIsStillConsumed) {
    FakePlatform platform;
    platform.addFile(QStringLiteral("/home/user/Downloads/.Game.txt"), std::nullopt);
    EXPECT_TRUE(assembleDownloadRequest(platform, platform, platform).isEmpty());
    EXPECT_FALSE(platform.exists(QStringLiteral("/home/user/Downloads/.Game.txt")));
}

TEST(RequestSources, OversizedFileIsNotReadButConsumed) {
    FakePlatform platform;
    platform.addFile(QStringLiteral("/home/user/Downloads/.Game.txt"),
                     QString(int(kMaxRequestFileBytes) + 1, QLatin1Char('x')));
    EXPECT_TRUE(assembleDownloadRequest(platform, platform, platform).isEmpty());
    EXPECT_FALSE(platform.exists(QStringLiteral("/home/user/Downloads/.Game.txt")));
}

TEST(RequestSources, FolderNamedLikeTheRequestFileIsNeverDeleted) {
    FakePlatform platform;
    platform.addFolder(QStringLiteral("/home/user/Downloads/.Game.txt"));
    platform.addFile(QStringLiteral("/home/user/Downloads/.Game.txt/keep"), QStringLiteral("x"));
    EXPECT_TRUE(assembleDownloadRequest(platform, platform, platform).isEmpty());
    EXPECT_TRUE(platform.exists(QStringLiteral("/home/user/Downloads/.Game.txt/keep")));
}

TEST(RequestSources, BundleResourceIsReadAndKept) {
    FakePlatform platform;
    const QString resource = QStringLiteral(
        "/home/user/Downloads/Game.app/Contents/Resources/en.lproj/locversion.plist");
    platform.resources.insert(QStringLiteral("en.lproj/locversion.plist"), resource);
    platform.addFile(resource, QStringLiteral("source;bundle\nlang;de"));
    EXPECT_EQ(assembleDownloadRequest(platform, platform, platform),
              (DownloadRequest{{"source", "bundle"}, {"lang", "de"}}));
    EXPECT_TRUE(platform.exists(resource));
    EXPECT_EQ(platform.log.count(QStringLiteral("file.remove")), 0);
}

TEST(RequestSources, NothingAnywhereGivesEmptyRequestAndDeletesNothing) {
    FakePlatform platform;
    EXPECT_TRUE(assembleDownloadRequest(platform, platform, platform).isEmpty());
    EXPECT_EQ(platform.log.count(QStringLiteral("file.remove")), 0);
}

TEST(RequestSources, BundleWithoutExtensionLooksForItsOwnName) {
    FakePlatform platform;
    platform.bundlePathValue = QStringLiteral("/srv/Game");
    platform.addFile(QStringLiteral("/srv/.Game.txt"), QStringLiteral("k;v"));
    EXPECT_EQ(assembleDownloadRequest(platform, platform, platform), (DownloadRequest{{"k", "v"}}));
}

}  // namespace
}  // namespace qby

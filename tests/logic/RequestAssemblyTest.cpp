#include "FakePlatform.h"
#include "NamedCase.h"
#include "app/RequestAssembly.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;

struct FileCase {
    const char* name;
    QString text;
    foundation::DownloadRequest expected;
};

class RequestFileLines : public ::testing::TestWithParam<FileCase> {};

TEST_P(RequestFileLines, ParseAsWrittenAndConsumeTheFile) {
    FakePlatform platform;
    platform.addFile(QStringLiteral("/home/user/Downloads/.Game.txt"), GetParam().text);
    const foundation::DownloadRequest request =
        app::assembleDownloadRequest(platform, platform, platform);
    EXPECT_EQ(request, GetParam().expected) << platform.log.toString().toStdString();
    EXPECT_FALSE(platform.exists(QStringLiteral("/home/user/Downloads/.Game.txt")));
    EXPECT_EQ(platform.log.count(QStringLiteral("console")), 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, RequestFileLines,
    ::testing::Values(
        FileCase{"TwoLines", "title;abc\nlang;en", {{"title", "abc"}, {"lang", "en"}}},
        FileCase{"TrailingLineFeed", "title;abc\n", {{"title", "abc"}, {"", ""}}},
        FileCase{"NoSeparator", "abc", {{"abc", ""}}}, FileCase{"ExtraFieldsIgnored", "a;b;c", {{"a", "b"}}},
        FileCase{"EmptyKey", ";x", {{"", "x"}}}, FileCase{"LastLineWins", "k;1\nk;2\nk;3", {{"k", "3"}}},
        FileCase{"NoTrimmingCarriageReturnsKept", " a ; b \r\nabc\r", {{" a ", " b \r"}, {"abc\r", ""}}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct NameCase {
    const char* bundle;
    foundation::DownloadRequest expected;
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

    const foundation::DownloadRequest request =
        app::assembleDownloadRequest(platform, platform, platform);
    EXPECT_EQ(request, GetParam().expected);
    EXPECT_TRUE(platform.exists(requestFile));
    EXPECT_EQ(platform.log.count(QStringLiteral("file.")), 0)
        << platform.log.toString().toStdString();
    ASSERT_EQ(platform.log.count(QStringLiteral("console Dict: ")), 1);
    const QString line = platform.log.calls().at(platform.log.indexOf("console"));
    for (auto it = request.cbegin(); it != request.cend(); ++it)
        EXPECT_TRUE(line.contains(it.key()) && line.contains(it.value())) << line.toStdString();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, BundleNames,
    ::testing::Values(NameCase{"Game.K7.app", {{"K7", ""}}}, NameCase{"Game.K7.V9.app", {{"K7", "V9"}}},
                      NameCase{"A.B.C.D.app", {{"B", "C"}}}, NameCase{"My Game 1.5.app", {{"5", ""}}}));
// clang-format on

const QString kHidden = QStringLiteral("/home/user/Downloads/.Game.txt");
const QString kPlain = QStringLiteral("/home/user/Downloads/Game.txt");
const QString kResource =
    QStringLiteral("/home/user/Downloads/Game.app/Contents/Resources/en.lproj/locversion.plist");

struct SourceCase : testsupport::NamedCase {
    QMap<QString, std::optional<QString>> files;
    foundation::DownloadRequest expected;
    QStringList kept;  // the files still there afterwards; every other one is consumed
};

class RequestSources : public ::testing::TestWithParam<SourceCase> {};

TEST_P(RequestSources, HiddenFileThenPlainFileThenTheBundleResource) {
    const SourceCase& c = GetParam();
    FakePlatform platform;
    for (auto it = c.files.cbegin(); it != c.files.cend(); ++it) platform.addFile(it.key(), *it);
    if (c.files.contains(kResource))
        platform.resources.insert(QStringLiteral("en.lproj/locversion.plist"), kResource);
    EXPECT_EQ(app::assembleDownloadRequest(platform, platform, platform), c.expected);
    for (const QString& path : c.files.keys())
        EXPECT_EQ(platform.exists(path), c.kept.contains(path)) << path.toStdString();
    EXPECT_EQ(platform.log.count(QStringLiteral("file.remove")), c.files.size() - c.kept.size());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, RequestSources,
    ::testing::Values(
        SourceCase{"HiddenWinsOverPlainWhichStays", {{kHidden, "a;hidden"}, {kPlain, "a;plain"}}, {{"a", "hidden"}},
                   {kPlain}},
        SourceCase{"PlainIsReadAndConsumed", {{kPlain, "a;plain"}}, {{"a", "plain"}}, {}},
        SourceCase{"UnreadableIsConsumed", {{kHidden, std::nullopt}}, {}, {}},
        SourceCase{"OversizedIsNotReadButConsumed", {{kHidden, QString(app::kMaxRequestFileBytes + 1, u'x')}}, {}, {}},
        SourceCase{"FolderNamedLikeTheFileIsNeverDeleted", {{kHidden + "/keep", "x"}}, {}, {kHidden + "/keep"}},
        SourceCase{"BundleResourceIsReadAndKept", {{kResource, "source;bundle\nlang;de"}},
                   {{"source", "bundle"}, {"lang", "de"}}, {kResource}},
        SourceCase{"NothingAnywhere", {}, {}, {}}),
    testsupport::CaseName{});
// clang-format on

TEST(RequestSources, BundleWithoutExtensionLooksForItsOwnName) {
    FakePlatform platform;
    platform.bundlePathValue = QStringLiteral("/srv/Game");
    platform.addFile(QStringLiteral("/srv/.Game.txt"), QStringLiteral("k;v"));
    EXPECT_EQ(app::assembleDownloadRequest(platform, platform, platform),
              (foundation::DownloadRequest{{"k", "v"}}));
}

}  // namespace
}  // namespace qby

#include "NamedCase.h"
#include "ToolRun.h"
#include "downloader/ReleaseFeed.h"
#include "downloader/ReleaseSelection.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QVariantMap>
#include <algorithm>
#include <gtest/gtest.h>

namespace qby::tools {
namespace {

using testsupport::NamedCase;

const QByteArray kArchive = QByteArray("\x1f\x8b") + QByteArray(3000, 'a');
const QString kUrl = "https://www.quillbay.com/downloader/Quillbay.tgz";

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray feedOf(const char* entries) {
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
                      "<key>other</key><string>kept</string><key>downloader</key><array>") +
           entries + "</array></dict></plist>";
}

struct FeedCase : NamedCase {
    QByteArray before;    // the feed file before; none when empty
    QStringList more;     // arguments after the usual ones, which they override; @NAME: a file
    const char* refusal;  // why the tool refuses, or nothing when it adds the release
    int releases;         // entries of the feed after
    const char* processors = "";  // the release's "supportedCPUTypes" after
};

class ReleaseFeedTool : public ::testing::TestWithParam<FeedCase> {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        ASSERT_EQ(openssl({"genpkey", "-algorithm", "ed25519", "-out", path("key.pem")}), 0);
        ASSERT_EQ(openssl({"pkey", "-in", path("key.pem"), "-pubout", "-out", path("public.pem")}),
                  0);
        ASSERT_EQ(openssl({"genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                           "-out", path("ec.pem")}),
                  0);
        ASSERT_TRUE(write(path("a.tgz"), kArchive) &&
                    write(path("a.zip"), "PK\x05\x06" + QByteArray(18, 0)));
    }
    static void TearDownTestSuite() { delete folder; }
    static QString path(const QString& name) { return folder->filePath(name); }
    static int openssl(const QStringList& arguments) {
        return ToolRun::of("openssl", arguments).status;
    }
    static inline QTemporaryDir* folder = nullptr;
};

TEST_P(ReleaseFeedTool, AddsWhatTheDownloaderReadsAndOpenSslVerifies) {
    const QString feed = path(QString("%1.xml").arg(GetParam().name));
    if (!GetParam().before.isEmpty()) ASSERT_TRUE(write(feed, GetParam().before));
    QStringList more = GetParam().more;
    for (QString& argument : more)
        if (argument.startsWith('@')) argument = path(argument.mid(1));
    const ToolRun run =
        ToolRun::of(QBY_FEED_TOOL, QStringList{"--feed", feed, "--archive", path("a.tgz"),
                                               "--version", "2.0", "--minimum-system", "11.0",
                                               "--url", kUrl, "--key", path("key.pem")} +
                                       more);
    if (GetParam().refusal) {
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.errors.contains(GetParam().refusal)) << run.errors.toStdString();
        EXPECT_EQ(contentOf(feed), GetParam().before);
        return;
    }
    ASSERT_EQ(run.status, 0) << run.errors.toStdString();
    const QByteArray after = contentOf(feed);
    EXPECT_EQ(after.count("kept"), GetParam().before.count("kept"));
    const foundation::Result<QVariantList> feedEntries =
        downloader::releaseEntriesOfFeed(after, platform::linuxhost::LibPlistPropertyLists());
    ASSERT_TRUE(feedEntries.ok()) << feedEntries.error().message.toStdString();
    const QVariantList& entries = feedEntries.value();
    const auto releases = downloader::readReleaseEntries(entries);
    EXPECT_EQ(releases.size(), size_t(GetParam().releases));
    const std::optional<downloader::ReleaseEntry> chosen = downloader::chooseRelease(
        releases, "13.0.0", 0, foundation::VersionComparator::defaultComparator());
    ASSERT_TRUE(chosen && chosen->url == kUrl);
    EXPECT_EQ(chosen->downloadSizeInBytes, kArchive.size());

    const auto release = std::find_if(entries.begin(), entries.end(), [](const QVariant& entry) {
                             return entry.toMap().value("version").toString() == "2.0";
                         })->toMap();
    EXPECT_EQ(release.value("supportedCPUTypes").toString(), GetParam().processors);
    EXPECT_EQ(release.value("sha256").toByteArray(),
              QCryptographicHash::hash(kArchive, QCryptographicHash::Sha256).toHex());
    ASSERT_TRUE(write(path("signature"),
                      QByteArray::fromBase64(release.value("ed25519Signature").toByteArray())));
    EXPECT_EQ(openssl({"pkeyutl", "-verify", "-pubin", "-inkey", path("public.pem"), "-rawin",
                       "-in", path("a.tgz"), "-sigfile", path("signature")}),
              0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ReleaseFeedTool,
    ::testing::Values(
        FeedCase{{"NewFeed"}, {}, {"--processors", "i386 x86_64"}, nullptr, 1, "i386 x86_64"},
        FeedCase{{"NoReleasesYet"}, "<plist><dict><key>other</key><string>kept</string></dict></plist>", {},
                 nullptr, 1},
        FeedCase{{"OthersKept"},
                 feedOf("<dict><key>version</key><string>1.0</string><key>notes</key><string>kept</string></dict>"),
                 {}, nullptr, 2},
        // The newer release is chosen, though it came after the older one of the same minimum.
        FeedCase{{"NewerAfterOlderOfTheSameMinimum"},
                 feedOf("<dict><key>version</key><string>1.0</string><key>minimumSystemVersion</key>"
                        "<string>11.0</string><key>url</key><string>https://old/a.tgz</string></dict>"),
                 {}, nullptr, 2},
        FeedCase{{"SameVersionReplacedInPlace"},
                 feedOf("<dict><key>version</key><string>2.0</string><key>url</key><string>https://old/a.tgz</string>"
                        "<key>supportedCPUTypes</key><string>ppc</string><key>notes</key><string>kept</string></dict>"
                        "<string>kept</string><dict><key>version</key><string>2.0</string></dict>"),
                 {}, nullptr, 1},
        FeedCase{{"NotHttps"}, {}, {"--url", "http://www.quillbay.com/a.tgz"}, "would not fetch", 0},
        FeedCase{{"ZipNamedTgz"}, {}, {"--archive", "@a.zip"}, "is no gzip archive", 0},
        FeedCase{{"TgzNamedZip"}, {}, {"--url", "https://www.quillbay.com/a.zip"}, "is no zip archive", 0},
        FeedCase{{"NotEd25519"}, {}, {"--key", "@ec.pem"}, "holds a key of type EC, not Ed25519", 0},
        FeedCase{{"RootNoDictionary"}, "<plist><array/></plist>", {}, "its root is no dictionary", 0}),
    testsupport::CaseName());
// clang-format on

class ReleaseFeedKey : public ReleaseFeedTool {};

TEST_F(ReleaseFeedKey, PublicKeyIsTheRawKeyInBase64) {
    const ToolRun der =
        ToolRun::of("openssl", {"pkey", "-pubin", "-in", path("public.pem"), "-outform", "DER"});
    EXPECT_EQ(ToolRun::of(QBY_FEED_TOOL, {"--public-key", "--key", path("key.pem")}).output,
              der.output.right(32).toBase64() + "\n");
}

}  // namespace
}  // namespace qby::tools

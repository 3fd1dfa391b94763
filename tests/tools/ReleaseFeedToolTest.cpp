#include "NamedCase.h"
#include "TestFiles.h"
#include "ToolRun.h"
#include "downloader/FeedAuthenticity.h"
#include "downloader/ReleaseFeed.h"
#include "downloader/ReleaseSelection.h"
#include "platform/linux/archive/OpenSslArchiveVerifier.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QVariantMap>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace qby::tools {
namespace {

using testsupport::NamedCase;
using testsupport::readFile;
using testsupport::writeFile;

const QByteArray kArchive = QByteArray("\x1f\x8b") + QByteArray(3000, 'a');
const QString kUrl = "https://www.quillbay.com/downloader/Quillbay.tgz";
const QString kLater = "2031-05-06T07:08:09Z";

QByteArray feedOf(const char* entries, const char* more = "") {
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
                      "<key>other</key><string>kept</string><key>downloader</key><array>") +
           entries + "</array>" + more + "</dict></plist>";
}

struct FeedCase : NamedCase {
    QByteArray before;    // the feed file before; none when empty
    QStringList more;     // arguments after the usual ones, which they override; @NAME: a file
    const char* refusal;  // why the tool refuses, or nothing when it adds the release
    int releases;         // entries of the feed after
    const char* processors = "";  // the release's "supportedCPUTypes" after
    qint64 serial = 1;            // its "feedSerial" after
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
        ASSERT_TRUE(writeFile(path("a.tgz"), kArchive) &&
                    writeFile(path("a.zip"), "PK\x05\x06" + QByteArray(18, 0)));
    }
    static void TearDownTestSuite() { delete folder; }
    static QString path(const QString& name) { return folder->filePath(name); }
    static int openssl(const QStringList& arguments) {
        return ToolRun::of("openssl", arguments).status;
    }
    static inline QTemporaryDir* folder = nullptr;

    // The feed as a downloader that requires signatures reads it back: signed by the key over
    // its exact bytes (openssl agrees), with that serial, expiring then (within a minute).
    static void expectSignedAndFresh(const QString& feed, qint64 serial, const QDateTime& expires) {
        const QByteArray bytes = readFile(feed), signature = readFile(feed + ".sig");
        const ToolRun publicKey =
            ToolRun::of(QBY_FEED_TOOL, {"--public-key", "--key", path("key.pem")});
        platform::linuxhost::OpenSslArchiveVerifier verifier;
        const foundation::Status verified = downloader::checkFeedSignature(
            bytes, signature, {QByteArray::fromBase64(publicKey.output)}, verifier);
        EXPECT_TRUE(verified.ok()) << verified.error().message.toStdString();
        ASSERT_TRUE(writeFile(path("feed.signature"), QByteArray::fromBase64(signature)));
        EXPECT_EQ(openssl({"pkeyutl", "-verify", "-pubin", "-inkey", path("public.pem"), "-rawin",
                           "-in", feed, "-sigfile", path("feed.signature")}),
                  0);

        const QVariantMap root =
            platform::linuxhost::LibPlistPropertyLists().parse(bytes).value().toMap();
        EXPECT_EQ(root.value("feedSerial"), QVariant(serial));
        const qint64 expiry = root.value("feedExpires").toDateTime().toSecsSinceEpoch();
        EXPECT_LE(std::abs(expiry - expires.toSecsSinceEpoch()), 60)
            << root.value("feedExpires").toDateTime().toString(Qt::ISODate).toStdString();
        // Taken at the stamped serial, refused above it.
        EXPECT_TRUE(downloader::checkFeedFreshness(root, serial, expiry).ok());
        EXPECT_FALSE(downloader::checkFeedFreshness(root, serial + 1, expiry).ok());
    }
};

TEST_P(ReleaseFeedTool, AddsWhatTheDownloaderReadsAndOpenSslVerifies) {
    const QString feed = path(QString("%1.xml").arg(GetParam().name));
    if (!GetParam().before.isEmpty()) ASSERT_TRUE(writeFile(feed, GetParam().before));
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
        EXPECT_EQ(readFile(feed), GetParam().before);
        EXPECT_FALSE(QFile::exists(feed + ".sig"));
        return;
    }
    ASSERT_EQ(run.status, 0) << run.errors.toStdString();
    const QByteArray after = readFile(feed);
    expectSignedAndFresh(feed, GetParam().serial,
                         more.contains("--expires") ? QDateTime::fromString(kLater, Qt::ISODate)
                                                    : QDateTime::currentDateTimeUtc().addDays(30));
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
    ASSERT_TRUE(writeFile(path("signature"),
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
        FeedCase{{"RootNoDictionary"}, "<plist><array/></plist>", {}, "its root is no dictionary", 0},
        // The serial goes on from the feed's; the expiry is the one asked for.
        FeedCase{{"SerialRaised"}, feedOf("", "<key>feedSerial</key><integer>41</integer>"),
                 {"--expires", kLater}, nullptr, 1, "", 42},
        FeedCase{{"SerialNoNumber"}, feedOf("", "<key>feedSerial</key><string>41</string>"), {},
                 "its feedSerial is no whole number", 0},
        FeedCase{{"ExpiryPassed"}, {}, {"--expires", "2020-01-01T00:00:00Z"}, "has passed", 0},
        FeedCase{{"ExpiryWithoutOffset"}, {}, {"--expires", "2031-01-01T00:00:00"}, "with its offset", 0},
        FeedCase{{"RenewNothing"}, {}, {"--renew"}, "there is no feed", 0}),
    testsupport::CaseName());
// clang-format on

class ReleaseFeedKey : public ReleaseFeedTool {};

// Renewing keeps every entry and key but the two it sets, and signs again.
TEST_F(ReleaseFeedKey, RenewRaisesTheSerialAndSignsAgain) {
    const QString feed = path("renewed.xml");
    const QStringList add{
        "--feed",           feed,   "--archive", path("a.tgz"), "--version", "2.0",
        "--minimum-system", "11.0", "--url",     kUrl,          "--key",     path("key.pem")};
    ASSERT_EQ(ToolRun::of(QBY_FEED_TOOL, add).status, 0);
    const QVariantMap before =
        platform::linuxhost::LibPlistPropertyLists().parse(readFile(feed)).value().toMap();
    for (const qint64 serial : {2, 3}) {
        const ToolRun run = ToolRun::of(QBY_FEED_TOOL, {"--renew", "--feed", feed, "--key",
                                                        path("key.pem"), "--expires", kLater});
        ASSERT_EQ(run.status, 0) << run.errors.toStdString();
        expectSignedAndFresh(feed, serial, QDateTime::fromString(kLater, Qt::ISODate));
    }
    QVariantMap after =
        platform::linuxhost::LibPlistPropertyLists().parse(readFile(feed)).value().toMap();
    for (const char* key : {"feedSerial", "feedExpires"}) after.insert(key, before.value(key));
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace qby::tools

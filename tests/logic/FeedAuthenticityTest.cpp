// A build that requires signatures takes the release feed only as the store signed it: the
// signature beside it, its serial against the stamped floor, its expiry.
#include "DownloaderFixture.h"
#include "downloader/FeedAuthenticity.h"

#include <QDateTime>

namespace qby::testing {
namespace {

const QString kSignatureUrl = kFeedUrl + ".sig";
const QString kArchiveUrl = QStringLiteral("https://cdn.quillbay.com/c/Quillbay.tgz");
const QByteArray kKey(32, 'k'), kOtherKey(32, 'o');
const QByteArray kFeed = "signed feed";
constexpr qint64 kDay = 24 * 60 * 60;

// What the store serves and the downloader carries; each row changes one thing.
struct FeedRow {
    const char* name;
    const char* reason;  // the log's reason; nothing: the release's download starts
    // The signature file's text; nothing: the store has none.
    std::optional<QByteArray> signature =
        fake::FakeInstallServices::signatureOf(kKey, QString::fromUtf8(kFeed)).toBase64() + "\n";
    QVariant serial = qint64(7);
    QVariant expiresIn = 10 * kDay;               // seconds from the fake's now; a text: that text
    std::optional<QString> floor = std::nullopt;  // the stamped serial file's text
    bool entrySigned = true;
    bool required = true;
    int busySignature = 0;  // busy answers for the signature before it is served
};

class FeedAuthenticityTest : public ::testing::TestWithParam<FeedRow>, public DownloaderFixture {
protected:
    void SetUp() override {
        const FeedRow& row = GetParam();
        install.trust = {{kKey}, row.required};
        QVariantMap entry = release("10.6", kArchiveUrl);
        if (row.entrySigned) entry.insert("ed25519Signature", QString(88, 'A'));
        QVariantMap root{{"downloader", QVariantList{entry}}};
        if (row.serial.isValid()) root.insert("feedSerial", row.serial);
        if (row.expiresIn.typeId() == QMetaType::QString) {
            root.insert("feedExpires", row.expiresIn);
        } else if (row.expiresIn.isValid()) {
            root.insert("feedExpires",
                        QDateTime::fromSecsSinceEpoch(
                            install.wallClockSeconds + row.expiresIn.toLongLong(), Qt::UTC));
        }
        install.urlBodies.insert(kFeedUrl, kFeed);
        platform.propertyListRoots.insert(kFeed, root);
        install.urlBodies.insert(kSignatureUrl, row.signature);
        install.transientFailures.insert(kSignatureUrl, row.busySignature);
        if (row.floor) {
            platform.resources.insert("/feedSerial.txt", "/bundle/Resources/feedSerial.txt");
            platform.addFile("/bundle/Resources/feedSerial.txt", *row.floor);
        }
    }
};

TEST_P(FeedAuthenticityTest, DownloadsOnlyWhatTheStoreSigned) {
    const FeedRow& row = GetParam();
    downloader.startDownload(nullptr);
    install.runBackgroundTasks();
    install.runMainThreadOperations();
    // The signature is asked for after the feed, with the feed's size cap, and only when required;
    // a busy server's is asked for again after a pause.
    EXPECT_EQ(count("url.read " + kSignatureUrl + " 33554432"),
              row.required ? 1 + row.busySignature : 0)
        << calls();
    EXPECT_EQ(count("sleep"), row.busySignature);
    if (!row.reason) {
        EXPECT_EQ(count("download.start " + kArchiveUrl), 1) << calls();
        EXPECT_EQ(count("window.beginSheet"), 0);
        return;
    }
    EXPECT_EQ(count("download.start"), 0) << calls();
    EXPECT_EQ(onlySheet().messageText, "The Quillbay app could not be downloaded.");
    const QString logged = callsFrom("console").value(0);
    EXPECT_TRUE(logged.startsWith("console Release feed unusable: ") && logged.contains(row.reason))
        << logged.toStdString();
}

const QByteArray kForeign =
    fake::FakeInstallServices::signatureOf(kOtherKey, "signed feed").toBase64();
const QByteArray kChanged = fake::FakeInstallServices::signatureOf(kKey, "signed feed!").toBase64();

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, FeedAuthenticityTest,
    ::testing::Values(
        FeedRow{.name = "SignedAndFresh", .reason = nullptr},
        FeedRow{.name = "SignatureOfABusyServerReadAgain", .reason = nullptr, .busySignature = 2},
        FeedRow{.name = "SignatureMissing", .reason = "appcast.xml.sig could not be read", .signature = std::nullopt},
        FeedRow{.name = "SignedByAnotherKey", .reason = "verifies under none of the 1 accepted keys", .signature = kForeign},
        FeedRow{.name = "BytesChangedAfterSigning", .reason = "verifies under none", .signature = kChanged},
        FeedRow{.name = "SignatureNotBase64", .reason = "is not the base64 of 64 bytes", .signature = "not base64 at all"},
        FeedRow{.name = "SignatureTooShort", .reason = "is not the base64 of 64 bytes", .signature = QByteArray(63, 's').toBase64()},
        FeedRow{.name = "ExpiredBeyondTheGrace", .reason = "it expired on 2026-12-05T23:59:59Z", .expiresIn = -kDay - 1},
        FeedRow{.name = "ExpiredWithinTheGrace", .reason = nullptr, .expiresIn = -kDay},
        FeedRow{.name = "NoExpiry", .reason = "it has no feedExpires that is a date", .expiresIn = QVariant()},
        FeedRow{.name = "ExpiryAsText", .reason = "it has no feedExpires that is a date", .expiresIn = "2030-01-01T00:00:00Z"},
        FeedRow{.name = "BelowTheStampedSerial", .reason = "its feedSerial 7 is below 8", .floor = "8\n"},
        FeedRow{.name = "AtTheStampedSerial", .reason = nullptr, .floor = "7\n"},
        FeedRow{.name = "NoSerial", .reason = "it has no feedSerial that is a whole number", .serial = QVariant()},
        FeedRow{.name = "SerialAsText", .reason = "it has no feedSerial that is a whole number", .serial = "7"},
        FeedRow{.name = "StampedSerialUnreadable", .reason = "is no whole number", .floor = "seven"},
        FeedRow{.name = "EntryWithoutSignature", .reason = "the release it names has no ed25519Signature", .entrySigned = false},
        // The default build asks for no signature and checks nothing of the feed.
        FeedRow{.name = "NotRequired", .reason = nullptr, .signature = std::nullopt, .serial = QVariant(),
                .expiresIn = QVariant(), .floor = "8", .entrySigned = false, .required = false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace qby::testing

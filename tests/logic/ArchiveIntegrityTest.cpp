// The finished archive against the "sha256" and "ed25519Signature" of its release entry.
#include "DownloaderFixture.h"

#include <QCryptographicHash>

namespace qby::testing {
namespace {

const QString kArchive = "archive bytes";
const QByteArray kKeyA(32, 'a'), kKeyB(32, 'b');
const QString kKeyA64 = kKeyA.toBase64(), kKeyB64 = kKeyB.toBase64();
const QString kDigest =
    QCryptographicHash::hash(kArchive.toUtf8(), QCryptographicHash::Sha256).toHex();
const QString kOtherDigest = QString(kDigest).replace(0, 1, kDigest[0] == 'f' ? "e" : "f");
QString signedBy(const QByteArray& key, const QString& text = kArchive) {
    return fake::FakeInstallServices::signatureOf(key, text).toBase64();
}
const QString kVerified = "Release archive verified: SHA-256 " + kDigest;
const QString kRefused = "Release archive refused: ";

struct IntegrityRow {
    const char* name;
    QVariant sha256;     // invalid: no key in the entry
    QVariant signature;  // invalid: no key in the entry
    QStringList keys = {kKeyA64};
    bool required = false;
    QString log;  // the console line's start; empty: none
    bool accepted = log.isEmpty() || log.startsWith("Release archive verified");
    bool whole = true;  // false: the transfer ends short of its announced length
    QString received;   // the text whose digest the download took as it arrived; empty: none
};

class ArchiveIntegrityTest : public ::testing::TestWithParam<IntegrityRow>,
                             public DownloaderFixture {};

TEST_P(ArchiveIntegrityTest, ChecksTheArchiveBeforeUnpacking) {
    const IntegrityRow& row = GetParam();
    install.trust = downloader::ReleaseTrust::fromBase64(row.keys, row.required);
    install.unpackResult = foundation::Status(foundation::Error{2, "stop after unpacking"});
    QVariantMap entry = release("10.6", "https://cdn.quillbay.com/c/Quillbay.tgz");
    if (row.sha256.isValid()) entry.insert("sha256", row.sha256);
    if (row.signature.isValid()) entry.insert("ed25519Signature", row.signature);
    downloader.doDownload({entry});
    ASSERT_NE(downloader.clientDownload(), nullptr) << "a malformed value skips no entry";
    respond(100);
    receive(row.whole ? 100 : 99);
    if (!row.received.isEmpty())
        install.downloads.back()->bodySha256 =
            QCryptographicHash::hash(row.received.toUtf8(), QCryptographicHash::Sha256);
    platform.addFile(downloader.downloadPath(), kArchive);
    downloader.downloadDidFinish();

    const QStringList console = platform.log.calls().filter("console Release archive");
    const qsizetype shown = row.log.isEmpty() ? -1 : row.log.size();
    EXPECT_EQ(console.isEmpty() ? QString() : console.first().mid(8, shown), row.log);
    EXPECT_EQ(count("archive.unpack"), row.accepted ? 1 : 0) << calls();
    if (row.accepted) return;
    EXPECT_EQ(onlySheet().informativeText,
              row.whole ? "The download was damaged. Please try again."
                        : "The download ended before the whole file had arrived. Please try "
                          "again later.");
    EXPECT_FALSE(platform.exists(kWorkFolder) || handOff.isSet()) << "the download folder goes";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, ArchiveIntegrityTest,
    ::testing::Values(
        IntegrityRow{.name = "nothing_promised_nothing_checked"},
        IntegrityRow{.name = "digest_and_signature_match", .sha256 = kDigest, .signature = signedBy(kKeyA),
                     .log = kVerified + "; signed by accepted key 1 of 1 (" + kKeyA64 + ")"},
        IntegrityRow{.name = "upper_case_digest", .sha256 = kDigest.toUpper(), .log = kVerified},
        IntegrityRow{.name = "digest_mismatch", .sha256 = kOtherDigest, .signature = signedBy(kKeyA),
                     .log = kRefused + "SHA-256 expected " + kOtherDigest + ", found " + kDigest},
        IntegrityRow{.name = "signature_of_other_bytes", .signature = signedBy(kKeyA, "other bytes"),
                     .log = kRefused + "its signature verifies under none of the 1 accepted keys"},
        IntegrityRow{.name = "second_accepted_key_malformed_keys_left_out", .signature = signedBy(kKeyB),
                     .keys = {"AAAA", kKeyA64, kKeyB64},
                     .log = "Release archive verified: signed by accepted key 2 of 2"},
        IntegrityRow{.name = "digest_too_short", .sha256 = "abc", .log = kRefused + "its sha256"},
        IntegrityRow{.name = "digest_not_hex", .sha256 = QString(64, 'g'), .log = kRefused + "its sha256 \"ggg"},
        IntegrityRow{.name = "digest_not_text", .sha256 = 42, .log = kRefused + "its sha256 a "},
        IntegrityRow{.name = "signature_not_base64", .signature = QString(88, '!'),
                     .log = kRefused + "its ed25519Signature"},
        IntegrityRow{.name = "signature_too_short", .signature = kKeyA64, .log = kRefused + "its ed25519Signature"},
        IntegrityRow{.name = "signed_when_required", .signature = signedBy(kKeyA), .required = true,
                     .log = "Release archive verified: signed"},
        // The file on disk matches; what the download took as the bytes arrived does not.
        IntegrityRow{.name = "digest_taken_while_receiving", .sha256 = kDigest,
                     .log = kRefused + "SHA-256 expected " + kDigest + ", found " +
                            QCryptographicHash::hash("other bytes", QCryptographicHash::Sha256).toHex(),
                     .received = "other bytes"},
        IntegrityRow{.name = "short_transfer_is_not_verified", .sha256 = kDigest, .accepted = false, .whole = false}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace qby::testing

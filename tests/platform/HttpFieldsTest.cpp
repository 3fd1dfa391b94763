// The header fields the downloader parses itself, held to their grammar; and the host check.
#include "NamedCase.h"
#include "SelfSignedCertificate.h"
#include "platform/linux/net/HostNameCheck.h"
#include "platform/linux/net/HttpFields.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

struct RangeRow : testsupport::NamedCase {
    const char* value;
    // first-last/complete as parsed, or "" for a value refused.
    const char* parsed;
};

class ContentRangeTest : public testing::TestWithParam<RangeRow> {};

TEST_P(ContentRangeTest, ParsesOnlyByteRanges) {
    const std::optional<ContentRange> range = parseContentRange(GetParam().value);
    const std::string parsed = range ? QStringLiteral("%1-%2/%3")
                                           .arg(range->first)
                                           .arg(range->last)
                                           .arg(range->completeLength)
                                           .toStdString()
                                     : "";
    EXPECT_EQ(parsed, GetParam().parsed);
}

INSTANTIATE_TEST_SUITE_P(Rows, ContentRangeTest,
                         testing::Values(RangeRow{"Range", "bytes 5-10/11", "5-10/11"},
                                         RangeRow{"Unsatisfied", " bytes */11 ", "-1--1/11"},
                                         RangeRow{"UnknownLength", "bytes 0-4/*", "0-4/-1"},
                                         RangeRow{"LastBeforeFirst", "bytes 6-5/11", ""},
                                         RangeRow{"LastPastTheEnd", "bytes 5-11/11", ""},
                                         RangeRow{"SignedNumber", "bytes +5-10/11", ""},
                                         RangeRow{"OtherUnit", "items 5-10/11", ""},
                                         RangeRow{"Trailing", "bytes 5-10/11x", ""},
                                         RangeRow{"NineteenDigits", "bytes 0-1/1000000000000000000",
                                                  ""},
                                         RangeRow{"EighteenDigits", "bytes 0-1/100000000000000000",
                                                  "0-1/100000000000000000"}),
                         testsupport::CaseName{});

struct ValidatorRow : testsupport::NamedCase {
    QByteArray etag;
    QByteArray lastModified;
    QByteArray kept;  // what goes back in If-Range; empty: none, the download starts over
};

class ResumeValidatorTest : public testing::TestWithParam<ValidatorRow> {};

TEST_P(ResumeValidatorTest, KeepsOnlyStrongTagsAndValidDates) {
    EXPECT_EQ(resumeValidator(GetParam().etag, GetParam().lastModified), GetParam().kept);
    // The partial cache reads back what was kept, exactly as it was kept.
    EXPECT_EQ(isResumeValidator(GetParam().kept), !GetParam().kept.isEmpty());
    EXPECT_FALSE(isResumeValidator(' ' + GetParam().kept));
}

const QByteArray kDate = "Mon, 07 Dec 2026 10:00:00 GMT";

INSTANTIATE_TEST_SUITE_P(
    Rows, ResumeValidatorTest,
    testing::Values(ValidatorRow{"StrongTag", "\"v1\"", kDate, "\"v1\""},
                    ValidatorRow{"WeakTagGivesTheDate", "W/\"v1\"", kDate, kDate},
                    ValidatorRow{"CarriageReturnInTag", "\"a\"\rX-Injected: yes", "", ""},
                    ValidatorRow{"QuoteInsideTag", "\"a\"b\"", "", ""},
                    ValidatorRow{"UnquotedTag", "v1", "", ""},
                    ValidatorRow{"TwoTags", "\"a\", \"b\"", "", ""},
                    ValidatorRow{"WrongWeekday", "", "Tue, 07 Dec 2026 10:00:00 GMT", ""},
                    ValidatorRow{"NoSuchDay", "", "Wed, 31 Feb 2026 10:00:00 GMT", ""},
                    ValidatorRow{"OtherZone", "", "Mon, 07 Dec 2026 10:00:00 UTC", ""},
                    ValidatorRow{"LineBreakInDate", "", "Mon, 07 Dec 2026\r\n10:00:00 GMT", ""}),
    testsupport::CaseName{});

struct RetryAfterRow : testsupport::NamedCase {
    QByteArray value;
    std::optional<qint64> milliseconds;
};

class RetryAfterTest : public testing::TestWithParam<RetryAfterRow> {};

TEST_P(RetryAfterTest, SecondsOrADate) {
    const QDateTime now(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC);
    EXPECT_EQ(retryAfterMilliseconds(GetParam().value, now), GetParam().milliseconds);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RetryAfterTest,
    testing::Values(RetryAfterRow{"Seconds", "4", 4000},
                    RetryAfterRow{"DateAhead", "Mon, 07 Dec 2026 10:00:30 GMT", 30000},
                    RetryAfterRow{"DatePast", "Mon, 07 Dec 2026 09:00:00 GMT", 0},
                    RetryAfterRow{"HugeIsADay", "99999999999999999999999", 86'400'000},
                    RetryAfterRow{"Negative", "-4", std::nullopt},
                    RetryAfterRow{"Fraction", "1.5", std::nullopt},
                    RetryAfterRow{"Empty", "", std::nullopt}),
    testsupport::CaseName{});

// The host check by subject alternative names alone, on certificates openssl makes per row.
struct NameRow : testsupport::NamedCase {
    const char* commonName;
    const char* alternativeNames;  // "" for no extension
    const char* host;
    bool named;
};

class HostNameCheckTest : public testing::TestWithParam<NameRow> {};

QSslCertificate certificate(const NameRow& row) {
    QTemporaryDir folder;
    const QString path = folder.filePath("certificate.pem");
    if (!testsupport::makeSelfSignedCertificate(folder.filePath("key.pem"), path, row.commonName,
                                                row.alternativeNames))
        return QSslCertificate();
    return QSslCertificate::fromPath(path).value(0);
}

TEST_P(HostNameCheckTest, NamesTheHostOnlyByAlternativeNames) {
    const QSslCertificate made = certificate(GetParam());
    ASSERT_FALSE(made.isNull());
    EXPECT_EQ(certificateNamesHost(made, GetParam().host), GetParam().named);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, HostNameCheckTest,
    testing::Values(
        NameRow{"DnsName", "x", "DNS:cdn.quillbay.com", "cdn.quillbay.com", true},
        NameRow{"CaseAndFinalDot", "x", "DNS:CDN.Quillbay.com", "cdn.quillbay.com.", true},
        NameRow{"CommonNameOnly", "cdn.quillbay.com", "", "cdn.quillbay.com", false},
        NameRow{"CommonNameBesideOtherNames", "cdn.quillbay.com", "DNS:www.quillbay.com", "cdn.quillbay.com", false},
        NameRow{"WildcardOneLabel", "x", "DNS:*.quillbay.com", "cdn.quillbay.com", true},
        NameRow{"WildcardNotTwoLabels", "x", "DNS:*.quillbay.com", "a.cdn.quillbay.com", false},
        NameRow{"WildcardNotTheBase", "x", "DNS:*.quillbay.com", "quillbay.com", false},
        NameRow{"WildcardPartOfALabel", "x", "DNS:c*.quillbay.com", "cdn.quillbay.com", false},
        NameRow{"WildcardOverATopLevel", "x", "DNS:*.com", "quillbay.com", false},
        NameRow{"AddressByIpEntry", "x", "IP:127.0.0.1", "127.0.0.1", true},
        NameRow{"AddressNotByDnsEntry", "x", "DNS:127.0.0.1", "127.0.0.1", false},
        NameRow{"Ipv6Address", "x", "IP:::1", "::1", true},
        NameRow{"NameNotByIpEntry", "x", "IP:127.0.0.1", "localhost", false}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost

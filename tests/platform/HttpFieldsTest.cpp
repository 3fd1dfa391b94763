// The header fields the downloader parses itself, held to their grammar.
#include "NamedCase.h"
#include "platform/linux/net/HttpFields.h"

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

}  // namespace
}  // namespace qby::platform::linuxhost

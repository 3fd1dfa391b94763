#include "QStringPrinter.h"
#include "foundation/VersionComparator.h"

#include <gtest/gtest.h>
#include <malloc.h>

namespace qby::foundation {
namespace {

const VersionComparator& comparator() {
    return VersionComparator::defaultComparator();
}

struct Case {
    const char16_t* first;
    const char16_t* second;
    qint64 expected;
    // The answer with both sides swapped: the opposite, except where two parts of different
    // types that are neither numbers nor text meet (a dash against a separator): the first
    // side is the lower one either way.
    qint64 reversed = -expected;
};

class CompareVersionTest : public ::testing::TestWithParam<Case> {};

TEST_P(CompareVersionTest, OrdersBothWays) {
    const Case& c = GetParam();
    const QString a = QString::fromUtf16(c.first), b = QString::fromUtf16(c.second);
    EXPECT_EQ(std::pair(comparator().compareVersion(a, b), comparator().compareVersion(b, a)),
              std::pair(c.expected, c.reversed))
        << a.toStdString() << " vs " << b.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompareVersionTest,
    ::testing::Values(
        Case{u"1.0", u"1.0.0", 0}, Case{u"10.6", u"10.10", -1}, Case{u"10.10", u"10.9.5", 1},
        Case{u"1.01", u"1.1", 0}, Case{u"1.0", u"1.0.", 0}, Case{u"1.0b1", u"1.0", -1},
        Case{u"1.0.1", u"1.0b", 1}, Case{u"1.0B", u"1.0a", -1}, Case{u"1.0b9", u"1.0b10", -1},
        Case{u"1.0rc1", u"1.0b2", 1}, Case{u"1.2-3", u"1.2", 0}, Case{u"1.0beta", u"1.0.0", -1},
        Case{u"1.0 beta", u"1.0.0", 1}, Case{u"1.0 ", u"1.0", 1}, Case{u"1 0", u"1.0", 1},
        Case{u"1.2", u"1_2", 1}, Case{u"1..2", u"1.2", -1}, Case{u"ver1.0", u"1.0", -1},
        Case{u"-1", u"1", -1}, Case{u"", u"0", 0}, Case{u"", u"1", -1},
        Case{u"10.5.8", u"10.6", -1},
        // Both saturate at the largest 64-bit value.
        Case{u"99999999999999999999", u"99999999999999999998", 0},
        Case{u"9223372036854775807", u"9223372036854775806", 1},
        // Digits beyond ASCII count by their value: Arabic-Indic ten against two.
        Case{u"\u0661\u0660", u"2", 1}, Case{u"1.\u0665", u"1.5", 0},
        // Separators of any kind are interchangeable; dashes end the version.
        Case{u"1,2", u"1 2", 0}, Case{u"1.2--", u"1.2", 0}, Case{u"--", u"-", 0},
        Case{u"-5", u"-", 1},
        // Each separator is a part of its own.
        Case{u"1,,  2", u"1 2", -1},
        // The shorter leading run of numbers and periods takes the other's shape first.
        Case{u"1b1", u"1.0", -1}, Case{u"", u"1.2", -1}, Case{u"ver1.0", u"ver1.1", -1},
        // A dash against a separator: the first side is the lower either way.
        Case{u"-", u" ", -1, -1}, Case{u"-1", u"_1", -1, -1}));

// Every character of a row, between two digits, against the separator in "1 2": numbers join
// the digits (higher), separators of any kind equal it, text is lower.
struct ClassCase {
    const char16_t* characters;
    qint64 againstSeparator;
};

class VersionCharacterClassTest : public ::testing::TestWithParam<ClassCase> {};

TEST_P(VersionCharacterClassTest, DecidesHowAPartCompares) {
    const QString separated = QStringLiteral("1 2");
    for (QChar ch : QString::fromUtf16(GetParam().characters)) {
        const QString version = QStringLiteral("1") + ch + QStringLiteral("2");
        EXPECT_EQ(std::pair(comparator().compareVersion(version, separated),
                            comparator().compareVersion(separated, version)),
                  std::pair(GetParam().againstSeparator, -GetParam().againstSeparator))
            << "U+" << std::hex << static_cast<unsigned>(ch.unicode());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionCharacterClassTest,
    ::testing::Values(
        // A period starts the leading run that the other side is extended to; a dash ends it.
        ClassCase{u"0123456789\u0660\u0966\uFF10.", 1},
        ClassCase{u" \t\n\v\f\r\u0085\u00A0\u2028\u2029\u3000", 0},
        ClassCase{u"!#%&'()*,/:;?[]_{}\"\\@\u00BF\u2014\u300C", 0},
        ClassCase{u"-AZaz$+<=>^~`|\x01\x1F\x7F\u00E9\u20AC\xD800\xDC00", -1}));

TEST(CompareVersionBadInputTest, HugeTextsStayLinear) {
    const QString dottedNumbers = QStringLiteral("1.").repeated(1 << 19);
    const QString textThenSpaces = QStringLiteral("a") + QString(1 << 20, u' ');
    EXPECT_EQ(comparator().compareVersion(QString(1 << 20, u'7'), "9223372036854775807"), 0);
    EXPECT_EQ(comparator().compareVersion(QString(1 << 20, u'.'), "1"), -1);
    // Half a million parts to insert in front of the other list's text parts.
    EXPECT_EQ(comparator().compareVersion(textThenSpaces, dottedNumbers), -1);
    EXPECT_EQ(comparator().compareVersion(dottedNumbers, dottedNumbers), 0);
}

TEST(CompareVersionBadInputTest, LongVersionsLeakNothing) {
    // Both part lists outgrow their 16 inline places, and the shorter one is extended.
    const QString shorter = QStringLiteral("1.").repeated(10) + u'1';
    const QString longer = QStringLiteral("1.").repeated(20) + u'1';
    const auto heapInUse = [] { return qint64(mallinfo2().uordblks); };
    const qint64 before = heapInUse();
    for (int i = 0; i < 10000; ++i) comparator().compareVersion(shorter, longer);
    EXPECT_LT(heapInUse() - before, 100000);
}

}  // namespace
}  // namespace qby::foundation

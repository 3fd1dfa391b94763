#include "foundation/VersionComparator.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace qby {
namespace {

using Type = VersionComparator::CharacterType;

const VersionComparator& comparator() {
    return VersionComparator::defaultComparator();
}

struct ComparisonCase {
    const char16_t* first;
    const char16_t* second;
    qint64 expected;
};

class CompareVersionTest : public ::testing::TestWithParam<ComparisonCase> {};

TEST_P(CompareVersionTest, OrdersAsExpected) {
    const ComparisonCase& c = GetParam();
    const QString first = QString::fromUtf16(c.first);
    const QString second = QString::fromUtf16(c.second);
    EXPECT_EQ(comparator().compareVersion(first, second), c.expected)
        << first.toStdString() << " vs " << second.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompareVersionTest,
    ::testing::Values(
        ComparisonCase{u"1.0", u"1.0.0", 0}, ComparisonCase{u"10.6", u"10.10", -1},
        ComparisonCase{u"10.10", u"10.9.5", 1}, ComparisonCase{u"2", u"10", -1},
        ComparisonCase{u"1.01", u"1.1", 0}, ComparisonCase{u"1.0", u"1.0.", 0},
        ComparisonCase{u"1.0b1", u"1.0", -1}, ComparisonCase{u"1.0", u"1.0b1", 1},
        ComparisonCase{u"1.0.1", u"1.0b", 1}, ComparisonCase{u"1.0a", u"1.0.1", -1},
        ComparisonCase{u"1.0a", u"1.0b", -1}, ComparisonCase{u"1.0B", u"1.0a", -1},
        ComparisonCase{u"1.0b9", u"1.0b10", -1}, ComparisonCase{u"1.0rc1", u"1.0b2", 1},
        ComparisonCase{u"1.2-3", u"1.2", 0}, ComparisonCase{u"1.0", u"1.0-beta", 0},
        ComparisonCase{u"1.0beta", u"1.0.0", -1}, ComparisonCase{u"1.0 beta", u"1.0.0", 1},
        ComparisonCase{u"1.0 ", u"1.0", 1}, ComparisonCase{u"1 0", u"1.0", 1},
        ComparisonCase{u"1.2", u"1_2", 1}, ComparisonCase{u"1..2", u"1.2", -1},
        ComparisonCase{u"ver1.0", u"1.0", -1}, ComparisonCase{u"a", u"1", -1},
        ComparisonCase{u"-1", u"1", -1}, ComparisonCase{u"", u"", 0}, ComparisonCase{u"", u"0", 0},
        ComparisonCase{u"", u"1", -1}, ComparisonCase{u"10.15.7", u"", 1},
        ComparisonCase{u"10.6.0", u"10.6", 0}, ComparisonCase{u"10.5.8", u"10.6", -1},
        // Both saturate at the largest 64-bit value.
        ComparisonCase{u"99999999999999999999", u"99999999999999999998", 0},
        ComparisonCase{u"9223372036854775807", u"9223372036854775806", 1},
        // Digits beyond ASCII count by their value: Arabic-Indic ten against two.
        ComparisonCase{u"\u0661\u0660", u"2", 1}, ComparisonCase{u"1.\u0665", u"1.5", 0},
        // Separators of any kind are interchangeable; dashes end the version.
        ComparisonCase{u"1,2", u"1 2", 0}, ComparisonCase{u"1.2--", u"1.2", 0}));

TEST(CompareVersionTest, MissingTextCountsAsEmpty) {
    EXPECT_EQ(comparator().compareVersion(QString(), QStringLiteral("0")), 0);
    EXPECT_EQ(comparator().compareVersion(QString(), QString()), 0);
    EXPECT_EQ(comparator().compareVersion(QStringLiteral("10.6"), QString()), 1);
}

struct ClassificationCase {
    const char16_t* characters;
    Type expected;
};

class TypeOfCharacterTest : public ::testing::TestWithParam<ClassificationCase> {};

TEST_P(TypeOfCharacterTest, ClassifiesEveryCharacter) {
    const ClassificationCase& c = GetParam();
    const QString characters = QString::fromUtf16(c.characters);
    for (QChar ch : characters) {
        EXPECT_EQ(comparator().typeOfCharacter(QString(ch)), c.expected)
            << "U+" << std::hex << static_cast<unsigned>(ch.unicode());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TypeOfCharacterTest,
    ::testing::Values(ClassificationCase{u"0123456789\u0660\u0966\uFF10",
                                         VersionComparator::NumberType},
                      ClassificationCase{u".", VersionComparator::PeriodType},
                      ClassificationCase{u"-", VersionComparator::DashType},
                      ClassificationCase{u" \t\n\v\f\r\u0085\u00A0\u2028\u2029\u3000",
                                         VersionComparator::WhitespaceType},
                      ClassificationCase{u"!#%&'()*,/:;?[]_{}\"\\@\u00BF\u2014\u300C",
                                         VersionComparator::PunctuationType},
                      ClassificationCase{u"AZaz$+<=>^~`|\x01\x1F\x7F\u00E9\u20AC\xD800\xDC00",
                                         VersionComparator::StringType}));

TEST(TypeOfCharacterTest, WholePartsTakeTheTypeOfTheirFirstCharacter) {
    // "." and "-" only as whole texts; leading a longer text they are punctuation.
    EXPECT_EQ(comparator().typeOfCharacter(u"..."), VersionComparator::PunctuationType);
    EXPECT_EQ(comparator().typeOfCharacter(u"-5"), VersionComparator::PunctuationType);
    EXPECT_EQ(comparator().typeOfCharacter(u"123"), VersionComparator::NumberType);
    EXPECT_EQ(comparator().typeOfCharacter(u"beta"), VersionComparator::StringType);
    EXPECT_EQ(comparator().typeOfCharacter(u""), VersionComparator::StringType);
}

TEST(TypeClassTest, SeparatorsFormOneClass) {
    const Type all[] = {VersionComparator::NumberType,     VersionComparator::StringType,
                        VersionComparator::PeriodType,     VersionComparator::PunctuationType,
                        VersionComparator::WhitespaceType, VersionComparator::DashType};
    for (Type a : all) {
        const bool aSeparator = a >= 2 && a <= 4;
        EXPECT_EQ(comparator().isSeparatorType(a), aSeparator) << a;
        for (Type b : all) {
            const bool bSeparator = b >= 2 && b <= 4;
            EXPECT_EQ(comparator().isEqualCharacterTypeClassForTypeA(a, b),
                      a == b || (aSeparator && bSeparator))
                << a << " " << b;
        }
    }
}

struct SplitCase {
    const char16_t* version;
    QStringList parts;
    quint64 leadingRun;
};

class SplitVersionStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitVersionStringTest, CutsIntoParts) {
    const SplitCase& c = GetParam();
    const QStringList parts = comparator().splitVersionString(QString::fromUtf16(c.version));
    EXPECT_EQ(parts, c.parts);
    EXPECT_EQ(comparator().countOfNumberAndPeriodStartingParts(parts), c.leadingRun);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitVersionStringTest,
    ::testing::Values(SplitCase{u"", {}, 0}, SplitCase{u"10.15.7", {"10", ".", "15", ".", "7"}, 5},
                      SplitCase{u"1.0b12", {"1", ".", "0", "b", "12"}, 3},
                      SplitCase{u"2.1 beta", {"2", ".", "1", " ", "beta"}, 3},
                      SplitCase{u"1..2", {"1", ".", ".", "2"}, 4},
                      SplitCase{u"1.2-3", {"1", ".", "2"}, 3}, SplitCase{u"-5", {"-", "5"}, 0},
                      SplitCase{u"--", {"-"}, 0}, SplitCase{u"ver1.0", {"ver", "1", ".", "0"}, 0},
                      SplitCase{u"1_2", {"1", "_", "2"}, 1},
                      SplitCase{u"1,,  2", {"1", ",", ",", " ", " ", "2"}, 1}));

struct BalanceCase {
    const char16_t* first;
    const char16_t* second;
    QStringList balancedFirst;
    QStringList balancedSecond;
};

class BalanceVersionPartsTest : public ::testing::TestWithParam<BalanceCase> {};

TEST_P(BalanceVersionPartsTest, MirrorsTheLongerLeadingRun) {
    const BalanceCase& c = GetParam();
    QStringList a = comparator().splitVersionString(QString::fromUtf16(c.first));
    QStringList b = comparator().splitVersionString(QString::fromUtf16(c.second));
    comparator().balanceVersionPartsA(a, b);
    EXPECT_EQ(a, c.balancedFirst);
    EXPECT_EQ(b, c.balancedSecond);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BalanceVersionPartsTest,
    ::testing::Values(
        BalanceCase{u"1", u"1.0.0", {"1", ".", "0", ".", "0"}, {"1", ".", "0", ".", "0"}},
        BalanceCase{u"1b1", u"1.0", {"1", ".", "0", "b", "1"}, {"1", ".", "0"}},
        BalanceCase{u"", u"1.2", {"0", ".", "0"}, {"1", ".", "2"}},
        BalanceCase{u"1.2", u"1_2", {"1", ".", "2"}, {"1", ".", "0", "_", "2"}},
        BalanceCase{u"1.0.", u"1.0", {"1", ".", "0", "."}, {"1", ".", "0", "."}},
        BalanceCase{u"a", u"a", {"a"}, {"a"}}));

TEST(AddNumberAndPeriodPartsTest, DoesNothingWhenTheRunIsNotShorter) {
    QStringList parts{"1", ".", "2", "b"};
    const QStringList model{"3", "."};
    comparator().addNumberAndPeriodPartsToParts(parts, 3, model, 2);
    EXPECT_EQ(parts, (QStringList{"1", ".", "2", "b"}));
}

TEST(AddNumberAndPeriodPartsTest, CountsBeyondTheListsAreBounded) {
    QStringList parts{"x"};
    const QStringList model{"1", ".", "2"};
    comparator().addNumberAndPeriodPartsToParts(parts, 7, model, 3);
    EXPECT_EQ(parts, (QStringList{"x"}));
    comparator().addNumberAndPeriodPartsToParts(parts, 0, model, 100);
    EXPECT_EQ(parts, (QStringList{"0", ".", "0", "x"}));
}

#ifdef QT_NO_DEBUG
TEST(AddNumberAndPeriodPartsTest, StopsAtAModelPartOutsideTheLeadingRun) {
    QStringList parts{"x"};
    comparator().addNumberAndPeriodPartsToParts(parts, 0, {"1", "b", "2"}, 3);
    EXPECT_EQ(parts, (QStringList{"0", "x"}));
}
#else
TEST(AddNumberAndPeriodPartsDeathTest, AssertsOnAModelPartOutsideTheLeadingRun) {
    QStringList parts{"x"};
    EXPECT_DEATH(comparator().addNumberAndPeriodPartsToParts(parts, 0, {"1", "b", "2"}, 3), "");
}
#endif

TEST(DefaultComparatorTest, IsOneInstanceAcrossThreads) {
    std::vector<const VersionComparator*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] {
            seen[i] = &VersionComparator::defaultComparator();
            EXPECT_EQ(seen[i]->compareVersion(QStringLiteral("10.6"), QStringLiteral("10.10")), -1);
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (const VersionComparator* instance : seen) {
        EXPECT_EQ(instance, &VersionComparator::defaultComparator());
    }
}

TEST(CompareVersionBadInputTest, HugeTextsStayLinear) {
    const QString megabyteOfDigits(1 << 20, u'7');
    const QString megabyteOfPeriods(1 << 20, u'.');
    QString dottedNumbers;
    for (int i = 0; i < (1 << 19); ++i) {
        dottedNumbers.append(QStringLiteral("1."));
    }
    QString textThenSpaces = QStringLiteral("a");
    textThenSpaces.append(QString(1 << 20, u' '));

    EXPECT_EQ(comparator().compareVersion(megabyteOfDigits, QStringLiteral("9223372036854775807")),
              0);
    EXPECT_EQ(comparator().compareVersion(megabyteOfPeriods, QStringLiteral("1")), -1);
    // Half a million parts to insert in front of the other list's text parts.
    EXPECT_EQ(comparator().compareVersion(textThenSpaces, dottedNumbers), -1);
    EXPECT_EQ(comparator().compareVersion(dottedNumbers, dottedNumbers), 0);
}

TEST(CompareVersionBadInputTest, ArbitraryCharactersGiveAnOrder) {
    const QString odd[] = {QString(QChar(0xD800)),        QStringLiteral("\u0000\u0001"),
                           QStringLiteral("\uFFFF"),      QStringLiteral(" "),
                           QStringLiteral("."),           QStringLiteral("-"),
                           QStringLiteral("1.\U0001F600")};
    for (const QString& a : odd) {
        for (const QString& b : odd) {
            const qint64 result = comparator().compareVersion(a, b);
            EXPECT_TRUE(result == -1 || result == 0 || result == 1);
        }
        EXPECT_EQ(comparator().compareVersion(a, a), 0);
    }
}

}  // namespace
}  // namespace qby

#include "foundation/StringExtensions.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace qby {
namespace {

QString text(const char16_t* s) {
    return QString::fromUtf16(s);
}

TEST(StringWithIntegerTest, FormatsDecimal) {
    EXPECT_EQ(stringWithInteger(0), QStringLiteral("0"));
    EXPECT_EQ(stringWithInteger(-42), QStringLiteral("-42"));
    EXPECT_EQ(stringWithInteger(1234567), QStringLiteral("1234567"));
    EXPECT_EQ(stringWithInteger(std::numeric_limits<qint64>::min()),
              QStringLiteral("-9223372036854775808"));
}

struct SearchCase {
    const char16_t* text;
    const char16_t* other;
    bool contains;
    bool containsIgnoringCase;
    bool prefixIgnoringCase;
    bool suffixIgnoringCase;
    bool equalIgnoringCase;
};

class CaseSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(CaseSearchTest, SearchesLiterally) {
    const SearchCase& c = GetParam();
    const QString t = text(c.text);
    const QString o = text(c.other);
    EXPECT_EQ(containsString(t, o), c.contains);
    EXPECT_EQ(containsStringIgnoringCase(t, o), c.containsIgnoringCase);
    EXPECT_EQ(hasPrefixIgnoringCase(t, o), c.prefixIgnoringCase);
    EXPECT_EQ(hasSuffixIgnoringCase(t, o), c.suffixIgnoringCase);
    EXPECT_EQ(isEqualToStringIgnoringCase(t, o), c.equalIgnoringCase);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CaseSearchTest,
    ::testing::Values(
        //            text            other        has   hasIC  pre    suf    eqIC
        SearchCase{u"", u"", false, false, false, false, true},
        SearchCase{u"quillbay", u"", false, false, false, false, false},
        SearchCase{u"quillbay", u"quillbay", true, true, true, true, true},
        SearchCase{u"quillbay", u"QUILL", false, true, true, false, false},
        SearchCase{u"quillbay", u"BAY", false, true, false, true, false},
        SearchCase{u"quillbay", u"llb", true, true, false, false, false},
        SearchCase{u"bay", u"quillbay", false, false, false, false, false},
        SearchCase{u"/Volumes/Backup/x", u"/Volumes/", true, true, true, false, false},
        SearchCase{u"\u00C9T\u00C9", u"\u00E9t\u00E9", false, true, true, true, true},
        SearchCase{u"a.b", u".*", false, false, false, false, false}));

struct CharacterClassCase {
    const char16_t* text;
    bool allDigits;
    bool simpleVersion;
};

class CharacterClassTest : public ::testing::TestWithParam<CharacterClassCase> {};

TEST_P(CharacterClassTest, TestsEveryCharacter) {
    const QString t = text(GetParam().text);
    EXPECT_EQ(isAllDigits(t), GetParam().allDigits);
    EXPECT_EQ(isSimpleVersionNumber(t), GetParam().simpleVersion);
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterClassTest,
                         ::testing::Values(CharacterClassCase{u"", false, false},
                                           CharacterClassCase{u"123", true, true},
                                           CharacterClassCase{u"12.3", false, true},
                                           CharacterClassCase{u"1.2.3", false, true},
                                           CharacterClassCase{u"...", false, true},
                                           CharacterClassCase{u"1.2b", false, false},
                                           CharacterClassCase{u"1 2", false, false},
                                           CharacterClassCase{u"\u0661\u0662\u0663", true, false},
                                           CharacterClassCase{u"\U0001D7CE\U0001D7CF", true, false},
                                           CharacterClassCase{u"12\xD835", false, false},
                                           CharacterClassCase{u"\u00B2", false, false}));

struct TrimCase {
    const char16_t* text;
    const char16_t* leadingTrimmed;
    const char16_t* trailingTrimmed;
};

class TrimTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimTest, RemovesOnlyTheOuterRun) {
    const QString t = text(GetParam().text);
    EXPECT_EQ(stringByTrimmingLeadingWhitespace(t), text(GetParam().leadingTrimmed));
    EXPECT_EQ(stringByTrimmingTrailingWhitespace(t), text(GetParam().trailingTrimmed));
}

INSTANTIATE_TEST_SUITE_P(
    Table, TrimTest,
    ::testing::Values(TrimCase{u"", u"", u""}, TrimCase{u" \t\n ", u"", u""},
                      TrimCase{u"abc", u"abc", u"abc"}, TrimCase{u"  a b  ", u"a b  ", u"  a b"},
                      TrimCase{u"\u00A0\u3000x\r\n", u"x\r\n", u"\u00A0\u3000x"},
                      TrimCase{u"\u2028x\u0085", u"x\u0085", u"\u2028x"},
                      // Zero-width space is a format character, not white space.
                      TrimCase{u"\u200Bx\u200B", u"\u200Bx\u200B", u"\u200Bx\u200B"},
                      // An unpaired surrogate is text; it stops the run.
                      TrimCase{u" \xD800 ", u"\xD800 ", u" \xD800"}));

TEST(TrimTest, MatchesTheRegularExpressionsOnEveryCharacter) {
    const QRegularExpression leading(QStringLiteral("^\\s*"),
                                     QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpression trailing(QStringLiteral("\\s*$"),
                                      QRegularExpression::UseUnicodePropertiesOption);
    for (char32_t u = 0; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) {
            continue;  // the expression engine refuses unpaired surrogates
        }
        const QString sample =
            QStringLiteral(" a") + QChar(char16_t(u)) + QStringLiteral("b ") + QChar(char16_t(u));
        QString byLeading = QChar(char16_t(u)) + sample;
        QString byTrailing = sample;
        byLeading.remove(leading.match(byLeading).capturedStart(),
                         leading.match(byLeading).capturedLength());
        const QRegularExpressionMatch match = trailing.match(byTrailing);
        byTrailing.remove(match.capturedStart(), match.capturedLength());
        ASSERT_EQ(stringByTrimmingLeadingWhitespace(QChar(char16_t(u)) + sample), byLeading)
            << std::hex << static_cast<unsigned>(u);
        ASSERT_EQ(stringByTrimmingTrailingWhitespace(sample), byTrailing)
            << std::hex << static_cast<unsigned>(u);
    }
}

TEST(CountOccurrencesOfCharTest, CountsCodeUnits) {
    EXPECT_EQ(countOccurrencesOfChar(QString(), u'a'), 0u);
    EXPECT_EQ(countOccurrencesOfChar(QStringLiteral("a.b.c."), u'.'), 3u);
    EXPECT_EQ(countOccurrencesOfChar(QStringLiteral("aAa"), u'a'), 2u);
    const QString emoji = text(u"\U0001F600\U0001F600");
    EXPECT_EQ(countOccurrencesOfChar(emoji, QChar(char16_t(0xD83D))), 2u);
    EXPECT_EQ(countOccurrencesOfChar(QString(1 << 20, u'x'), u'x'), quint64(1) << 20);
}

TEST(MD5Test, DigestsUtf8UpToTheFirstZero) {
    EXPECT_EQ(MD5(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(MD5(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(MD5(QStringLiteral("The quick brown fox jumps over the lazy dog")),
              QStringLiteral("9e107d9d372bb6826bd81d3542a419d6"));
    const QString embedded = QStringLiteral("abc") + QChar(u'\0') + QStringLiteral("def");
    EXPECT_EQ(MD5(embedded), MD5(QStringLiteral("abc")));
    EXPECT_EQ(MD5(QString(QChar(u'\0'))), MD5(QString()));
    // U+00E9 as UTF-8 is c3 a9.
    EXPECT_EQ(MD5(text(u"\u00E9")), QStringLiteral("66ddcd97cfdeabb2f6fb8a999b4bc76f"));
}

TEST(MD5Test, UnpairedSurrogatesStillGiveADigest) {
    for (const QString& odd : {text(u"\xD800"), text(u"x\xDC00y"), text(u"\xDBFF\xDBFF")}) {
        const QString digest = MD5(odd);
        EXPECT_EQ(digest.size(), 32);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(digest).hasMatch());
    }
}

struct PathCase {
    const char* path;
    QStringList parents;
    const char* parentName;
};

class PathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTest, ListsAncestorsShortestFirst) {
    const QString path = QString::fromUtf8(GetParam().path);
    EXPECT_EQ(allParentPaths(path), GetParam().parents);
    EXPECT_EQ(lastPathComponentParentName(path), QString::fromUtf8(GetParam().parentName));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PathTest,
    ::testing::Values(PathCase{"/Applications/Quillbay.app/Contents/MacOS",
                               {"/", "/Applications", "/Applications/Quillbay.app",
                                "/Applications/Quillbay.app/Contents"},
                               "Contents"},
                      PathCase{"/Applications/Quillbay.app/Contents",
                               {"/", "/Applications", "/Applications/Quillbay.app"},
                               "Quillbay.app"},
                      PathCase{"a/b/c", {"a", "a/b"}, "b"},
                      PathCase{"/x/y/x", {"/", "/x", "/x/y"}, "y"}, PathCase{"a", {}, ""},
                      PathCase{"/", {}, "/"}, PathCase{"", {}, ""}, PathCase{"/a", {"/"}, "/"},
                      PathCase{"//a///b/", {"/", "/a"}, "a"}));

TEST(PathTest, ParentPathsAfterAnAncestor) {
    const QString path = QStringLiteral("/Applications/Quillbay.app/Contents/MacOS");
    EXPECT_EQ(parentPathsAfterPath(path, QStringLiteral("/Applications")),
              (QStringList{"/Applications/Quillbay.app", "/Applications/Quillbay.app/Contents"}));
    EXPECT_EQ(parentPathsAfterPath(path, QStringLiteral("/")),
              (QStringList{"/Applications", "/Applications/Quillbay.app",
                           "/Applications/Quillbay.app/Contents"}));
    EXPECT_EQ(parentPathsAfterPath(path, path), QStringList());
    EXPECT_EQ(parentPathsAfterPath(path, QStringLiteral("/Applications/")), QStringList());
    EXPECT_EQ(parentPathsAfterPath(path, QStringLiteral("/applications")), QStringList());
    EXPECT_EQ(parentPathsAfterPath(path, QString()), QStringList());
}

TEST(PathTest, ReplacesAndAppendsComponents) {
    EXPECT_EQ(stringByReplacingLastPathComponentWith(QStringLiteral("/tmp/Game.app"),
                                                     QStringLiteral("Game.zip")),
              QStringLiteral("/tmp/Game.zip"));
    EXPECT_EQ(
        stringByReplacingLastPathComponentWith(QStringLiteral("Game.app"), QStringLiteral("x")),
        QStringLiteral("x"));
    EXPECT_EQ(
        stringByReplacingLastPathComponentWith(QStringLiteral("/Game.app"), QStringLiteral("x")),
        QStringLiteral("/x"));
    EXPECT_EQ(stringByAppendingPathComponent1(QStringLiteral("/Users/me"),
                                              QStringLiteral("Library"), QStringLiteral("Caches")),
              QStringLiteral("/Users/me/Library/Caches"));
    EXPECT_EQ(stringByAppendingPathComponent1(QStringLiteral("/"), QStringLiteral("a/"),
                                              QStringLiteral("/b")),
              QStringLiteral("/a/b"));
    EXPECT_EQ(stringByAppendingPathComponent1(QString(), QStringLiteral("a"), QStringLiteral("b")),
              QStringLiteral("a/b"));
}

TEST(BadInputTest, MegabyteTextsDoNotStall) {
    const QString spacesThenLetter = QString(1 << 20, u' ') + QStringLiteral("a");
    EXPECT_EQ(stringByTrimmingTrailingWhitespace(spacesThenLetter), spacesThenLetter);
    EXPECT_EQ(stringByTrimmingLeadingWhitespace(spacesThenLetter), QStringLiteral("a"));
    const QString letterThenSpaces = QStringLiteral("a") + QString(1 << 20, u'\t');
    EXPECT_EQ(stringByTrimmingTrailingWhitespace(letterThenSpaces), QStringLiteral("a"));

    QString manyComponents;
    for (int i = 0; i < (1 << 19); ++i) {
        manyComponents.append(QStringLiteral("a/"));
    }
    // Half a million ancestors of a megabyte path would need about 500 GB; refused.
    EXPECT_TRUE(allParentPaths(manyComponents).isEmpty());
    EXPECT_EQ(lastPathComponentParentName(manyComponents), QStringLiteral("a"));
    EXPECT_EQ(stringByReplacingLastPathComponentWith(manyComponents, QStringLiteral("b")).size(),
              manyComponents.size() - 1);

    const QString longName = QStringLiteral("/") + QString(1 << 20, u'n') + QStringLiteral("/x");
    EXPECT_EQ(allParentPaths(longName).size(), 2);
    EXPECT_EQ(MD5(QString(1 << 20, u'\u00E9')).size(), 32);
    EXPECT_TRUE(isAllDigits(QString(1 << 20, u'9')));
    EXPECT_TRUE(containsStringIgnoringCase(spacesThenLetter, QStringLiteral(" A")));
}

}  // namespace
}  // namespace qby

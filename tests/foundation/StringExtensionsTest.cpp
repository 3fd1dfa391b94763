#include "QStringPrinter.h"
#include "foundation/StringExtensions.h"

#include <gtest/gtest.h>

namespace qby::foundation {
namespace {

using namespace Qt::Literals::StringLiterals;

QString text(const char16_t* s) {
    return QString::fromUtf16(s);
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

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, CharacterClassTest,
    ::testing::Values(CharacterClassCase{u"", false, false}, CharacterClassCase{u"123", true, true},
                      CharacterClassCase{u"12.3", false, true}, CharacterClassCase{u"1.2.3", false, true},
                      CharacterClassCase{u"...", false, true}, CharacterClassCase{u"1.2b", false, false},
                      CharacterClassCase{u"1 2", false, false}, CharacterClassCase{u"\u0661\u0662\u0663", true, false},
                      CharacterClassCase{u"\U0001D7CE\U0001D7CF", true, false}, CharacterClassCase{u"12\xD835", false, false},
                      CharacterClassCase{u"\u00B2", false, false}));
// clang-format on

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
                      TrimCase{u"  a b  ", u"a b  ", u"  a b"},
                      // An unpaired surrogate is text; it stops the run.
                      TrimCase{u" \xD800 ", u"\xD800 ", u" \xD800"},
                      // Every kind of space the pattern's \s takes: controls 9 to 13, NEL,
                      // the Mongolian vowel separator, and the space, line and paragraph
                      // separators; and look-alikes it leaves (8, 14, U+0084, ZWSP, BOM).
                      TrimCase{u"\x0B\x0C\r\u0085\u180E\u00A0\u2028\u2029\u3000a\x09\u0085",
                               u"a\x09\u0085", u"\x0B\x0C\r\u0085\u180E\u00A0\u2028\u2029\u3000a"},
                      TrimCase{u"\x08\x0E\u0084\u200B\uFEFFa\u200B\x0E",
                               u"\x08\x0E\u0084\u200B\uFEFFa\u200B\x0E",
                               u"\x08\x0E\u0084\u200B\uFEFFa\u200B\x0E"}));

// One row per call of a helper that gives a text: what it gave, and what it must give.
struct HelperCase {
    QString given;
    QString expected;
};

class HelperTest : public ::testing::TestWithParam<HelperCase> {};

TEST_P(HelperTest, GivesTheExpectedText) {
    EXPECT_EQ(GetParam().given, GetParam().expected);
}

QString count(const QString& t, QChar c) {
    return stringWithInteger(qint64(countOccurrencesOfChar(t, c)));
}

QString after(const QString& ancestor) {
    return parentPathsAfterPath(u"/Applications/Quillbay.app/Contents/MacOS"_s, ancestor)
        .join(u'|');
}

const QString kNul(QChar(u'\0'));

INSTANTIATE_TEST_SUITE_P(
    Table, HelperTest,
    ::testing::Values(
        HelperCase{stringWithInteger(-42), u"-42"_s},
        HelperCase{stringWithInteger(std::numeric_limits<qint64>::min()),
                   u"-9223372036854775808"_s},
        HelperCase{count(QString(), u'a'), u"0"_s}, HelperCase{count(u"a.b.c."_s, u'.'), u"3"_s},
        HelperCase{count(u"aAa"_s, u'a'), u"2"_s},
        HelperCase{count(text(u"\U0001F600\U0001F600"), QChar(char16_t(0xD83D))), u"2"_s},
        // The UTF-8 bytes before the first zero; U+00E9 is c3 a9.
        HelperCase{MD5(QString()), u"d41d8cd98f00b204e9800998ecf8427e"_s},
        HelperCase{MD5(u"abc"_s), u"900150983cd24fb0d6963f7d28e17f72"_s},
        HelperCase{MD5(u"abc"_s + kNul + u"def"_s), u"900150983cd24fb0d6963f7d28e17f72"_s},
        HelperCase{MD5(text(u"\u00E9")), u"66ddcd97cfdeabb2f6fb8a999b4bc76f"_s},
        HelperCase{after(u"/Applications"_s),
                   u"/Applications/Quillbay.app|/Applications/Quillbay.app/Contents"_s},
        HelperCase{after(u"/"_s),
                   u"/Applications|/Applications/Quillbay.app|"
                   u"/Applications/Quillbay.app/Contents"_s},
        HelperCase{after(u"/Applications/Quillbay.app/Contents/MacOS"_s), QString()},
        HelperCase{after(u"/Applications/"_s), QString()},
        HelperCase{after(u"/applications"_s), QString()}, HelperCase{after(QString()), QString()},
        HelperCase{stringByReplacingLastPathComponentWith(u"/tmp/Game.app"_s, u"Game.zip"_s),
                   u"/tmp/Game.zip"_s},
        HelperCase{stringByReplacingLastPathComponentWith(u"Game.app"_s, u"x"_s), u"x"_s},
        HelperCase{stringByReplacingLastPathComponentWith(u"/Game.app"_s, u"x"_s), u"/x"_s},
        HelperCase{stringByAppendingPathComponent1(u"/Users/me"_s, u"Library"_s, u"Caches"_s),
                   u"/Users/me/Library/Caches"_s},
        HelperCase{stringByAppendingPathComponent1(u"/"_s, u"a/"_s, u"/b"_s), u"/a/b"_s},
        HelperCase{stringByAppendingPathComponent1(QString(), u"a"_s, u"b"_s), u"a/b"_s}));

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

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, PathTest,
    ::testing::Values(PathCase{"/Applications/Quillbay.app/Contents/MacOS",
                               {"/", "/Applications", "/Applications/Quillbay.app", "/Applications/Quillbay.app/Contents"},
                               "Contents"},
                      PathCase{"a/b/c", {"a", "a/b"}, "b"}, PathCase{"/x/y/x", {"/", "/x", "/x/y"}, "y"},
                      PathCase{"a", {}, ""}, PathCase{"/", {}, "/"}, PathCase{"", {}, ""}, PathCase{"/a", {"/"}, "/"},
                      PathCase{"//a///b/", {"/", "/a"}, "a"}));
// clang-format on

TEST(BadInputTest, MegabyteTextsDoNotStall) {
    const QString spacesThenLetter = QString(1 << 20, u' ') + QStringLiteral("a");
    EXPECT_EQ(stringByTrimmingTrailingWhitespace(spacesThenLetter), spacesThenLetter);
    EXPECT_EQ(stringByTrimmingLeadingWhitespace(spacesThenLetter), QStringLiteral("a"));
    const QString letterThenSpaces = QStringLiteral("a") + QString(1 << 20, u'\t');
    EXPECT_EQ(stringByTrimmingTrailingWhitespace(letterThenSpaces), QStringLiteral("a"));

    const QString manyComponents = QStringLiteral("a/").repeated(1 << 19);
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
}  // namespace qby::foundation

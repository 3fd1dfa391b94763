#include "NamedCase.h"
#include "PropertyListBytes.h"
#include "TestFiles.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cerrno>
#include <concepts>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace qby::platform::linuxhost {
namespace {

using testsupport::binaryChain;
using testsupport::binaryObjects;
using testsupport::binaryPlist;
using testsupport::xmlPlist;

using Texts = QMap<QString, QString>;

// The dictionary of texts as Qt's XML reader sees it; nothing when it is not well-formed.
std::optional<Texts> readWithQtXml(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    Texts texts;
    QString key;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"key") key = xml.readElementText();
        if (xml.name() == u"string") texts.insert(key, xml.readElementText());
    }
    return xml.hasError() ? std::nullopt : std::optional(texts);
}

class PropertyListWriteTest : public testing::Test {
protected:
    QStringList folderEntries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    LibPlistPropertyLists plists;
};

TEST_F(PropertyListWriteTest, ReplacesTheFileWholeWithAPrivateXmlFile) {
    const QString target = dir.filePath("download.TOKEN.plist");
    ASSERT_TRUE(QFile(target).open(QIODevice::WriteOnly));
    const mode_t savedMask = umask(0);
    ASSERT_TRUE(plists.writeDictionaryAtomically(target, {{"k", "v"}}).ok());
    umask(savedMask);

    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(folderEntries(), QStringList{"download.TOKEN.plist"});
}

// The drop file must reach any conforming XML reader intact, not only libplist.
struct WriteCase : testsupport::NamedCase {
    Texts written;
    std::optional<Texts> read;  // nothing: the write is refused and leaves no file
};

class WriteTableTest : public PropertyListWriteTest,
                       public testing::WithParamInterface<WriteCase> {};

TEST_P(WriteTableTest, ReadsBackThroughLibplistAndAnotherXmlReader) {
    const QString target = dir.filePath("download.T.plist");
    const bool written = plists.writeDictionaryAtomically(target, GetParam().written).ok();
    ASSERT_EQ(written, GetParam().read.has_value());
    if (!written) {
        EXPECT_EQ(folderEntries(), QStringList{});
        return;
    }
    const QByteArray bytes = testsupport::readFile(target);
    EXPECT_EQ(readWithQtXml(bytes), GetParam().read);
    const foundation::Result<QVariant> root = plists.parse(bytes);
    const QVariantMap map = root.ok() ? root.value().toMap() : QVariantMap();
    Texts viaLibplist;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        viaLibplist.insert(it.key(), it.value().toString());
    EXPECT_EQ(viaLibplist, GetParam().read);
}

const QString kReplacement(QChar(0xFFFD));
const QString kMark(QChar(0xFEFF));
const QString kEmoji = QString::fromUtf8("\xF0\x9F\x8E\xAE");

// clang-format off
const Texts kPlainTexts{{"title", "abc"}, {"", ""}, {QString::fromUtf8("\xC3\xBC" "ber"), "a;b"},
                        {"spaces", "  two  "}, {"emoji", kEmoji}};

INSTANTIATE_TEST_SUITE_P(
    Dictionaries, WriteTableTest,
    testing::Values(
        WriteCase{"Texts", kPlainTexts, kPlainTexts}, WriteCase{"Empty", {}, Texts{}},
        WriteCase{"Controls",
                  {{"cr\r", "v\r"}, {QString::fromUtf8("nul\0a", 5), "1"}, {QString::fromUtf8("nul\0b", 5), "2"},
                   {"ctl\x01", "x"}},
                  Texts{{"cr\r", "v\r"}, {"nul" + kReplacement + "a", "1"}, {"nul" + kReplacement + "b", "2"},
                        {"ctl" + kReplacement, "x"}}},
        WriteCase{"LineEndsAndMarkupKept", {{"a\r\nb\tc", "<x>&amp;]]>\"'\n\r"}},
                  Texts{{"a\r\nb\tc", "<x>&amp;]]>\"'\n\r"}}},
        WriteCase{"NoncharactersAndLoneSurrogates",
                  {{QString(QChar(0xFFFE)), QString(QChar(0xD800)) + "z" + QChar(0xDC00)}, {"pair", kEmoji}},
                  Texts{{kReplacement, kReplacement + "z" + kReplacement}, {"pair", kEmoji}}},
        WriteCase{"LeadingByteOrderMarkKept", {{kMark + "k", kMark + "v"}}, Texts{{kMark + "k", kMark + "v"}}},
        WriteCase{"KeysThatWouldBecomeOne", {{"k\x01", "1"}, {"k\x02", "2"}}, std::nullopt}),
    testsupport::CaseName{});
// clang-format on

TEST_F(PropertyListWriteTest, FailsWithoutLeavingATemporaryFile) {
    const Texts kv{{"k", "v"}};
    // The target is a folder: the rename cannot replace it.
    ASSERT_TRUE(QDir().mkdir(dir.filePath("taken.plist")));
    const foundation::Status taken =
        plists.writeDictionaryAtomically(dir.filePath("taken.plist"), kv);
    ASSERT_FALSE(taken.ok());
    EXPECT_EQ(taken.error().code, EISDIR);
    EXPECT_TRUE(taken.error().message.contains(dir.filePath("taken.plist")));
    // The folder is missing: nothing can be made.
    EXPECT_EQ(plists.writeDictionaryAtomically(dir.filePath("missing/x.plist"), kv).error().code,
              ENOENT);
    EXPECT_FALSE(plists.writeDictionaryAtomically("", kv).ok());
    EXPECT_EQ(folderEntries(), QStringList{"taken.plist"});
}

TEST(PropertyListParseTest, ConvertsEveryXmlType) {
    const QByteArray xml = xmlPlist(
        "<dict>"
        "<key>string</key><string>caf\xC3\xA9 &amp; &lt;b&gt;</string>"
        "<key>integer</key><integer>42</integer>"
        "<key>negative</key><integer>-7</integer>"
        "<key>real</key><real>1.5</real>"
        "<key>yes</key><true/>"
        "<key>no</key><false/>"
        "<key>date</key><date>2001-01-02T00:00:00Z</date>"
        "<key>data</key><data>AAEC/w==</data>"
        "<key>array</key><array><string>a</string><integer>1</integer><array/></array>"
        "<key>nested</key><dict><key>inner</key><string>x</string></dict>"
        "</dict>");
    // clang-format off
    EXPECT_EQ(LibPlistPropertyLists().parse(xml).value(), QVariant(QVariantMap{
        {"string", QString::fromUtf8("caf\xC3\xA9 & <b>")}, {"integer", qint64(42)}, {"negative", qint64(-7)},
        {"real", 1.5}, {"yes", true}, {"no", false}, {"date", QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC)},
        {"data", QByteArray("\x00\x01\x02\xFF", 4)},
        {"array", QVariantList{QString("a"), qint64(1), QVariant(QVariantList{})}},
        {"nested", QVariantMap{{"inner", QString("x")}}}}));
    // clang-format on
}

// Nested arrays as text, depth levels deep, with an optional leaf in the innermost one.
QByteArray nestedXml(int depth, const QByteArray& leaf = {}) {
    return xmlPlist(QByteArray("<array>").repeated(depth) + leaf +
                    QByteArray("</array>").repeated(depth));
}

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);
}

// A dictionary of one key and one value, both given as raw objects.
QByteArray binaryDictionary(const QByteArray& key, const QByteArray& value) {
    return binaryObjects({hex("D10000000100000002"), key, value});
}

// Made by the test that uses them, not when the table is registered: ctest runs every test in a
// process of its own, and the largest inputs take most of a second to build.
class LazyBytes {
public:
    LazyBytes(const char* text) : make_([bytes = QByteArray(text)] { return bytes; }) {}
    LazyBytes(QByteArray bytes) : make_([bytes = std::move(bytes)] { return bytes; }) {}
    template <std::invocable Make>
    LazyBytes(Make make) : make_(std::move(make)) {}
    QByteArray operator()() const { return make_(); }

private:
    std::function<QByteArray()> make_;
};

struct HostileCase : testsupport::NamedCase {
    LazyBytes bytes;
    bool accepted = false;
};

class PropertyListHostileTest : public testing::TestWithParam<HostileCase> {};

TEST_P(PropertyListHostileTest, RefusesWithoutCrashingOrHanging) {
    const foundation::Result<QVariant> root = LibPlistPropertyLists().parse(GetParam().bytes());
    EXPECT_EQ(root.ok(), GetParam().accepted);
}

constexpr int kLimit = LibPlistPropertyLists::kMaxNesting;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Inputs, PropertyListHostileTest,
    testing::Values(
        HostileCase{"Empty", ""}, HostileCase{"Garbage", "\x01\x02garbage\xFF"},
        HostileCase{"TruncatedXml", xmlPlist("<dict><key>a</key><string>b</string>").left(120)},
        HostileCase{"DeepAtLimit", nestedXml(kLimit), true},
        HostileCase{"DeepOverLimit", nestedXml(kLimit + 1)},
        HostileCase{"DeepAtLimitWithLeaf", nestedXml(kLimit, "<string>x</string>"), true},
        HostileCase{"DeepOverLimitWithLeaf", nestedXml(kLimit + 1, "<string>x</string>")},
        // A million levels crash the parser itself unless refused before it.
        HostileCase{"DeepMillion", [] { return nestedXml(1'000'000); }},
        HostileCase{"EntityExpansion", "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaa\">"
                    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;\">]>"
                    "<plist version=\"1.0\"><string>&c;</string></plist>"},
        // libplist aborts the process on a NUL inside a text or key.
        HostileCase{"XmlNulInText", xmlPlist(QByteArray("<string>a\0b</string>", 20))},
        HostileCase{"XmlNulInKey", xmlPlist(QByteArray("<dict><key>a\0b</key><string>x</string></dict>", 42))},
        // Raw objects in hex: 5n ASCII text of n bytes, 6n UTF-16 text of n units, 5F 10 nn
        // ASCII text whose length nn follows.
        HostileCase{"BinaryText", binaryDictionary(hex("516B"), hex("53610162")), true},
        // 09 is true: a scalar whose low bits are no count of references.
        // Non-ASCII texts are UTF-16, whose units hold NUL bytes.
        HostileCase{"BinaryUtf16Text",
                    binaryPlist({{"Id", "Client"}, {"Title", QStringLiteral(u"Gr\u00FC\u00DFe")}}), true},
        HostileCase{"BinaryBoolean", binaryDictionary(hex("516B"), hex("09")), true},
        HostileCase{"BinaryNulInText", binaryDictionary(hex("516B"), hex("53610062"))},
        HostileCase{"BinaryNulInKey", binaryDictionary(hex("536B0079"), hex("5176"))},
        HostileCase{"BinaryNulInUtf16", binaryDictionary(hex("516B"), hex("6200610000"))},
        HostileCase{"BinaryTextPastTable", binaryDictionary(hex("516B"), hex("5F107F616263"))},
        HostileCase{"BinaryHeaderOnly", "bplist00"},
        HostileCase{"BinaryBadTrailer", QByteArray("bplist00") + QByteArray(40, '\xFF')},
        HostileCase{"BinaryChainAtLimit", binaryChain(512), true},
        HostileCase{"BinaryChainOverLimit", binaryChain(513)},
        // Quadratic in the parser: minutes unless refused before it.
        HostileCase{"BinaryChainMillion", [] { return binaryChain(1'000'000); }},
        HostileCase{"BinaryCycle", binaryChain(3, 1, true)},
        HostileCase{"BinaryReferenceOutside", binaryObjects({hex("A100000007"), hex("A0")})},
        // Each level references the next twice: 2^60 copies once expanded.
        HostileCase{"BinaryExpansionBomb", binaryChain(60, 2)}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost

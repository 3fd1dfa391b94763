#include "platform/linux/LibPlistPropertyLists.h"

#include "NamedCase.h"
#include "PropertyListBytes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

namespace qby::platform::linuxhost {
namespace {

using testsupport::binaryPlist;
using testsupport::xmlPlist;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PropertyListWriteTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QStringList folderEntries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    LibPlistPropertyLists plists;
};

TEST_F(PropertyListWriteTest, WritesAPrivateXmlFileThatReadsBackExactly) {
    const QMap<QString, QString> request{{"title", "abc"},
                                         {"", ""},
                                         {"lang", "en"},
                                         {"markup", "<a href=\"x\">&amp;</a> ]]>"},
                                         {QString::fromUtf8("\xC3\xBC"
                                                            "ber"),
                                          "a;b\r"},
                                         {"spaces", "  two  "},
                                         {"emoji", QString::fromUtf8("\xF0\x9F\x8E\xAE")}};
    const QString target = dir.filePath("download.TOKEN.plist");
    const mode_t savedMask = umask(0);
    ASSERT_TRUE(plists.writeDictionaryAtomically(target, request));
    umask(savedMask);

    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(folderEntries(), QStringList{"download.TOKEN.plist"});

    const QByteArray bytes = readAll(target);
    EXPECT_TRUE(bytes.startsWith("<?xml")) << bytes.left(40).toStdString();
    const std::optional<QVariant> parsed = plists.parse(bytes);
    ASSERT_TRUE(parsed.has_value());
    QVariantMap expected;
    for (auto it = request.cbegin(); it != request.cend(); ++it) expected[it.key()] = it.value();
    EXPECT_EQ(parsed->toMap(), expected);
}

TEST_F(PropertyListWriteTest, AnEmptyDictionaryIsStillAPropertyList) {
    const QString target = dir.filePath("empty.plist");
    ASSERT_TRUE(plists.writeDictionaryAtomically(target, {}));
    const std::optional<QVariant> parsed = plists.parse(readAll(target));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->typeId(), QMetaType::QVariantMap);
    EXPECT_TRUE(parsed->toMap().isEmpty());
}

TEST_F(PropertyListWriteTest, ReplacesAnExistingFileWhole) {
    const QString target = dir.filePath("download.plist");
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'z'));
    old.close();
    ASSERT_TRUE(plists.writeDictionaryAtomically(target, {{"k", "v"}}));
    EXPECT_EQ(plists.parse(readAll(target))->toMap(), (QVariantMap{{"k", "v"}}));
    EXPECT_EQ(folderEntries(), QStringList{"download.plist"});
}

TEST_F(PropertyListWriteTest, FailsWithoutLeavingATemporaryFile) {
    // The target is a folder: the rename cannot replace it.
    ASSERT_TRUE(QDir().mkdir(dir.filePath("taken.plist")));
    EXPECT_FALSE(plists.writeDictionaryAtomically(dir.filePath("taken.plist"), {{"k", "v"}}));
    EXPECT_EQ(folderEntries(), QStringList{"taken.plist"});
    // The folder is missing: nothing can be made.
    EXPECT_FALSE(plists.writeDictionaryAtomically(dir.filePath("missing/x.plist"), {{"k", "v"}}));
    EXPECT_FALSE(plists.writeDictionaryAtomically("", {{"k", "v"}}));
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
    const std::optional<QVariant> parsed = LibPlistPropertyLists().parse(xml);
    ASSERT_TRUE(parsed.has_value());
    const QVariantMap map = parsed->toMap();
    EXPECT_EQ(map.value("string"), QVariant(QString::fromUtf8("caf\xC3\xA9 & <b>")));
    EXPECT_EQ(map.value("integer"), QVariant(qint64(42)));
    EXPECT_EQ(map.value("negative"), QVariant(qint64(-7)));
    EXPECT_EQ(map.value("real"), QVariant(1.5));
    EXPECT_EQ(map.value("yes"), QVariant(true));
    EXPECT_EQ(map.value("no"), QVariant(false));
    EXPECT_EQ(map.value("date").toDateTime(), QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(map.value("data"), QVariant(QByteArray("\x00\x01\x02\xFF", 4)));
    EXPECT_EQ(map.value("array"),
              QVariant(QVariantList{QString("a"), qint64(1), QVariant(QVariantList{})}));
    EXPECT_EQ(map.value("nested"), QVariant(QVariantMap{{"inner", QString("x")}}));
}

TEST(PropertyListParseTest, ReadsBinaryPropertyLists) {
    const QMap<QString, QString> keys{{"CFBundleIdentifier", "com.quillbay.Client2"},
                                      {"Title", QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                                  "e")}};
    const std::optional<QVariant> parsed = LibPlistPropertyLists().parse(binaryPlist(keys));
    ASSERT_TRUE(parsed.has_value());
    QVariantMap expected;
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) expected[it.key()] = it.value();
    EXPECT_EQ(parsed->toMap(), expected);
}

// Nested arrays as text, depth levels deep, with an optional leaf in the innermost one.
QByteArray nestedXml(int depth, const QByteArray& leaf = {}) {
    return xmlPlist(QByteArray("<array>").repeated(depth) + leaf +
                    QByteArray("</array>").repeated(depth));
}

void appendBigEndian(QByteArray& data, uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        data.append(char((value >> shift) & 0xFF));
}

// A binary property list of the raw objects, the first one the root; references are 4 bytes.
QByteArray binaryObjects(const std::vector<QByteArray>& objects) {
    QByteArray data = "bplist00";
    std::vector<uint64_t> offsets;
    for (const QByteArray& object : objects) {
        offsets.push_back(static_cast<uint64_t>(data.size()));
        data.append(object);
    }
    const uint64_t table = static_cast<uint64_t>(data.size());
    for (uint64_t offset : offsets) appendBigEndian(data, offset, 4);
    data.append(QByteArray(6, '\0'));
    data.append(char(4));
    data.append(char(4));
    appendBigEndian(data, objects.size(), 8);
    appendBigEndian(data, 0, 8);
    appendBigEndian(data, table, 8);
    return data;
}

// count arrays, each holding the references refsOf gives it.
QByteArray binaryChain(int count, const std::function<std::vector<uint32_t>(int)>& refsOf) {
    std::vector<QByteArray> objects;
    objects.reserve(count);
    for (int i = 0; i < count; ++i) {
        const std::vector<uint32_t> refs = refsOf(i);
        QByteArray object(1, char(0xA0 | refs.size()));
        for (uint32_t ref : refs) appendBigEndian(object, ref, 4);
        objects.push_back(object);
    }
    return binaryObjects(objects);
}

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);
}

// A dictionary of one key and one value, both given as raw objects.
QByteArray binaryDictionary(const QByteArray& key, const QByteArray& value) {
    QByteArray dict(1, char(0xD1));
    appendBigEndian(dict, 1, 4);
    appendBigEndian(dict, 2, 4);
    return binaryObjects({dict, key, value});
}

std::vector<uint32_t> next(int i, int count) {
    if (i + 1 >= count) return {};
    return {uint32_t(i + 1)};
}

struct HostileCase : testsupport::NamedCase {
    QByteArray bytes;
    bool accepted;
};

class PropertyListHostileTest : public testing::TestWithParam<HostileCase> {};

TEST_P(PropertyListHostileTest, RefusesWithoutCrashingOrHanging) {
    EXPECT_EQ(LibPlistPropertyLists().parse(GetParam().bytes).has_value(), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PropertyListHostileTest,
    testing::Values(
        HostileCase{"Empty", "", false}, HostileCase{"Garbage", "\x01\x02garbage\xFF", false},
        HostileCase{"PlainText", "title;abc\nlang;en", false},
        HostileCase{"TruncatedXml", xmlPlist("<dict><key>a</key><string>b</string>").left(120),
                    false},
        HostileCase{"UnclosedTags", xmlPlist("<dict><key>a</key><array><string>b"), false},
        HostileCase{"DeepAtLimit", nestedXml(LibPlistPropertyLists::kMaxNesting), true},
        HostileCase{"DeepOverLimit", nestedXml(LibPlistPropertyLists::kMaxNesting + 1), false},
        HostileCase{"DeepAtLimitWithLeaf",
                    nestedXml(LibPlistPropertyLists::kMaxNesting, "<string>x</string>"), true},
        HostileCase{"DeepOverLimitWithLeaf",
                    nestedXml(LibPlistPropertyLists::kMaxNesting + 1, "<string>x</string>"), false},
        // A million levels crash the parser itself unless refused before it.
        HostileCase{"DeepMillion", nestedXml(1'000'000), false},
        HostileCase{"DeepUnclosed", xmlPlist(QByteArray("<dict><key>a</key>").repeated(1'000'000)),
                    false},
        HostileCase{
            "EntityExpansion",
            "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaa\">"
            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;\">]>"
            "<plist version=\"1.0\"><string>&c;</string></plist>",
            false},
        // libplist aborts the process on a NUL inside a text or key.
        HostileCase{"XmlNulInText", xmlPlist(QByteArray("<string>a\0b</string>", 20)), false},
        HostileCase{"XmlNulInKey",
                    xmlPlist(QByteArray("<dict><key>a\0b</key><string>x</string></dict>", 42)),
                    false},
        // Raw objects in hex: 5n ASCII text of n bytes, 6n UTF-16 text of n units, 5F 10 nn
        // ASCII text whose length nn follows.
        HostileCase{"BinaryText", binaryDictionary(hex("516B"), hex("53610162")), true},
        HostileCase{"BinaryNulInText", binaryDictionary(hex("516B"), hex("53610062")), false},
        HostileCase{"BinaryNulInKey", binaryDictionary(hex("536B0079"), hex("5176")), false},
        HostileCase{"BinaryNulInUtf16", binaryDictionary(hex("516B"), hex("6200610000")), false},
        HostileCase{"BinaryTextPastTable", binaryDictionary(hex("516B"), hex("5F107F616263")),
                    false},
        HostileCase{"BinaryHeaderOnly", "bplist00", false},
        HostileCase{"BinaryBadTrailer", QByteArray("bplist00") + QByteArray(40, '\xFF'), false},
        HostileCase{"BinaryChainAtLimit", binaryChain(512, [](int i) { return next(i, 512); }),
                    true},
        HostileCase{"BinaryChainOverLimit", binaryChain(513, [](int i) { return next(i, 513); }),
                    false},
        // Quadratic in the parser: minutes unless refused before it.
        HostileCase{"BinaryChainMillion",
                    binaryChain(1'000'000, [](int i) { return next(i, 1'000'000); }), false},
        HostileCase{
            "BinaryCycle",
            binaryChain(3, [](int i) { return std::vector<uint32_t>{uint32_t((i + 1) % 3)}; }),
            false},
        HostileCase{"BinarySelfReference",
                    binaryChain(1, [](int) { return std::vector<uint32_t>{0}; }), false},
        HostileCase{"BinaryReferenceOutside",
                    binaryChain(2, [](int) { return std::vector<uint32_t>{7}; }), false},
        // Each level references the next twice: 2^60 copies once expanded.
        HostileCase{"BinaryExpansionBomb",
                    binaryChain(60,
                                [](int i) {
                                    return i + 1 < 60 ? std::vector<uint32_t>{uint32_t(i + 1),
                                                                              uint32_t(i + 1)}
                                                      : std::vector<uint32_t>{};
                                }),
                    false}),
    testsupport::CaseName{});

}  // namespace
}  // namespace qby::platform::linuxhost

// The drop file must reach any conforming XML reader intact, not only libplist.
#include "platform/linux/LibPlistPropertyLists.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace qby::platform::linuxhost {
namespace {

using Texts = QMap<QString, QString>;

// The dictionary of texts as Qt's XML reader sees the file; nothing when it is not well-formed.
std::optional<Texts> readWithQtXml(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QXmlStreamReader xml(&file);
    Texts texts;
    QString key;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"key") key = xml.readElementText();
        if (xml.name() == u"string") texts.insert(key, xml.readElementText());
    }
    if (xml.hasError()) return std::nullopt;
    return texts;
}

struct DropFileCase {
    const char* name;
    Texts written;
    std::optional<Texts> read;  // nothing: the write is refused and leaves no file
};

void PrintTo(const DropFileCase& row, std::ostream* os) {
    *os << row.name;
}

class DropFileXmlTest : public testing::TestWithParam<DropFileCase> {};

TEST_P(DropFileXmlTest, ReadsBackThroughAnotherReader) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("download.T.plist"));
    LibPlistPropertyLists plists;
    const bool written = plists.writeDictionaryAtomically(path, GetParam().written);
    ASSERT_EQ(written, GetParam().read.has_value());
    if (!written) {
        EXPECT_FALSE(QFile::exists(path));
        return;
    }
    EXPECT_EQ(readWithQtXml(path), GetParam().read);
    // libplist, which the store client reads with, agrees.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<QVariant> parsed = plists.parse(file.readAll());
    ASSERT_TRUE(parsed.has_value());
    Texts viaLibplist;
    const QVariantMap map = parsed->toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        viaLibplist.insert(it.key(), it.value().toString());
    EXPECT_EQ(viaLibplist, GetParam().read);
}

const QString kReplacement(QChar(0xFFFD));

INSTANTIATE_TEST_SUITE_P(
    Table, DropFileXmlTest,
    testing::Values(
        DropFileCase{"controls",
                     {{QStringLiteral("cr\r"), QStringLiteral("v\r")},
                      {QString::fromUtf8("nul\0a", 5), QStringLiteral("1")},
                      {QString::fromUtf8("nul\0b", 5), QStringLiteral("2")},
                      {QStringLiteral("ctl\x01"), QStringLiteral("x")}},
                     Texts{{QStringLiteral("cr\r"), QStringLiteral("v\r")},
                           {"nul" + kReplacement + "a", QStringLiteral("1")},
                           {"nul" + kReplacement + "b", QStringLiteral("2")},
                           {"ctl" + kReplacement, QStringLiteral("x")}}},
        DropFileCase{"line ends and markup kept",
                     {{QStringLiteral("a\r\nb\tc"), QStringLiteral("<x>&amp;]]>\"'\n\r")}},
                     Texts{{QStringLiteral("a\r\nb\tc"), QStringLiteral("<x>&amp;]]>\"'\n\r")}}},
        DropFileCase{"noncharacters and lone surrogates",
                     {{QString(QChar(0xFFFE)), QString(QChar(0xD800)) + "z" + QChar(0xDC00)},
                      {QStringLiteral("pair"), QString::fromUtf8("\xF0\x9F\x8E\xAE")}},
                     Texts{{kReplacement, kReplacement + "z" + kReplacement},
                           {QStringLiteral("pair"), QString::fromUtf8("\xF0\x9F\x8E\xAE")}}},
        DropFileCase{"keys that would become one",
                     {{QStringLiteral("k\x01"), QStringLiteral("1")},
                      {QStringLiteral("k\x02"), QStringLiteral("2")}},
                     std::nullopt}));

}  // namespace
}  // namespace qby::platform::linuxhost

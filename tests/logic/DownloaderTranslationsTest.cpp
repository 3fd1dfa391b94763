// Every text the install road added is translated in the "QBYDownloader" table of each language,
// with the same placeholders.
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace qby {
namespace {

// "|" between the texts.
const QStringList kInstallRoadTexts =
    QStringLiteral(
        "No folder for the download could be created.|"
        "The download ended before the whole file had arrived. Please try again later.|"
        "The download was damaged. Please try again.|"
        "%1 of %2|%1 received|%1 — %2|%1/s|%1 left|%1 bytes|%1 KB|%1 MB|%1 GB|%1 s|%1 min|%1 h %2 "
        "min")
        .split(QLatin1Char('|'));

// source -> translation of the context "QBYDownloader" of a .ts file.
QMap<QString, QString> table(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    QMap<QString, QString> entries;
    QString context, source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"name") context = xml.readElementText();
        if (xml.name() == u"source") source = xml.readElementText();
        if (xml.name() == u"translation" && context == u"QBYDownloader")
            entries.insert(source, xml.readElementText());
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return entries;
}

QStringList placeholders(const QString& text) {
    QStringList found;
    for (const auto& match : QRegularExpression("%\\d").globalMatch(text))
        found << match.captured();
    found.sort();
    return found;
}

class DownloaderTranslationsTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DownloaderTranslationsTest, TranslatesEveryInstallRoadText) {
    const QMap<QString, QString> entries =
        table(QStringLiteral(QBY_RESOURCES_DIR "/QBYDownloader_%1.ts").arg(GetParam()));
    for (const QString& english : kInstallRoadTexts) {
        ASSERT_TRUE(entries.contains(english)) << english.toStdString();
        EXPECT_FALSE(entries.value(english).isEmpty()) << english.toStdString();
        EXPECT_EQ(placeholders(entries.value(english)), placeholders(english))
            << english.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, DownloaderTranslationsTest, ::testing::Values("de", "fr"));

}  // namespace
}  // namespace qby

#include "platform/linux/ui/LinuxDownloadWindow.h"
#include "platform/linux/ui/LinuxInterfaceLoader.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

// Every text the alerts look up, written out as the users see them in English.
const char* const kAlertTexts[] = {
    "Mac OS X is too old.",
    "The Quillbay app is needed to download your game. However the Quillbay app requires Mac OS X "
    "10.6 or newer, and your version of Mac OS X is too old.",
    "Support", "Quit", "Quillbay Downloader",
    "This application will install the Quillbay app. The Quillbay app will then start and begin "
    "downloading your game.\n",
    "Download & Install", "The Quillbay app could not be downloaded.",
    "A problem occurred while starting the download.", "The Quillbay app could not be started.",
    "Please use the Finder to locate the QBY app and then double-click to start it. Contact "
    "Technical Support if you continue to have problems.\n\nError %d",
    "The QBY servers may be busy or temporarily unavailable. Please try again later.",
    // The install road's.
    "No folder for the download could be created.",
    "The download ended before the whole file had arrived. Please try again later.",
    "The download was damaged. Please try again.",
    "The download was larger than announced. Please try again later.", "The server answered %1.",
    "The server redirected the download from a secure (https) address to an insecure (http) one, "
    "which is refused.",
    "The download failed: %1.", "The server stopped sending data for %1 seconds.",
    "The server closed the connection after %1 of %2 bytes.",
    "The download could not be saved to %1: %2.", "%1 of %2", "%1 received", "%1 — %2", "%1/s",
    "%1 left", "%1 bytes", "%1 KB", "%1 MB", "%1 GB", "%1 s", "%1 min", "%1 h %2 min"};

// Names and units may read the same in another language.
bool mayStayEnglish(const QString& text) {
    return text == u"Quillbay Downloader" || text == u"Support" || text.startsWith(u"%1");
}

// What a translation must keep: the placeholders, the paragraph breaks and a final line break.
QStringList shape(const QString& text) {
    QStringList found;
    for (const auto& match : QRegularExpression("%[\\dd]|\n\n|\n$").globalMatch(text))
        found << match.captured();
    found.sort();
    return found;
}

class TranslationsTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(translator_.load(QStringLiteral(QBY_TRANSLATIONS_DIR "/QBYDownloader_") +
                                     QString::fromLatin1(GetParam())));
    }
    QTranslator translator_;
};

TEST_P(TranslationsTest, TranslateEveryAlertText) {
    for (const char* text : kAlertTexts) {
        const QString english = QString::fromUtf8(text);
        const QString translated = translator_.translate("QBYDownloader", text);
        ASSERT_FALSE(translated.isEmpty()) << "no translation of: " << text;
        EXPECT_TRUE(mayStayEnglish(english) || translated != english) << text;
        EXPECT_EQ(shape(translated), shape(english)) << text;
    }
}

TEST_P(TranslationsTest, TranslateTheDownloadWindow) {
    QCoreApplication::installTranslator(&translator_);
    LinuxInterfaceLoader loader;
    auto* window = static_cast<LinuxDownloadWindow*>(
        loader.loadDownloadWindow(QStringLiteral("ClientDownloader")));
    QCoreApplication::removeTranslator(&translator_);
    ASSERT_NE(window, nullptr);
    const QLabel* label = window->widget()->findChild<QLabel*>(QStringLiteral("messageLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_NE(label->text(), QString::fromUtf8("Downloading the Quillbay app\u2026"));
    EXPECT_FALSE(label->text().isEmpty());
    EXPECT_NE(window->cancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_NE(window->cancelButton()->accessibleName(), QStringLiteral("Cancel download"));
    EXPECT_NE(window->progressBar()->accessibleName(), QStringLiteral("Download progress"));
}

TEST_P(TranslationsTest, SourceFileHasNoUnfinishedEntry) {
    QFile file(QStringLiteral(QBY_RESOURCES_DIR "/QBYDownloader_") +
               QString::fromLatin1(GetParam()) + QStringLiteral(".ts"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int translations = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"translation") {
            EXPECT_FALSE(xml.attributes().hasAttribute(QStringLiteral("type")))
                << "line " << xml.lineNumber();
            ++translations;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    // At least the alert texts and the five texts of the download window.
    EXPECT_GE(translations, static_cast<int>(std::size(kAlertTexts)) + 5);
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslationsTest, ::testing::Values("de", "fr"));

}  // namespace
}  // namespace qby::platform::linuxhost

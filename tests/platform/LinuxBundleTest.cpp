#include "platform/linux/LinuxBundle.h"

#include "NamedCase.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace qby::platform::linuxhost {
namespace {

// Named after the executable's path.
struct BundlePathCase : testsupport::NamedCase {
    const char* bundle;
};

class LinuxBundlePathTest : public testing::TestWithParam<BundlePathCase> {};

TEST_P(LinuxBundlePathTest, IsTheNearestAppFolderAboveTheExecutable) {
    const LinuxBundle bundle(GetParam().name, QLocale::c());
    EXPECT_EQ(bundle.bundlePath().toStdString(), GetParam().bundle);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LinuxBundlePathTest,
    testing::Values(
        BundlePathCase{"/home/u/Downloads/Game.app/Contents/MacOS/QuillbayDownloader",
                       "/home/u/Downloads/Game.app"},
        // Several dots in the name; only the end counts.
        BundlePathCase{"/d/Game.K7.V9.app/Contents/MacOS/x", "/d/Game.K7.V9.app"},
        // A bundle inside another bundle: the inner one is ours.
        BundlePathCase{"/A/Outer.app/Contents/Helpers/Inner.app/Contents/MacOS/x",
                       "/A/Outer.app/Contents/Helpers/Inner.app"},
        // Not a bundle at all: the executable's folder, which the logic refuses to remove.
        BundlePathCase{"/usr/local/bin/x", "/usr/local/bin"},
        BundlePathCase{"/d/Game.apps/Contents/MacOS/x", "/d/Game.apps/Contents/MacOS"},
        BundlePathCase{"/d/app/Contents/MacOS/x", "/d/app/Contents/MacOS"}));

class LinuxBundleResourcesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        app = dir.filePath("Game.app");
        ASSERT_TRUE(QDir().mkpath(app + "/Contents/MacOS"));
        ASSERT_TRUE(QDir().mkpath(app + "/Contents/Resources/en.lproj"));
        ASSERT_TRUE(QDir().mkpath(app + "/Contents/Resources/translations"));
        for (const char* file : {"/en.lproj/locversion.plist", "/ClientDownloader.ui"})
            ASSERT_TRUE(QFile(app + "/Contents/Resources" + file).open(QIODevice::WriteOnly));
        ASSERT_TRUE(QFile::copy(QBY_TEST_GERMAN_QM,
                                app + "/Contents/Resources/translations/QBYDownloader_de.qm"));
    }
    QString executable() const { return app + "/Contents/MacOS/QuillbayDownloader"; }

    QTemporaryDir dir;
    QString app;
};

TEST_F(LinuxBundleResourcesTest, ResourcesAreFoundOnlyWhereTheyLie) {
    const LinuxBundle bundle(executable(), QLocale::c());
    EXPECT_EQ(bundle.pathForResource("locversion", "plist", "en.lproj"),
              app + "/Contents/Resources/en.lproj/locversion.plist");
    EXPECT_EQ(bundle.pathForResource("ClientDownloader", "ui", ""),
              app + "/Contents/Resources/ClientDownloader.ui");
    EXPECT_EQ(bundle.pathForResource("locversion", "plist", ""), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("locversion", "plist", "de.lproj"), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("ClientDownloader", "xml", ""), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("", "", ""), std::nullopt);
}

// Named after the locale.
struct TranslationCase : testsupport::NamedCase {
    const char* key;
    const char* value;
    const char* table;
    const char* expected;
};

class LinuxBundleTranslationTest : public LinuxBundleResourcesTest,
                                   public testing::WithParamInterface<TranslationCase> {};

TEST_P(LinuxBundleTranslationTest, TranslatesOrFallsBack) {
    const TranslationCase& c = GetParam();
    LinuxBundle bundle(executable(), QLocale(c.name));
    EXPECT_EQ(bundle.localizedString(c.key, c.value, c.table).toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, LinuxBundleTranslationTest,
    testing::Values(
        // de_DE finds the _de file.
        TranslationCase{"de_DE", "Quit", "", "QBYDownloader", "Beenden"},
        TranslationCase{"de_AT", "Error %d", "", "QBYDownloader", "Fehler %d"},
        // Untranslated key: the value when given, else the key.
        TranslationCase{"de_DE", "Download & Install", "", "QBYDownloader", "Download & Install"},
        TranslationCase{"de_DE", "Download & Install", "Fallback", "QBYDownloader", "Fallback"},
        // The table is the context: a key of another table is not taken.
        TranslationCase{"de_DE", "Cancel", "", "QBYDownloader", "Cancel"},
        TranslationCase{"de_DE", "Cancel", "", "OtherTable", "Abbrechen"},
        // No file for the language: every key falls back.
        TranslationCase{"fr_FR", "Quit", "", "QBYDownloader", "Quit"},
        TranslationCase{"C", "Quit", "", "QBYDownloader", "Quit"}));

TEST_F(LinuxBundleResourcesTest, TranslatorServesTheInterfaceTextsToo) {
    LinuxBundle german(executable(), QLocale("de_DE"));
    EXPECT_EQ(german.translator()->translate("QBYDownloader", "Quit"), "Beenden");
    LinuxBundle french(executable(), QLocale("fr_FR"));
    EXPECT_TRUE(french.translator()->isEmpty());
}

}  // namespace
}  // namespace qby::platform::linuxhost

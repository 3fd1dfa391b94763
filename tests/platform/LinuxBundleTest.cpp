#include "NamedCase.h"
#include "platform/linux/system/LinuxBundle.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

// Named after the executable's path; the bundle is the nearest *.app folder above it, the
// executable's own folder where there is none (which the downloader then refuses to remove).
struct BundlePathCase : testsupport::NamedCase {
    const char* bundle;
};

class LinuxBundlePathTest : public testing::TestWithParam<BundlePathCase> {};

TEST_P(LinuxBundlePathTest, IsTheNearestAppFolderAboveTheExecutable) {
    const LinuxBundle bundle(GetParam().name, QLocale::c());
    EXPECT_EQ(bundle.bundlePath().toStdString(), GetParam().bundle);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Layouts, LinuxBundlePathTest,
    testing::Values(
        BundlePathCase{"/A/Outer.app/Contents/Helpers/Inner.app/Contents/MacOS/x", "/A/Outer.app/Contents/Helpers/Inner.app"},
        BundlePathCase{"/usr/local/bin/x", "/usr/local/bin"},
        BundlePathCase{"/d/Game.apps/Contents/MacOS/x", "/d/Game.apps/Contents/MacOS"},
        BundlePathCase{"/d/app/Contents/MacOS/x", "/d/app/Contents/MacOS"}));
// clang-format on

class LinuxBundleResourcesTest : public testing::Test {
protected:
    void SetUp() override {
        app = dir.filePath("Game.app");
        for (const char* folder : {"/MacOS", "/Resources/en.lproj", "/Resources/translations"})
            ASSERT_TRUE(QDir().mkpath(app + "/Contents" + folder));
        for (const char* file : {"/en.lproj/locversion.plist", "/ClientDownloader.ui"})
            ASSERT_TRUE(QFile(app + "/Contents/Resources" + file).open(QIODevice::WriteOnly));
        const QString translations = app + "/Contents/Resources/translations/QBYDownloader_";
        ASSERT_TRUE(QFile::copy(QBY_TEST_GERMAN_QM, translations + "de.qm"));
        ASSERT_TRUE(QFile::copy(QBY_TEST_ENGLISH_QM, translations + "en.qm"));
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
    for (auto [name, type, folder] :
         {std::tuple{"locversion", "plist", ""}, {"ClientDownloader", "xml", ""}, {"", "", ""}})
        EXPECT_EQ(bundle.pathForResource(name, type, folder), std::nullopt)
            << name << type << folder;
}

struct TranslationCase : testsupport::NamedCase {
    const char *key, *value, *table, *expected;
};

class LinuxBundleTranslationTest : public LinuxBundleResourcesTest,
                                   public testing::WithParamInterface<TranslationCase> {};

TEST_P(LinuxBundleTranslationTest, TranslatesOrFallsBack) {
    const TranslationCase& c = GetParam();
    LinuxBundle bundle(executable(), QLocale(c.name));
    EXPECT_EQ(bundle.localizedString(c.key, c.value, c.table).toStdString(), c.expected);
}

// Named after the locale: de_* finds the _de file, others the English one; an untranslated key
// gives the value when given, else the key; the table is the context.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Lookups, LinuxBundleTranslationTest,
    testing::Values(
        TranslationCase{"de_AT", "Error %d", "", "QBYDownloader", "Fehler %d"},
        TranslationCase{"de_DE", "Download & Install", "Fallback", "QBYDownloader", "Fallback"},
        TranslationCase{"de_DE", "Cancel", "", "QBYDownloader", "Cancel"},
        TranslationCase{"de_DE", "Cancel", "", "OtherTable", "Abbrechen"},
        TranslationCase{"es_ES", "Mac OS X is too old.", "", "QBYDownloader", "Your Linux system is too old."}));
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost

// The desktop entry of an installed client: its fields from the bundle's Info.plist, its text,
// and the user's entry written by the Linux host, checked by desktop-file-validate.
#include "NamedCase.h"
#include "ScopedEnvironment.h"
#include "TemporaryBundle.h"
#include "installhelper/DesktopEntry.h"
#include "platform/linux/desktop/LinuxUserApplications.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::installhelper {
namespace {

const std::string kBundle = "/Applications/Quillbay Store.app";

std::string plist(const std::string& dictionary) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- a comment -->\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n" +
           dictionary + "</dict>\n</plist>\n";
}
const std::string kExecutable = "<key>CFBundleExecutable</key><string>Quillbay</string>\n";

struct FieldsCase : testsupport::NamedCase {
    std::string xml;
    std::optional<DesktopEntryFields> fields;  // name, executable, icon
};

class DesktopEntryFieldsTest : public testing::TestWithParam<FieldsCase> {};

TEST_P(DesktopEntryFieldsTest, ReadsWhatItCanReadSafely) {
    const auto tied = [](const std::optional<DesktopEntryFields>& f) {
        return f ? std::optional(std::tuple(f->name, f->executable, f->icon)) : std::nullopt;
    };
    EXPECT_EQ(tied(desktopEntryFieldsOfBundle(GetParam().xml, kBundle)), tied(GetParam().fields));
}

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text = "<array>" + text + "</array>";
    return text;
}

const std::string kExe = kBundle + "/Contents/MacOS/Quillbay";
const std::string kIcon = kBundle + "/Contents/Resources/Quillbay.png";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, DesktopEntryFieldsTest,
    testing::Values(
        FieldsCase{"AllThree", plist("<key>CFBundleName</key><string>Quill &amp; Bay</string>\n" + kExecutable +
                                     "<key>CFBundleIconFile</key><string>Quillbay.png</string>\n"),
                   DesktopEntryFields{"Quill & Bay", kExe, kIcon}},
        FieldsCase{"NoNameNoIconOtherValuesPassedOver",
                   plist("<key>A</key><array><string>x</string><dict><key>k</key><integer>1</integer></dict></array>\n"
                         "<key>B</key><true/>\n<key>CFBundleName</key><string/>\n" + kExecutable),
                   DesktopEntryFields{"Quillbay Store", kExe, ""}},
        FieldsCase{"NoExecutable", plist("<key>CFBundleName</key><string>Q</string>\n"), std::nullopt},
        FieldsCase{"ExecutableOutsideTheBundle",
                   plist("<key>CFBundleExecutable</key><string>../../bin/sh</string>\n"), std::nullopt},
        FieldsCase{"IconOutsideTheBundle",
                   plist(kExecutable + "<key>CFBundleIconFile</key><string>/etc/x.png</string>\n"), std::nullopt},
        FieldsCase{"NameWithALineBreak",
                   plist(kExecutable + "<key>CFBundleName</key><string>Q\nExec=/bin/sh</string>\n"), std::nullopt},
        FieldsCase{"KeyGivenTwice", plist(kExecutable + kExecutable), std::nullopt},
        FieldsCase{"OtherEntity",
                   plist("<key>CFBundleExecutable</key><string>Quill&#98;ay</string>\n"), std::nullopt},
        FieldsCase{"NestedTooDeep", plist(kExecutable + "<key>A</key>" + nested(20) + "\n"), std::nullopt},
        FieldsCase{"NestedShallowEnough", plist(kExecutable + "<key>A</key>" + nested(6) + "\n"),
                   DesktopEntryFields{"Quillbay Store", kExe, ""}},
        FieldsCase{"RootNotADictionary", "<plist version=\"1.0\"><array/></plist>", std::nullopt},
        FieldsCase{"TooLarge", plist(kExecutable + "<key>P</key><string>" + std::string(70000, 'x') + "</string>\n"),
                   std::nullopt},
        FieldsCase{"Unclosed", plist(kExecutable).substr(0, 200), std::nullopt}),
    testsupport::CaseName{});
// clang-format on

TEST(DesktopEntryTextTest, QuotesTheExecutableAndPassesTheValidator) {
    const std::string text = desktopEntryText(
        {" Quill\\Bay", "/opt/A b/$x \"q\" `c` 100%/Run", "/opt/A b/Contents/Resources/i.png"});
    EXPECT_EQ(text,
              "[Desktop Entry]\nType=Application\nVersion=1.4\nName=\\sQuill\\\\Bay\n"
              "Exec=\"/opt/A b/\\\\$x \\\\\"q\\\\\" \\\\`c\\\\` 100%%/Run\"\n"
              "TryExec=/opt/A b/$x \"q\" `c` 100%/Run\nIcon=/opt/A b/Contents/Resources/i.png\n"
              "StartupWMClass=Quillbay\nCategories=Game;\n");
    QTemporaryDir dir;
    QFile file(dir.filePath("com.quillbay.Client2.desktop"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text.c_str()) == qint64(text.size()));
    file.close();
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) missing";
    QProcess validate;
    validate.start(validator, {file.fileName()});
    ASSERT_TRUE(validate.waitForFinished(10000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
}

TEST(LinuxUserApplicationsTest, WritesTheUsersEntryOrSaysWhyNot) {
    QTemporaryDir home;
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", home.path());
    environment.set("XDG_DATA_HOME", home.filePath("data"));
    platform::linuxhost::LinuxUserApplications user;
    EXPECT_EQ(user.homeDirectory(), home.path());

    const QString bundle = testsupport::TemporaryBundle::create(
        home.filePath("Applications"), "Quillbay",
        {.executableName = "Quillbay", .extraKeys = {{"CFBundleIconFile", "Quillbay.png"}}});
    const QString broken = testsupport::TemporaryBundle::create(
        home.filePath("Applications"), "Broken", {.identifier = "com.quillbay.Client2"});
    ASSERT_FALSE(bundle.isEmpty() || broken.isEmpty());
    const QString entry = home.filePath("data/applications/com.quillbay.Client2.desktop");

    EXPECT_FALSE(user.registerDesktopEntry(broken).ok());
    EXPECT_FALSE(QFile::exists(entry)) << "no entry for a bundle without an executable";
    ASSERT_TRUE(user.registerDesktopEntry(bundle).ok());
    QFile written(entry);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(),
              desktopEntryText({"Quillbay", (bundle + "/Contents/MacOS/Quillbay").toStdString(),
                                (bundle + "/Contents/Resources/Quillbay.png").toStdString()}));
}

}  // namespace
}  // namespace qby::installhelper

// The desktop entry of an installed client: its fields from the bundle's Info.plist and its text,
// checked by desktop-file-validate. Where the user's entry lands and what it starts is checked
// on every installed client of the end-to-end roads.
#include "NamedCase.h"
#include "TestFiles.h"
#include "platform/linux/desktop/DesktopEntry.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

const QString kBundle = "/Applications/Quillbay Store.app";
const QString kExe = kBundle + "/Contents/MacOS/Quillbay";
const QString kIcon = kBundle + "/Contents/Resources/Quillbay.png";

struct FieldsCase : testsupport::NamedCase {
    QVariantMap info;
    std::optional<DesktopEntryFields> fields;  // name, executable, icon
};

class DesktopEntryFieldsTest : public testing::TestWithParam<FieldsCase> {};

TEST_P(DesktopEntryFieldsTest, ReadsWhatItCanUseSafely) {
    const auto tied = [](const std::optional<DesktopEntryFields>& f) {
        return f ? std::optional(std::tuple(f->name, f->executable, f->icon)) : std::nullopt;
    };
    EXPECT_EQ(tied(desktopEntryFieldsOfBundle(GetParam().info, kBundle)), tied(GetParam().fields));
}

const std::pair<QString, QVariant> kExecutable{"CFBundleExecutable", "Quillbay"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, DesktopEntryFieldsTest,
    testing::Values(
        FieldsCase{"AllThree", {{"CFBundleName", "Quill & Bay"}, kExecutable, {"CFBundleIconFile", "Quillbay.png"}},
                   DesktopEntryFields{"Quill & Bay", kExe, kIcon}},
        FieldsCase{"NoNameNoIconOtherValuesPassedOver",
                   {{"A", QVariantList{1, "x"}}, {"CFBundleName", ""}, kExecutable}, DesktopEntryFields{"Quillbay Store", kExe, ""}},
        FieldsCase{"NoExecutable", {{"CFBundleName", "Q"}}, std::nullopt},
        FieldsCase{"ExecutableNotAText", {{"CFBundleExecutable", 7}}, std::nullopt},
        FieldsCase{"ExecutableOutsideTheBundle", {{"CFBundleExecutable", "../../bin/sh"}}, std::nullopt},
        FieldsCase{"IconOutsideTheBundle", {kExecutable, {"CFBundleIconFile", "/etc/x.png"}}, std::nullopt},
        FieldsCase{"NameWithALineBreak", {kExecutable, {"CFBundleName", "Q\nExec=/bin/sh"}}, std::nullopt}),
    testsupport::CaseName{});
// clang-format on

TEST(DesktopEntryTextTest, QuotesTheExecutableAndPassesTheValidator) {
    const QString text = desktopEntryText(
        {" Quill\\Bay", "/opt/A b/$x \"q\" `c` 100%/Run", "/opt/A b/Contents/Resources/i.png"});
    EXPECT_EQ(text.toStdString(),
              "[Desktop Entry]\nType=Application\nVersion=1.4\nName=\\sQuill\\\\Bay\n"
              "Exec=\"/opt/A b/\\\\$x \\\\\"q\\\\\" \\\\`c\\\\` 100%%/Run\"\n"
              "TryExec=/opt/A b/$x \"q\" `c` 100%/Run\nIcon=/opt/A b/Contents/Resources/i.png\n"
              "StartupWMClass=Quillbay\nCategories=Game;\n");
    QTemporaryDir dir;
    const QString file = dir.filePath("com.quillbay.Client2.desktop");
    ASSERT_TRUE(testsupport::writeFile(file, text.toUtf8()));
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) missing";
    QProcess validate;
    validate.start(validator, {file});
    ASSERT_TRUE(validate.waitForFinished(10000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
}

}  // namespace
}  // namespace qby::platform::linuxhost

#include "platform/linux/LinuxWorkspace.h"

#include "TemporaryBundle.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace qby::platform::linuxhost {
namespace {

using testsupport::BundleContents;
using testsupport::TemporaryBundle;

constexpr const char* kClient = "com.quillbay.Client2";

// Two application folders standing for /Applications and ~/Applications.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        system = root.filePath("Applications");
        user = root.filePath("home/Applications");
        ASSERT_TRUE(QDir().mkpath(system));
        ASSERT_TRUE(QDir().mkpath(user));
    }
    QString bundle(const QString& folder, const QString& name, const QString& identifier) {
        const QString path = TemporaryBundle::create(folder, name, {.identifier = identifier});
        EXPECT_FALSE(path.isEmpty());
        return path;
    }
    std::optional<QString> lookup(const QString& identifier) {
        LinuxWorkspace workspace({system, user}, QDBusConnection(""), root.path());
        return workspace.absolutePathForAppBundleWithIdentifier(identifier);
    }

    QTemporaryDir root;
    QString system;
    QString user;
};

TEST_F(RegistryTest, SystemFolderComesBeforeTheUsersFolder) {
    bundle(user, "Quillbay", kClient);
    EXPECT_EQ(lookup(kClient), user + "/Quillbay.app");
    const QString first = bundle(system, "Quillbay", kClient);
    EXPECT_EQ(lookup(kClient), first);
}

TEST_F(RegistryTest, WithinAFolderTheFirstNameWins) {
    bundle(system, "Zed", kClient);
    bundle(system, "Beta", kClient);
    bundle(system, "Alpha", "com.example.other");
    EXPECT_EQ(lookup(kClient), system + "/Beta.app");
}

TEST_F(RegistryTest, IdentifierMustMatchExactly) {
    bundle(system, "Upper", "COM.QUILLBAY.CLIENT2");
    bundle(system, "Longer", "com.quillbay.Client22");
    bundle(system, "Shorter", "com.quillbay.Client");
    bundle(system, "Spaced", "com.quillbay.Client2 ");
    EXPECT_EQ(lookup(kClient), std::nullopt);
    EXPECT_EQ(lookup("COM.QUILLBAY.CLIENT2"), system + "/Upper.app");
}

TEST_F(RegistryTest, OnlyBundlesDirectlyInsideCount) {
    // Not named *.app, nested one level down, or without a readable description.
    ASSERT_TRUE(QDir().mkpath(system + "/Quillbay/Contents"));
    QFile info(system + "/Quillbay/Contents/Info.plist");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write(TemporaryBundle::infoPlistXml({{"CFBundleIdentifier", kClient}}));
    info.close();
    bundle(system + "/Games", "Quillbay", kClient);
    TemporaryBundle::create(system, "NoInfo", {.identifier = kClient, .writeInfoPlist = false});
    ASSERT_TRUE(QDir().mkpath(system + "/Garbage.app/Contents"));
    QFile garbage(system + "/Garbage.app/Contents/Info.plist");
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("<plist><dict><key>CFBundleIdentifier</key><string>com.quillbay.Cl");
    garbage.close();
    EXPECT_EQ(lookup(kClient), std::nullopt);
}

TEST_F(RegistryTest, ReadsBinaryDescriptionsAndLinkedBundles) {
    const QString elsewhere = bundle(root.filePath("opt"), "Real", kClient);
    ASSERT_EQ(symlink(QFile::encodeName(elsewhere).constData(),
                      QFile::encodeName(user + "/Linked.app").constData()),
              0);
    EXPECT_EQ(lookup(kClient), user + "/Linked.app");

    const QString binary = bundle(system, "Binary", "placeholder");
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "CFBundleIdentifier", plist_new_string(kClient));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    plist_free(root);
    QFile info(binary + "/Contents/Info.plist");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly | QIODevice::Truncate));
    info.write(bytes, length);
    info.close();
    plist_to_bin_free(bytes);
    EXPECT_EQ(lookup(kClient), binary);
}

TEST_F(RegistryTest, PathsAreCleanWhateverTheFolderLooksLike) {
    const QString found = bundle(user, "Quillbay", kClient);
    LinuxWorkspace workspace({user + "/", user + "/../Applications"}, QDBusConnection(""),
                             root.path());
    EXPECT_EQ(workspace.absolutePathForAppBundleWithIdentifier(kClient), found);
}

TEST_F(RegistryTest, MissingFoldersAreNoError) {
    LinuxWorkspace workspace({root.filePath("none"), user}, QDBusConnection(""), root.path());
    bundle(user, "Quillbay", kClient);
    EXPECT_EQ(workspace.absolutePathForAppBundleWithIdentifier(kClient), user + "/Quillbay.app");
    LinuxWorkspace empty({}, QDBusConnection(""), root.path());
    EXPECT_EQ(empty.absolutePathForAppBundleWithIdentifier(kClient), std::nullopt);
}

}  // namespace
}  // namespace qby::platform::linuxhost

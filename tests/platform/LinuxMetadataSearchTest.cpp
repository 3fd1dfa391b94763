#include "TemporaryBundle.h"
#include "platform/linux/desktop/BundleWalkQuery.h"
#include "platform/linux/desktop/LinuxMetadataSearch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {
namespace {

using testsupport::TemporaryBundle;

constexpr const char* kQuery = "kMDItemCFBundleIdentifier == 'com.quillbay.Client2'";
constexpr const char* kClient = "com.quillbay.Client2";

TEST(QueryTextTest, OnlyTheExactFormIsUnderstood) {
    LinuxMetadataSearch search("/nonexistent");
    for (const char* text :
         {"", "kMDItemCFBundleIdentifier == \"com.quillbay.Client2\"",
          "kMDItemCFBundleIdentifier = 'com.quillbay.Client2'",
          "kMDItemCFBundleIdentifier  == 'com.quillbay.Client2'",
          "kMDItemCFBundleIdentifier == 'com.quillbay.Client2' ",
          " kMDItemCFBundleIdentifier == 'com.quillbay.Client2'",
          "kMDItemCFBundleIdentifier == 'a'b'", "kMDItemCFBundleIdentifier == ''",
          "kMDItemDisplayName == 'Quillbay'", "kMDItemCFBundleIdentifier == 'x'\n"})
        EXPECT_EQ(search.createQuery(text), nullptr) << text;
}

// The paths of an executed query's results, in order.
QStringList pathsOf(const MetadataQuery& query) {
    QStringList paths;
    for (qint64 i = 0; i < query.resultCount(); ++i)
        paths.append(query.resultAtIndex(i).value_or(MetadataItem{}).path.value_or("(none)"));
    EXPECT_EQ(query.resultAtIndex(query.resultCount()), std::nullopt);
    EXPECT_EQ(query.resultAtIndex(-1), std::nullopt);
    return paths;
}

class WalkTest : public testing::Test {
protected:
    QString client(const QString& folder, const QString& name) {
        const QString path = TemporaryBundle::create(
            folder == "." ? home.path() : home.filePath(folder), name, {.identifier = kClient});
        EXPECT_FALSE(path.isEmpty());
        return path;
    }
    // The results of one run, in order; nothing when the run failed.
    std::optional<QStringList> run(const QString& query = kQuery, QString folder = {}) {
        LinuxMetadataSearch search(folder.isEmpty() ? home.path() : folder);
        std::unique_ptr<MetadataQuery> q = search.createQuery(query);
        if (!q || !q->execute()) return std::nullopt;
        return pathsOf(*q);
    }

    QTemporaryDir home;
};

// Bundles lie at most eight levels down.
TEST_F(WalkTest, FindsBundlesBreadthFirstInNameOrderEightLevelsDeep) {
    const QString level8 = client("1/2/3/4/5/6/7", "Eight");
    client("1/2/3/4/5/6/7/8", "Nine");
    const QString deep = client("b/inner", "Deep");
    const QString shallowB = client("b", "Quillbay");
    const QString top = client(".", "Top");
    const QString hidden = client(".Sparkle", "Quillbay");
    const QString shallowA = client("a", "Quillbay");
    TemporaryBundle::create(home.filePath("a"), "Other", {.identifier = "com.example.other"});
    EXPECT_EQ(run(), (QStringList{top, hidden, shallowA, shallowB, deep, level8}));
}

TEST_F(WalkTest, NeverFollowsLinksNorEntersBundles) {
    QTemporaryDir outside;
    const QString foreign =
        TemporaryBundle::create(outside.path(), "Foreign", {.identifier = kClient});
    ASSERT_TRUE(QFile::link(foreign, home.filePath("Linked.app")));
    // A bundle inside another bundle is not looked at.
    const QString outer =
        TemporaryBundle::create(home.path(), "Outer", {.identifier = "com.example.outer"});
    TemporaryBundle::create(outer + "/Contents/Helpers", "Inner", {.identifier = kClient});
    // A pipe named like a bundle description must not block the walk.
    ASSERT_TRUE(QDir().mkpath(home.filePath("Piped.app/Contents")));
    ASSERT_EQ(
        mkfifo(QFile::encodeName(home.filePath("Piped.app/Contents/Info.plist")).constData(), 0600),
        0);
    const QString real = client("x", "Real");

    EXPECT_EQ(run(), QStringList{real});
}

TEST_F(WalkTest, StopsAfterTheEntryBudget) {
    const QString early = client(".", "0Early");
    ASSERT_TRUE(QDir().mkpath(home.filePath("m")));
    // Home lists three entries; the folder "m" uses up the rest of the budget of 50 before
    // the folder "z" is listed.
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(QFile(home.filePath("m/f" + QString::number(i))).open(QIODevice::WriteOnly));
    const QString late = client("z", "Late");

    for (auto [budget, found] :
         {std::pair{50, QStringList{early}}, {64, QStringList{early, late}}}) {
        BundleWalkQuery query(home.path(), kClient, budget);
        ASSERT_TRUE(query.execute());
        EXPECT_EQ(pathsOf(query), found) << budget;
    }
}

TEST_F(WalkTest, PathsAreCleanWhateverTheHomeFolderLooksLike) {
    const QString found = client("a", "Quillbay");
    for (const QString& spelling : {home.path() + "/", home.path() + "//a/..", home.path() + "/."})
        EXPECT_EQ(run(kQuery, spelling), QStringList{found}) << spelling.toStdString();
}

TEST_F(WalkTest, AMissingHomeCannotRunAndEachRunStartsAfresh) {
    LinuxMetadataSearch missing(home.filePath("nobody"));
    std::unique_ptr<MetadataQuery> query = missing.createQuery(kQuery);
    ASSERT_NE(query, nullptr);
    EXPECT_FALSE(query->execute() || query->resultCount() != 0);

    LinuxMetadataSearch search(home.path());
    std::unique_ptr<MetadataQuery> again = search.createQuery(kQuery);
    ASSERT_NE(again, nullptr);
    client("a", "One");
    for (int run = 0; run < 2; ++run) EXPECT_TRUE(again->execute() && again->resultCount() == 1);
}

}  // namespace
}  // namespace qby::platform::linuxhost

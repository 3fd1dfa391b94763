#include "NamedCase.h"
#include "ScopedEnvironment.h"
#include "TestFiles.h"
#include "platform/linux/files/LinuxFileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qby::platform::linuxhost {
namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(testsupport::writeFile(path, bytes)) << path.toStdString();
}

void link(const QString& target, const QString& name) {
    ASSERT_EQ(symlink(native(target).constData(), native(name).constData()), 0);
}

// All zero when nothing stands at path.
struct stat statOf(const QString& path) {
    struct stat st {};
    lstat(native(path).constData(), &st);
    return st;
}

mode_t permissions(const QString& path) {
    return statOf(path).st_mode & 07777;
}

// Runs body in a child process: its exit status, or -1 when it did not exit.
int exitStatusOf(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class LinuxFileManagerTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    LinuxFileManager files;
};

// Valid rows read back as their bytes decoded.
struct ReadCase : testsupport::NamedCase {
    QByteArray bytes;
    bool valid;
    qint64 maxBytes = 100;
};

class ReadUtf8TextTest : public LinuxFileManagerTest,
                         public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadUtf8TextTest, AnswersTheTextOnlyForValidSmallFiles) {
    const ReadCase& c = GetParam();
    writeBytes(path("request.txt"), c.bytes);
    EXPECT_EQ(files.readUtf8Text(path("request.txt"), c.maxBytes),
              c.valid ? std::optional(QString::fromUtf8(c.bytes)) : std::nullopt);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Contents, ReadUtf8TextTest,
    testing::Values(ReadCase{"Ascii", "title;abc\r\nlang;en", true}, ReadCase{"Empty", "", true},
                    ReadCase{"MultiByte", "k;\xC3\xA4\xE2\x82\xAC\xF0\x9F\x8E\xAE", true},
                    ReadCase{"ExactlyAtLimit", QByteArray(64, 'x'), true, 64},
                    ReadCase{"OneOverLimit", QByteArray(65, 'x'), false, 64}, ReadCase{"Overlong", "\xC0\xAF", false},
                    ReadCase{"Surrogate", "\xED\xA0\x80", false}, ReadCase{"AboveUnicode", "\xF4\x90\x80\x80", false},
                    ReadCase{"TruncatedAtEnd", "ok\xE2\x82", false}, ReadCase{"LoneContinuation", "\x80", false},
                    ReadCase{"LastContinuationBad", "\xE2\x82" "A", false}),
    testsupport::CaseName{});
// clang-format on

TEST_F(LinuxFileManagerTest, ReadsThroughLinksButNothingFromFoldersPipesAndAbsentFiles) {
    writeBytes(path("real.txt"), "a;b");
    link(path("real.txt"), path("link.txt"));
    EXPECT_EQ(files.readUtf8Text(path("link.txt"), 10), QString("a;b"));
    ASSERT_EQ(mkfifo(native(path("pipe")).constData(), 0600), 0);
    EXPECT_EQ(files.readUtf8Text(dir.path(), 1000), std::nullopt);
    // Nobody writes the pipe: reading it must not block.
    EXPECT_EQ(files.readUtf8Text(path("pipe"), 1000), std::nullopt);
    EXPECT_EQ(files.readUtf8Text(path("absent"), 1000), std::nullopt);
    // A file that holds more than its size says, as those of /proc do, is refused at the limit.
    EXPECT_EQ(files.readUtf8Text("/proc/self/status", 16), std::nullopt);
}

// Links are told and listed as themselves.
TEST_F(LinuxFileManagerTest, TellsItemsAndFoldersApartAndListsOneLevel) {
    writeBytes(path("file"), "x");
    ASSERT_TRUE(QDir().mkdir(path("folder")));
    link(path("folder"), path("folderLink"));
    link("/nonexistent/target", path("dangling"));

    // Writable: a folder (through a link too) where this user may create items.
    for (auto [name, exists, folder, writable] : {std::tuple{"file", true, false, false},
                                                  {"folder", true, true, true},
                                                  {"folderLink", true, false, true},
                                                  {"dangling", true, false, false},
                                                  {"absent", false, false, false}}) {
        EXPECT_EQ(files.fileExists(path(name)), exists) << name;
        EXPECT_EQ(files.isDirectory(path(name)), folder) << name;
        EXPECT_EQ(files.isWritableDirectory(path(name)), writable) << name;
    }
    ASSERT_EQ(chmod(native(path("folder")).constData(), 0555), 0);
    EXPECT_EQ(files.isWritableDirectory(path("folder")), geteuid() == 0) << "root may write anyway";
    QStringList names = files.contentsOfDirectory(dir.path()).value_or(QStringList{"failed"});
    names.sort();
    EXPECT_EQ(names, (QStringList{"dangling", "file", "folder", "folderLink"}));
    EXPECT_EQ(files.contentsOfDirectory(path("folder")), QStringList{});
    for (const char* none : {"file", "absent"})
        EXPECT_EQ(files.contentsOfDirectory(path(none)), std::nullopt) << none;
}

TEST_F(LinuxFileManagerTest, RemovesItemsButNotWhatTheirLinksPointAt) {
    // Outside the tree: must survive. The tree: nested folders, files, a link to a folder
    // outside, a link to a file outside, and a dangling link. Then a file, and a link to a folder.
    writeBytes(path("outside/keep/precious"), "data");
    const QString tree = path("Game.app");
    writeBytes(tree + "/Contents/Info.plist", "x");
    writeBytes(tree + "/Contents/MacOS/deep/er/file", "x");
    link(path("outside"), tree + "/Contents/outsideFolder");
    link(path("outside/keep/precious"), tree + "/Contents/MacOS/outsideFile");
    link("nowhere", tree + "/dangling");
    writeBytes(path("Game.zip"), "zip");
    link(path("outside"), path("Link.app"));
    for (const QString& item : {tree, path("Game.zip"), path("Link.app")}) {
        EXPECT_TRUE(files.removeItem(item).ok()) << item.toStdString();
        EXPECT_FALSE(files.fileExists(item)) << item.toStdString();
    }
    EXPECT_TRUE(QFile::exists(path("outside/keep/precious")));
    for (const QString& absent : {path("Game.zip"), path("missing/inside"), QString()}) {
        const foundation::Status status = files.removeItem(absent);
        EXPECT_EQ(status.ok() ? 0 : status.error().code, ENOENT) << absent.toStdString();
        EXPECT_TRUE(status.ok() || status.error().message.contains(absent));
    }
}

// Removal on a read-only mount answers EROFS. The mount is made in a child process inside a
// private mount namespace, so nothing outside the test sees it; the child reports the errno.
TEST_F(LinuxFileManagerTest, RemovalOnAReadOnlyMountAnswersErofs) {
    const QString source = path("source"), mounted = path("mounted");
    writeBytes(source + "/Game.app/Contents/Info.plist", "x");
    ASSERT_TRUE(QDir().mkdir(mounted));

    constexpr int kCannotMount = 200;
    const int status = exitStatusOf([&] {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(native(source).constData(), native(mounted).constData(), "none", MS_BIND,
                  nullptr) != 0 ||
            mount("none", native(mounted).constData(), "none", MS_BIND | MS_REMOUNT | MS_RDONLY,
                  nullptr) != 0)
            return kCannotMount;
        const foundation::Status removed = LinuxFileManager().removeItem(mounted + "/Game.app");
        return removed.ok() ? 0 : removed.error().code;
    });
    if (status == kCannotMount)
        GTEST_SKIP() << "no private read-only bind mount possible here (needs CAP_SYS_ADMIN)";
    EXPECT_EQ(status, EROFS);
    EXPECT_TRUE(QFile::exists(source + "/Game.app/Contents/Info.plist"));
}

TEST_F(LinuxFileManagerTest, CreatesMissingFoldersPrivateToTheUser) {
    ASSERT_EQ(chmod(native(dir.path()).constData(), 0755), 0);
    const QString target = path("share/quillbay.com/Notifications");
    EXPECT_TRUE(files.createDirectory(target));
    for (const QString& made : {path("share"), path("share/quillbay.com"), target})
        EXPECT_EQ(permissions(made), 0700u) << made.toStdString();
    EXPECT_EQ(permissions(dir.path()), 0755u);  // folders that were there keep their mode
    // Again, as it stands there already; and through a link to a folder.
    EXPECT_TRUE(files.createDirectory(target) && files.createDirectory(target + "/"));
    ASSERT_TRUE(QDir().mkdir(path("real")));
    link(path("real"), path("linked"));
    EXPECT_TRUE(files.createDirectory(path("linked/quillbay.com")));
    // Not where a file stands in the way.
    writeBytes(path("quillbay.com"), "not a folder");
    EXPECT_FALSE(files.createDirectory(path("quillbay.com")));
    EXPECT_FALSE(files.createDirectory(path("quillbay.com/Notifications")));
}

TEST_F(LinuxFileManagerTest, CreatesOnePrivateFolderWhereNothingStands) {
    // Even a umask that takes everything leaves the owner's rights.
    const mode_t saved = umask(0777);
    const foundation::Status created = files.createPrivateDirectory(path("download"));
    umask(saved);
    EXPECT_TRUE(created.ok()) << created.error().message.toStdString();
    EXPECT_EQ(permissions(path("download")), 0700u);

    writeBytes(path("file"), "x");
    link(path("target"), path("link"));
    for (const char* name : {"download", "file", "link"}) {
        const foundation::Status again = files.createPrivateDirectory(path(name));
        EXPECT_EQ(again.error().code, EEXIST) << name;
        EXPECT_TRUE(again.error().message.contains(path(name))) << name;
    }
    EXPECT_FALSE(files.fileExists(path("target")));  // the link was not followed
    // Missing folders above it are made; a file in the way is no folder.
    EXPECT_TRUE(files.createPrivateDirectory(path("missing/tmp/download")).ok());
    EXPECT_EQ(permissions(path("missing/tmp/download")), 0700u);
    EXPECT_EQ(files.createPrivateDirectory(path("file/download")).error().code, ENOTDIR);
}

// A tree put in place within one file system (a rename) and across two (a copy, then the source
// removed).
class ReplaceItemTest : public LinuxFileManagerTest, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(path("installed")));
        if (!GetParam()) return;
        other.emplace(QStringLiteral("/dev/shm/qby-replace-XXXXXX"));
        if (!other->isValid() || statOf(dir.path()).st_dev == statOf(other->path()).st_dev)
            GTEST_SKIP() << "no second file system at /dev/shm";
    }
    QString destination(const QString& name) const {
        return other ? other->filePath(name) : path("installed/" + name);
    }
    void TearDown() override {
        // Read-only folders inside: removed through the service.
        ASSERT_TRUE(!other || files.removeItem(other->path()).ok());
    }

    std::optional<QTemporaryDir> other;
};

const std::pair<const char*, mode_t> kModes[] = {{"/Contents/MacOS/Game", 04751},
                                                 {"/Contents/MacOS", 0750},
                                                 {"/Contents/Locked/Info.plist", 0444},
                                                 {"/Contents/Locked", 0555}};

TEST_P(ReplaceItemTest, MovesATreeWithItsModesAndLinks) {
    const QString source = path("Game.app");
    writeBytes(source + "/Contents/MacOS/Game", QByteArray(200000, 'g'));
    writeBytes(source + "/Contents/Locked/Info.plist", "plist");
    const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    for (auto [item, mode] : kModes) {
        ASSERT_EQ(utimensat(AT_FDCWD, native(source + item).constData(), past, 0), 0);
        ASSERT_EQ(chmod(native(source + item).constData(), mode), 0);
    }
    link("MacOS/Game", source + "/Contents/Current");
    link("/nonexistent", source + "/Dangling");
    // Two names of one file, and a 256 MiB file that is all hole but for its last byte.
    ASSERT_EQ(::link(native(source + "/Contents/MacOS/Game").constData(),
                     native(source + "/Contents/GameAgain").constData()),
              0);
    const int sparse = open(native(source + "/Sparse").constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(sparse, 0);
    ASSERT_EQ(pwrite(sparse, "x", 1, (256 << 20) - 1), 1);
    close(sparse);

    const QString moved = destination("Quillbay.app");
    const foundation::Status status = files.replaceItem(source, moved);

    ASSERT_TRUE(status.ok()) << status.error().message.toStdString();
    EXPECT_FALSE(files.fileExists(source));
    EXPECT_EQ(files.readUtf8Text(moved + "/Contents/MacOS/Game", 300000), QString(200000, 'g'));
    for (auto [item, mode] : kModes) {
        const struct stat st = statOf(moved + item);
        EXPECT_EQ(st.st_mode & 07777, mode) << item;
        EXPECT_EQ(st.st_mtim.tv_sec, 1000000000) << item;
    }
    EXPECT_EQ(QFile::symLinkTarget(moved + "/Contents/Current"), moved + "/Contents/MacOS/Game");
    EXPECT_EQ(QFile(moved + "/Dangling").symLinkTarget(), "/nonexistent");
    const struct stat game = statOf(moved + "/Contents/MacOS/Game"),
                      hole = statOf(moved + "/Sparse");
    EXPECT_EQ(game.st_ino, statOf(moved + "/Contents/GameAgain").st_ino) << "one file, two names";
    EXPECT_EQ(game.st_nlink, 2u);
    EXPECT_EQ(hole.st_size, 256 << 20);
    EXPECT_LT(hole.st_blocks * 512, 1 << 20) << "holes stay holes";
}

// A user's own read-only folder (0555) does not keep the source from going after the copy. Run
// as an ordinary user, since root may empty any folder.
TEST_P(ReplaceItemTest, ReadOnlyFoldersOfTheUsersOwnAreEmptiedToo) {
    constexpr uid_t kUser = 4242;
    const QString source = path("Game.app");
    writeBytes(source + "/Contents/Locked/Info.plist", "plist");
    ASSERT_EQ(chmod(native(source + "/Contents/Locked").constData(), 0555), 0);
    const bool root = geteuid() == 0;
    for (const QString& item :
         {dir.path(), source, source + "/Contents", source + "/Contents/Locked",
          source + "/Contents/Locked/Info.plist", destination("")})
        ASSERT_TRUE(!root || chown(native(item).constData(), kUser, kUser) == 0)
            << item.toStdString();
    EXPECT_EQ(
        exitStatusOf([&] {
            if (root && (setgroups(0, nullptr) != 0 || setgid(kUser) != 0 || setuid(kUser) != 0))
                return 2;
            return LinuxFileManager().replaceItem(source, destination("Q.app")).ok() ? 0 : 1;
        }),
        0);
    EXPECT_FALSE(files.fileExists(source)) << "no copy left behind";
    EXPECT_EQ(files.readUtf8Text(destination("Q.app/Contents/Locked/Info.plist"), 10), "plist");
    EXPECT_EQ(permissions(destination("Q.app/Contents/Locked")), 0555u);
}

// A rename moves anything; a copy refuses a pipe and then leaves things as they were.
TEST_P(ReplaceItemTest, APipeMovesByRenameButFailsACopy) {
    const QString source = path("Game.app");
    writeBytes(source + "/Contents/a/file", "a");
    writeBytes(source + "/Contents/z/file", "z");
    // A pipe is not copied: the copy fails wherever the walk meets it.
    ASSERT_EQ(mkfifo(native(source + "/Contents/m").constData(), 0600), 0);
    const qsizetype descriptors = QDir("/proc/self/fd").count();

    const foundation::Status status = files.replaceItem(source, destination("Quillbay.app"));
    EXPECT_EQ(QDir("/proc/self/fd").count(), descriptors) << "a failed copy closes what it opened";

    if (!GetParam()) return;
    EXPECT_EQ(status.error().code, ENOTSUP);
    EXPECT_TRUE(status.error().message.contains(source + "/Contents/m"))
        << status.error().message.toStdString();
    EXPECT_FALSE(files.fileExists(destination("Quillbay.app")));
    EXPECT_EQ(files.readUtf8Text(source + "/Contents/a/file", 10), QString("a"));
    EXPECT_EQ(files.readUtf8Text(source + "/Contents/z/file", 10), QString("z"));
}

INSTANTIATE_TEST_SUITE_P(FileSystems, ReplaceItemTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "AcrossFileSystems" : "WithinOneFileSystem";
                         });

TEST(LinuxFileManagerFoldersTest, StandardFoldersFollowTheUsersHome) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", home.path());
    environment.unset("XDG_DATA_HOME");

    LinuxFileManager files;
    EXPECT_EQ(files.applicationSupportDirectories().value(0), home.path() + "/.local/share");
    const QString downloads = files.downloadsDirectories().value(0);
    EXPECT_TRUE(downloads.startsWith(home.path())) << downloads.toStdString();
    // One that does not exist yet is still the one: the download folder is made with it.
    environment.set("TMPDIR", home.path() + "/tmp/");
    EXPECT_EQ(files.temporaryDirectory(), home.path() + "/tmp");
}

}  // namespace
}  // namespace qby::platform::linuxhost

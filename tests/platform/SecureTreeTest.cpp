// The install helper's copy as root: what it keeps (links, holes, hard links), what it takes
// away (set-id bits, write access of group and others, the user's ownership), and what refuses
// the whole copy.
#include "installhelper/SecureTree.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::installhelper {
namespace {

class SecureTreeTest : public testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "the copy gives its items to root: run as root";
        ASSERT_TRUE(dir.isValid());
        root = dir.path().toStdString();
        source = root + "/Source.app";
        ASSERT_EQ(mkdir(source.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((source + "/Open").c_str(), 0777), 0);
        ASSERT_EQ(chmod((source + "/Open").c_str(), 02777), 0);
        write(source + "/Open/run", "#!/bin/sh\n", 04777);
        write(source + "/sparse", "end", 0644, 8 << 20);  // 8 MiB of hole, then a few bytes
        ASSERT_EQ(link((source + "/sparse").c_str(), (source + "/Open/same").c_str()), 0);
        ASSERT_EQ(symlink("/etc/shadow", (source + "/Open/link").c_str()), 0);
    }

    static void write(const std::string& path, const std::string& text, mode_t mode, off_t at = 0) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(pwrite(fd, text.data(), text.size(), at), ssize_t(text.size()));
        ASSERT_EQ(fchmod(fd, mode), 0);
        close(fd);
    }

    // Copies the source as if it belonged to owner; the folder it lands in.
    CopyOutcome copy(uid_t owner) {
        const int from = open(source.c_str(), O_RDONLY | O_DIRECTORY);
        const int into = open(root.c_str(), O_RDONLY | O_DIRECTORY);
        const CopyOutcome outcome = copyTree(from, into, "Copy.app", owner);
        close(from);
        close(into);
        return outcome;
    }

    struct stat status(const std::string& relative) const {
        struct stat st {};
        EXPECT_EQ(lstat((root + "/Copy.app/" + relative).c_str(), &st), 0) << relative;
        return st;
    }

    QTemporaryDir dir;
    std::string root;
    std::string source;
};

TEST_F(SecureTreeTest, CopiesAsRootKeepingLinksHolesAndHardLinks) {
    for (const char* item : {"", "/Open", "/Open/run", "/sparse", "/Open/link"})
        ASSERT_EQ(lchown((source + item).c_str(), 4242, 4242), 0);
    ASSERT_EQ(copy(4242), CopyOutcome::kCopied);

    for (const char* item : {"", "Open", "Open/run", "sparse", "Open/link"})
        EXPECT_EQ(status(item).st_uid + status(item).st_gid, 0u) << item;
    EXPECT_EQ(status("Open").st_mode & 07777, 0755u);
    EXPECT_EQ(status("Open/run").st_mode & 07777, 0755u);
    EXPECT_EQ(status("sparse").st_size, (8 << 20) + 3);
    EXPECT_LT(status("sparse").st_blocks, 1024) << "the hole stays a hole";
    EXPECT_EQ(status("Open/same").st_ino, status("sparse").st_ino);
    char target[64] = {};
    ASSERT_GT(readlink((root + "/Copy.app/Open/link").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "/etc/shadow") << "copied as a link, never followed";

    const int folder = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_TRUE(removeTree(folder, "Copy.app"));
    close(folder);
    EXPECT_NE(access((root + "/Copy.app").c_str(), F_OK), 0);
}

struct Refusal {
    const char* name;
    const char* item;  // given to another owner; a pipe made when it ends in "fifo"
};

class SecureTreeRefusalTest : public SecureTreeTest, public testing::WithParamInterface<Refusal> {};

TEST_P(SecureTreeRefusalTest, RefusesTheWholeCopy) {
    const std::string item = source + GetParam().item;
    if (item.ends_with("fifo"))
        ASSERT_EQ(mkfifo(item.c_str(), 0644), 0);
    else
        ASSERT_EQ(lchown(item.c_str(), 4242, 0), 0);
    EXPECT_EQ(copy(geteuid()), CopyOutcome::kRefused);
}

INSTANTIATE_TEST_SUITE_P(Items, SecureTreeRefusalTest,
                         testing::Values(Refusal{"AnotherOwnersFile", "/Open/run"},
                                         Refusal{"AnotherOwnersLink", "/Open/link"},
                                         Refusal{"Pipe", "/fifo"},
                                         Refusal{"AnotherOwnersSource", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qby::installhelper

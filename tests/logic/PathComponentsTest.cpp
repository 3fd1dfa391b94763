#include "foundation/PathComponents.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

TEST(PathComponents, SplitAndJoinBundlePaths) {
    const struct {
        const char* path;
        const char* last;
        const char* folder;
        const char* withoutExtension;
    } cases[] = {{"/d/Game.app", "Game.app", "/d", "/d/Game"},
                 {"/Game.app", "Game.app", "/", "/Game"},
                 {"/d/Game.K7.V9.app/", "Game.K7.V9.app", "/d", "/d/Game.K7.V9"},
                 {"Game.app", "Game.app", "", "Game"},
                 {"/d.x/Game", "Game", "/d.x", "/d.x/Game"},
                 {"/d/.hidden", ".hidden", "/d", "/d/.hidden"},
                 {"/", "/", "/", "/"},
                 {"", "", "", ""}};
    for (const auto& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(foundation::lastPathComponent(path), QString::fromUtf8(c.last)) << c.path;
        EXPECT_EQ(foundation::deletingLastPathComponent(path), QString::fromUtf8(c.folder))
            << c.path;
        EXPECT_EQ(foundation::deletingPathExtension(path), QString::fromUtf8(c.withoutExtension))
            << c.path;
    }
    EXPECT_EQ(foundation::appendingPathComponent("/d", ".Game.txt"), "/d/.Game.txt");
    EXPECT_EQ(foundation::appendingPathComponent("/", "Game.txt"), "/Game.txt");
    EXPECT_EQ(foundation::appendingPathComponent("", "Game.txt"), "Game.txt");
    // Nothing to append: the root stays the root, and trailing slashes go.
    EXPECT_EQ(foundation::appendingPathComponent("/", "/"), "/");
    EXPECT_EQ(foundation::appendingPathComponent("/d//", ""), "/d");
}

}  // namespace
}  // namespace qby

#include <gtest/gtest.h>

#include <QFileInfo>

#include "ShellFolders.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

TEST(XdgShellFolders, MapsTheThreeFoldersAndMakesThem) {
    testing::TemporaryHome home;
    XdgShellFolders folders;

    EXPECT_EQ(folders.GetFolderPath(ShellFolders::kStartMenu),
              home.path(QStringLiteral(".local/share/applications")));
    EXPECT_EQ(folders.GetFolderPath(ShellFolders::kFavorites),
              home.path(QStringLiteral("Favorites")));
    EXPECT_EQ(folders.GetFolderPath(ShellFolders::kDesktopDirectory),
              home.path(QStringLiteral("Desktop")));
    for (const char* made : {".local/share/applications", "Favorites", "Desktop"}) {
        EXPECT_TRUE(QFileInfo(home.path(QString::fromLatin1(made))).isDir()) << made;
    }
}

TEST(XdgShellFolders, TheDesktopFollowsUserDirs) {
    testing::TemporaryHome home;
    QDir().mkpath(home.path(QStringLiteral(".config")));
    QFile dirs(home.path(QStringLiteral(".config/user-dirs.dirs")));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/桌面\"\n");
    dirs.close();

    XdgShellFolders folders;
    EXPECT_EQ(folders.GetFolderPath(ShellFolders::kDesktopDirectory),
              home.path(QStringLiteral("桌面")));
}

TEST(XdgShellFolders, AFolderThatCannotBeMadeOrIsUnknownGivesNothing) {
    testing::TemporaryHome home;
    QFile blocker(home.path(QStringLiteral("Favorites")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    blocker.close();

    XdgShellFolders folders;
    EXPECT_EQ(folders.GetFolderPath(ShellFolders::kFavorites), QString());
    EXPECT_EQ(folders.GetFolderPath(0), QString());
    EXPECT_EQ(folders.GetFolderPath(-1), QString());
}

}  // namespace
}  // namespace tinko

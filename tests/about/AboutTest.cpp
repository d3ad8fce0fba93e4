#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <vector>

#include "AboutBox.h"
#include "Doubles.h"
#include "FileWriter.h"
#include "TemporaryHome.h"

// What this process syncs to disk, by the paths of the descriptors synced;
// with `syncFails`, a disk that fails to write.
std::vector<QString> synced;
bool syncFails = false;

extern "C" int fsync(int fd) {
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    synced.push_back(QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(fd)).symLinkTarget());
    if (syncFails) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}

namespace tinko {
namespace {

using testing::contentsOf;

class AtomicFileWriting : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QStringList entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // What writing `bytes` to `name` does: the empty string, or the reason
    // it gives for not doing it.
    QString write(const QString& target, const QByteArray& bytes) {
        try {
            writer.write(target, bytes);
            return QString();
        } catch (const FileWriteError& error) {
            return QString::fromUtf8(error.what());
        }
    }

    QTemporaryDir dir;
    AtomicFileWriter writer;
};

TEST_F(AtomicFileWriting, WritesAndReplacesWholeFilesAndLinksAreNeverFollowed) {
    EXPECT_EQ(write(path("a.url"), "first version, longer"), QString());
    EXPECT_EQ(write(path("a.url"), "second"), QString());
    EXPECT_EQ(contentsOf(path("a.url")), QByteArrayLiteral("second"));
    // Made as any new file of the user's, and the folder synced after the
    // rename that puts the file's name in it.
    for (const auto& [umask, mode] : {std::pair{022, 0644}, {077, 0600}, {002, 0664}}) {
        const mode_t before = ::umask(umask);
        synced.clear();
        EXPECT_EQ(write(path("a.url"), "second"), QString());
        ::umask(before);
        struct stat made {};
        ASSERT_EQ(::stat(QFile::encodeName(path("a.url")).constData(), &made), 0);
        EXPECT_EQ(made.st_mode & 07777, static_cast<mode_t>(mode)) << std::oct << umask;
        ASSERT_EQ(synced.size(), 2u);
        EXPECT_TRUE(QFileInfo(synced[0]).fileName().startsWith(QLatin1String(".tinko-")));
        EXPECT_EQ(synced[1], QFileInfo(dir.path()).canonicalFilePath());
    }

    QFile target(path("target.txt"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("keep me");
    target.close();
    QFile::link(path("target.txt"), path("link.url"));
    QFile::link(path("elsewhere.txt"), path("dangling.url"));
    EXPECT_EQ(write(path("link.url"), "new"), QString());
    EXPECT_EQ(write(path("dangling.url"), "new"), QString());
    EXPECT_EQ(contentsOf(path("target.txt")), QByteArrayLiteral("keep me"));
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere.txt")));
    EXPECT_FALSE(QFileInfo(path("link.url")).isSymLink());
    EXPECT_EQ(contentsOf(path("link.url")), QByteArrayLiteral("new"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("a.url"), QStringLiteral("dangling.url"),
                                      QStringLiteral("link.url"), QStringLiteral("target.txt")}))
        << "no temporary file left";
}

TEST_F(AtomicFileWriting, WhatCannotBeWrittenIsRefusedWithAReasonAndTheOldFileKept) {
    ASSERT_EQ(write(path("kept.url"), "old"), QString());
    QDir(dir.path()).mkdir(QStringLiteral("taken.url"));
    EXPECT_EQ(write(path("taken.url"), "x"), QStringLiteral("这个名字已被一个文件夹占用"));
    EXPECT_TRUE(QFileInfo(path("taken.url")).isDir());
    EXPECT_EQ(write(path("no/such/folder/a.url"), "x"), QStringLiteral("文件夹不存在"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.url")).constData(), 0600), 0);
    EXPECT_EQ(write(path("pipe.url"), "x"),
              QStringLiteral("这个名字已被一个不是文件的东西（设备或管道）占用"));

    // A folder one may not write in: by its mode, and for root, whom modes do
    // not stop, by acting as nobody meanwhile.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const int fsuid = setfsuid(65534);
    EXPECT_EQ(write(path("kept.url"), "new"), QStringLiteral("没有写入这个文件夹的权限"));
    setfsuid(fsuid);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    syncFails = true;  // nothing of the new file is left behind
    EXPECT_EQ(write(path("kept.url"), "new"), QStringLiteral("写入失败（错误代码 5）"));
    syncFails = false;
    EXPECT_EQ(contentsOf(path("kept.url")), QByteArrayLiteral("old"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("kept.url"), QStringLiteral("pipe.url"),
                                      QStringLiteral("taken.url")}));
}

const QByteArray kShortcut =
    QByteArrayLiteral("[InternetShortcut]\r\nURL=http://www.tinko.example\r\n");
const QString kThanks = QStringLiteral("inform: 感谢您对本软件的支持");

class AboutBoxTest : public ::testing::Test {
protected:
    void TearDown() override { delete about.form(); }

    Form1* box() {
        about.show();
        return about.form();
    }
    void click(const char* name) {
        auto* button = box()->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QString file(const char* relative) const { return home.path(QString::fromUtf8(relative)); }

    testing::TemporaryHome home;
    XdgShellFolders folders;
    AtomicFileWriter files;
    testing::RecordingMessages messages;
    AboutBox about{QStringLiteral("www.tinko.example"), folders, files, messages};
};

TEST_F(AboutBoxTest, TheBoxItsButtonsAndTabOrder) {
    Form1* form = box();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("产品版权与简介"));
    EXPECT_EQ(form->size(), QSize(266, 170));
    EXPECT_EQ(form->parentWidget(), nullptr);
    EXPECT_FALSE(form->isModal());
    EXPECT_NE(form->minimumSize(), form->maximumSize()) << "the box can be resized";
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(64, 64, 64));
    QApplication::setActiveWindow(form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    const std::pair<const char*, int> buttons[] = {{"把网页快捷方式添加到开始菜单", 16},
                                                   {"了解更多请到本产品官网", 64},
                                                   {"把网页快捷方式添加到桌面", 112}};
    for (const auto& [caption, top] : buttons) {  // the focus starts on the first
        auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(caption));
        EXPECT_EQ(button->geometry(), QRect(24, top, 193, 33));
        QTest::keyClick(button, Qt::Key_Tab);
    }
    form->showMinimized();
    EXPECT_EQ(box(), form) << "one box, shown again";
    EXPECT_FALSE(form->isMinimized()) << "and out of the taskbar";
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(about.form(), nullptr);
    EXPECT_NE(box(), nullptr) << "a closed box is made anew";
}

TEST_F(AboutBoxTest, EachButtonSavesItsShortcutAndThanksEveryTime) {
    QDir().mkpath(file(".config"));
    QFile dirs(file(".config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/桌面\"\n");  // a desktop of a Chinese session
    dirs.close();
    click("Command1");
    click("Command2");
    click("Command3");
    QFile edited(file("桌面/儿童学习网址导航.url"));
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("edited by hand, and much longer than a shortcut");
    edited.close();
    click("Command3");
    EXPECT_EQ(contentsOf(file(".local/share/applications/儿童学习网址导航.url")), kShortcut);
    EXPECT_EQ(contentsOf(file("Favorites/ 儿童学习网址导航.url")), kShortcut);
    EXPECT_FALSE(QFileInfo::exists(file("Favorites/儿童学习网址导航.url"))) << "the blank belongs";
    EXPECT_EQ(contentsOf(file("桌面/儿童学习网址导航.url")), kShortcut);
    EXPECT_EQ(messages.shown, (QStringList{kThanks, kThanks, kThanks, kThanks}));
}

TEST_F(AboutBoxTest, WhatCannotBeSavedIsReportedInChineseAndNothingWritten) {
    QFile blocker(file("Favorites"));  // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    click("Command2");
    QDir().mkpath(file("Desktop/儿童学习网址导航.url"));  // a folder by the shortcut's name
    click("Command3");
    EXPECT_EQ(
        messages.shown,
        (QStringList{QStringLiteral("warn: 无法保存网页快捷方式“ 儿童学习网址导航.url”：找不到或"
                                    "无法创建所需的文件夹。"),
                     QStringLiteral("warn: 无法保存网页快捷方式“%1”：这个名字已被一个文件夹占用")
                         .arg(file("Desktop/儿童学习网址导航.url"))}));
    EXPECT_EQ(contentsOf(file("Favorites")), QByteArray());
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/ 儿童学习网址导航.url")));
}

}  // namespace
}  // namespace tinko

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

#include "AboutBox.h"
#include "RecordingMessages.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

using testing::contentsOf;

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
    EXPECT_EQ(box(), form) << "one box, shown again";
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

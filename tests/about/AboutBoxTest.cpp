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
    QString startMenu(const char* name = "儿童学习网址导航.url") const {
        return home.path(QStringLiteral(".local/share/applications/") + QString::fromUtf8(name));
    }
    QString favorites(const char* name = " 儿童学习网址导航.url") const {
        return home.path(QStringLiteral("Favorites/") + QString::fromUtf8(name));
    }
    QString desktop(const char* name = "儿童学习网址导航.url") const {
        return home.path(QStringLiteral("Desktop/") + QString::fromUtf8(name));
    }

    testing::TemporaryHome home;
    XdgShellFolders folders;
    AtomicFileWriter files;
    testing::RecordingMessages messages;
    AboutBox about{QStringLiteral("www.tinko.example"), folders, files, messages};
};

TEST_F(AboutBoxTest, WindowButtonsAndTabOrder) {
    Form1* form = box();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("产品版权与简介"));
    EXPECT_EQ(form->size(), QSize(266, 170));
    EXPECT_EQ(form->parentWidget(), nullptr);
    EXPECT_FALSE(form->isModal());
    EXPECT_NE(form->minimumSize(), form->maximumSize()) << "the box can be resized";
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(64, 64, 64));
    struct Expected {
        const char* name;
        const char* caption;
        int top;
    };
    const Expected buttons[] = {{"Command1", "把网页快捷方式添加到开始菜单", 16},
                                {"Command2", "了解更多请到本产品官网", 64},
                                {"Command3", "把网页快捷方式添加到桌面", 112}};
    for (const Expected& expected : buttons) {
        auto* button = form->findChild<QPushButton*>(QString::fromLatin1(expected.name));
        ASSERT_NE(button, nullptr) << expected.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(expected.caption));
        EXPECT_EQ(button->geometry(), QRect(24, expected.top, 193, 33));
    }
    QApplication::setActiveWindow(form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("Command2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("Command3"));
}

TEST_F(AboutBoxTest, OneBoxIsShownAgainAndAClosedOneIsMadeAnew) {
    Form1* first = box();
    EXPECT_EQ(box(), first);
    EXPECT_TRUE(first->isVisible());
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(about.form(), nullptr);
    EXPECT_NE(box(), nullptr);
}

TEST_F(AboutBoxTest, EachButtonSavesItsShortcutAndThanks) {
    click("Command1");
    EXPECT_EQ(contentsOf(startMenu()), kShortcut);
    click("Command2");
    EXPECT_EQ(contentsOf(favorites()), kShortcut);
    EXPECT_FALSE(QFileInfo::exists(favorites("儿童学习网址导航.url"))) << "the blank belongs";
    click("Command3");
    EXPECT_EQ(contentsOf(desktop()), kShortcut);
    EXPECT_EQ(messages.shown, (QStringList{kThanks, kThanks, kThanks}));
}

TEST_F(AboutBoxTest, ASecondClickReplacesTheFileAndThanksAgain) {
    click("Command3");
    QFile file(desktop());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("edited by hand, and much longer than a shortcut");
    file.close();
    click("Command3");
    EXPECT_EQ(contentsOf(desktop()), kShortcut);
    EXPECT_EQ(messages.shown, (QStringList{kThanks, kThanks}));
}

TEST_F(AboutBoxTest, AReadOnlyFolderIsReportedAndItsFileKept) {
    click("Command3");
    QFile file(desktop());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("old");
    file.close();
    messages.shown.clear();
    testing::ReadOnlyFolder readOnly(home.path(QStringLiteral("Desktop")));
    if (!readOnly.made()) {
        GTEST_SKIP() << "cannot make a folder read-only here";
    }
    click("Command3");
    EXPECT_EQ(contentsOf(desktop()), QByteArrayLiteral("old"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith(QStringLiteral("warn: ")));
    EXPECT_TRUE(messages.shown[0].contains(desktop())) << messages.shown[0].toStdString();
}

TEST_F(AboutBoxTest, ANameTakenByAFolderOrALinkIsRefused) {
    QDir().mkpath(desktop());  // a folder by the shortcut's name
    click("Command3");
    EXPECT_TRUE(QFileInfo(desktop()).isDir());

    QDir().mkpath(home.path(QStringLiteral("Favorites")));
    const QString elsewhere = home.path(QStringLiteral("elsewhere.txt"));
    QFile::link(elsewhere, favorites());
    click("Command2");
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_TRUE(QFileInfo(favorites()).isSymLink());

    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[0].startsWith(QStringLiteral("warn: ")));
    EXPECT_TRUE(messages.shown[1].startsWith(QStringLiteral("warn: ")));
}

TEST_F(AboutBoxTest, AFolderThatCannotBeMadeIsReportedAndNothingWritten) {
    QFile blocker(home.path(QStringLiteral("Favorites")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    click("Command2");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith(QStringLiteral("warn: ")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/ 儿童学习网址导航.url")));
    EXPECT_EQ(contentsOf(home.path(QStringLiteral("Favorites"))), QByteArray());
}

TEST_F(AboutBoxTest, AnUnwritableHomeIsReportedByEveryButton) {
    testing::ReadOnlyFolder readOnly(home.path());
    if (!readOnly.made()) {
        GTEST_SKIP() << "cannot make a folder read-only here";
    }
    click("Command1");
    click("Command2");
    click("Command3");
    ASSERT_EQ(messages.shown.size(), 3);
    for (const QString& shown : messages.shown) {
        EXPECT_TRUE(shown.startsWith(QStringLiteral("warn: "))) << shown.toStdString();
    }
    EXPECT_TRUE(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

}  // namespace
}  // namespace tinko

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTest>

#include "MainFormFixture.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

class Commands : public testing::MainFormTest {
protected:
    void SetUp() override {
        SiteHosts hosts;
        hosts.maker = QStringLiteral("m.test");
        hosts.songs = QStringLiteral("s.test");
        hosts.radio = QStringLiteral("r.test");
        hosts.television = QStringLiteral("t.test");
        hosts.music = QStringLiteral("p.test");
        hosts.video = QStringLiteral("v.test");
        hosts.babyGoods = QStringLiteral("g.test");
        hosts.navigation = QStringLiteral("n.test");
        makeWindow(savedPianoProperties(), hosts);
    }

    // Clicks a button or triggers a menu item, as the user would.
    void run(const QString& name) {
        if (QPushButton* pushButton = window->findChild<QPushButton*>(name)) {
            QTest::mouseClick(pushButton, Qt::LeftButton);
        } else if (auto* action = window->findChild<QAction*>(name)) {
            action->trigger();
        } else {
            FAIL() << "no control " << name.toStdString();
        }
    }

    testing::TemporaryHome home;  // the about box writes nowhere real
};

TEST_F(Commands, EveryBrowserCommandOpensExactlyItsAddress) {
    const std::pair<const char*, const char*> expected[] = {
        {"Command1", "http://s.test/flash/19608.swf"},
        {"Command3", "http://m.test/"},
        {"Command4", "http://p.test/"},
        {"Command5", "http://v.test/live/ahws/?site=pptv"},
        {"Command7", "http://m.test/tanqing"},
        {"Command8", "http://g.test/subject/332/"},
        {"Command9", "http://m.test/ertonggouwu"},
        {"Command10", "http://r.test/fmv3.html?from=app"},
        {"Command11", "http://t.test/live/cctvchild/"},
        {"两只老虎钢琴谱曲", "http://s.test/flash/18339.swf"},
        {"外婆的澎湖湾", "http://s.test/flash/110.swf"},
        {"虫儿飞简易钢琴谱子", "http://s.test/flash/14622.swf"},
        {"生日快乐", "http://s.test/flash/21132.swf"},
        {"铃儿响叮当", "http://s.test/flash/15898.swf"},
        {"世上只有妈妈好", "http://s.test/flash/21882.swf"},
        {"小星星钢琴谱曲", "http://s.test/flash/18311.swf"},
        {"更多资源", "http://m.test/gengduoziyuan"},
        {"儿童360", "http://n.test/index.html"},
        {"育儿亲子独立博客", "http://m.test/wordpress/"},
        {"儿童资源下载", "http://m.test/gangqin4"},
    };
    QStringList wanted;
    for (const auto& [name, address] : expected) {
        run(QString::fromUtf8(name));
        wanted << QString::fromUtf8(address);
    }
    EXPECT_EQ(browser->addresses(), wanted);
    EXPECT_TRUE(externalBrowser.opened.isEmpty());
    EXPECT_EQ(aboutBox.form(), nullptr);
}

TEST_F(Commands, TheSameCommandTwiceNavigatesTwice) {
    run(QStringLiteral("Command5"));
    run(QStringLiteral("Command5"));
    EXPECT_EQ(browser->addresses(),
              (QStringList{QStringLiteral("http://v.test/live/ahws/?site=pptv"),
                           QStringLiteral("http://v.test/live/ahws/?site=pptv")}));
}

TEST_F(Commands, BothAboutCommandsShowTheOneAboutBox) {
    run(QStringLiteral("Command2"));
    Form1* first = aboutBox.form();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    run(QStringLiteral("版权信息"));
    EXPECT_EQ(aboutBox.form(), first);
    int boxes = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        boxes += top->objectName() == QStringLiteral("Form1") ? 1 : 0;
    }
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(browser->addresses().isEmpty());
}

TEST_F(Commands, TheAboutBoxStaysWhenTheMainWindowCloses) {
    window->show();
    run(QStringLiteral("Command2"));
    window->close();
    ASSERT_NE(aboutBox.form(), nullptr);
    EXPECT_TRUE(aboutBox.form()->isVisible());
}

TEST_F(Commands, TheUpdateCommandMinimizesAndOpensTheUsersBrowser) {
    window->show();
    run(QStringLiteral("软件在线更新"));
    EXPECT_TRUE(window->windowState().testFlag(Qt::WindowMinimized));
    EXPECT_EQ(externalBrowser.opened, QList<QUrl>{QUrl(QStringLiteral("http://m.test/gangqin5"))});
    EXPECT_TRUE(browser->addresses().isEmpty());
}

TEST_F(Commands, AFailingUserBrowserIsIgnored) {
    externalBrowser.succeeds = false;
    EXPECT_NO_FATAL_FAILURE(run(QStringLiteral("软件在线更新")));
    EXPECT_EQ(externalBrowser.opened.size(), 1);
}

TEST_F(Commands, AfterACommandTheKeysPlayThePianoAgain) {
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QPushButton* command = button("Command3");
    command->setFocus(Qt::TabFocusReason);
    QTest::keyClick(command, Qt::Key_Space);  // runs it, as a click does
    EXPECT_EQ(browser->addresses().size(), 1);
    EXPECT_TRUE(piano->hasFocus());

    midi.clearSent();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // does not run it again
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K);
    EXPECT_EQ(browser->addresses().size(), 1);
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00");
}

}  // namespace
}  // namespace tinko

#include <QAction>
#include <QApplication>
#include <QTest>

#include "MainFormFixture.h"
#include "SiteCommands.h"
#include "TemporaryHome.h"

namespace tinko {
namespace {

class Commands : public testing::MainFormTest {
protected:
    void SetUp() override {
        const SiteHosts hosts{QStringLiteral("m.test"), QStringLiteral("s.test"),
                              QStringLiteral("r.test"), QStringLiteral("t.test"),
                              QStringLiteral("p.test"), QStringLiteral("v.test"),
                              QStringLiteral("g.test"), QStringLiteral("n.test")};
        makeWindow(savedPianoProperties(), hosts);
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Clicks a button or triggers a menu item, as the user would.
    void run(const QString& name) {
        if (QPushButton* pushButton = window->findChild<QPushButton*>(name)) {
            pushButton->setFocus(Qt::TabFocusReason);
            QTest::mouseClick(pushButton, Qt::LeftButton);
        } else if (auto* action = window->findChild<QAction*>(name)) {
            combo->setFocus(Qt::MouseFocusReason);  // the keys elsewhere, as after a click
            action->trigger();
        } else {
            FAIL() << "no control " << name.toStdString();
        }
    }

    testing::TemporaryHome home;  // the about box writes nowhere real
};

TEST_F(Commands, EachCommandDoesItsWorkAndGivesTheKeysBackToThePiano) {
    struct Case {
        const char* control;
        const char* browsed;   // address opened in the window, or empty
        const char* external;  // address opened in the user's browser, or empty
        bool about;
    };
    const Case cases[] = {
        {"Command1", "http://s.test/flash/19608.swf", "", false},
        {"Command2", "", "", true},
        {"Command3", "http://m.test/", "", false},
        {"Command5", "http://v.test/live/ahws/?site=pptv", "", false},
        {"Command7", "http://m.test/tanqing", "", false},
        {"Command10", "http://r.test/fmv3.html?from=app", "", false},
        {"小星星钢琴谱曲", "http://s.test/flash/18311.swf", "", false},
        {"儿童360", "http://n.test/index.html", "", false},
        {"版权信息", "", "", true},
        {"软件在线更新", "", "http://m.test/gangqin5", false},
    };
    for (const Case& c : cases) {
        const QString name = QString::fromUtf8(c.control);
        browser->clear();
        externalBrowser.opened.clear();
        run(name);
        EXPECT_EQ(browser->addresses().value(0), QString::fromUtf8(c.browsed)) << c.control;
        EXPECT_EQ(externalBrowser.opened.value(0), QUrl(QString::fromUtf8(c.external)))
            << c.control;
        EXPECT_EQ(aboutBox.form() != nullptr && aboutBox.form()->isVisible(), c.about) << c.control;
        EXPECT_EQ(window->focusWidget(), picture) << c.control << " kept the keys";
        delete aboutBox.form();
    }
    EXPECT_TRUE(window->windowState().testFlag(Qt::WindowMinimized)) << "out of the browser's way";

    // Every one of the 23 commands is wired to its action.
    browser->clear();
    externalBrowser.opened.clear();
    for (const SiteCommand& command : kSiteCommands) {
        run(QString::fromUtf8(command.control));
    }
    EXPECT_EQ(browser->addresses().size(), 20);
    EXPECT_EQ(browser->addresses().count(QStringLiteral("http://s.test/flash/19608.swf")), 1);
    EXPECT_EQ(externalBrowser.opened.size(), 1);
}

TEST_F(Commands, BothAboutCommandsShowTheOneBoxWhichOutlivesTheWindow) {
    run(QStringLiteral("Command2"));
    Form1* box = aboutBox.form();
    ASSERT_NE(box, nullptr);
    run(QStringLiteral("版权信息"));
    EXPECT_EQ(aboutBox.form(), box);
    const QWidgetList windows = QApplication::topLevelWidgets();
    EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                            [](QWidget* w) { return w->objectName() == QLatin1String("Form1"); }),
              1);
    window->close();
    ASSERT_NE(aboutBox.form(), nullptr);
    EXPECT_TRUE(aboutBox.form()->isVisible());
}

}  // namespace
}  // namespace tinko

#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "MainFormFixture.h"
#include "MainFormLayout.h"

namespace tinko {
namespace {

class MainFormLayoutTest : public testing::MainFormTest {
protected:
    void SetUp() override { makeWindow(); }
};

TEST_F(MainFormLayoutTest, CaptionNamesTheMakersHost) {
    EXPECT_EQ(
        window->windowTitle(),
        QStringLiteral("Tinko电脑键盘钢琴（快乐童年，快乐学习，如果你觉得不错，请发给你身边5个"
                       "最好的朋友,儿童学习网址大全www.tinko.example欢迎您！）"));
    SiteHosts hosts = SiteHosts::defaults();
    hosts.maker = QStringLiteral("piano.example.org");
    window.reset();
    makeWindow(savedPianoProperties(), hosts);
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("大全piano.example.org欢迎您")));
}

TEST_F(MainFormLayoutTest, FixedBorderWithOnlyACloseButton) {
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    window->resize(400, 300);
    EXPECT_EQ(window->centralWidget()->size(), QSize(1148, 693));
}

TEST_F(MainFormLayoutTest, ClientAreaSizePlaceAndColour) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QWidget* client = window->centralWidget();
    EXPECT_EQ(client->size(), QSize(1148, 693));
    EXPECT_EQ(client->mapToGlobal(QPoint(0, 0)), QPoint(111, 41));
    const QImage shot = client->grab().toImage();
    EXPECT_EQ(shot.pixel(1147, 100), qRgb(64, 64, 64));  // right of the keyboard
    EXPECT_EQ(shot.pixel(4, 300), qRgb(64, 64, 64));     // left of the browser
    EXPECT_EQ(shot.pixel(600, 690), qRgb(64, 64, 64));   // below it
}

TEST_F(MainFormLayoutTest, EveryControlWhereItBelongs) {
    struct Placement {
        const char* name;
        QRect geometry;
        const char* caption;
    };
    const Placement placements[] = {
        {"Piano1", QRect(0, 24, 1145, 178), nullptr},
        {"Combo1", QRect(0, 0, 1145, 21), nullptr},
        {"WebBrowser1", QRect(8, 248, 1129, 425), nullptr},
        {"Command1", QRect(8, 208, 113, 33), "数鸭子简易谱曲"},
        {"Command2", QRect(1024, 208, 113, 33), "TinkoV9.9.9版本"},
        {"Command3", QRect(368, 208, 113, 33), "儿 童 学 习 网 址"},
        {"Command4", QRect(248, 208, 113, 33), "音 乐 随 时 听"},
        {"Command5", QRect(128, 208, 113, 33), "360 电 视 直 播"},
        {"Command7", QRect(488, 208, 81, 33), "返回弹琴状态"},
        {"Command8", QRect(576, 208, 99, 33), "儿童安全教育"},
        {"Command9", QRect(680, 208, 99, 33), "儿童购物频道"},
        {"Command10", QRect(784, 208, 113, 33), "瓦贝斯儿童电台"},
        {"Command11", QRect(904, 208, 113, 33), "CCTV 少 儿 直 播"},
    };
    for (const Placement& placement : placements) {
        SCOPED_TRACE(placement.name);
        auto* control = window->findChild<QWidget*>(QString::fromLatin1(placement.name));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget(), window->centralWidget());
        EXPECT_EQ(control->geometry(), placement.geometry);
        EXPECT_TRUE(control->isEnabled());
        if (placement.caption != nullptr) {
            EXPECT_EQ(static_cast<QPushButton*>(control)->text(),
                      QString::fromUtf8(placement.caption));
        }
    }
    EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("Command6")), nullptr);
    EXPECT_EQ(window->centralWidget()->findChildren<QPushButton*>().size(), 10);
    EXPECT_FALSE(combo->isEditable());
}

TEST_F(MainFormLayoutTest, EveryCaptionHasItsGlyphs) {
    const QFontMetrics metrics(window->font());
    for (QPushButton* command : window->findChildren<QPushButton*>()) {
        for (const QChar character : command->text()) {
            EXPECT_TRUE(metrics.inFont(character))
                << "no glyph for U+" << std::hex << character.unicode() << " in "
                << window->font().family().toStdString();
        }
    }
    EXPECT_DOUBLE_EQ(window->font().pointSizeF(), 8.25);
}

TEST_F(MainFormLayoutTest, MenuBarHasTwoSubmenusAndThreeCommands) {
    const QList<QAction*> entries = window->menuBar()->actions();
    ASSERT_EQ(entries.size(), 5);
    const QStringList captions = {QStringLiteral("儿童钢琴谱曲实例"), QStringLiteral("360儿童"),
                                  QStringLiteral("育儿亲子独立博客"),
                                  QStringLiteral("儿童资源下载"), QStringLiteral("最新版本与版权")};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(entries[i]->text(), captions[i]);
    }
    EXPECT_EQ(entries[1]->objectName(), QStringLiteral("儿童360"));
    EXPECT_EQ(entries[2]->objectName(), captions[2]);
    for (int command : {1, 2, 3}) {
        EXPECT_EQ(entries[command]->menu(), nullptr) << "a command on the bar, not a menu";
    }
    ASSERT_NE(entries[0]->menu(), nullptr);
    ASSERT_NE(entries[4]->menu(), nullptr);

    QStringList songs;
    for (QAction* item : entries[0]->menu()->actions()) {
        songs << item->text();
        EXPECT_EQ(item->objectName(), item->text());
        EXPECT_FALSE(item->isSeparator());
        EXPECT_TRUE(item->shortcut().isEmpty());
        EXPECT_FALSE(item->isCheckable());
    }
    EXPECT_EQ(songs,
              (QStringList{QStringLiteral("两只老虎钢琴谱曲"), QStringLiteral("外婆的澎湖湾"),
                           QStringLiteral("虫儿飞简易钢琴谱子"), QStringLiteral("生日快乐"),
                           QStringLiteral("铃儿响叮当"), QStringLiteral("世上只有妈妈好"),
                           QStringLiteral("小星星钢琴谱曲"), QStringLiteral("更多资源")}));
    QStringList about;
    for (QAction* item : entries[4]->menu()->actions()) {
        about << item->text();
    }
    EXPECT_EQ(about, (QStringList{QStringLiteral("软件在线更新"), QStringLiteral("版权信息")}));
}

TEST_F(MainFormLayoutTest, PianoHasTheFocusAndTabFollowsTheNames) {
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_TRUE(piano->hasFocus());

    const auto focusedName = [] {
        QWidget* focused = QApplication::focusWidget();
        if (focused != nullptr && focused->objectName() == QStringLiteral("Picture1")) {
            return QStringLiteral("Piano1");
        }
        return focused != nullptr ? focused->objectName() : QString();
    };
    const QStringList forward = {
        QStringLiteral("Combo1"),   QStringLiteral("WebBrowser1"), QStringLiteral("Command1"),
        QStringLiteral("Command2"), QStringLiteral("Command3"),    QStringLiteral("Command4"),
        QStringLiteral("Command5"), QStringLiteral("Command7"),    QStringLiteral("Command8"),
        QStringLiteral("Command9"), QStringLiteral("Command10"),   QStringLiteral("Command11")};
    for (const QString& expected : forward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(focusedName(), expected);
    }
    button("Command1")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(focusedName(), QStringLiteral("Command2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(focusedName(), QStringLiteral("Command3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), QStringLiteral("Command2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), QStringLiteral("Command1"));
}

TEST_F(MainFormLayoutTest, BrowserStartsEmpty) {
    EXPECT_TRUE(browser->addresses().isEmpty());
}

}  // namespace
}  // namespace tinko

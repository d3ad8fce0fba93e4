#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "MainFormFixture.h"

namespace tinko {
namespace {

using MainFormLayout = testing::MainFormTest;

TEST_F(MainFormLayout, TheWindowItsCaptionBorderPlaceAndColours) {
    SiteHosts hosts = SiteHosts::defaults();
    hosts.maker = QStringLiteral("piano.example.org");
    makeWindow(savedPianoProperties(), hosts);
    EXPECT_EQ(
        window->windowTitle(),
        QStringLiteral("Tinko电脑键盘钢琴（快乐童年，快乐学习，如果你觉得不错，请发给你身边5个"
                       "最好的朋友,儿童学习网址大全piano.example.org欢迎您！）"));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
    window->resize(400, 300);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(window->focusWidget(), picture) << "the keys play at once";
    QWidget* client = window->centralWidget();
    EXPECT_EQ(client->size(), QSize(1148, 693));
    EXPECT_EQ(client->mapToGlobal(QPoint(0, 0)), QPoint(111, 41));
    const QImage shot = window->grab().toImage();
    const int menuHeight = window->menuBar()->height();
    for (const QPoint& strip : {QPoint(1147, 100), QPoint(4, 300), QPoint(600, 690)}) {
        EXPECT_EQ(shot.pixel(strip + QPoint(0, menuHeight)), qRgb(64, 64, 64));
    }
    // The menu bar keeps the desktop's own colours.
    const QColor desktop = QApplication::palette(window->menuBar()).color(QPalette::Window);
    EXPECT_EQ(window->menuBar()->palette().color(QPalette::Window), desktop);
    EXPECT_NE(desktop, QColor(64, 64, 64));
    EXPECT_EQ(shot.pixel(1140, menuHeight / 2), desktop.rgb()) << "right end of the menu bar";
}

TEST_F(MainFormLayout, EveryControlWhereItBelongs) {
    makeWindow();
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
    const QFontMetrics metrics(window->font());
    for (const Placement& placement : placements) {
        auto* control = window->findChild<QWidget*>(QString::fromLatin1(placement.name));
        ASSERT_NE(control, nullptr) << placement.name;
        EXPECT_EQ(control->parentWidget(), window->centralWidget()) << placement.name;
        EXPECT_EQ(control->geometry(), placement.geometry) << placement.name;
        if (placement.caption != nullptr) {
            const QString caption = static_cast<QPushButton*>(control)->text();
            EXPECT_EQ(caption, QString::fromUtf8(placement.caption));
            for (const QChar character : caption) {  // the font has every glyph
                EXPECT_TRUE(metrics.inFont(character)) << placement.name;
            }
        }
    }
    EXPECT_EQ(window->centralWidget()->findChildren<QPushButton*>().size(), 10);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_DOUBLE_EQ(window->font().pointSizeF(), 8.25);
}

TEST_F(MainFormLayout, MenuBarHasTwoSubmenusAndThreeCommands) {
    makeWindow();
    QStringList bar;
    QStringList items;
    for (QAction* entry : window->menuBar()->actions()) {
        bar << entry->objectName() + (entry->menu() != nullptr ? QStringLiteral("/") : QString());
        EXPECT_EQ(entry->text() == QStringLiteral("360儿童"),
                  entry->objectName() == QStringLiteral("儿童360"));
        if (entry->menu() != nullptr) {
            for (QAction* item : entry->menu()->actions()) {
                EXPECT_EQ(item->objectName(), item->text());
                items << item->text();
            }
        }
    }
    EXPECT_EQ(
        bar.join(u' '),
        QStringLiteral("儿童钢琴谱曲实例/ 儿童360 育儿亲子独立博客 儿童资源下载 最新版本与版权/"));
    EXPECT_EQ(items.join(u' '),
              QStringLiteral("两只老虎钢琴谱曲 外婆的澎湖湾 虫儿飞简易钢琴谱子 生日快乐 铃儿响叮当 "
                             "世上只有妈妈好 小星星钢琴谱曲 更多资源 软件在线更新 版权信息"));
}

}  // namespace
}  // namespace tinko

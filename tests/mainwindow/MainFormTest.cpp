#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolTip>

#include "ErrorReport.h"
#include "InputScript.h"
#include "InstrumentCatalogue.h"
#include "KeyNotes.h"
#include "LazyWebBrowser.h"
#include "MainFormFixture.h"
#include "SiteCommands.h"
#include "TemporaryHome.h"
#include "Wait.h"

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

TEST_F(MainFormLayout, MenuBarHasFourSubmenusAndThreeCommands) {
    makeWindow();
    QStringList bar;
    QStringList items;
    for (QAction* entry : window->menuBar()->actions()) {
        bar << entry->objectName() + (entry->menu() != nullptr ? QStringLiteral("/") : QString());
        EXPECT_EQ(entry->text() == QStringLiteral("360儿童"),
                  entry->objectName() == QStringLiteral("儿童360"));
        if (entry->menu() != nullptr) {
            for (QAction* item : entry->menu()->actions()) {
                if (item->isSeparator()) {
                    continue;
                }
                EXPECT_EQ(item->objectName(), item->text());
                items << item->text();
            }
        }
    }
    EXPECT_EQ(bar.join(u' '), QStringLiteral("儿童钢琴谱曲实例/ 儿童360 育儿亲子独立博客 "
                                             "儿童资源下载 最新版本与版权/ 学弹儿歌/ 家长/"));
    EXPECT_EQ(
        items.join(u' ').toStdString(),
        QStringLiteral("两只老虎钢琴谱曲 外婆的澎湖湾 虫儿飞简易钢琴谱子 生日快乐 铃儿响叮当 "
                       "世上只有妈妈好 小星星钢琴谱曲 更多资源 软件在线更新 版权信息 "
                       "听一遍 跟着灯弹 一键一音 停止 琴键标记 儿童锁 MIDI直通 自动连接MIDI键盘")
            .toStdString());
    // The grown-ups' entry names the MIDI keyboards connected now, in the
    // tool tip shown where it is.
    QMenuBar* menuBar = window->menuBar();
    const QRect parents =
        menuBar->actionGeometry(window->findChild<QMenu*>(QStringLiteral("家长"))->menuAction());
    const auto toolTipAt = [&](QPoint at) {
        QToolTip::hideText();
        EXPECT_TRUE(testing::waitUntil([] { return !QToolTip::isVisible(); }));
        QHelpEvent help(QEvent::ToolTip, at, menuBar->mapToGlobal(at));
        QApplication::sendEvent(menuBar, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    window->show();
    EXPECT_EQ(toolTipAt(parents.center()), QStringLiteral("没有连接MIDI键盘"));
    midiPorts.connectKeyboards({"Keystation 61 MIDI 1", "Pads"});
    QCoreApplication::processEvents();
    EXPECT_EQ(toolTipAt(parents.center()),
              QStringLiteral("已连接的MIDI键盘：Keystation 61 MIDI 1、Pads"));
    midiPorts.connectKeyboards({});
    QCoreApplication::processEvents();
    EXPECT_EQ(toolTipAt(parents.center()), QStringLiteral("没有连接MIDI键盘"));
    EXPECT_EQ(toolTipAt(parents.center() - QPoint(parents.width(), 0)), QString())
        << "another entry";
}

using InstrumentChoice = testing::MainFormTest;

TEST_F(InstrumentChoice, StartUpOpensTheDeviceListsAllInstrumentsAndSendsTheStoredOneTwice) {
    struct Case {
        QVariant stored;
        int selected;
        const char* sent;
    };
    const Case cases[] = {
        {QVariant(), 0, "C0 00, C0 00"},
        {73, 73, "C0 49, C0 49"},
        {128, -1, "C0 80"},  // not offered by the list: selected and sent no more
        {-1, -1, "C0 FF"},
        {2147483647, -1, ""},                          // too large to send at all
        {QStringLiteral("piano"), 0, "C0 00, C0 00"},  // unreadable: the default
    };
    // Both bad settings are reported, and the window opens all the same.
    QStringList reported;
    setErrorReporter([&](const std::exception& error) { reported << error.what(); });
    for (const Case& c : cases) {
        PropertyBag saved = savedPianoProperties();
        if (c.stored.isValid()) {
            saved.WriteProperty(QStringLiteral("mYinSe"), c.stored);
        }
        midi.clearSent();
        makeWindow(saved);
        EXPECT_TRUE(midi.isOpen());
        EXPECT_EQ(midi.lastDeviceId(), 0);
        EXPECT_TRUE(piano->AutoPlay());
        EXPECT_EQ(combo->count(), 128);
        EXPECT_EQ(combo->itemText(127), instrumentName(127));
        EXPECT_EQ(combo->currentIndex(), c.selected) << c.stored.toInt();
        EXPECT_EQ(midi.sentText(), c.sent) << c.stored.toInt();
        window.reset();
    }
    setErrorReporter(nullptr);
    ASSERT_EQ(reported.size(), 2);
    EXPECT_TRUE(reported[0].startsWith(QStringLiteral("溢出"))) << reported[0].toStdString();
    EXPECT_TRUE(reported[1].startsWith(QStringLiteral("类型不匹配"))) << reported[1].toStdString();
}

TEST_F(InstrumentChoice, PickingAnEntrySendsItAndGivesTheKeysBack) {
    makeWindow();
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    combo->setFocus(Qt::MouseFocusReason);
    combo->setCurrentIndex(39);
    midi.clearSent();

    QTest::keyClick(combo, Qt::Key_Down);  // the user moves to entry 40
    emit combo->activated(40);             // and picks it again
    // A letter now plays instead of choosing an instrument by its name.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K);
    EXPECT_EQ(combo->currentIndex(), 40);
    // A MIDI keyboard on another channel plays it too; one that chooses the
    // keyboard's own instrument is shown in the list.
    midiPorts.play({0x643C92, 0x10C0});
    QCoreApplication::processEvents();
    EXPECT_EQ(midi.sentText(), "C0 28, C0 28, 90 3C 70, 90 3C 00, C2 28, 92 3C 64, C0 10");
    EXPECT_EQ(combo->currentIndex(), 16);
    EXPECT_EQ(piano->mYinSe(), 0) << "the choice is not stored";
}

TEST_F(InstrumentChoice, ClosingClosesTheDeviceWithoutLettingKeysGo) {
    makeWindow();
    window->show();
    piano->selc(60);
    emit combo->activated(40);
    window->findChild<QAction*>(QStringLiteral("MIDI直通"))->setChecked(true);
    auto* autoConnect = window->findChild<QAction*>(QStringLiteral("自动连接MIDI键盘"));
    EXPECT_TRUE(autoConnect->isChecked() && midiPorts.autoConnect) << "on at first";
    autoConnect->setChecked(false);
    EXPECT_FALSE(midiPorts.autoConnect);
    midi.clearSent();
    window->close();
    EXPECT_FALSE(midi.isOpen());
    EXPECT_EQ(midi.closeCalls(), 1);
    EXPECT_EQ(midi.sentText(), "");
    // The next start begins with the stored instrument again.
    window.reset();
    makeWindow();
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(midi.sentText(), "C0 00, C0 00");
    // A grown-up's MIDI thru is kept, and keyboards left unconnected.
    EXPECT_TRUE(window->findChild<QAction*>(QStringLiteral("MIDI直通"))->isChecked());
    EXPECT_TRUE(midiPorts.thru());
    midiPorts.autoConnect = true;
    window.reset();
    makeWindow();
    EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("自动连接MIDI键盘"))->isChecked());
    EXPECT_FALSE(midiPorts.autoConnect);
}

TEST(BrowserSetUp, TheUsersOwnOpenGlChoiceIsKept) {
    qputenv("QT_XCB_GL_INTEGRATION", "xcb_egl");
    LazyWebBrowser::prepareApplication();
    EXPECT_EQ(qgetenv("QT_XCB_GL_INTEGRATION"), "xcb_egl");
}

TEST(KeyNotes, ThirtySixKeysPlayTheWhiteKeysFromC2ToC7AndNoOtherCodePlays) {
    const char* keys = "ZXCVBNMASDFGHJKLQWERTYUIOP1234567890";
    const int notes[] = {36, 38, 40, 41, 43, 45, 47, 48, 50, 52, 53, 55, 57, 59, 60, 62, 64, 65,
                         67, 69, 71, 72, 74, 76, 77, 79, 81, 83, 84, 86, 88, 89, 91, 93, 95, 96};
    for (int i = 0; i < 36; ++i) {
        EXPECT_EQ(GetKeyNote(keys[i], 0), notes[i]) << keys[i];
        EXPECT_EQ(GetKeyNote(keys[i], 7), notes[i]) << keys[i] << " with every shift key";
    }
    int playing = 0;
    for (int code = -32768; code <= 32767; ++code) {
        playing += GetKeyNote(static_cast<std::int16_t>(code), 0) != 0 ? 1 : 0;
    }
    EXPECT_EQ(playing, 36);
}

using ComputerKeyboard = testing::MainFormTest;

TEST_F(ComputerKeyboard, KeysPlayTheirNotesOnceWhileHeld) {
    struct Case {
        const char* keys;
        const char* sent;
    };
    const Case cases[] = {
        {"key A; repeat A; repeat A; key Q; up A; up Q", "90 30 70, 90 40 70, 90 30 00, 90 40 00"},
        {"key Z; up Z; key Shift+K; up Shift+K; key Shift+); up Shift+)",  // Shift changes nothing
         "90 24 70, 90 24 00, 90 3C 70, 90 3C 00, 90 60 70, 90 60 00"},
        {"key ,; up ,; key Space; key Left; key F5; key Num+1; up Num+1", ""},  // no notes
        {"up L", "90 3E 00"},  // a release whose press was never seen
        // A note the mouse holds sounds on until the mouse lets it go.
        // A second release of K, its press long gone, cuts nothing either.
        {"press 510 150; key K; up K; up K; release 510 150", "90 3C 70, 90 3C 00"},
    };
    for (const Case& c : cases) {
        makeWindow();
        midi.clearSent();
        const QImage clean = piano->grab().toImage();
        testing::InputScript(*picture).play(QString::fromLatin1(c.keys));
        EXPECT_EQ(midi.sentText(), c.sent) << c.keys;
        EXPECT_EQ(piano->grab().toImage(), clean) << c.keys;
    }
}

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

}  // namespace
}  // namespace tinko

#include "MainFormLayout.h"

#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QWidget>

namespace tinko {

const std::array<CommandButton, 10> kCommandButtons = {{
    {"Command1", "数鸭子简易谱曲", 120, 3120, 1695, 495},
    {"Command2", "TinkoV9.9.9版本", 15360, 3120, 1695, 495},
    {"Command3", "儿 童 学 习 网 址", 5520, 3120, 1695, 495},
    {"Command4", "音 乐 随 时 听", 3720, 3120, 1695, 495},
    {"Command5", "360 电 视 直 播", 1920, 3120, 1695, 495},
    {"Command7", "返回弹琴状态", 7320, 3120, 1215, 495},
    {"Command8", "儿童安全教育", 8640, 3120, 1495, 495},
    {"Command9", "儿童购物频道", 10200, 3120, 1495, 495},
    {"Command10", "瓦贝斯儿童电台", 11760, 3120, 1695, 495},
    {"Command11", "CCTV 少 儿 直 播", 13560, 3120, 1695, 495},
}};

QString mainFormCaption(const QString& makerHost) {
    return QStringLiteral(
               "Tinko电脑键盘钢琴（快乐童年，快乐学习，如果你觉得不错，"
               "请发给你身边5个最好的朋友,儿童学习网址大全") +
           makerHost + QStringLiteral("欢迎您！）");
}

namespace {

void addItem(QWidget& menu, const QString& caption, const QString& name) {
    auto* action = new QAction(caption, &menu);
    action->setObjectName(name);
    menu.addAction(action);
}

void addItem(QWidget& menu, const QString& caption) {
    addItem(menu, caption, caption);
}

QMenu* addSubmenu(QMenuBar& menuBar, const QString& caption, const QStringList& items) {
    QMenu* menu = menuBar.addMenu(caption);
    menu->setObjectName(caption);
    menu->menuAction()->setObjectName(caption);
    for (const QString& item : items) {
        addItem(*menu, item);
    }
    return menu;
}

}  // namespace

void buildMainMenu(QMenuBar& menuBar) {
    addSubmenu(menuBar, QStringLiteral("儿童钢琴谱曲实例"),
               {QStringLiteral("两只老虎钢琴谱曲"), QStringLiteral("外婆的澎湖湾"),
                QStringLiteral("虫儿飞简易钢琴谱子"), QStringLiteral("生日快乐"),
                QStringLiteral("铃儿响叮当"), QStringLiteral("世上只有妈妈好"),
                QStringLiteral("小星星钢琴谱曲"), QStringLiteral("更多资源")});
    addItem(menuBar, QStringLiteral("360儿童"), QStringLiteral("儿童360"));
    addItem(menuBar, QStringLiteral("育儿亲子独立博客"));
    addItem(menuBar, QStringLiteral("儿童资源下载"));
    addSubmenu(menuBar, QStringLiteral("最新版本与版权"),
               {QStringLiteral("软件在线更新"), QStringLiteral("版权信息")});
}

void applyMainFormFont(QWidget& window) {
    const QStringList families = QFontDatabase::families();
    QFont font;
    if (families.contains(QStringLiteral("Tahoma"))) {
        font.setFamily(QStringLiteral("Tahoma"));
    } else {
        // Preferred faces with Chinese glyphs, then whatever fontconfig
        // offers for sans-serif Chinese.
        font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                          QStringLiteral("Droid Sans Fallback"), QStringLiteral("sans-serif")});
    }
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    window.setFont(font);
}

}  // namespace tinko

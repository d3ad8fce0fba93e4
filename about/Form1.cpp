#include "Form1.h"

#include <QDir>
#include <QPushButton>

#include "ErrorReport.h"
#include "InternetShortcut.h"

namespace tinko {

Form1::Form1(const QString& makerHost, ShellFolders& folders, FileWriter& files, Messages& messages)
    : QWidget(nullptr, Qt::Window),
      makerHost_(makerHost),
      folders_(folders),
      files_(files),
      messages_(messages) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("产品版权与简介"));
    resize(266, 170);  // an ordinary, sizable window
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(64, 64, 64));
    setPalette(colours);
    setAutoFillBackground(true);

    struct Button {
        const char* name;
        const char* caption;
        int top;
        Shortcut shortcut;
    };
    const Button buttons[] = {
        {"Command1",
         "把网页快捷方式添加到开始菜单",
         16,
         {ShellFolders::kStartMenu, QStringLiteral("儿童学习网址导航.url")}},
        {"Command2",
         "了解更多请到本产品官网",
         64,
         {ShellFolders::kFavorites, QStringLiteral(" 儿童学习网址导航.url")}},
        {"Command3",
         "把网页快捷方式添加到桌面",
         112,
         {ShellFolders::kDesktopDirectory, QStringLiteral("儿童学习网址导航.url")}},
    };
    QWidget* previous = nullptr;
    for (const Button& entry : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), this);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setGeometry(24, entry.top, 193, 33);
        const Shortcut shortcut = entry.shortcut;
        connect(button, &QPushButton::clicked, this,
                [this, shortcut] { guarded([&] { saveShortcut(shortcut); }); });
        if (previous != nullptr) {
            setTabOrder(previous, button);
        } else {
            button->setFocus(Qt::OtherFocusReason);
        }
        previous = button;
    }
}

void Form1::saveShortcut(const Shortcut& shortcut) {
    const QString target = QStringLiteral("http://") + makerHost_;
    const QString folder = folders_.GetFolderPath(shortcut.folderId);
    if (folder.isEmpty()) {
        messages_.warn(this,
                       QStringLiteral("无法保存网页快捷方式“%1”：找不到或无法创建所需的文件夹。")
                           .arg(shortcut.fileName));
        return;
    }
    const QString path = folder + QLatin1Char('/') + shortcut.fileName;
    try {
        files_.write(path, internetShortcut(target));
    } catch (const FileWriteError& error) {
        messages_.warn(this,
                       QStringLiteral("无法保存网页快捷方式“%1”：%2")
                           .arg(QDir::toNativeSeparators(path), QString::fromUtf8(error.what())));
        return;
    }
    messages_.inform(this, QStringLiteral("感谢您对本软件的支持"));
}

}  // namespace tinko

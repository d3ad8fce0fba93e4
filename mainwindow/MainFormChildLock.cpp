// The grown-ups' menu: the child lock, kept between runs, and the keys that
// ask a grown-up to open it.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QShortcut>

#include "ChildLock.h"
#include "ErrorReport.h"
#include "GrownUpGate.h"
#include "MainForm.h"
#include "Piano.h"

namespace tinko {
namespace {

const QString kChildLockKey = QStringLiteral("childLock");

QStringList allHosts(const SiteHosts& hosts) {
    return {hosts.maker, hosts.songs, hosts.radio,     hosts.television,
            hosts.music, hosts.video, hosts.babyGoods, hosts.navigation};
}

}  // namespace

void MainForm::buildParentMenu(std::unique_ptr<KeyboardHold> keyboardHold, bool lockNow) {
    childLock_ = new ChildLock(
        *this, std::move(keyboardHold), [this] { return GrownUpGate::ask(this); },
        [this](QSize room) { return fitLayout(room); });

    QMenu* menu = menuBar()->addMenu(QStringLiteral("家长"));
    menu->setObjectName(menu->title());
    menu->menuAction()->setObjectName(menu->title());
    menu->setToolTipsVisible(true);
    QAction* item = menu->addAction(QStringLiteral("儿童锁"));
    item->setObjectName(item->text());
    item->setCheckable(true);
    item->setToolTip(QStringLiteral(
        "锁住后窗口占满屏幕，孩子离不开钢琴。解锁：按 Ctrl+Alt+Shift+U，答对一道加法题。"));
    connect(item, &QAction::triggered, this, [this, item](bool checked) {
        if (checked) {
            childLock_->lock();
        } else if (!childLock_->unlock()) {
            item->setChecked(true);
        }
        Piano1->setFocus(Qt::OtherFocusReason);
    });
    connect(childLock_, &ChildLock::lockedChanged, this, [this, item](bool locked) {
        item->setChecked(locked);
        WebBrowser1->keepTo(locked ? allHosts(hosts_) : QStringList());
        guarded([&] {
            QSettings settings(settingsFile_, QSettings::IniFormat);
            settings.setValue(kChildLockKey, locked);
        });
    });
    auto* gate = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_U), this);
    connect(gate, &QShortcut::activated, this, [this] {
        if (childLock_->isLocked()) {
            childLock_->unlock();
            Piano1->setFocus(Qt::OtherFocusReason);
        }
    });

    if (lockNow ||
        QSettings(settingsFile_, QSettings::IniFormat).value(kChildLockKey, false).toBool()) {
        childLock_->lock();
    }
}

}  // namespace tinko

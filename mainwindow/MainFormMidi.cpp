// The MIDI ports in the window: a source at the input plays the keyboard,
// and the grown-ups' menu chooses whether what comes in also goes out, and
// whether MIDI keyboards plugged in are connected by themselves; its entry's
// tool tip names the keyboards connected.
#include <QAction>
#include <QComboBox>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QToolTip>

#include "ErrorReport.h"
#include "MainForm.h"
#include "Piano.h"

namespace tinko {
namespace {

const QString kMidiThruKey = QStringLiteral("midiThru");
const QString kAutoConnectKey = QStringLiteral("midiAutoConnect");

QString keyboardsText(const std::vector<std::string>& names) {
    if (names.empty()) {
        return QStringLiteral("没有连接MIDI键盘");
    }
    QStringList list;
    for (const std::string& name : names) {
        list << QString::fromStdString(name);
    }
    return QStringLiteral("已连接的MIDI键盘：") + list.join(QStringLiteral("、"));
}

// Shows the tool tip of one entry of the menu bar, which shows none of its
// entries' by itself.
class EntryToolTip : public QObject {
public:
    EntryToolTip(QMenuBar* bar, QMenu* entry) : QObject(bar), entry_(entry) {
        bar->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) {
            return false;
        }
        auto* bar = static_cast<QMenuBar*>(watched);
        auto* help = static_cast<QHelpEvent*>(event);
        if (bar->actionAt(help->pos()) != entry_->menuAction()) {
            return false;
        }
        QToolTip::showText(help->globalPos(), entry_->menuAction()->toolTip(), bar,
                           bar->actionGeometry(entry_->menuAction()));
        return true;
    }

private:
    QMenu* entry_;
};

}  // namespace

void MainForm::connectMidiPorts(midiports::MidiPorts* ports, StraightInput* straightInput) {
    if (ports == nullptr) {
        return;
    }
    // A key struck there counts in a song as one clicked.
    midiKeyboard_ = std::make_unique<midiports::MidiKeyboard>(
        *Piano1, [this](std::uint8_t note) { songPlayer_->pressed(note); });
    // The list shows what the keyboard plays, whoever chose it.
    midiKeyboard_->whenInstrumentChosen([this](std::int32_t program) {
        CurYinSe = program;
        Combo1->setCurrentIndex(program);
        midiKeyboard_->setInstrument(program);
    });
    // Its notes sound on the ports' own thread as they come; here they light.
    midiKeyboard_->playStraightInto(straightInput);
    midiPorts_ = ports;
    midiPorts_->listen(midiKeyboard_.get());

    auto* menu = menuBar()->findChild<QMenu*>(QStringLiteral("家长"));
    QAction* thru = menu->addAction(QStringLiteral("MIDI直通"));
    thru->setObjectName(thru->text());
    thru->setCheckable(true);
    thru->setToolTip(QStringLiteral("打开后，从MIDI输入口进来的音符也从MIDI输出口送出去。"));
    const bool kept = QSettings(settingsFile_, QSettings::IniFormat).value(kMidiThruKey).toBool();
    thru->setChecked(kept);
    midiPorts_->setThru(kept);
    connect(thru, &QAction::toggled, this, [this](bool on) {
        midiPorts_->setThru(on);
        guarded([&] { QSettings(settingsFile_, QSettings::IniFormat).setValue(kMidiThruKey, on); });
    });

    QAction* autoConnect = menu->addAction(QStringLiteral("自动连接MIDI键盘"));
    autoConnect->setObjectName(autoConnect->text());
    autoConnect->setCheckable(true);
    autoConnect->setToolTip(QStringLiteral("打开后，插上的MIDI键盘自动连接到MIDI输入口。"));
    const bool on =
        QSettings(settingsFile_, QSettings::IniFormat).value(kAutoConnectKey, true).toBool();
    autoConnect->setChecked(on);
    midiPorts_->setAutoConnect(on);
    connect(autoConnect, &QAction::toggled, this, [this](bool on) {
        midiPorts_->setAutoConnect(on);
        guarded(
            [&] { QSettings(settingsFile_, QSettings::IniFormat).setValue(kAutoConnectKey, on); });
    });
    menu->menuAction()->setToolTip(keyboardsText(midiPorts_->keyboards()));
    new EntryToolTip(menuBar(), menu);
    midiPorts_->onKeyboardsChanged(
        [this, menu] { menu->menuAction()->setToolTip(keyboardsText(midiPorts_->keyboards())); });
}

}  // namespace tinko

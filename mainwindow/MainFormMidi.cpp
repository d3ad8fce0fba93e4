// The MIDI ports in the window: a source at the input plays the keyboard,
// and the grown-ups' menu chooses whether what comes in also goes out.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include "ErrorReport.h"
#include "MainForm.h"
#include "Piano.h"

namespace tinko {
namespace {

const QString kMidiThruKey = QStringLiteral("midiThru");

}  // namespace

void MainForm::connectMidiPorts(midiports::MidiPorts* ports) {
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
}

}  // namespace tinko

#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>

#include "MidiOutput.h"
#include "PropertyBag.h"
#include "SiteHosts.h"
#include "WebBrowser.h"

class QComboBox;
class QPushButton;

namespace tinko {

class Piano;

// The program's window: the instrument list on top, the keyboard, a row of
// site buttons and the web browser below, and the menu. It wires these parts
// together: the keyboard sounds from start-up, the list chooses the
// instrument, and the computer keyboard plays the white keys.
class MainForm : public QMainWindow {
    Q_OBJECT

public:
    // `midiOut` must outlive the window; the window takes the browser.
    // `pianoProperties` are the keyboard's saved properties.
    MainForm(MidiOutput& midiOut, std::unique_ptr<WebBrowser> browser,
             SiteHosts hosts = SiteHosts::defaults(),
             const PropertyBag& pianoProperties = savedPianoProperties(),
             QWidget* parent = nullptr);

    // What the window keeps for its keyboard: AutoPlay off, instrument 0.
    static PropertyBag savedPianoProperties();

    const SiteHosts& hosts() const { return hosts_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls(std::unique_ptr<WebBrowser> browser, const PropertyBag& pianoProperties);
    void Form_Load();
    void Form_Unload();
    void setListIndex(int index);
    void Combo1_Click();
    void Piano1_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void Piano1_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift);

    SiteHosts hosts_;
    MidiOutput& midiOut_;
    Piano* Piano1 = nullptr;
    QComboBox* Combo1 = nullptr;
    WebBrowser* WebBrowser1 = nullptr;
    std::int32_t CurYinSe = 0;  // the program last applied from the list
    bool unloaded_ = false;
};

}  // namespace tinko

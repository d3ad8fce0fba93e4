#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QRect>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "KeyLabels.h"
#include "KeyboardHold.h"
#include "MidiKeyboard.h"
#include "MidiOutput.h"
#include "PropertyBag.h"
#include "SiteHosts.h"
#include "SongBook.h"
#include "SongPlayer.h"
#include "TakeRecorder.h"
#include "WebBrowser.h"

class QAction;
class QActionGroup;
class QComboBox;
class QMenu;
class QPushButton;
class QTimer;

namespace tinko {

class AboutBox;
class ChildLock;
class ExternalBrowser;
class Messages;
class Piano;
struct SiteCommand;
namespace notation {
class SheetView;
}

// The keyboard's saved properties in the window: AutoPlay off, instrument 0.
PropertyBag savedPianoProperties();

// The song book's title of the song a command of the first menu names, or
// nothing: its melody is free to play ("两只老虎钢琴谱曲" is "两只老虎").
QString bookSongOf(const QString& command);

// The file that keeps the user's choices between runs
// ($XDG_CONFIG_HOME/tinko-piano/tinko-piano.conf).
QString defaultSettingsFile();

// What the main window is made of and works with. The references must
// outlive the window; the window takes the browser.
struct MainFormParts {
    MidiOutput& midiOut;
    std::unique_ptr<WebBrowser> browser;
    ExternalBrowser& externalBrowser;
    AboutBox& aboutBox;
    SiteHosts hosts = SiteHosts::defaults();
    PropertyBag pianoProperties = savedPianoProperties();
    QStringList songFolders = songs::songFolders();
    QString settingsFile = defaultSettingsFile();
    std::unique_ptr<KeyboardHold> keyboardHold = desktopKeyboardHold();
    bool childLock = false;  // lock at the start, whatever was kept
    // The desktop's MIDI ports, whose input plays the keyboard; none when
    // null. They must outlive the window.
    midiports::MidiPorts* midiPorts = nullptr;
    // Where what is played passes (midiOut or before it), kept while the
    // menu's 录音 is checked; no recording when null. It must outlive the
    // window.
    recording::TakeRecorder* recorder = nullptr;
    // Says what went wrong while recording; must outlive the window.
    Messages* messages = nullptr;
    // The synthesizer behind midiOut, which the ports' real-time thread may
    // play at once; none when null. It must outlive the window.
    StraightInput* straightInput = nullptr;
};

// The program's window: the instrument list on top, the keyboard, a row of
// site buttons and the web browser below, and the menu. It wires these parts
// together: the keyboard sounds from start-up, the list chooses the
// instrument, and the computer keyboard plays the white keys.
class MainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit MainForm(MainFormParts parts, QWidget* parent = nullptr);
    ~MainForm() override;

    const SiteHosts& hosts() const { return hosts_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls(std::unique_ptr<WebBrowser> browser, const PropertyBag& pianoProperties);
    // Puts a control of the client area at its place at full size, kept
    // for fitLayout.
    void place(QWidget* control, QRect place);
    // Scales the client area down, controls, keyboard and text, to fit
    // `room` below the menu bar (never up); the size the window's contents
    // take then.
    QSize fitLayout(QSize room);
    void connectCommands();
    void runCommand(const SiteCommand& command);
    void Form_Load();
    void Form_Unload();
    void setListIndex(int index);
    void Combo1_Click();
    void Piano1_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void Piano1_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift);
    void buildSongMenu(QStringList songFolders);
    void listSongs();
    void chooseSongMode(songs::SongMode mode);
    // Starts the song book's song called `title`; false when there is none.
    bool startBookSong(const QString& title);
    // Starts `song`, its sheet shown in the page area.
    void startSong(const songs::Song& song);
    void buildLabelMenu();
    void labelKeys(notation::LabelMode mode);
    void buildParentMenu(std::unique_ptr<KeyboardHold> keyboardHold, bool lockNow);
    void connectMidiPorts(midiports::MidiPorts* ports, StraightInput* straightInput);
    void buildRecordEntry(recording::TakeRecorder* recorder, Messages* messages);
    void finishRecording();
    // Writes the take as the user's song; throws FileWriteError.
    void keepTake(const recording::Take& take, const QDateTime& started);

    SiteHosts hosts_;
    MidiOutput& midiOut_;
    ExternalBrowser& externalBrowser_;
    AboutBox& aboutBox_;
    Piano* Piano1 = nullptr;
    QComboBox* Combo1 = nullptr;
    WebBrowser* WebBrowser1 = nullptr;
    notation::SheetView* sheet_ = nullptr;  // over the browser while a song's sheet shows
    std::vector<QWidget*> tabOrder_;        // Piano1, Combo1, WebBrowser1, Command1, Command2, ...
    std::vector<std::pair<QWidget*, QRect>> places_;  // the client's controls at full size
    double layoutScale_ = 1.0;
    std::int32_t CurYinSe = 0;  // the program last applied from the list
    bool unloaded_ = false;
    QString settingsFile_;
    std::unique_ptr<songs::SongBook> songBook_;
    songs::SongPlayer* songPlayer_ = nullptr;  // a child
    QMenu* songMenu_ = nullptr;
    QAction* songsEnd_ = nullptr;     // the songs are listed before it
    ChildLock* childLock_ = nullptr;  // a child
    std::unique_ptr<midiports::MidiKeyboard> midiKeyboard_;
    midiports::MidiPorts* midiPorts_ = nullptr;  // playing midiKeyboard_
    QStringList songFolders_;                    // the user's is the last
    recording::TakeRecorder* recorder_ = nullptr;
    Messages* messages_ = nullptr;
    QAction* recordEntry_ = nullptr;
    QTimer* recordingLimit_ = nullptr;  // a child
    QDateTime recordingStarted_;
};

}  // namespace tinko

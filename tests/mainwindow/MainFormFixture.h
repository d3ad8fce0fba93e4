#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "AboutBox.h"
#include "Doubles.h"
#include "MainForm.h"
#include "Piano.h"
#include "RecordingMidiOutput.h"
#include "RecordingMidiPorts.h"

namespace tinko::testing {

// A main window on a recording MIDI output and ports, browsers and message
// boxes.
class MainFormTest : public ::testing::Test {
protected:
    void makeWindow(const PropertyBag& pianoProperties = savedPianoProperties(),
                    SiteHosts hosts = SiteHosts::defaults()) {
        auto browser = std::make_unique<RecordingWebBrowser>();
        this->browser = browser.get();
        window = std::make_unique<MainForm>(
            MainFormParts{recorder, std::move(browser), externalBrowser, aboutBox, std::move(hosts),
                          pianoProperties, songFolders, settingsFile,
                          std::make_unique<RecordingKeyboardHold>(keyboardHeld, &keyboardHeldOn,
                                                                  &onEveryDesktop, &broughtBack),
                          lockAtStart, &midiPorts, &recorder, &messages});
        piano = window->findChild<Piano*>(QStringLiteral("Piano1"));
        combo = window->findChild<QComboBox*>(QStringLiteral("Combo1"));
        picture = window->findChild<QWidget*>(QStringLiteral("Picture1"));
        ASSERT_NE(piano, nullptr);
        ASSERT_NE(combo, nullptr);
        ASSERT_NE(picture, nullptr);
    }

    void TearDown() override {
        window.reset();
        delete aboutBox.form();
    }

    QPushButton* button(const char* name) const {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    RecordingMidiOutput midi;
    recording::TakeRecorder recorder{midi};  // all the window plays passes it
    RecordingMidiPorts midiPorts;
    RecordingExternalBrowser externalBrowser;
    XdgShellFolders folders;
    AtomicFileWriter files;
    RecordingMessages messages;
    AboutBox aboutBox{QStringLiteral("www.tinko.example"), folders, files, messages};
    QTemporaryDir ownFolder;  // the window's settings, and any songs
    QStringList songFolders;
    QString settingsFile = ownFolder.filePath(QStringLiteral("tinko-piano.conf"));
    bool keyboardHeld = false;
    QWindow* keyboardHeldOn = nullptr;
    QSet<const QWindow*> onEveryDesktop;
    QWindow* broughtBack = nullptr;
    bool lockAtStart = false;  // as --child-lock does
    RecordingWebBrowser* browser = nullptr;
    std::unique_ptr<MainForm> window;
    Piano* piano = nullptr;
    QComboBox* combo = nullptr;
    QWidget* picture = nullptr;
};

}  // namespace tinko::testing

// The song menu: the songs of the song book, the three ways to play them
// (the one chosen is kept between runs), a command that stops a song, and
// what the keys are labelled with (kept too). A song that starts shows its
// sheet in the page area.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStandardPaths>
#include <array>
#include <iostream>
#include <map>
#include <string>

#include "ErrorReport.h"
#include "KeyLabels.h"
#include "KeyNotes.h"
#include "MainForm.h"
#include "Piano.h"
#include "SheetView.h"

namespace tinko {
namespace {

struct SongModeEntry {
    songs::SongMode mode;
    const char* caption;
    const char* stored;  // its value under kSongModeKey
};

constexpr std::array<SongModeEntry, 3> kSongModes = {{
    {songs::SongMode::Listen, "听一遍", "listen"},
    {songs::SongMode::Follow, "跟着灯弹", "follow"},
    {songs::SongMode::Magic, "一键一音", "magic"},
}};

const QString kSongModeKey = QStringLiteral("songMode");

struct LabelModeEntry {
    notation::LabelMode mode;
    const char* caption;
    const char* stored;  // its value under kLabelModeKey
};

constexpr std::array<LabelModeEntry, 5> kLabelModes = {{
    {notation::LabelMode::None, "无", "none"},
    {notation::LabelMode::Jianpu, "简谱", "jianpu"},
    {notation::LabelMode::Solfege, "唱名", "solfege"},
    {notation::LabelMode::NoteName, "音名", "names"},
    {notation::LabelMode::ComputerKey, "电脑键", "keys"},
}};

const QString kLabelModeKey = QStringLiteral("keyLabels");

// The letters and digits that play keys, on the keys they play.
std::map<std::uint8_t, KeyLabel> computerKeyLabels() {
    std::map<std::uint8_t, KeyLabel> labels;
    for (char code : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
        if (const std::uint8_t note = GetKeyNote(static_cast<std::int16_t>(code), 0)) {
            labels[note] = KeyLabel{QString(QLatin1Char(code)), 0};
        }
    }
    return labels;
}

}  // namespace

QString bookSongOf(const QString& command) {
    static const std::map<QString, QString> kBookSongs = {
        {QStringLiteral("两只老虎钢琴谱曲"), QStringLiteral("两只老虎")},
        {QStringLiteral("生日快乐"), QStringLiteral("生日快乐")},
        {QStringLiteral("铃儿响叮当"), QStringLiteral("铃儿响叮当")},
        {QStringLiteral("小星星钢琴谱曲"), QStringLiteral("小星星")},
    };
    const auto found = kBookSongs.find(command);
    return found == kBookSongs.end() ? QString() : found->second;
}

QString defaultSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tinko-piano/tinko-piano.conf");
}

void MainForm::buildSongMenu(QStringList songFolders) {
    songBook_ = std::make_unique<songs::SongBook>(std::move(songFolders), [](const QString& line) {
        std::cerr << "tinko-piano: " << line.toStdString() << std::endl;
    });
    // The songs join the menu when they are read, after the window shows.
    connect(songBook_.get(), &songs::SongBook::songsRead, this, &MainForm::listSongs);
    songPlayer_ = new songs::SongPlayer(*Piano1, this);

    songMenu_ = menuBar()->addMenu(QStringLiteral("学弹儿歌"));
    songMenu_->setObjectName(QStringLiteral("学弹儿歌"));
    songMenu_->menuAction()->setObjectName(QStringLiteral("学弹儿歌"));
    songsEnd_ = songMenu_->addSeparator();
    const QString stored = QSettings(settingsFile_, QSettings::IniFormat)
                               .value(kSongModeKey, QStringLiteral("follow"))
                               .toString();
    auto* modes = new QActionGroup(songMenu_);
    for (const SongModeEntry& entry : kSongModes) {
        QAction* action = songMenu_->addAction(QString::fromUtf8(entry.caption));
        action->setObjectName(action->text());
        action->setCheckable(true);
        modes->addAction(action);
        if (stored == QLatin1String(entry.stored)) {
            action->setChecked(true);
            songPlayer_->setMode(entry.mode);
        }
        connect(action, &QAction::triggered, this, [this, mode = entry.mode] {
            guarded([&] { chooseSongMode(mode); });
            Piano1->setFocus(Qt::OtherFocusReason);
        });
    }
    if (modes->checkedAction() == nullptr) {  // a stored value we do not know
        modes->actions().at(1)->setChecked(true);
    }
    songMenu_->addSeparator();
    QAction* stop = songMenu_->addAction(QStringLiteral("停止"));
    stop->setObjectName(stop->text());
    connect(stop, &QAction::triggered, this, [this] {
        guarded([&] { songPlayer_->stop(); });
        Piano1->setFocus(Qt::OtherFocusReason);
    });
    buildLabelMenu();
    connect(songPlayer_, &songs::SongPlayer::marked, sheet_, &notation::SheetView::mark);
    connect(songPlayer_, &songs::SongPlayer::instrumentWanted, this, &MainForm::setListIndex);
    // Songs a grown-up has added since join it while it opens.
    connect(songMenu_, &QMenu::aboutToShow, this, [this] { songBook_->refresh(); });
}

void MainForm::listSongs() {
    for (QAction* action : songMenu_->actions()) {
        if (action == songsEnd_) {
            break;
        }
        songMenu_->removeAction(action);
        action->deleteLater();
    }
    for (const songs::Song& song : songBook_->songs()) {
        auto* action = new QAction(song.title, songMenu_);
        action->setObjectName(song.title);
        songMenu_->insertAction(songsEnd_, action);
        connect(action, &QAction::triggered, this, [this, song] {
            guarded([&] { startSong(song); });
            Piano1->setFocus(Qt::OtherFocusReason);
        });
    }
}

bool MainForm::startBookSong(const QString& title) {
    const songs::Song* song = songBook_->song(title);
    if (song != nullptr) {
        startSong(*song);
    }
    return song != nullptr;
}

void MainForm::startSong(const songs::Song& song) {
    sheet_->setSheet(song.title, notation::sheetOf(song.melody));
    sheet_->show();
    sheet_->raise();
    songPlayer_->start(song.melody);
}

void MainForm::buildLabelMenu() {
    songMenu_->addSeparator();
    QMenu* menu = songMenu_->addMenu(QStringLiteral("琴键标记"));
    menu->setObjectName(menu->title());
    menu->menuAction()->setObjectName(menu->title());
    const QString stored = QSettings(settingsFile_, QSettings::IniFormat)
                               .value(kLabelModeKey, QStringLiteral("none"))
                               .toString();
    auto* modes = new QActionGroup(menu);
    for (const LabelModeEntry& entry : kLabelModes) {
        QAction* action = menu->addAction(QString::fromUtf8(entry.caption));
        action->setObjectName(QStringLiteral("琴键标记") + action->text());
        action->setCheckable(true);
        modes->addAction(action);
        if (stored == QLatin1String(entry.stored)) {
            action->setChecked(true);
            labelKeys(entry.mode);
        }
        connect(action, &QAction::triggered, this, [this, entry] {
            guarded([&] {
                labelKeys(entry.mode);
                QSettings settings(settingsFile_, QSettings::IniFormat);
                settings.setValue(kLabelModeKey, QLatin1String(entry.stored));
            });
            Piano1->setFocus(Qt::OtherFocusReason);
        });
    }
    if (modes->checkedAction() == nullptr) {  // a stored value we do not know
        modes->actions().at(0)->setChecked(true);
    }
}

void MainForm::labelKeys(notation::LabelMode mode) {
    Piano1->setKeyLabels(mode == notation::LabelMode::ComputerKey ? computerKeyLabels()
                                                                  : notation::keyLabels(mode));
}

void MainForm::chooseSongMode(songs::SongMode mode) {
    songPlayer_->setMode(mode);
    for (const SongModeEntry& entry : kSongModes) {
        if (entry.mode == mode) {
            QSettings settings(settingsFile_, QSettings::IniFormat);
            settings.setValue(kSongModeKey, QLatin1String(entry.stored));
        }
    }
}

}  // namespace tinko

// Songs on the window's keyboard: the song menu, and a song listened to,
// followed by its lights and played with magic keys, with the notes sent
// and the keys seen.
#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSettings>
#include <QTimer>
#include <chrono>
#include <functional>

#include "InputScript.h"
#include "KeyFaces.h"
#include "MainFormFixture.h"
#include "MidiFiles.h"
#include "SheetView.h"
#include "Wait.h"

namespace tinko {
namespace {

using testing::midiFile;
using testing::off;
using testing::on;

constexpr QRgb kHint = qRgb(255, 176, 0);

class Songs : public testing::MainFormTest {
protected:
    void SetUp() override { songFolders = {ownFolder.path()}; }

    void addSong(const QString& title, const testing::Bytes& bytes) {
        QFile file(ownFolder.filePath(title + ".mid"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }

    // Waits for it: the songs join the menu when they are read.
    void choose(const char* item) {
        QAction* action = nullptr;
        testing::waitUntil([&] {
            return (action = window->findChild<QAction*>(QString::fromUtf8(item))) != nullptr;
        });
        ASSERT_NE(action, nullptr) << item;
        action->trigger();
    }

    // The colour of a white key's face, by its place among the white keys.
    QRgb whiteKey(int note) const {
        static const int kPlaces[] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};  // C to B
        const int place = (note / 12 - 1) * 7 + kPlaces[note % 12] - 5;     // from A0
        return piano->grab().toImage().pixel(11 + 22 * place, 150);
    }

    bool sentAll(int count) {
        return testing::waitUntil([&] { return static_cast<int>(midi.sent().size()) >= count; });
    }
};

TEST_F(Songs, TheMenuListsTheSongsThenTheWaysOneKeptBetweenRunsThenStop) {
    addSong(QStringLiteral("小星星"), midiFile({{on(0, 60), off(480, 60)}}));
    addSong(QStringLiteral("两只老虎"), midiFile({{on(0, 60), off(480, 60)}}));
    addSong(QStringLiteral("坏了"), {'M', 'T', 'h', 'd'});
    const struct {
        const char* stored;
        const char* menu;  // * marks the way checked, | a separator
    } runs[] = {
        {nullptr, "两只老虎 小星星 | 听一遍 跟着灯弹* 一键一音 | 停止 | 琴键标记 | 录音"},
        {"magic", "两只老虎 小星星 | 听一遍 跟着灯弹 一键一音* | 停止 | 琴键标记 | 录音"},
        {"bogus", "两只老虎 小星星 | 听一遍 跟着灯弹* 一键一音 | 停止 | 琴键标记 | 录音"},
    };
    for (const auto& run : runs) {
        if (run.stored) {
            QSettings(settingsFile, QSettings::IniFormat).setValue("songMode", run.stored);
        }
        makeWindow();
        const auto items = [&] {
            QStringList listed;
            for (QAction* item : window->findChild<QMenu*>(QStringLiteral("学弹儿歌"))->actions()) {
                listed << (item->isSeparator() ? QStringLiteral("|")
                                               : item->text() + (item->isChecked() ? "*" : ""));
            }
            return listed.join(' ').toStdString();
        };
        testing::waitUntil([&] { return items() == run.menu; });
        EXPECT_EQ(items(), run.menu);
    }
    choose("听一遍");
    EXPECT_EQ(QSettings(settingsFile, QSettings::IniFormat).value("songMode"), "listen");
    // The first menu's 小星星 plays the book's, its sheet in the page area;
    // its 外婆的澎湖湾 is not in it and stays a page, in the sheet's place.
    midi.clearSent();
    choose("小星星钢琴谱曲");
    const QWidget* sheet = window->findChild<QWidget*>(QStringLiteral("SheetView"));
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->isHidden());
    EXPECT_EQ(sheet->accessibleName().toStdString(), "1 ||");
    EXPECT_EQ(sheet->accessibleDescription().toStdString(), "小星星 1=C 4/4");
    choose("外婆的澎湖湾");
    EXPECT_EQ(midi.sentText(), "90 3C 70");
    EXPECT_EQ(browser->addresses().size(), 1);
    EXPECT_TRUE(sheet->isHidden());

    // The keys' labels: none at first, the one chosen kept, each key's
    // accessible name its note and label, the keyboard's children from A0.
    const auto labelMenu = [&] {
        QStringList items;
        for (QAction* item : window->findChild<QMenu*>(QStringLiteral("琴键标记"))->actions()) {
            items << item->text() + (item->isChecked() ? "*" : "");
        }
        return items.join(' ').toStdString();
    };
    EXPECT_EQ(labelMenu(), "无* 简谱 唱名 音名 电脑键");
    EXPECT_TRUE(piano->keyLabels().empty());
    const struct {
        const char* entry;
        const char* stored;
        const char* keys;  // what C2, C4, C♯4, G4, C6 and C7 say
    } labelModes[] = {
        {"琴键标记简谱", "jianpu", "C2 1,, | C4 1 | C♯4 ♯1 | G4 5 | C6 1'' | C7 1'''"},
        {"琴键标记唱名", "solfege", "C2 do | C4 do | C♯4 | G4 sol | C6 do | C7 do"},
        {"琴键标记音名", "names", "C2 C2 | C4 C4 | C♯4 C♯4 | G4 G4 | C6 C6 | C7 C7"},
        {"琴键标记电脑键", "keys", "C2 Z | C4 K | C♯4 | G4 E | C6 3 | C7 0"},
        {"琴键标记无", "none", "C2 | C4 | C♯4 | G4 | C6 | C7"},
    };
    for (const auto& mode : labelModes) {
        choose(mode.entry);
        EXPECT_EQ(QSettings(settingsFile, QSettings::IniFormat).value("keyLabels"), mode.stored);
        makeWindow();
        QStringList keys;
        for (int note : {36, 60, 61, 67, 84, 96}) {
            keys << QAccessible::queryAccessibleInterface(picture)->child(note - 21)->text(
                QAccessible::Name);
        }
        EXPECT_EQ(keys.join(" | ").toStdString(), mode.keys);
    }
    // A song added while the program runs is there the next time the menu opens.
    addSong(QStringLiteral("新年好"), midiFile({{on(0, 60), off(480, 60)}}));
    emit window->findChild<QMenu*>(QStringLiteral("学弹儿歌"))->aboutToShow();
    EXPECT_TRUE(testing::waitUntil(
        [&] { return window->findChild<QAction*>(QStringLiteral("新年好")) != nullptr; }));
}

TEST_F(Songs, ListenPlaysTheMelodyWithItsLightsAndAPianoKeyStopsIt) {
    addSong(QStringLiteral("short"),
            midiFile({{on(0, 60), off(144, 60), on(0, 64), off(144, 64)}}));
    addSong(QStringLiteral("long"), midiFile({{on(0, 62), off(480, 62), on(0, 64), off(480, 64)}}));
    makeWindow();
    choose("听一遍");
    midi.clearSent();
    choose("short");
    EXPECT_TRUE(piano->isSelc(60)) << "the first note at once";
    const auto* sheet = window->findChild<notation::SheetView*>();
    EXPECT_EQ(sheet->marked(), 0) << "marked as it sounds";
    ASSERT_TRUE(sentAll(4));
    EXPECT_TRUE(testing::waitUntil([&] { return sheet->marked() == -1; })) << "none at the end";
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00, 90 40 70, 90 40 00");
    EXPECT_FALSE(piano->isSelc(64));

    // The child plays the key the song holds: the song lets go and stops,
    // the child's note sounds.
    choose("long");
    midi.clearSent();
    testing::InputScript(*picture).play(QStringLiteral("key L"));
    EXPECT_EQ(midi.sentText(), "90 3E 00, 90 3E 70");
    testing::waitUntil([] { return false; }, std::chrono::milliseconds(700));
    testing::InputScript(*picture).play(QStringLiteral("up L"));
    EXPECT_EQ(midi.sentText(), "90 3E 00, 90 3E 70, 90 3E 00") << "and nothing more of the song";
    choose("long");
    testing::InputScript(*picture).play(QStringLiteral("press 100 150; release 100 150"));
    choose("long");
    choose("停止");
    EXPECT_EQ(midi.sentText(),
              "90 3E 00, 90 3E 70, 90 3E 00, 90 3E 70, 90 1C 70, 90 3E 00, "
              "90 1C 00, 90 3E 70, 90 3E 00");
}

TEST_F(Songs, FollowTheLightsHintsTheNextKeyWhichAloneMovesItOnToACheer) {
    addSong(QStringLiteral("song"), midiFile({{on(0, 60), off(480, 60), on(0, 62), off(480, 62),
                                               on(0, 62), off(480, 62), on(0, 62), off(480, 62)}}));
    makeWindow();
    const QRgb white = whiteKey(60);
    choose("song");
    EXPECT_EQ(whiteKey(60), kHint);
    EXPECT_EQ(midi.sentText(), "C0 00, C0 00") << "a hint sounds nothing";
    midi.clearSent();
    testing::InputScript(*picture).play(QStringLiteral("key L; up L"));  // D, not the hint
    EXPECT_EQ(whiteKey(60), kHint);
    const auto markedAt = [&] {  // the left edge of the amber mark on the sheet
        const QImage sheet =
            window->findChild<QWidget*>(QStringLiteral("SheetView"))->grab().toImage();
        for (int x = 0; x < sheet.width(); ++x) {
            for (int y = 0; y < sheet.height(); ++y) {
                if (sheet.pixel(x, y) == kHint) {
                    return x;
                }
            }
        }
        return -1;
    };
    const int first = markedAt();
    EXPECT_GE(first, 0);
    testing::InputScript(*picture).play(QStringLiteral("key K"));
    EXPECT_EQ(whiteKey(62), kHint);
    EXPECT_GT(markedAt(), first + 10) << "the mark moves on with the hint";
    EXPECT_NE(whiteKey(60), kHint) << "pressed, not hinted";
    EXPECT_NE(whiteKey(60), white);
    testing::InputScript(*picture).play(QStringLiteral("up K; key L; repeat L; up L"));
    EXPECT_EQ(whiteKey(62), kHint) << "D again: a key held down moves it on once";
    EXPECT_EQ(whiteKey(60), white);
    testing::InputScript(*picture).play(QStringLiteral("press 539 150; release 539 150"));
    EXPECT_EQ(whiteKey(62), kHint) << "the mouse moves it on too";
    midiPorts.play({0x643E90, 0x3E80});
    QCoreApplication::processEvents();
    EXPECT_EQ(whiteKey(62), white) << "and a MIDI keyboard; no hint at the end";
    ASSERT_TRUE(sentAll(19));
    EXPECT_EQ(midi.sentText(),
              "90 3E 70, 90 3E 00, 90 3C 70, 90 3C 00, 90 3E 70, 90 3E 00, 90 3E 70, 90 3E 00, "
              "C0 00, 90 3E 64, 80 3E 00, "
              "90 48 70, 90 48 00, 90 4C 70, 90 4C 00, 90 4F 70, 90 4F 00, 90 54 70, 90 54 00");
    choose("song");
    choose("停止");
    EXPECT_EQ(whiteKey(60), white);
}

TEST_F(Songs, MagicKeysPlayTheNextNoteWhateverIsPressedUntilStopped) {
    addSong(QStringLiteral("song"), midiFile({{on(0, 60), off(480, 60), on(0, 62), off(480, 62)}}));
    makeWindow();
    choose("一键一音");
    choose("song");
    midi.clearSent();
    const auto* sheet = window->findChild<notation::SheetView*>();
    EXPECT_EQ(sheet->marked(), 0);
    testing::InputScript(*picture).play(QStringLiteral("key F5; repeat F5"));
    EXPECT_EQ(sheet->marked(), 1) << "the note the next key plays";
    testing::InputScript(*picture).play(QStringLiteral("key A"));
    EXPECT_EQ(sheet->marked(), 0) << "the song starts again";
    EXPECT_TRUE(piano->isSelc(60));
    EXPECT_FALSE(piano->isSelc(48)) << "not the key pressed";
    testing::InputScript(*picture).play(
        QStringLiteral("up F5; up A; press 100 150; drag 300 150; release 300 150; key Space; "
                       "up Space"));
    EXPECT_EQ(midi.sentText(),
              "90 3C 70, 90 3E 70, 90 3C 00, 90 3E 00, 90 3C 70, 90 3C 00, 90 3E 70, 90 3E 00");
    midi.clearSent();
    testing::InputScript(*picture).play(QStringLiteral("key A"));
    choose("停止");
    testing::InputScript(*picture).play(QStringLiteral("up A; key K; up K"));
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00, 90 3C 70, 90 3C 00");
    // The mouse's release lost (to a dialog, say): the next move without a
    // button lets its note go.
    choose("song");
    midi.clearSent();
    testing::InputScript(*picture).play(
        QStringLiteral("press 100 150; hover 120 150; press 100 150; release 100 150"));
    EXPECT_EQ(midi.sentText(), "90 3C 70, 90 3C 00, 90 3E 70, 90 3E 00");
}

// A recording's file: its header, then its track's events as "at: bytes",
// at in milliseconds (a tick is one), without the tempo and the end.
QStringList recordedEvents(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {QStringLiteral("unreadable")};
    }
    const QByteArray bytes = file.readAll();
    const QByteArray head("MThd\0\0\0\x06\0\0\0\x01\x03\xE8MTrk", 18);
    const QByteArray tempo("\0\xFF\x51\x03\x0F\x42\x40", 7);
    if (!bytes.startsWith(head) || bytes.mid(22, 7) != tempo ||
        !bytes.endsWith(QByteArray("\xFF\x2F\x00", 3))) {
        return {QStringLiteral("not format 0 with one tempo: ") + bytes.toHex(' ')};
    }
    QStringList events;
    long at = 0;
    for (int i = 29; i < bytes.size() - 4;) {
        long delta = 0;
        do {
            delta = delta << 7 | (bytes[i] & 0x7F);
        } while (bytes[i++] & 0x80);
        at += delta;
        const int size = (bytes[i] & 0xE0) == 0xC0 ? 2 : 3;
        events << QStringLiteral("%1: %2").arg(at).arg(QString(bytes.mid(i, size).toHex(' ')));
        i += size;
    }
    return events;
}

QStringList recordings(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("我的曲子 *.mid")}, QDir::Files);
}

// What is played while 录音 is checked, every way a key goes down, becomes
// the user's newest song: a format-0 file of the events played, each at the
// time it was played (between the moments just before and after its step),
// from the first note to the last one's end.
TEST_F(Songs, ARecordingKeepsWhatIsPlayedAndJoinsTheSongsFirst) {
    addSong(QStringLiteral("an old song"), midiFile({{on(0, 60), off(480, 60)}}));
    makeWindow();
    choose("一键一音");
    midiPorts.play({0x643092, 0x003092});  // channel 3 gets the list's instrument
    QCoreApplication::processEvents();
    choose("录音");
    struct Step {
        std::function<void()> play;
        QStringList recorded;
    };
    const auto keys = [&](const char* script) {
        return [&, script] { testing::InputScript(*picture).play(QString::fromLatin1(script)); };
    };
    const auto midiIn = [&](std::vector<std::uint32_t> messages) {
        return [&, messages] {
            midiPorts.play(messages);
            QCoreApplication::processEvents();
        };
    };
    const Step steps[] = {
        // Before the first note: the pedal, at the start; a key let go that
        // went down before the recording, left out.
        {midiIn({0x7F40B1, 0x003091}), {}},
        {keys("key K"), {"b1 40 7f", "90 3c 70"}},
        {keys("press 560 150"), {"90 40 70"}},        // a chord with the mouse
        {midiIn({0x643E91}), {"c1 00", "91 3e 64"}},  // a MIDI keyboard
        {[&] {
             combo->setCurrentIndex(40);
             emit combo->activated(40);
         },
         {"c0 28"}},  // another instrument
        {keys("up K; release 560 150"), {"90 3c 00", "90 40 00"}},
        {midiIn({0x003E91, 0x0040B1}), {"91 3e 00", "b1 40 00"}},
        {[&] { choose("an old song"); }, {}},
        {keys("key A; up A"), {"90 3c 70", "90 3c 00"}},  // a magic key plays the tune
        {midiIn({0x7F40B1}), {}},                         // after the last note: trimmed
    };
    using Clock = std::chrono::steady_clock;
    std::vector<std::pair<Clock::time_point, Clock::time_point>> when;
    for (const Step& step : steps) {
        testing::waitUntil([] { return false; }, std::chrono::milliseconds(30));
        const auto before = Clock::now();
        step.play();
        when.emplace_back(before, Clock::now());
    }
    choose("录音");
    const QStringList made = recordings(ownFolder.path());
    ASSERT_EQ(made.size(), 1) << made.join(u',').toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^我的曲子 \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d\\.mid$"))
            .match(made[0])
            .hasMatch());
    const QStringList events = recordedEvents(ownFolder.filePath(made[0]));
    // The instruments at the start: the list's, and the one channel 3 had.
    ASSERT_GT(events.size(), 1);
    EXPECT_EQ(events[0], QStringLiteral("0: c0 00"));
    EXPECT_EQ(events[1], QStringLiteral("0: c2 00"));
    const auto ms = [](Clock::duration span) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
    };
    std::size_t at = 2;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        for (const QString& bytes : steps[i].recorded) {
            ASSERT_LT(at, static_cast<std::size_t>(events.size()))
                << events.join(u'\n').toStdString();
            const QStringList parts = events[static_cast<int>(at++)].split(QStringLiteral(": "));
            EXPECT_EQ(parts[1], bytes) << "step " << i;
            const long time = parts[0].toLong();
            const long earliest = i <= 1 ? 0 : ms(when[i].first - when[1].second) - 1;
            EXPECT_GE(time, earliest) << "step " << i << ": " << bytes.toStdString();
            EXPECT_LE(time, ms(when[i].second - when[1].first) + 1) << "step " << i;
        }
    }
    EXPECT_EQ(at, static_cast<std::size_t>(events.size())) << events.join(u'\n').toStdString();
    // Joined the songs, first; listened to, it sounds from its first note.
    emit window->findChild<QMenu*>(QStringLiteral("学弹儿歌"))->aboutToShow();
    testing::waitUntil([&] { return window->findChild<QAction*>(made[0].chopped(4)) != nullptr; });
    EXPECT_EQ(window->findChild<QMenu*>(QStringLiteral("学弹儿歌"))->actions().value(0)->text(),
              made[0].chopped(4));
    choose("停止");
    choose("听一遍");
    midi.clearSent();
    choose(made[0].chopped(4).toUtf8().constData());
    ASSERT_TRUE(sentAll(2));
    EXPECT_EQ(midi.sentText().substr(0, 15), "C0 00, 90 3C 70") << "with its instrument";
    EXPECT_EQ(combo->currentIndex(), 0);
}

// The folder cannot be made: said once, on standard error and in a box
// that offers to try again; the take waits meanwhile, also when the ten
// minutes end it, and is written once the grown-up has mended the folder.
TEST_F(Songs, ARecordingThatCannotBeWrittenIsKeptUntilARetryWritesIt) {
    songFolders = {ownFolder.filePath(QStringLiteral("blocked/songs"))};
    QFile blocker(ownFolder.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    makeWindow();
    choose("录音");
    auto* limit = window->findChild<QTimer*>(QStringLiteral("recordingLimit"));
    ASSERT_NE(limit, nullptr);
    EXPECT_TRUE(limit->isActive());
    EXPECT_EQ(limit->interval(), 10 * 60 * 1000);
    testing::InputScript(*picture).play(QStringLiteral("key K; up K"));
    messages.retries = {true, true};
    int asked = 0;
    messages.whileAsked = [&] {
        if (++asked == 2) {
            QFile::remove(blocker.fileName());  // mended the second time
        }
    };
    ::testing::internal::CaptureStderr();
    limit->start(1);  // the ten minutes are up
    testing::waitUntil([&] { return asked == 2; });
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(window->findChild<QAction*>(QStringLiteral("录音"))->isChecked());
    EXPECT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("the recording could not be kept"), std::string::npos) << said;
    EXPECT_EQ(recordings(songFolders[0]).size(), 1);
}

}  // namespace
}  // namespace tinko

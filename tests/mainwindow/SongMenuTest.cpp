// Songs on the window's keyboard: the song menu, and a song listened to,
// followed by its lights and played with magic keys, with the notes sent
// and the keys seen.
#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

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

    void choose(const char* item) {
        QAction* action = window->findChild<QAction*>(QString::fromUtf8(item));
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
        {nullptr, "两只老虎 小星星 | 听一遍 跟着灯弹* 一键一音 | 停止 | 琴键标记"},
        {"magic", "两只老虎 小星星 | 听一遍 跟着灯弹 一键一音* | 停止 | 琴键标记"},
        {"bogus", "两只老虎 小星星 | 听一遍 跟着灯弹* 一键一音 | 停止 | 琴键标记"},
    };
    for (const auto& run : runs) {
        if (run.stored) {
            QSettings(settingsFile, QSettings::IniFormat).setValue("songMode", run.stored);
        }
        makeWindow();
        QStringList items;
        for (QAction* item : window->findChild<QMenu*>(QStringLiteral("学弹儿歌"))->actions()) {
            items << (item->isSeparator() ? QStringLiteral("|")
                                          : item->text() + (item->isChecked() ? "*" : ""));
        }
        EXPECT_EQ(items.join(' ').toStdString(), run.menu);
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
    EXPECT_NE(window->findChild<QAction*>(QStringLiteral("新年好")), nullptr);
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
              "90 3E 00, 90 3E 70, 90 3E 00, 90 3E 70, 90 3E 00, 90 1C 70, "
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
}

}  // namespace
}  // namespace tinko

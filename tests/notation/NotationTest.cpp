// 简谱: songs of the book and files made here, each against the sheet a
// teacher writes for it.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <string>
#include <vector>

#include "Jianpu.h"
#include "MidiFiles.h"
#include "SheetView.h"
#include "SongFile.h"

namespace tinko::notation {
namespace {

using testing::Bytes;
using testing::Event;
using testing::midiFile;
using testing::off;
using testing::on;

Event timeSignature(std::uint8_t beats, std::uint8_t unitPower) {
    return {0, {0xFF, 0x58, 4, beats, unitPower, 24, 8}};
}

// Notes one after another: each (key, quarter notes) with key 0 a rest,
// struck `late` ticks after the beat and let go `early` ticks before its
// end, as a person plays.
std::vector<Event> played(std::initializer_list<std::pair<int, double>> notes, std::uint32_t late,
                          std::uint32_t early, std::vector<Event> head = {}) {
    std::vector<Event> events = std::move(head);
    std::uint32_t silence = 0;
    for (const auto& [key, quarters] : notes) {
        const auto ticks = static_cast<std::uint32_t>(quarters * 480);
        if (key == 0) {
            silence += ticks;
            continue;
        }
        events.push_back(on(silence + late, static_cast<std::uint8_t>(key)));
        events.push_back(off(ticks - late - early, static_cast<std::uint8_t>(key)));
        silence = early;
    }
    return events;
}

struct Case {
    const char* what;
    std::string song;  // a song of the book
    Bytes file;        // or a file
    const char* key;
    const char* metre;
    const char* sheet;  // as a teacher writes it
};

TEST(Jianpu, SongsAreWrittenAsATeacherWritesThem) {
    const Case cases[] = {
        {"a song of quarters and halves",
         "小星星",
         {},
         "1=C",
         "4/4",
         "1 1 5 5 | 6 6 5 - | 4 4 3 3 | 2 2 1 - | 5 5 4 4 | 3 3 2 - | 5 5 4 4 | 3 3 2 - | "
         "1 1 5 5 | 6 6 5 - | 4 4 3 3 | 2 2 1 - ||"},
        {"eighths joined in a beat, a low note",
         "两只老虎",
         {},
         "1=C",
         "4/4",
         "1 2 3 1 | 1 2 3 1 | 3 4 5 - | 3 4 5 - | 5_ 6_ 5_ 4_ 3 1 | 5_ 6_ 5_ 4_ 3 1 | "
         "1 5, 1 - | 1 5, 1 - ||"},
        {"a pickup, dotted eighths and sixteenths, high notes",
         "生日快乐",
         {},
         "1=C",
         "3/4",
         "5_. 5__ | 6 5 1' | 7 - 5_. 5__ | 6 5 2' | 1' - 5_. 5__ | 5' 3' 1' | 7 6 4'_. 4'__ | "
         "3' 1' 2' | 1' - ||"},
        {"six-eight in dotted quarters",
         "划船歌",
         {},
         "1=C",
         "6/8",
         "1. 1. | 1 2_ 3. | 3 2_ 3 4_ | 5 - - | 1'_ 1'_ 1'_ 5_ 5_ 5_ | 3_ 3_ 3_ 1_ 1_ 1_ | "
         "5 4_ 3 2_ | 1 - - ||"},
        {"notes tied over the bar line",
         "奇异恩典",
         {},
         "1=C",
         "3/4",
         "5, | 1 - 3_ 1_ | 3 - 2 | 1 - 6, | 5, - 5, | 1 - 3_ 1_ | 3 - 2_ 3_ | 5 - - | "
         "~5 - 3_ 5_ | 5 - 3_ 1_ | 3 - 2 | 1 - 6, | 5, - 5, | 1 - 3_ 1_ | 3 - 2 | 1 - - | ~1 - ||"},
        {"a dotted rhythm, rests and sixteenths played a little off the beat, no metre given", "",
         midiFile({played({{60, 1.5},
                           {62, 0.5},
                           {64, 1},
                           {0, 0.5},
                           {59, 0.5},
                           {67, 0.25},
                           {67, 0.25},
                           {67, 0.25},
                           {67, 0.25},
                           {69, 0.75},
                           {67, 0.25},
                           {72, 2}},
                          20, 50)}),
         "1=C", "4/4", "1. 2_ 3 0_ 7,_ | 5__ 5__ 5__ 5__ 6_. 5__ 1' - ||"},
        {"a metre changed after the last note: no empty bars", "",
         midiFile({{on(0, 60),
                    off(480, 60),
                    on(0, 64),
                    off(480, 64),
                    {480 * 4 * 60, {0xFF, 0x58, 4, 3, 2, 24, 8}}}}),
         "1=C", "4/4", "1 3 ||"},
        {"three-four in G at a second a beat, a sharp, after a silent bar", "",
         midiFile({played(
             {{0, 3}, {0, 1}, {67, 1}, {69, 1}, {71, 1}, {74, 2}, {73, 1}, {66, 1}, {67, 1}}, 0, 0,
             {timeSignature(3, 2),
              {0, {0xFF, 0x59, 2, 1, 0}},
              {0, {0xFF, 0x51, 3, 0x0F, 0x42, 0x40}}})}),
         "1=G", "3/4", "0 1 2 | 3 5 - | ♯4 7, 1 ||"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const songs::Melody melody =
            c.song.empty()
                ? songs::readMelody(c.file.data(), c.file.size())
                : songs::readMelody(std::string(TINKO_SONGS_DIR) + "/" + c.song + ".mid");
        const Sheet sheet = sheetOf(melody);
        EXPECT_EQ(sheet.key.toStdString(), c.key);
        EXPECT_EQ(sheet.metre.toStdString(), c.metre);
        EXPECT_EQ(textOf(sheet).toStdString(), c.sheet);
    }
    // A crafted file: a quarter note a microsecond, notes four million
    // beats apart; its sheet stops at a length no song comes near.
    std::vector<Event> far = {{0, {0xFF, 0x51, 3, 0, 0, 1}}, on(0, 60), off(480, 60)};
    for (int gap = 0; gap < 8; ++gap) {
        far.push_back({0x0FFFFFF0, {0xFF, 0x01, 0}});
    }
    far.push_back(on(0, 64));
    far.push_back(off(480, 64));
    const Bytes file = midiFile({far});
    const Sheet sheet = sheetOf(songs::readMelody(file.data(), file.size()));
    EXPECT_GT(sheet.bars.size(), 1000u);
    EXPECT_LE(sheet.bars.size(), 2048u);
}

TEST(SheetView, TheMarkedNoteShowsInAmberAndThePageTurnsToItsLine) {
    const songs::Melody melody = songs::readMelody(std::string(TINKO_SONGS_DIR) + "/小星星.mid");
    SheetView view;
    view.resize(400, 230);  // room for two lines a page
    view.setSheet(QStringLiteral("小星星"), sheetOf(melody));
    EXPECT_GE(view.lines(), 5);
    const auto amberRows = [&] {
        const QImage shown = view.grab().toImage();
        int rows = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                if (shown.pixel(x, y) == qRgb(255, 176, 0)) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    };
    EXPECT_EQ(amberRows(), 0);
    view.mark(0);
    EXPECT_EQ(view.firstLine(), 0);
    EXPECT_GT(amberRows(), 20);
    view.mark(static_cast<int>(melody.size()) - 1);
    EXPECT_EQ(view.firstLine(), (view.lines() - 1) / 2 * 2) << "the last line's page";
    EXPECT_GT(amberRows(), 20);
    view.mark(-1);
    EXPECT_EQ(view.firstLine(), (view.lines() - 1) / 2 * 2) << "no mark: the page stays";
    EXPECT_EQ(amberRows(), 0);
}

}  // namespace
}  // namespace tinko::notation

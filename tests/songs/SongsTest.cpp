// The song book: melodies read from Standard MIDI Files, the folders the
// songs come from, and the three ways of playing a song as plain state.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <initializer_list>
#include <string>
#include <vector>

#include "Lessons.h"
#include "MidiFiles.h"
#include "SongBook.h"
#include "SongFile.h"

namespace tinko::songs {
namespace {

using testing::Bytes;
using testing::Event;
using testing::midiFile;
using testing::off;
using testing::on;

Melody melodyOf(const Bytes& file) {
    return readMelody(file.data(), file.size());
}

std::string text(const Melody& melody) {
    std::string written;
    for (const MelodyNote& note : melody) {
        written += std::to_string(note.note) + "@" + std::to_string(int(note.start * 1000 + 0.5)) +
                   "+" + std::to_string(int(note.length * 1000 + 0.5)) + " ";
    }
    return written;
}

TEST(SongFile, TheMelodyIsTheHighestNoteOfTheFirstTrackWithNotesDrumsLeftOut) {
    const Event slowerTempo{0, {0xFF, 0x51, 3, 0x0F, 0x42, 0x40}};  // a second a quarter
    const struct {
        const char* what;
        Bytes file;
        const char* melody;  // key@start+length, in milliseconds
    } cases[] = {
        {"a chord's top note, then a tune (a note-on of velocity 0 ends a note)",
         midiFile({{on(0, 60),
                    on(0, 64),
                    on(0, 67),
                    off(480, 60),
                    off(0, 64),
                    off(0, 67),
                    on(0, 65),
                    {480, {0x90, 65, 0}},
                    on(0, 60),
                    off(480, 60)}}),
         "67@0+500 65@500+500 60@1000+500 "},
        {"a bass held under the tune is left out",
         midiFile({{on(0, 48), on(0, 72), off(480, 72), on(0, 74), off(480, 74), off(0, 48)}}),
         "72@0+500 74@500+500 "},
        {"a lower note that starts under the tune is left out",
         midiFile({{on(0, 72), on(480, 48), off(480, 72), off(0, 48)}}), "72@0+1000 "},
        {"a higher note cuts the sounding one short",
         midiFile({{on(0, 60), on(480, 67), off(480, 60), off(0, 67)}}), "60@0+500 67@500+500 "},
        {"drums and the tracks after the first with notes are left out",
         midiFile(
             {{slowerTempo},
              {on(0, 84, 9), off(240, 84, 9)},
              {on(0, 81, 9), on(0, 62), off(480, 62), off(0, 81, 9), on(0, 64, 3), off(480, 64, 3)},
              {on(0, 96), off(480, 96)}}),
         "62@0+1000 64@1000+1000 "},
        {"a note still held at the track's end lasts until then",
         midiFile({{on(0, 60), {480, {0xFF, 0x01, 1, 'x'}}}}), "60@0+500 "},
    };
    for (const auto& song : cases) {
        SCOPED_TRACE(song.what);
        EXPECT_EQ(text(melodyOf(song.file)), song.melody);
    }
}

TEST(SongFile, AFileWithoutASongIsRefusedWithTheReasonAndNothingPrinted) {
    Bytes truncated = midiFile({{on(0, 60), off(480, 60)}});
    truncated.resize(truncated.size() - 6);
    Bytes timecode = midiFile({{on(0, 60), off(480, 60)}});
    timecode[12] = 0xE7;  // 25 frames a second, not ticks a beat
    const char* const notMidi = "not a Standard MIDI File";
    const char* const notWhole = "a track that is not whole";
    const char* const noNotes = "no notes but drums, or none at all";
    const struct {
        Bytes file;
        const char* reason;
    } cases[] = {
        {{}, notMidi},
        {{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}, notMidi},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E', 0, 0}, notMidi},
        {truncated, "cut short"},
        {midiFile({{on(0, 36, 9), off(480, 36, 9)}}), noNotes},  // drums alone
        {midiFile({{{0, {0xFF, 0x03, 1, 'x'}}}}), noNotes},
        // Tracks that are not whole events ending in an end of track.
        {{'M',  'T', 'h', 'd', 0,   0, 0, 6, 0, 0, 0,    1,  1,
          0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0x90, 60, 100},
         notWhole},
        {midiFile({{on(0, 60), {0, {0xF7, 1, 0xF8}}, off(480, 60)}}), notWhole},
        {midiFile({{on(0, 60), {0, {0xFF, 0x01, 9, 'x'}}}}), notWhole},
        {midiFile({{on(0, 60), {0, {0xFF, 0x01, 1, 'x'}}, {0, {60, 0}}}}), notWhole},
        // What libsmf itself refuses, in its own words.
        {timecode, "SMF file uses FPS timing instead of PPQN, no support for that yet."},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.reason);
        ::testing::internal::CaptureStderr();
        try {
            melodyOf(refused.file);
            ADD_FAILURE() << "read";
        } catch (const SongFileError& error) {
            EXPECT_STREQ(error.what(), refused.reason);
        }
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
    EXPECT_THROW(readMelody("/nonexistent/song.mid"), SongFileError);
}

TEST(SongBook, EachFolderInTitleOrderBrokenFilesLeftOutAndSaidOnceNewFilesOnRefresh) {
    QTemporaryDir own, users;
    const auto write = [](const QString& path, const Bytes& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    };
    const Bytes song = midiFile({{on(0, 60), off(480, 60)}});
    // By their sound: xiǎo, liǎng, huān (pinyin), whatever their code points.
    for (const char* title : {"小星星", "两只老虎", "欢乐颂"}) {
        write(own.filePath(QString::fromUtf8(title) + ".mid"), song);
    }
    write(own.filePath("readme.txt"), song);
    write(users.filePath("Zebra song.mid"), song);
    write(users.filePath("broken.mid"), {'M', 'T', 'h', 'd'});
    QStringList said;
    SongBook book({own.path(), users.path(), own.filePath("missing")},
                  [&](const QString& line) { said << line; });
    const auto titles = [&] {
        QStringList listed;
        for (const Song& each : book.songs()) {
            listed << each.title;
        }
        return listed.join(' ');
    };
    EXPECT_EQ(titles(), QStringLiteral("欢乐颂 两只老虎 小星星 Zebra song"));
    EXPECT_EQ(text(book.songs().front().melody), "60@0+500 ");
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].startsWith("song left out: " + users.filePath("broken.mid") + " ("))
        << said[0].toStdString();

    write(users.filePath("Apple song.mid"), song);
    ASSERT_TRUE(QFile::remove(own.filePath("小星星.mid")));
    book.refresh();
    EXPECT_EQ(titles(), QStringLiteral("欢乐颂 两只老虎 Apple song Zebra song"));
    EXPECT_EQ(said.size(), 1) << "a broken file is said once";
}

TEST(SongBook, TheProgramsOwnSongsAreManyAndEachOnWhiteKeysTheComputerKeysReach) {
    const SongBook book({QStringLiteral(TINKO_SONGS_DIR)},
                        [](const QString& line) { ADD_FAILURE() << line.toStdString(); });
    EXPECT_GE(book.songs().size(), 20u);
    for (const Song& song : book.songs()) {
        SCOPED_TRACE(song.title.toStdString());
        EXPECT_GE(song.melody.size(), 8u);
        for (const MelodyNote& note : song.melody) {
            EXPECT_TRUE(note.note >= 48 && note.note <= 84) << int(note.note);
            EXPECT_EQ(std::string("101011010101").at(note.note % 12), '1') << int(note.note);
        }
    }
}

TEST(ListenPlayback, KeysGoDownAndUpOnTimeAndARepeatedKeyRisesBetween) {
    ListenPlayback playback({{60, 0.0, 0.5}, {60, 0.5, 0.5}, {64, 1.0, 0.25}, {67, 1.5, 0.5}});
    const struct {
        double now;
        const char* steps;  // +key down, -key up
    } moments[] = {
        {0.0, "+60 "},     {0.45, ""},     {0.46, "-60 "}, {0.5, "+60 "},     {0.99, ""},
        {1.0, "-60 +64 "}, {1.25, "-64 "}, {1.4, ""},      {5.0, "+67 -67 "}, {6.0, ""},
    };
    for (const auto& moment : moments) {
        std::string steps;
        for (const ListenPlayback::Step& step : playback.due(moment.now)) {
            steps += (step.down ? "+" : "-") + std::to_string(step.note) + " ";
        }
        EXPECT_EQ(steps, moment.steps) << "at " << moment.now;
        if (moment.now == 1.4) {
            EXPECT_DOUBLE_EQ(playback.nextAt().value_or(-1), 1.5);
        }
    }
    EXPECT_FALSE(playback.nextAt().has_value());
}

TEST(FollowLesson, OnlyTheHintedKeyMovesTheHintOnUntilTheEnd) {
    FollowLesson lesson({{60, 0, 1}, {60, 1, 1}, {67, 2, 1}});
    EXPECT_EQ(lesson.hint(), 60);
    EXPECT_FALSE(lesson.press(62));
    EXPECT_EQ(lesson.hint(), 60);
    EXPECT_TRUE(lesson.press(60));
    EXPECT_EQ(lesson.hint(), 60) << "the same key again";
    EXPECT_TRUE(lesson.press(60));
    EXPECT_FALSE(lesson.finished());
    EXPECT_TRUE(lesson.press(67));
    EXPECT_TRUE(lesson.finished());
    EXPECT_EQ(lesson.hint(), 0);
    EXPECT_FALSE(lesson.press(67));
}

TEST(MagicKeys, AnyKeyPlaysTheNextNoteUntilItComesUpAndTheSongStartsAgain) {
    MagicKeys magic({{60, 0, 1}, {62, 1, 1}, {60, 2, 1}});
    EXPECT_EQ(magic.press(65), 60);
    EXPECT_EQ(magic.press(65), 0) << "a repeat";
    EXPECT_EQ(magic.press(-1), 62);
    EXPECT_EQ(magic.release(65), 60);
    EXPECT_EQ(magic.release(65), 0);
    EXPECT_EQ(magic.press(90), 60);
    EXPECT_EQ(magic.press(91), 60) << "from the start again";
    EXPECT_EQ(magic.release(90), 0) << "the other key still holds it";
    EXPECT_EQ(magic.releaseAll(), (std::vector<std::uint8_t>{62, 60}));
    EXPECT_EQ(magic.release(91), 0);
    EXPECT_EQ(MagicKeys({}).press(65), 0) << "no song, no note";
}

}  // namespace
}  // namespace tinko::songs

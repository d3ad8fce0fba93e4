// The song book: melodies read from Standard MIDI Files, the folders the
// songs come from, and the three ways of playing a song as plain state.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
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

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A chunk as the file format has it, its length highest byte first or, in
// a RIFF file, last.
Bytes chunk(const char* tag, const Bytes& body, bool riff = false) {
    const auto size = static_cast<std::uint32_t>(body.size());
    Bytes length = {std::uint8_t(size >> 24), std::uint8_t(size >> 16), std::uint8_t(size >> 8),
                    std::uint8_t(size)};
    if (riff) {
        std::reverse(length.begin(), length.end());
    }
    return Bytes(tag, tag + 4) + length + body;
}

Bytes header(std::uint8_t format, std::uint8_t tracks, std::uint8_t division0,
             std::uint8_t division1) {
    return chunk("MThd", {0, format, 0, tracks, division0, division1});
}

// The 480 ticks a quarter note of the files above, as a delta time.
const Bytes kQuarter = {0x83, 0x60};
const Bytes kEndOfTrack = {0, 0xFF, 0x2F, 0};
const Bytes kSlowTempo = {0, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40};  // a second a quarter

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
        {"a note never let go, struck as the track ends: a quarter second",
         midiFile({{on(0, 60), off(480, 60), on(0, 62)}}), "60@0+500 62@500+250 "},
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
        // What real files do.
        {"format 0: SysEx (F0, F7) and meta events between running-status notes keep the status",
         header(0, 1, 0x01, 0xE0) +
             chunk("MTrk", Bytes{0, 0x90, 60, 100, 0, 0xF0, 3, 0x7E, 0x7F, 0xF7} + kQuarter +
                               Bytes{60, 0, 0, 0xF7, 1, 0xF8, 0, 0xFF, 1, 1, 'x', 0, 62, 100} +
                               kQuarter + Bytes{62, 0} + kEndOfTrack),
         "60@0+500 62@500+500 "},
        {"a tempo map in the first track governs the next",
         midiFile(
             {{{0, {0xFF, 0x51, 3, 0x0F, 0x42, 0x40}}, {480, {0xFF, 0x51, 3, 0x03, 0xD0, 0x90}}},
              {on(0, 60), off(480, 60), on(0, 62), off(480, 62)}}),
         "60@0+1000 62@1000+250 "},
        {"SMPTE time: 25 frames a second, 40 ticks a frame",
         header(0, 1, 0xE7, 40) +
             chunk("MTrk", Bytes{0, 0x90, 60, 100} + kQuarter + Bytes{0x80, 60, 64} + kEndOfTrack),
         "60@0+480 "},
        {"an unknown chunk, no end of track, and bytes after the last chunk",
         header(1, 1, 0x01, 0xE0) + chunk("XFIH", Bytes{0, 0x90, 72, 100, 0x83, 0x60, 72, 0}) +
             chunk("MTrk", Bytes{0, 0x90, 60, 100} + kQuarter + Bytes{0x80, 60, 64}) + Bytes{0, 0},
         "60@0+500 "},
        {"RIFF-wrapped (.rmi), after an odd-length chunk and its pad byte",
         chunk("RIFF",
               Bytes{'R', 'M', 'I', 'D'} + chunk("LIST", {'a', 'b', 'c'}, true) + Bytes{0} +
                   chunk("data", midiFile({{on(0, 60), off(480, 60)}}), true),
               true),
         "60@0+500 "},
        {"format 2: the first song, without the second one's tempo",
         header(2, 2, 0x01, 0xE0) +
             chunk("MTrk", Bytes{0, 0x90, 60, 100} + kQuarter + Bytes{60, 0} + kEndOfTrack) +
             chunk("MTrk", kSlowTempo + kEndOfTrack),
         "60@0+500 "},
        // Crafted files.
        {"a track claiming 2 GB: the next chunk follows its end of track",
         header(1, 2, 0x01, 0xE0) + Bytes{'M', 'T', 'r', 'k', 0x7F, 0xFF, 0xFF, 0xFF} + kSlowTempo +
             kEndOfTrack + chunk("MTrk", Bytes{0, 0x90, 60, 100} + kQuarter + Bytes{60, 0}),
         "60@0+1000 "},
        {"a tempo cut short by the file's end",
         header(0, 1, 0x01, 0xE0) + chunk("MTrk", Bytes{0, 0x90, 60, 100} + kQuarter +
                                                      Bytes{60, 0, 0, 0xFF, 0x51, 3, 0x07}),
         "60@0+500 "},
        {"nine events of the largest delta each: past four hours, left out",
         header(0, 1, 0x01, 0xE0) +
             chunk("MTrk", Bytes{0, 0x90, 60, 100} + kQuarter +
                               Bytes{60, 0, 0xFF, 0xFF, 0xFF, 0x7F, 62, 100, 0xFF, 0xFF, 0xFF, 0x7F,
                                     62, 0, 0xFF, 0xFF, 0xFF, 0x7F, 62, 100, 0xFF, 0xFF, 0xFF, 0x7F,
                                     62, 0, 0xFF, 0xFF, 0xFF, 0x7F, 62, 100, 0xFF, 0xFF, 0xFF, 0x7F,
                                     62, 0, 0xFF, 0xFF, 0xFF, 0x7F, 62, 100, 0xFF, 0xFF, 0xFF, 0x7F,
                                     62, 0, 0xFF, 0xFF, 0xFF, 0x7F, 62, 100}),
         "60@0+500 "},
        // Melodies beyond the keys the computer keyboard reaches (36 to 96).
        {"too high: an octave down",
         midiFile({{on(0, 100), off(480, 100), on(0, 103), off(480, 103)}}),
         "88@0+500 91@500+500 "},
        {"too low: two octaves up", midiFile({{on(0, 20), off(480, 20), on(0, 28), off(480, 28)}}),
         "44@0+500 52@500+500 "},
        {"wider than the keys: the note outside folded in by an octave",
         midiFile({{on(0, 30), off(480, 30), on(0, 95), off(480, 95)}}), "42@0+500 95@500+500 "},
    };
    for (const auto& song : cases) {
        SCOPED_TRACE(song.what);
        EXPECT_EQ(text(melodyOf(song.file)), song.melody);
    }
}

TEST(SongFile, AFileWithoutASongIsRefusedWithTheReasonAndNothingPrinted) {
    const char* const notMidi = "not a Standard MIDI File";
    const char* const noNotes = "no notes but drums, or none at all";
    Bytes tooLarge = midiFile({{on(0, 60), off(480, 60)}});
    tooLarge.resize(4 * 1024 * 1024 + 1);
    Bytes nineLargestDeltas;
    for (int event = 0; event < 9; ++event) {
        nineLargestDeltas = nineLargestDeltas + Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100};
    }
    const struct {
        Bytes file;
        const char* reason;
    } cases[] = {
        {{}, notMidi},
        {{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}, notMidi},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E', 0, 0}, notMidi},
        {chunk("RIFF", Bytes{'R', 'M', 'I', 'D'} + chunk("LIST", {'a', 'b'}, true), true), notMidi},
        {midiFile({{on(0, 36, 9), off(480, 36, 9)}}), noNotes},  // drums alone
        {midiFile({{{0, {0xFF, 0x03, 1, 'x'}}}}), noNotes},
        {header(0, 1, 0x01, 0xE0) + chunk("MTrk", Bytes{0, 60, 100} + kQuarter + Bytes{60, 0}),
         noNotes},  // data without a status
        {header(0, 1, 0x01, 0xE0) + chunk("MTrk", nineLargestDeltas), noNotes},
        {header(0, 1, 0, 0) + chunk("MTrk", Bytes{0, 0x90, 60, 100}), "no time division"},
        {tooLarge, "too large for a song"},
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

TEST(SongFile, NotesPastTheMillionthEventAreNotRead) {
    // Notes of a tick each, just under 4 MiB of them: 1.36 million events.
    Bytes events = {0, 0x90, 60, 100, 1, 60, 0};
    events.reserve(4'100'000);
    while (events.size() < 4'100'000) {
        events.insert(events.end(), {0, 60, 100, 1, 60, 0});
    }
    const Melody melody = melodyOf(header(0, 1, 0x01, 0xE0) + chunk("MTrk", events));
    EXPECT_EQ(melody.size(), 524288u);
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
    // Any of the names MIDI files go by, in any case.
    write(users.filePath("Zebra song.MID"), song);
    write(users.filePath("Yak.midi"), song);
    write(users.filePath("Karaoke.kar"), song);
    write(users.filePath("Riff.rmi"),
          chunk("RIFF", Bytes{'R', 'M', 'I', 'D'} + chunk("data", song, true), true));
    write(users.filePath("broken.mid"), {'M', 'T', 'h', 'd'});
    // The child's recordings first, the newest first.
    write(users.filePath("我的曲子 2026-01-02 10-00.mid"), song);
    write(users.filePath("我的曲子 2026-03-04 09-00.mid"), song);
    // A link to a pipe nobody writes: passed over, not waited for.
    ASSERT_EQ(mkfifo(users.filePath("fifo").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(users.filePath("fifo"), users.filePath("pipe.mid")));
    QStringList said;
    int reads = 0;
    SongBook book({own.path(), users.path(), own.filePath("missing")},
                  [&](const QString& line) { said << line; });
    QObject::connect(&book, &SongBook::songsRead, [&] { ++reads; });
    const auto titles = [&] {
        QStringList listed;
        for (const Song& each : book.songs()) {
            listed << each.title;
        }
        return listed.join(' ');
    };
    // Read on a thread of its own: nothing yet when the book is made.
    EXPECT_TRUE(book.songs().empty() && said.empty());
    // A song asked for meanwhile waits for the read.
    ASSERT_NE(book.song(QStringLiteral("Yak")), nullptr);
    EXPECT_EQ(reads, 1);
    const QString recordings =
        QStringLiteral("我的曲子 2026-03-04 09-00 我的曲子 2026-01-02 10-00 ");
    EXPECT_EQ(titles(), "欢乐颂 两只老虎 小星星 " + recordings + "Karaoke Riff Yak Zebra song");
    EXPECT_EQ(text(book.songs().front().melody), "60@0+500 ");
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[0].startsWith("song left out: " + users.filePath("broken.mid") + " ("))
        << said[0].toStdString();
    EXPECT_EQ(said[1], "song left out: " + users.filePath("pipe.mid") + " (not a plain file)");

    write(users.filePath("Apple song.mid"), song);
    ASSERT_TRUE(QFile::remove(own.filePath("小星星.mid")));
    book.refresh();
    book.refresh();  // asked again during the read: read once more after it
    book.waitForRead();
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(titles(), "欢乐颂 两只老虎 " + recordings + "Apple song Karaoke Riff Yak Zebra song");
    EXPECT_EQ(said.size(), 2) << "a broken file is said once";
    ASSERT_NE(book.song(QStringLiteral("Yak")), nullptr);
    EXPECT_EQ(text(book.song(QStringLiteral("Yak"))->melody), "60@0+500 ");
    EXPECT_EQ(book.song(QStringLiteral("小星星")), nullptr);
}

TEST(SongBook, TheProgramsOwnSongsAreManyAndEachOnWhiteKeysTheComputerKeysReach) {
    SongBook book({QStringLiteral(TINKO_SONGS_DIR)},
                  [](const QString& line) { ADD_FAILURE() << line.toStdString(); });
    book.waitForRead();
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

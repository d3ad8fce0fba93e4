// Prints what the song book costs and how a listened song keeps time, in a
// fresh process: the resident memory the program's own songs take once
// read, how long a user's folder of 500 song files holds up the thread that
// opens the book and how long until its songs are read (and join the
// menu), the time from choosing a song to its first note, and how late
// each note of a song goes out against its time in the file.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "Piano.h"
#include "ResidentMemory.h"
#include "SongBook.h"
#include "SongPlayer.h"

namespace {

// Notes the song strikes, with when each went out, from the player's start.
class TimedMidiOutput : public tinko::MidiOutput {
public:
    std::int32_t open(Handle& handle, std::int32_t) override {
        handle = 1;
        return Ok;
    }
    std::int32_t sendShortMessage(Handle, std::uint32_t message) override {
        if ((message & 0xF0) == 0x90 && (message >> 16 & 0x7F) != 0) {
            struck.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        return Ok;
    }
    std::int32_t close(Handle) override { return Ok; }

    QElapsedTimer clock;
    std::vector<double> struck;  // ms
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double before = tinko::bench::residentMegabytes();
    QElapsedTimer timer;
    timer.start();
    tinko::songs::SongBook book({QStringLiteral(TINKO_SONGS_DIR)}, [](const QString& line) {
        std::fprintf(stderr, "%s\n", qPrintable(line));
    });
    book.waitForRead();
    const double readMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double after = tinko::bench::residentMegabytes();
    std::size_t notes = 0;
    for (const tinko::songs::Song& song : book.songs()) {
        notes += song.melody.size();
    }
    std::printf("song book:              %zu songs, %zu notes, read in %.1f ms\n",
                book.songs().size(), notes, readMs);
    std::printf(
        "resident memory:        %.2f MB before, %.2f MB after (+%.0f kB, of which "
        "the melodies hold %.0f kB)\n",
        before, after, (after - before) * 1024,
        static_cast<double>(notes * sizeof(tinko::songs::MelodyNote)) / 1024);
    if (book.songs().empty()) {
        return 1;
    }

    // A user's folder of 500 files: the program's own songs over and over.
    QTemporaryDir users, empty;
    const QStringList own = QDir(QStringLiteral(TINKO_SONGS_DIR)).entryList({"*.mid"}, QDir::Files);
    for (int i = 0; i < 500; ++i) {
        QFile::copy(QStringLiteral(TINKO_SONGS_DIR "/") + own.at(i % own.size()),
                    users.filePath(QStringLiteral("song %1.mid").arg(i)));
    }
    for (const char* folders : {"none", "500"}) {
        const QStringList read = {QStringLiteral(TINKO_SONGS_DIR),
                                  folders[0] == '5' ? users.path() : empty.path()};
        bool done = false;
        timer.restart();
        tinko::songs::SongBook opened(read, [](const QString&) {});
        const double heldMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        QObject::connect(&opened, &tinko::songs::SongBook::songsRead, [&] { done = true; });
        while (!done) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        std::printf(
            "user's files: %-4s     the book holds up its thread %.2f ms; %zu songs read "
            "(in the menu) after %.1f ms\n",
            folders, heldMs, opened.songs().size(),
            static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }

    // The first eight seconds of the first song, listened to.
    TimedMidiOutput midi;
    tinko::Piano piano(midi);
    piano.OpenDevices();
    piano.setAutoPlay(true);
    tinko::songs::SongPlayer player(piano);
    player.setMode(tinko::songs::SongMode::Listen);
    tinko::songs::Melody melody;
    for (const tinko::songs::MelodyNote& note : book.songs().front().melody) {
        if (note.start < 8) {
            melody.push_back(note);
        }
    }
    midi.clock.start();
    player.start(melody);
    while (player.running()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    std::vector<double> late;
    for (std::size_t i = 0; i < melody.size() && i < midi.struck.size(); ++i) {
        late.push_back(midi.struck[i] - melody[i].start * 1000);
    }
    if (late.empty()) {
        return 1;
    }
    std::printf("choice to first note:   %.3f ms after its time in the file (%s)\n", late.front(),
                qPrintable(book.songs().front().title));
    std::sort(late.begin(), late.end());
    std::printf("notes late, of %zu:      median %.2f ms, worst %.2f ms\n", late.size(),
                late[late.size() / 2], late.back());
    return 0;
}

// Songs are read by a reader of our own, written to the Standard MIDI File
// format and to what real files do. The files come from anywhere, so every
// length is checked against the bytes that are there, and what cannot be
// read ends the track it is in rather than the whole song: a file is left
// out only when no notes can be read from it.
#include "SongFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CheckedMath.h"

namespace tinko::songs {
namespace {

constexpr int kDrumChannel = 9;  // channel 10, counted from 1

// Bounds that no song comes near, so that no file can stall the program.
constexpr std::size_t kMaxFileSize = 4 << 20;
constexpr std::size_t kMaxEvents = 1 << 20;  // notes and tempo changes kept, all tracks
constexpr double kMaxSeconds = 4 * 3600.0;   // later notes are left out
constexpr double kUnendedAtLeast = 0.25;     // seconds, for a note never let go

constexpr std::int64_t kDefaultTempo = 500000;  // microseconds a quarter note: 120 a minute

struct NoteEvent {
    std::int64_t tick = 0;
    std::uint8_t channel = 0;
    std::uint8_t key = 0;
    bool on = false;
};

struct Track {
    std::vector<NoteEvent> notes;
    std::int64_t endTick = 0;
    int program = -1;  // the first instrument it chooses, drums aside
};

struct TempoEvent {
    std::int64_t tick = 0;
    std::int64_t microsPerQuarter = kDefaultTempo;
};

struct MetreEvent {
    std::int64_t tick = 0;
    int beats = 4;
    int unit = 4;
};

// What a score of the melody needs, from every track read.
struct ScoreMarks {
    std::vector<TempoEvent> tempos;
    std::vector<MetreEvent> metres;
    std::optional<int> sharps;  // the first key signature's
};

// A run of bytes read front to back, never past its end.
class Bytes {
public:
    Bytes(const unsigned char* begin, std::size_t size) : at_(begin), end_(begin + size) {}

    std::size_t left() const { return static_cast<std::size_t>(end_ - at_); }
    const unsigned char* at() const { return at_; }
    bool startsWith(const char* tag) const { return left() >= 4 && std::memcmp(at_, tag, 4) == 0; }
    bool byte(std::uint8_t& value) {
        if (at_ == end_) {
            return false;
        }
        value = *at_++;
        return true;
    }
    bool skip(std::size_t count) {
        if (left() < count) {
            return false;
        }
        at_ += count;
        return true;
    }
    // A number of `count` bytes, the highest first or (RIFF) last.
    bool number(int count, std::uint32_t& value, bool bigEndian = true) {
        if (left() < static_cast<std::size_t>(count)) {
            return false;
        }
        value = 0;
        for (int i = 0; i < count; ++i) {
            const std::uint32_t byte = at_[bigEndian ? i : count - 1 - i];
            value = value << 8 | byte;
        }
        at_ += count;
        return true;
    }
    // A variable-length quantity: seven bits a byte, at most four bytes.
    bool varying(std::uint32_t& value) {
        value = 0;
        for (int length = 1; length <= 4; ++length) {
            std::uint8_t next = 0;
            if (!byte(next)) {
                return false;
            }
            value = value << 7 | (next & 0x7F);
            if ((next & 0x80) == 0) {
                return true;
            }
        }
        return false;
    }

private:
    const unsigned char* at_;
    const unsigned char* end_;
};

// The bytes a chunk's body holds: as many as it claims, or the rest of the
// file when it claims more than the file holds.
Bytes chunkBody(Bytes& file, std::uint32_t length) {
    const std::size_t size = std::min<std::size_t>(length, file.left());
    Bytes body(file.at(), size);
    file.skip(size);
    return body;
}

// Data bytes of a channel message, by its status.
int dataBytes(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Bytes that follow a system common or real-time status, which have no
// place in a file but are stepped over as a MIDI cable would.
int systemBytes(std::uint8_t status) {
    switch (status) {
        case 0xF1:
        case 0xF3:
            return 1;
        case 0xF2:
            return 2;
        default:
            return 0;
    }
}

// Reads one track's notes and tempo changes until its end-of-track, its
// last byte, or the first event that cannot be read, and leaves `body` just
// after. Running status survives meta and system exclusive events, as real
// files need and other readers allow.
Track readTrack(Bytes& body, ScoreMarks& marks, std::size_t& events) {
    Track track;
    std::int64_t tick = 0;
    std::uint8_t running = 0;
    for (;;) {
        std::uint32_t delta = 0;
        std::uint8_t status = 0;
        if (events >= kMaxEvents || !body.varying(delta) || !body.byte(status)) {
            break;
        }
        tick = checkedAdd(tick, static_cast<std::int64_t>(delta));
        track.endTick = tick;
        std::uint8_t data[2] = {status, 0};
        int have = 0;  // data bytes of a channel message already read
        if (status < 0x80) {
            if (running == 0) {
                break;  // data without a status: nothing says what it means
            }
            status = running;
            have = 1;
        }
        if (status == 0xFF) {
            std::uint8_t type = 0;
            std::uint32_t length = 0;
            if (!body.byte(type) || !body.varying(length)) {
                break;
            }
            const unsigned char* meta = body.at();
            if (!body.skip(length) || type == 0x2F) {
                break;
            }
            if (type == 0x51 && length >= 3) {
                const std::int64_t micros = meta[0] << 16 | meta[1] << 8 | meta[2];
                if (micros > 0) {
                    marks.tempos.push_back({tick, micros});
                    ++events;
                }
            } else if (type == 0x58 && length >= 4 && meta[0] > 0 && meta[1] < 7) {
                marks.metres.push_back({tick, meta[0], 1 << meta[1]});
                ++events;
            } else if (type == 0x59 && length >= 2 && !marks.sharps) {
                const int sharps = static_cast<std::int8_t>(meta[0]);
                if (sharps >= -7 && sharps <= 7) {
                    marks.sharps = sharps;
                }
            }
        } else if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!body.varying(length) || !body.skip(length)) {
                break;
            }
        } else if (status > 0xF0) {
            if (!body.skip(systemBytes(status))) {
                break;
            }
        } else {
            running = status;
            bool whole = true;
            for (; have < dataBytes(status) && whole; ++have) {
                whole = body.byte(data[have]) && data[have] < 0x80;
            }
            if (!whole) {
                break;
            }
            const std::uint8_t kind = status & 0xF0;
            const std::uint8_t channel = status & 0x0F;
            if ((kind == 0x90 || kind == 0x80) && channel != kDrumChannel) {
                track.notes.push_back({tick, channel, data[0], kind == 0x90 && data[1] > 0});
                ++events;
            } else if (kind == 0xC0 && channel != kDrumChannel && track.program < 0) {
                track.program = data[0];
            }
        }
    }
    return track;
}

// Seconds from the song's start, by a tempo map or by a fixed frame rate.
class Clock {
public:
    Clock(std::uint16_t division, std::vector<TempoEvent> tempos) {
        if ((division & 0x8000) != 0) {
            // SMPTE time: frames a second (29 stands for 29.97) and ticks a frame.
            const int frames = 256 - (division >> 8);
            const int ticks = division & 0xFF;
            const double rate = frames == 29 ? 30000.0 / 1001 : frames;
            secondsPerTick_ = ticks == 0 ? 0 : 1 / (rate * ticks);
            return;
        }
        ticksPerQuarter_ = division;
        std::stable_sort(tempos.begin(), tempos.end(),
                         [](const TempoEvent& a, const TempoEvent& b) { return a.tick < b.tick; });
        double seconds = 0;
        TempoEvent last{0, kDefaultTempo};
        for (const TempoEvent& change : tempos) {
            seconds += secondsOver(change.tick - last.tick, last.microsPerQuarter);
            marks_.push_back({change, seconds});
            last = change;
        }
    }

    bool ticks() const { return secondsPerTick_ > 0 || ticksPerQuarter_ > 0; }

    // From the last tempo change at or before `tick`, found by binary search.
    double seconds(std::int64_t tick) const {
        if (secondsPerTick_ > 0) {
            return static_cast<double>(tick) * secondsPerTick_;
        }
        const auto after = std::upper_bound(
            marks_.begin(), marks_.end(), tick,
            [](std::int64_t at, const Mark& mark) { return at < mark.change.tick; });
        if (after == marks_.begin()) {
            return secondsOver(tick, kDefaultTempo);
        }
        const Mark& mark = *(after - 1);
        return mark.seconds + secondsOver(tick - mark.change.tick, mark.change.microsPerQuarter);
    }

private:
    struct Mark {
        TempoEvent change;
        double seconds = 0;  // when it comes
    };

    double secondsOver(std::int64_t ticks, std::int64_t microsPerQuarter) const {
        return static_cast<double>(ticks) * static_cast<double>(microsPerQuarter) /
               (1e6 * ticksPerQuarter_);
    }

    double secondsPerTick_ = 0;
    int ticksPerQuarter_ = 0;
    std::vector<Mark> marks_;
};

// The notes of one track, each from its note-on to its note-off. A note
// still held at the track's end lasts until then; notes past the longest a
// song may last are left out.
std::vector<MelodyNote> notesOf(const Track& track, const Clock& clock) {
    std::vector<MelodyNote> notes;
    std::map<std::pair<int, int>, std::deque<std::size_t>> held;  // by channel and key
    const double end = std::min(clock.seconds(track.endTick), kMaxSeconds);
    for (const NoteEvent& event : track.notes) {
        const double at = clock.seconds(event.tick);
        if (at > kMaxSeconds) {
            break;
        }
        auto& sounding = held[{event.channel, event.key}];
        if (event.on) {
            sounding.push_back(notes.size());
            notes.push_back({event.key, at, -1});
        } else if (!sounding.empty()) {
            MelodyNote& note = notes[sounding.front()];
            note.length = at - note.start;
            sounding.pop_front();
        }
    }
    std::vector<MelodyNote> heard;
    for (MelodyNote& note : notes) {
        if (note.length < 0) {
            // Never let go: it lasts until the track ends, and is heard even
            // when the track ends as it is struck.
            note.length = std::max(end - note.start, kUnendedAtLeast);
        }
        if (note.length > 0) {
            heard.push_back(note);
        }
    }
    return heard;
}

// A RIFF MIDI file (.rmi) holds a Standard MIDI File in its "data" chunk.
Bytes unwrapRiff(const Bytes& whole) {
    Bytes file = whole;
    std::uint32_t ignored = 0;
    if (!file.startsWith("RIFF") || !file.skip(4) || !file.number(4, ignored, false) ||
        !file.startsWith("RMID") || !file.skip(4)) {
        return whole;
    }
    while (file.left() >= 8) {
        const bool isData = file.startsWith("data");
        std::uint32_t length = 0;
        file.skip(4);
        file.number(4, length, false);
        Bytes body = chunkBody(file, length);
        if (isData) {
            return body;
        }
        file.skip(length & 1);  // chunks are padded to an even length
    }
    throw SongFileError("not a Standard MIDI File");
}

// Where the beats fall, the bars and the key, for the melody's score. Of
// two marks at one time the later in the file holds. Timed in frames, a
// song has no beats to find.
void markScore(Melody& melody, ScoreMarks& marks, std::uint16_t division, const Clock& clock) {
    if ((division & 0x8000) != 0 || division == 0) {
        return;
    }
    const auto kept = [](auto& list, auto mark) {
        auto at = std::find_if(list.begin(), list.end(),
                               [&](const auto& other) { return other.quarter >= mark.quarter; });
        if (at != list.end() && at->quarter == mark.quarter) {
            *at = mark;
        } else {
            list.insert(at, mark);
        }
    };
    const auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
    std::stable_sort(marks.tempos.begin(), marks.tempos.end(), byTick);
    std::stable_sort(marks.metres.begin(), marks.metres.end(), byTick);
    for (const TempoEvent& tempo : marks.tempos) {
        kept(melody.tempi,
             TempoChange{clock.seconds(tempo.tick), static_cast<double>(tempo.tick) / division,
                         static_cast<double>(tempo.microsPerQuarter) / 1e6});
    }
    for (const MetreEvent& metre : marks.metres) {
        kept(melody.metres,
             TimeSignature{static_cast<double>(metre.tick) / division, metre.beats, metre.unit});
    }
    melody.sharps = marks.sharps.value_or(0);
}

Melody readSong(Bytes file) {
    file = unwrapRiff(file);
    std::uint32_t headerLength = 0, format = 0, trackCount = 0, division = 0;
    if (!file.startsWith("MThd") || !file.skip(4) || !file.number(4, headerLength) ||
        headerLength < 6 || !file.number(2, format) || !file.number(2, trackCount) ||
        !file.number(2, division)) {
        throw SongFileError("not a Standard MIDI File");
    }
    chunkBody(file, headerLength - 6);
    // Tracks as they come, the header's count aside: unknown chunks are
    // stepped over, bytes after the last chunk left.
    ScoreMarks marks;
    std::vector<Track> tracks;
    std::size_t events = 0;
    while (file.left() >= 8) {
        const bool isTrack = file.startsWith("MTrk");
        std::uint32_t length = 0;
        file.skip(4);
        file.number(4, length);
        const bool claimsMore = length > file.left();
        Bytes body = chunkBody(file, length);
        if (!isTrack) {
            continue;
        }
        tracks.push_back(readTrack(body, marks, events));
        if (format == 2) {
            break;  // separate songs: the first is the one played
        }
        if (claimsMore) {
            file = body;  // a length too large: the next chunk follows the track's end
        }
    }
    const Clock clock(static_cast<std::uint16_t>(division), marks.tempos);
    if (!clock.ticks()) {
        throw SongFileError("no time division");
    }
    for (const Track& track : tracks) {
        std::vector<MelodyNote> notes = notesOf(track, clock);
        if (!notes.empty()) {
            Melody melody = fitToKeys(highestNotes(std::move(notes)));
            markScore(melody, marks, static_cast<std::uint16_t>(division), clock);
            melody.program = track.program;
            return melody;
        }
    }
    throw SongFileError("no notes but drums, or none at all");
}

}  // namespace

Melody readMelody(const void* bytes, std::size_t size) {
    if (size > kMaxFileSize) {
        throw SongFileError("too large for a song");
    }
    try {
        return readSong(Bytes(static_cast<const unsigned char*>(bytes), size));
    } catch (const OverflowError&) {
        throw SongFileError("times beyond counting");
    }
}

Melody readMelody(const std::string& path) {
    // Opened without waiting, and read only when it is a plain file: a link
    // to a pipe or a device would otherwise hold the reading for ever.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        throw SongFileError("cannot be opened");
    }
    const struct Closer {
        int descriptor;
        ~Closer() { ::close(descriptor); }
    } closer{descriptor};
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        throw SongFileError("not a plain file");
    }
    if (status.st_size > static_cast<off_t>(kMaxFileSize)) {
        throw SongFileError("too large for a song");
    }
    // One byte more than a song may have tells a file grown meanwhile.
    std::vector<char> bytes(kMaxFileSize + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t read = ::read(descriptor, bytes.data() + got, bytes.size() - got);
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            throw SongFileError("cannot be read");
        }
        if (read == 0) {
            break;
        }
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    return readMelody(bytes.data(), bytes.size());
}

}  // namespace tinko::songs

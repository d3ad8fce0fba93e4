// Songs are read by libsmf, which also turns the file's ticks and tempo
// changes into seconds.
#include "SongFile.h"

#include <glib.h>
#include <smf.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tinko::songs {
namespace {

constexpr int kDrumChannel = 9;  // channel 10, counted from 1

struct SmfDeleter {
    void operator()(smf_t* smf) const { smf_delete(smf); }
};
using SmfHandle = std::unique_ptr<smf_t, SmfDeleter>;

// libsmf says what is wrong with a file through GLib's log, which would
// print it. While a file loads, the log's messages are kept instead: the
// caller says in one line why a file is left out.
class KeptLogMessages {
public:
    KeptLogMessages() : previous_(g_log_set_default_handler(&KeptLogMessages::keep, this)) {}
    ~KeptLogMessages() { g_log_set_default_handler(previous_, nullptr); }
    KeptLogMessages(const KeptLogMessages&) = delete;
    KeptLogMessages& operator=(const KeptLogMessages&) = delete;

    // The first error or warning, or `otherwise` when there was none.
    std::string firstOr(const std::string& otherwise) const {
        return first_.empty() ? otherwise : first_;
    }

private:
    static void keep(const gchar*, GLogLevelFlags level, const gchar* message, gpointer self) {
        auto& kept = *static_cast<KeptLogMessages*>(self);
        if ((level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) != 0 &&
            kept.first_.empty() && message != nullptr) {
            kept.first_ = message;
        }
    }

    GLogFunc previous_;
    std::string first_;
};

// The notes of one track, each from its note-on to its note-off, drums left
// out. A note still held at the track's end lasts until then.
std::vector<MelodyNote> notesOf(smf_track_t* track) {
    std::vector<MelodyNote> notes;
    std::map<std::pair<int, int>, std::vector<std::size_t>> held;  // by channel and key
    double end = 0;
    for (int number = 1; number <= track->number_of_events; ++number) {
        const smf_event_t* event = smf_track_get_event_by_number(track, number);
        if (event == nullptr) {
            continue;
        }
        end = std::max(end, event->time_seconds);
        if (event->midi_buffer_length < 3 || smf_event_is_metadata(event)) {
            continue;
        }
        const int status = event->midi_buffer[0] & 0xF0;
        const int channel = event->midi_buffer[0] & 0x0F;
        const int key = event->midi_buffer[1] & 0x7F;
        const int velocity = event->midi_buffer[2];
        if (channel == kDrumChannel || (status != 0x90 && status != 0x80)) {
            continue;
        }
        auto& sounding = held[{channel, key}];
        if (status == 0x90 && velocity > 0) {
            sounding.push_back(notes.size());
            notes.push_back({static_cast<std::uint8_t>(key), event->time_seconds, -1});
        } else if (!sounding.empty()) {
            MelodyNote& note = notes[sounding.front()];
            note.length = event->time_seconds - note.start;
            sounding.erase(sounding.begin());
        }
    }
    std::vector<MelodyNote> heard;
    for (MelodyNote& note : notes) {
        if (note.length < 0) {
            note.length = end - note.start;
        }
        if (note.length > 0) {
            heard.push_back(note);
        }
    }
    return heard;
}

// libsmf trusts the lengths a file gives for itself: it reads past the end
// of a file cut short, and stops the program (an assertion) at a track that
// ends without its end-of-track event. So it only gets files whose every
// chunk is all there and whose tracks are whole events, one after another,
// ending in an end-of-track; what the events mean is left to libsmf. The
// bytes it reads come with room to spare behind them all the same.
constexpr std::size_t kSpareBytes = 1024;

std::uint32_t bigEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// The bytes of one track, taken event by event.
class TrackWalk {
public:
    TrackWalk(const unsigned char* begin, const unsigned char* end) : at_(begin), end_(end) {}

    // Whether the track is whole: events up to an end-of-track that closes it.
    bool isWhole() {
        for (;;) {
            if (!skipNumber() || at_ >= end_) {
                return false;
            }
            std::uint8_t status = *at_;
            if (status >= 0x80) {
                ++at_;
            } else if (running_ != 0) {
                status = running_;
            } else {
                return false;
            }
            if (status >= 0xF0) {
                running_ = 0;  // a meta or system exclusive event ends running status
            }
            if (status == 0xFF) {
                if (at_ >= end_) {
                    return false;
                }
                const std::uint8_t type = *at_++;
                // libsmf takes a meta event's length as one byte.
                if (at_ >= end_ || *at_ >= 0x80 || !skip(1 + *at_)) {
                    return false;
                }
                if (type == 0x2F) {
                    return at_ == end_;
                }
            } else if (status == 0xF0) {
                std::uint32_t length = 0;
                if (!readNumber(length) || !skip(length)) {
                    return false;
                }
            } else if (status >= 0xF0) {
                // Escaped bytes (F7) stop libsmf too; the rest have no
                // place in a file.
                return false;
            } else {
                running_ = status;
                const bool oneByte = (status & 0xE0) == 0xC0;  // program and channel pressure
                if (!skip(oneByte ? 1 : 2)) {
                    return false;
                }
            }
        }
    }

private:
    bool readNumber(std::uint32_t& value) {
        value = 0;
        for (int length = 1; length <= 4 && at_ < end_; ++length) {
            const std::uint8_t byte = *at_++;
            value = value << 7 | (byte & 0x7F);
            if ((byte & 0x80) == 0) {
                return true;
            }
        }
        return false;
    }
    bool skipNumber() {
        std::uint32_t ignored = 0;
        return readNumber(ignored);
    }
    bool skip(std::size_t count) {
        if (static_cast<std::size_t>(end_ - at_) < count) {
            return false;
        }
        at_ += count;
        return true;
    }

    const unsigned char* at_;
    const unsigned char* end_;
    std::uint8_t running_ = 0;
};

void checkChunks(const unsigned char* bytes, std::size_t size) {
    constexpr std::size_t kChunkHeader = 8;
    constexpr std::size_t kFileHeader = kChunkHeader + 6;
    if (size < kFileHeader || std::string(bytes, bytes + 4) != "MThd" ||
        bigEndian(bytes + 4, 4) != 6) {
        throw SongFileError("not a Standard MIDI File");
    }
    if (bigEndian(bytes + 10, 2) == 0) {
        throw SongFileError("no tracks");
    }
    for (std::size_t at = kFileHeader; at < size;) {
        const std::uint32_t length = size - at < kChunkHeader ? 0 : bigEndian(bytes + at + 4, 4);
        if (size - at < kChunkHeader || length > size - at - kChunkHeader) {
            throw SongFileError("cut short");
        }
        const unsigned char* body = bytes + at + kChunkHeader;
        if (std::string(bytes + at, bytes + at + 4) == "MTrk" &&
            !TrackWalk(body, body + length).isWhole()) {
            throw SongFileError("a track that is not whole");
        }
        at += kChunkHeader + length;
    }
}

// The tempo changes, time signatures and first key signature of every
// track, for the melody's score. Of two at one time the later in the file
// holds.
void readScoreMarks(smf_t* smf, Melody& melody) {
    if (smf->ppqn <= 0) {
        return;  // timed in frames: no beats to find
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
    bool keyFound = false;
    for (int number = 1; number <= smf->number_of_tracks; ++number) {
        smf_track_t* track = smf_get_track_by_number(smf, number);
        for (int index = 1; track != nullptr && index <= track->number_of_events; ++index) {
            const smf_event_t* event = smf_track_get_event_by_number(track, index);
            if (event == nullptr || !smf_event_is_metadata(event) ||
                event->midi_buffer_length < 4) {
                continue;
            }
            const unsigned char* bytes = event->midi_buffer;
            const int length = event->midi_buffer_length;
            const double quarter = static_cast<double>(event->time_pulses) / smf->ppqn;
            if (bytes[1] == 0x51 && bytes[2] == 3 && length >= 6) {
                kept(melody.tempi, TempoChange{event->time_seconds, quarter,
                                               static_cast<double>(bigEndian(bytes + 3, 3)) / 1e6});
            } else if (bytes[1] == 0x58 && bytes[2] == 4 && length >= 7 && bytes[3] > 0 &&
                       bytes[4] < 7) {
                kept(melody.metres, TimeSignature{quarter, bytes[3], 1 << bytes[4]});
            } else if (bytes[1] == 0x59 && bytes[2] == 2 && length >= 5 && !keyFound) {
                const int sharps = static_cast<std::int8_t>(bytes[3]);
                if (sharps >= -7 && sharps <= 7) {
                    melody.sharps = sharps;
                    keyFound = true;
                }
            }
        }
    }
}

Melody melodyOf(smf_t* smf) {
    for (int number = 1; number <= smf->number_of_tracks; ++number) {
        smf_track_t* track = smf_get_track_by_number(smf, number);
        if (track == nullptr) {
            continue;
        }
        std::vector<MelodyNote> notes = notesOf(track);
        if (!notes.empty()) {
            Melody melody = highestNotes(std::move(notes));
            readScoreMarks(smf, melody);
            return melody;
        }
    }
    throw SongFileError("no notes but drums, or none at all");
}

}  // namespace

Melody readMelody(const void* bytes, std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX) - kSpareBytes) {
        throw SongFileError("too large for a song");
    }
    const auto* begin = static_cast<const unsigned char*>(bytes);
    checkChunks(begin, size);
    std::vector<unsigned char> spacious(begin, begin + size);
    spacious.resize(size + kSpareBytes);
    SmfHandle smf;
    {
        const KeptLogMessages messages;
        smf.reset(smf_load_from_memory(spacious.data(), static_cast<int>(size)));
        if (!smf) {
            throw SongFileError(messages.firstOr("not a Standard MIDI File"));
        }
    }
    return melodyOf(smf.get());
}

Melody readMelody(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw SongFileError("cannot be opened");
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    if (file.bad()) {
        throw SongFileError("cannot be read");
    }
    return readMelody(bytes.data(), bytes.size());
}

}  // namespace tinko::songs

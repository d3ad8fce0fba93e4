#pragma once

#include <cstdint>
#include <vector>

namespace tinko::songs {

// A note of a song as it sounds: its key, when it starts and how long it
// lasts, in seconds from the song's start.
struct MelodyNote {
    std::uint8_t note = 0;
    double start = 0;
    double length = 0;
};

// From where on (`second`, and `quarter` in quarter notes) a quarter note
// lasts `secondsPerQuarter`.
struct TempoChange {
    double second = 0;
    double quarter = 0;
    double secondsPerQuarter = 0.5;
};

// A time signature from `quarter` quarter notes on: `beats` beats of the
// note 1/`unit` a bar.
struct TimeSignature {
    double quarter = 0;
    int beats = 4;
    int unit = 4;
};

// The notes a child plays, one at a time, in order, with what a score of
// them needs: where the beats fall, the bars and the key.
struct Melody : std::vector<MelodyNote> {
    using std::vector<MelodyNote>::vector;

    std::vector<TempoChange> tempi;     // in order; none: 120 quarters a minute
    std::vector<TimeSignature> metres;  // in order; none: 4/4
    int sharps = 0;                     // the key signature: sharps, or flats when below 0
    int program = -1;                   // the instrument its file chooses, -1 for none
};

// The melody of a part that may hold chords: at each note's start, the
// highest key then sounding. A note under a higher one is left out; a
// higher note that starts while another sounds cuts it short.
Melody highestNotes(std::vector<MelodyNote> notes);

// The keys the computer keyboard reaches, C2 to C7.
constexpr std::uint8_t kLowestKey = 36;
constexpr std::uint8_t kHighestKey = 96;

// The melody on keys a child can press: moved by whole octaves until it
// fits between kLowestKey and kHighestKey, or, when it spans more than they
// do, to where the fewest notes fall outside; those are then folded in by
// octaves.
Melody fitToKeys(Melody melody);

}  // namespace tinko::songs

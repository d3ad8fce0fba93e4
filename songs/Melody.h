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

// The notes a child plays, one at a time, in order.
using Melody = std::vector<MelodyNote>;

// The melody of a part that may hold chords: at each note's start, the
// highest key then sounding. A note under a higher one is left out; a
// higher note that starts while another sounds cuts it short.
Melody highestNotes(std::vector<MelodyNote> notes);

}  // namespace tinko::songs

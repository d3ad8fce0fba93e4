#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "Melody.h"

namespace tinko::songs {

// A file that holds no song: not a Standard MIDI File, or one without notes.
class SongFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The melody of a Standard MIDI File: the highest notes of its first track
// that has notes, drums (channel 10) left out. Throws SongFileError, saying
// why, for a file that cannot be read or holds no such notes.
Melody readMelody(const std::string& path);
Melody readMelody(const void* bytes, std::size_t size);

}  // namespace tinko::songs

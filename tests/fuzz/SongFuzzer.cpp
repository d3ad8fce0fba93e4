// Any bytes as a song file: a melody on keys a child can press, or
// SongFileError, and nothing else.
#include <cstddef>
#include <cstdint>

#include "SongFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const tinko::songs::Melody melody = tinko::songs::readMelody(data, size);
        for (const tinko::songs::MelodyNote& note : melody) {
            if (note.note < tinko::songs::kLowestKey || note.note > tinko::songs::kHighestKey ||
                !(note.length > 0)) {
                __builtin_trap();
            }
        }
    } catch (const tinko::songs::SongFileError&) {
    }
    return 0;
}

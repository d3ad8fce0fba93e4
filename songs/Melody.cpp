#include "Melody.h"

#include <algorithm>

namespace tinko::songs {

Melody highestNotes(std::vector<MelodyNote> notes) {
    // By start, and at one start the highest first: it is the chord's note
    // the melody keeps.
    std::sort(notes.begin(), notes.end(), [](const MelodyNote& a, const MelodyNote& b) {
        return a.start != b.start ? a.start < b.start : a.note > b.note;
    });
    Melody melody;
    for (const MelodyNote& note : notes) {
        if (melody.empty()) {
            melody.push_back(note);
            continue;
        }
        MelodyNote& sounding = melody.back();
        const double soundingEnd = sounding.start + sounding.length;
        if (note.start >= soundingEnd) {
            melody.push_back(note);
        } else if (note.start > sounding.start && note.note > sounding.note) {
            sounding.length = note.start - sounding.start;
            melody.push_back(note);
        }
    }
    return melody;
}

Melody fitToKeys(Melody melody) {
    const auto outside = [](int key) { return key < kLowestKey || key > kHighestKey; };
    // Octaves tried from the nearest: none, one down, one up, and so on.
    int best = 0;
    std::size_t fewest = melody.size() + 1;
    for (int octaves :
         {0, -1, 1, -2, 2, -3, 3, -4, 4, -5, 5, -6, 6, -7, 7, -8, 8, -9, 9, -10, 10}) {
        const auto count = static_cast<std::size_t>(std::count_if(
            melody.begin(), melody.end(),
            [&](const MelodyNote& note) { return outside(note.note + 12 * octaves); }));
        if (count < fewest) {
            best = octaves;
            fewest = count;
        }
    }
    for (MelodyNote& note : melody) {
        int key = note.note + 12 * best;
        while (key < kLowestKey) {
            key += 12;
        }
        while (key > kHighestKey) {
            key -= 12;
        }
        note.note = static_cast<std::uint8_t>(key);
    }
    return melody;
}

}  // namespace tinko::songs

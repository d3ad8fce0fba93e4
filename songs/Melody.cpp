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

}  // namespace tinko::songs

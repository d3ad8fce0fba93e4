#pragma once

#include <QString>
#include <cstddef>
#include <vector>

#include "Melody.h"

namespace tinko::notation {

// One sign of a 简谱 sheet.
struct Sign {
    enum class Kind { Note, Rest, Dash, BarLine, EndLine, Metre };
    Kind kind = Kind::Note;
    int degree = 0;       // 1 to 7 (a note)
    int accidental = 0;   // 1 sharp, -1 flat
    int octave = 0;       // dots above when above 0, below when under
    int underlines = 0;   // 1 an eighth, 2 a sixteenth
    bool dotted = false;  // half as long again
    bool tied = false;    // holds on the note before instead of striking anew
    int beatGroup = 0;  // the beat it lies in, counted through the song: underlines join within one
    int note = -1;      // the melody's note it writes (notes and dashes)
    QString metre;      // "3/4", for a change of metre
};

// A melody written in 简谱 (numbered notation), bar by bar.
struct Sheet {
    QString key;                          // "1=C", "1=G", "1=♭B"
    QString metre;                        // "4/4"
    std::vector<std::vector<Sign>> bars;  // each ends in its bar line
    // Where each note of the melody is written first: its bar and sign.
    struct Place {
        std::size_t bar = 0;
        std::size_t sign = 0;
    };
    std::vector<Place> places;
};

// The sheet of `melody`: its notes placed on the nearest sixteenth in the
// metre and key it carries (4/4 and C when none), 1 being the key's tonic.
Sheet sheetOf(const songs::Melody& melody);

// A sign as text: "5", "1'" (an octave up), "6," (down), "♯4", "3_" (an
// eighth), "2__" (a sixteenth), "5." (dotted), "~5" (tied on), "0", "-",
// "|", "||", "[3/4]".
QString textOf(const Sign& sign);
// The signs of the sheet, one space apart: "1 1 5 5 | 6 6 5 - | ...".
QString textOf(const Sheet& sheet);

}  // namespace tinko::notation

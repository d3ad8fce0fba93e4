// From a melody timed in seconds to 简谱: seconds become quarter notes by the
// file's tempo map, quarter notes are rounded to the sixteenth, and each note
// or rest is written in the fewest signs the bar's beats allow.
#include "Jianpu.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace tinko::notation {
namespace {

constexpr double kGrid = 0.25;  // a sixteenth, in quarter notes
constexpr double kEpsilon = 1e-6;

bool onGrid(double value, double step) {
    return std::fabs(value / step - std::round(value / step)) < kEpsilon;
}

double quarterAt(const songs::Melody& melody, double second) {
    const songs::TempoChange* tempo = nullptr;
    for (const songs::TempoChange& change : melody.tempi) {
        if (change.second <= second + kEpsilon) {
            tempo = &change;
        }
    }
    if (tempo == nullptr) {
        return second / 0.5;  // 120 quarters a minute
    }
    return tempo->quarter + (second - tempo->second) / tempo->secondsPerQuarter;
}

double roundToGrid(double quarter) {
    return std::round(quarter / kGrid) * kGrid;
}

// A stretch of the song: a note (index into the melody) or a rest.
struct Stretch {
    double start = 0;
    double end = 0;
    int note = -1;
};

// Compound metres (6/8, 9/8, 12/8) beat in dotted quarters, the others in
// quarters.
double beatOf(const songs::TimeSignature& metre) {
    return metre.unit == 8 && metre.beats % 3 == 0 ? 1.5 : 1.0;
}

double barOf(const songs::TimeSignature& metre) {
    return metre.beats * 4.0 / metre.unit;
}

QString metreText(const songs::TimeSignature& metre) {
    return QStringLiteral("%1/%2").arg(metre.beats).arg(metre.unit);
}

// The longest value, in quarter notes, that a note (or rest) at `at` in its
// bar, lasting `left` more, may be written with in one go: dashes only from
// a beat, and below a quarter never across one.
double longestValue(double at, double left, double beat, bool rest) {
    const auto crosses = [&](double value) {
        return std::floor(at / beat + kEpsilon) != std::floor((at + value) / beat - kEpsilon);
    };
    static constexpr std::array<double, 10> kValues = {6, 5, 4, 3, 2, 1.5, 1, 0.75, 0.5, 0.25};
    for (double value : kValues) {
        if (value > left + kEpsilon) {
            continue;
        }
        const bool whole = value >= 2;  // a number and dashes
        if (rest && (whole || value == 0.75 || (value == 1.5 && beat == 1.0))) {
            continue;  // rests are not held with dashes: one 0 a beat
        }
        if (whole && (!onGrid(at, beat) || (beat > 1 && !onGrid(value, beat)))) {
            continue;
        }
        if (value == 1.5 && (beat > 1 ? crosses(value) : !onGrid(at, 0.5))) {
            continue;
        }
        if (value == 1 && (beat > 1 ? crosses(value) : !onGrid(at, 0.5))) {
            continue;
        }
        if (value < 1 && crosses(value)) {
            continue;
        }
        if (rest && value == 1 && !onGrid(at, 1.0)) {
            continue;
        }
        return value;
    }
    return kGrid;
}

struct Degree {
    int degree = 1;
    int accidental = 0;
    int octave = 0;
};

// Degrees of the twelve steps above the tonic; in a key with flats the
// steps between are flattened, else sharpened.
Degree degreeOf(int note, int tonic, bool flats) {
    static constexpr std::array<int, 12> kSharp = {1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6, 7};
    static constexpr std::array<int, 12> kFlat = {1, 2, 2, 3, 3, 4, 5, 5, 6, 6, 7, 7};
    static constexpr std::array<int, 12> kNatural = {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1};
    const int above = note - tonic;
    const int step = ((above % 12) + 12) % 12;
    Degree degree;
    degree.degree = flats ? kFlat[step] : kSharp[step];
    degree.accidental = kNatural[step] != 0 ? 0 : (flats ? -1 : 1);
    // The octave of the written degree, not of the sounding key: ♭1 above
    // the 7 of an octave belongs to the octave above.
    const int written = above - degree.accidental;
    degree.octave = static_cast<int>(std::floor(written / 12.0));
    return degree;
}

// The tonic the undotted octave starts from: of the tonics from an octave
// below C4's to an octave above, the one that leaves the fewest notes
// dotted; the one from C4 up when several do.
int tonicFor(const songs::Melody& melody, int tonicClass, bool flats) {
    int best = 60 + tonicClass;
    std::size_t fewest = SIZE_MAX;
    for (int tonic : {60 + tonicClass, 48 + tonicClass, 72 + tonicClass}) {
        std::size_t dotted = 0;
        for (const songs::MelodyNote& note : melody) {
            dotted += degreeOf(note.note, tonic, flats).octave != 0 ? 1 : 0;
        }
        if (dotted < fewest) {
            fewest = dotted;
            best = tonic;
        }
    }
    return best;
}

QString keyName(int sharps) {
    static constexpr std::array<const char*, 15> kNames = {
        "♭C", "♭G", "♭D", "♭A", "♭E", "♭B", "F", "C", "G", "D", "A", "E", "B", "♯F", "♯C"};
    return QStringLiteral("1=") + QString::fromUtf8(kNames[static_cast<std::size_t>(sharps + 7)]);
}

}  // namespace

Sheet sheetOf(const songs::Melody& melody) {
    const int sharps = std::clamp(melody.sharps, -7, 7);
    const bool flats = sharps < 0;
    const int tonicClass = ((sharps * 7) % 12 + 12) % 12;
    const int tonic = tonicFor(melody, tonicClass, flats);

    std::vector<songs::TimeSignature> metres = melody.metres;
    if (metres.empty() || metres.front().quarter > kEpsilon) {
        metres.insert(metres.begin(), songs::TimeSignature{});
    }
    Sheet sheet;
    sheet.key = keyName(sharps);
    // A first metre that holds one bar only is a pickup: the header names
    // the one after it.
    const bool pickup =
        metres.size() > 1 && std::fabs(metres[1].quarter - barOf(metres[0])) < kEpsilon;
    sheet.metre = metreText(metres[pickup ? 1 : 0]);

    // The notes on the grid, each starting after the one before.
    std::vector<Stretch> notes;
    for (std::size_t index = 0; index < melody.size(); ++index) {
        const songs::MelodyNote& note = melody[index];
        double start = roundToGrid(quarterAt(melody, note.start));
        double end = roundToGrid(quarterAt(melody, note.start + note.length));
        if (!notes.empty()) {
            start = std::max(start, notes.back().start + kGrid);
            notes.back().end = std::min(notes.back().end, start);
        }
        notes.push_back({start, std::max(end, start + kGrid), static_cast<int>(index)});
    }
    sheet.places.resize(notes.size());
    if (notes.empty()) {
        return sheet;
    }

    // The bars, each from its start, up to the one the last note ends in.
    struct Bar {
        double start;
        double end;
        const songs::TimeSignature* metre;
    };
    // Made from the bar the first note falls in to the one the last ends in,
    // and no more than a song for children ever fills: a crafted file's
    // span of millions of beats stops there.
    constexpr std::size_t kMostBars = 2048;
    std::vector<Bar> bars;
    const double songStart = notes.front().start;
    const double songEnd = notes.back().end;
    for (std::size_t m = 0; m < metres.size() && bars.size() < kMostBars; ++m) {
        const double bar = barOf(metres[m]);
        const double until =
            std::min(m + 1 < metres.size() ? metres[m + 1].quarter : songEnd, songEnd);
        double at = metres[m].quarter;
        if (songStart > at + bar) {
            at += std::floor((songStart - at) / bar) * bar;
        }
        for (; at < until - kEpsilon && bars.size() < kMostBars; at += bar) {
            bars.push_back({at, std::min(at + bar, until), &metres[m]});
        }
    }
    // Whole bars of silence before the first note are left out.
    std::size_t firstBar = 0;
    while (firstBar + 1 < bars.size() && bars[firstBar].end <= notes.front().start + kEpsilon) {
        ++firstBar;
    }

    // Every stretch: notes and the rests between them.
    std::vector<Stretch> stretches;
    double at = bars[firstBar].start;
    for (const Stretch& note : notes) {
        if (note.start > at + kEpsilon) {
            stretches.push_back({at, note.start, -1});
        }
        stretches.push_back(note);
        at = note.end;
    }

    std::size_t next = 0;
    for (std::size_t b = firstBar; b < bars.size(); ++b) {
        const Bar& bar = bars[b];
        std::vector<Sign> signs;
        if (b > firstBar && bar.metre != bars[b - 1].metre &&
            !(pickup && bar.metre == &metres[1] && b == firstBar + 1)) {
            Sign change;
            change.kind = Sign::Kind::Metre;
            change.metre = metreText(*bar.metre);
            signs.push_back(change);
        }
        const double beat = beatOf(*bar.metre);
        for (; next < stretches.size() && stretches[next].start < bar.end - kEpsilon; ++next) {
            const Stretch& stretch = stretches[next];
            const bool rest = stretch.note < 0;
            double from = std::max(stretch.start, bar.start);
            const double to = std::min(stretch.end, bar.end);
            bool first = stretch.start >= bar.start - kEpsilon;
            while (from < to - kEpsilon) {
                const double value = longestValue(from - bar.start, to - from, beat, rest);
                Sign sign;
                sign.kind = rest ? Sign::Kind::Rest : Sign::Kind::Note;
                sign.note = stretch.note;
                sign.beatGroup = static_cast<int>(std::floor((from - bar.start) / beat + kEpsilon));
                sign.beatGroup += static_cast<int>(b) * 1000;  // never joined across a bar line
                if (!rest) {
                    const Degree degree =
                        degreeOf(melody[static_cast<std::size_t>(stretch.note)].note, tonic, flats);
                    sign.degree = degree.degree;
                    sign.accidental = degree.accidental;
                    sign.octave = degree.octave;
                    sign.tied = !first;
                    if (first) {
                        sheet.places[static_cast<std::size_t>(stretch.note)] = {b - firstBar,
                                                                                signs.size()};
                    }
                }
                const double whole = std::floor(value + kEpsilon);
                if (value >= 2) {
                    signs.push_back(sign);
                    Sign dash;
                    dash.kind = Sign::Kind::Dash;
                    dash.note = stretch.note;
                    for (int i = 1; i < static_cast<int>(whole); ++i) {
                        signs.push_back(dash);
                    }
                } else {
                    const double base = value == 1.5 ? 1 : value == 0.75 ? 0.5 : value;
                    sign.dotted = base != value;
                    sign.underlines = base >= 1 ? 0 : base >= 0.5 ? 1 : 2;
                    signs.push_back(sign);
                }
                first = false;
                from += value;
            }
            if (stretch.end > bar.end + kEpsilon) {
                break;  // it goes on in the next bar
            }
        }
        Sign line;
        line.kind = b + 1 == bars.size() ? Sign::Kind::EndLine : Sign::Kind::BarLine;
        signs.push_back(line);
        sheet.bars.push_back(std::move(signs));
    }
    return sheet;
}

QString textOf(const Sign& sign) {
    switch (sign.kind) {
        case Sign::Kind::Dash:
            return QStringLiteral("-");
        case Sign::Kind::BarLine:
            return QStringLiteral("|");
        case Sign::Kind::EndLine:
            return QStringLiteral("||");
        case Sign::Kind::Metre:
            return QLatin1Char('[') + sign.metre + QLatin1Char(']');
        case Sign::Kind::Note:
        case Sign::Kind::Rest:
            break;
    }
    QString text;
    if (sign.tied) {
        text += QLatin1Char('~');
    }
    if (sign.accidental != 0) {
        text += sign.accidental > 0 ? QStringLiteral("♯") : QStringLiteral("♭");
    }
    text += QString::number(sign.kind == Sign::Kind::Rest ? 0 : sign.degree);
    text += QString(std::abs(sign.octave), sign.octave > 0 ? QLatin1Char('\'') : QLatin1Char(','));
    text += QString(sign.underlines, QLatin1Char('_'));
    if (sign.dotted) {
        text += QLatin1Char('.');
    }
    return text;
}

QString textOf(const Sheet& sheet) {
    QStringList words;
    for (const std::vector<Sign>& bar : sheet.bars) {
        for (const Sign& sign : bar) {
            words << textOf(sign);
        }
    }
    return words.join(QLatin1Char(' '));
}

}  // namespace tinko::notation

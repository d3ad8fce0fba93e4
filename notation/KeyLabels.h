#pragma once

#include <cstdint>
#include <map>

#include "Piano.h"

namespace tinko::notation {

// What the keys are labelled with.
enum class LabelMode {
    None,         // no labels
    Jianpu,       // 1 to 7 with 1 = C, dotted by octave from C4's; ♯1, ♯2, ... on black keys
    Solfege,      // do re mi fa sol la si, white keys only
    NoteName,     // C4, C♯4, ...
    ComputerKey,  // the letter or digit that plays the key (given by the host)
};

// The labels of the keyboard's keys in `mode`, by note; none for None and
// ComputerKey, whose letters only the host knows.
std::map<std::uint8_t, KeyLabel> keyLabels(LabelMode mode);

}  // namespace tinko::notation

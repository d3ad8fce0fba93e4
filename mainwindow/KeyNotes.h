#pragma once

#include <cstdint>

namespace tinko {

// The note a computer key plays: the 36 keys from the bottom letter row up
// to the digit row play the white keys from C2 (36) to C7 (96). Every other
// key code gives 0, no note. `Shift` makes no difference.
std::uint8_t GetKeyNote(std::int16_t KeyCode, std::int16_t Shift);

}  // namespace tinko

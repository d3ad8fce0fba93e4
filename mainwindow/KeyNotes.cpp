#include "KeyNotes.h"

#include <array>
#include <utility>

namespace tinko {
namespace {

// Key character and note, row by row from the bottom letter row up.
constexpr std::array<std::pair<char, std::uint8_t>, 36> kKeys = {{
    {'Z', 36}, {'X', 38}, {'C', 40}, {'V', 41}, {'B', 43}, {'N', 45}, {'M', 47}, {'A', 48},
    {'S', 50}, {'D', 52}, {'F', 53}, {'G', 55}, {'H', 57}, {'J', 59}, {'K', 60}, {'L', 62},
    {'Q', 64}, {'W', 65}, {'E', 67}, {'R', 69}, {'T', 71}, {'Y', 72}, {'U', 74}, {'I', 76},
    {'O', 77}, {'P', 79}, {'1', 81}, {'2', 83}, {'3', 84}, {'4', 86}, {'5', 88}, {'6', 89},
    {'7', 91}, {'8', 93}, {'9', 95}, {'0', 96},
}};

}  // namespace

std::uint8_t GetKeyNote(std::int16_t KeyCode, std::int16_t /*Shift*/) {
    // Key codes are compared as character codes, so the keypad's digit codes
    // (96 to 105, lower-case letters and a back quote) match nothing.
    for (const auto& [character, note] : kKeys) {
        if (KeyCode == character) {
            return note;
        }
    }
    return 0;
}

}  // namespace tinko

#pragma once

#include <QString>
#include <cstdint>

namespace tinko {

// The display name of General MIDI program `program` (0 to 127): its number,
// the English and the Chinese name. Any other number gives the empty string.
QString instrumentName(std::int32_t program);

}  // namespace tinko

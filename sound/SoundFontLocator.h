#pragma once

#include <string>

namespace tinko::fluid {

// Where Debian's SoundFont packages put their files.
inline constexpr const char* kSoundFontDir = "/usr/share/sounds/sf2";

// The General MIDI SoundFont to play: default-GM.sf2 in `dir` when it is
// there, otherwise the first other .sf2 file in `dir` by name. Empty when
// `dir` holds none.
std::string findSoundFont(const std::string& dir = kSoundFontDir);

}  // namespace tinko::fluid

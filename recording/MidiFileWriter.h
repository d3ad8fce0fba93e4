#pragma once

#include <QByteArray>

#include "TakeRecorder.h"

namespace tinko::recording {

// A take as a Standard MIDI File of format 0: a header and one track, one
// tempo, a tick a millisecond, the take's messages in order and the end of
// the track after its last.
QByteArray standardMidiFile(const Take& take);

}  // namespace tinko::recording

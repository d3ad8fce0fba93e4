#pragma once

#include <alsa/asoundlib.h>

#include <QSocketNotifier>
#include <cstdint>
#include <memory>
#include <vector>

#include "MidiPorts.h"
#include "Owned.h"

namespace tinko::midiports::alsa {

// The ports as a client of the ALSA sequencer ("Tinko 钢琴"), for systems
// without PipeWire. Its events are read on the thread that opened it, when
// the sequencer's descriptor is readable: at rest nothing runs.
class AlsaSequencerPorts : public MidiPorts {
public:
    static constexpr char kDevice[] = "/dev/snd/seq";

    // Throws std::runtime_error when the sequencer cannot be opened.
    AlsaSequencerPorts();
    ~AlsaSequencerPorts() override;

private:
    void sendOut(std::uint32_t message) override;

    void readEvents();

    Owned<snd_seq_t, snd_seq_close> sequencer_;
    Owned<snd_midi_event_t, snd_midi_event_free> coder_;  // events to bytes and back
    int input_ = -1;
    int output_ = -1;
    std::vector<std::unique_ptr<QSocketNotifier>> readable_;
};

}  // namespace tinko::midiports::alsa

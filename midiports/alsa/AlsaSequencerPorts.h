#pragma once

#include <alsa/asoundlib.h>

#include <QSocketNotifier>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "MidiPorts.h"
#include "Owned.h"

namespace tinko::midiports::alsa {

// The ports as a client of the ALSA sequencer ("Tinko 钢琴"), for systems
// without PipeWire. Its events are read on the thread that opened it, when
// the sequencer's descriptor is readable: at rest nothing runs.
//
// The readable ports of hardware MIDI clients are connected to the input
// as they appear (the system's announcements say when), unless switched
// off; one the user disconnects stays so until it appears again.
class AlsaSequencerPorts : public MidiPorts {
public:
    static constexpr char kDevice[] = "/dev/snd/seq";

    // Throws std::runtime_error when the sequencer cannot be opened.
    AlsaSequencerPorts();
    ~AlsaSequencerPorts() override;

    void setAutoConnect(bool on) override;

private:
    using Address = std::pair<int, int>;  // client, port

    void sendOut(std::uint32_t message) override;

    void readEvents();
    // Connects a device's port once, if it is a keyboard's and wanted.
    void connectKeyboard(Address port);
    void tellKeyboards();

    Owned<snd_seq_t, snd_seq_close> sequencer_;
    Owned<snd_midi_event_t, snd_midi_event_free> coder_;  // events to bytes and back
    int input_ = -1;
    int output_ = -1;
    std::vector<std::unique_ptr<QSocketNotifier>> readable_;
    bool autoConnect_ = true;
    std::map<Address, std::string> connected_;  // by us, with their names
    std::set<Address> disconnectedByUser_;
};

}  // namespace tinko::midiports::alsa

#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tinko::midiports {

// Which sources the input port is linked to by itself, on a MIDI graph of
// ports and links such as PipeWire's: the output ports of the MIDI devices
// plugged into the computer, each once, when they appear and when the ports
// find them there. A link the user removes stays removed for that port until
// it goes and comes back (the device plugged in again). Software ports are
// never linked: what a program plays is the user's to route.
//
// Only the graph's events come in here; the backend makes the links asked
// for. One thread's own.
class KeyboardLinks {
public:
    using Properties = std::map<std::string, std::string>;
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    // The name to show of a port with these properties when it is a MIDI
    // device's output, as PipeWire's ALSA sequencer bridge announces one
    // (port.physical set on a sequencer port of a sound card's client); else
    // none.
    static std::optional<std::string> keyboardName(const Properties& port);

    void portAdded(std::uint32_t id, const Properties& properties);
    void portRemoved(std::uint32_t id);
    void linkAdded(std::uint32_t id, std::uint32_t outputPort, std::uint32_t inputPort);
    void linkRemoved(std::uint32_t id);
    // Our input port, once the graph shows it; kNone while it does not.
    void setInput(std::uint32_t port);
    // Whether keyboards are linked by themselves (else nothing is).
    void setOn(bool on);

    // The keyboards' ports to link now; each is asked for once.
    std::vector<std::uint32_t> toLink();
    // The links made here to remove now, the switch turned off.
    std::vector<std::uint32_t> toUnlink();
    // The keyboards linked to the input now, however linked, by name.
    std::vector<std::string> linked() const;

private:
    struct Link {
        std::uint32_t output = kNone;
        std::uint32_t input = kNone;
    };
    bool linkedToInput(std::uint32_t port) const;

    bool on_ = true;
    std::uint32_t input_ = kNone;
    std::map<std::uint32_t, std::string> keyboards_;  // by port
    std::map<std::uint32_t, Link> links_;             // every link, by id
    std::set<std::uint32_t> asked_;                   // keyboards linked here
    std::set<std::uint32_t> unlinkedByUser_;          // keyboards not to link again
};

}  // namespace tinko::midiports

#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <vector>

namespace tinko::midiports {

// The ports' names, as the desktop's patchbays show them.
inline constexpr char kInputPortName[] = "Tinko 钢琴 输入";
inline constexpr char kOutputPortName[] = "Tinko 钢琴 输出";

// Takes what comes in at the input port, on the thread that opened the
// ports.
class MidiReceiver {
public:
    virtual ~MidiReceiver() = default;
    // One channel message, packed as MidiOutput sends them.
    virtual void received(std::uint32_t message) = 0;
    // A source was disconnected from the input port, or went away: the notes
    // it holds will never be let go by it.
    virtual void sourceLeft() = 0;
};

// The piano's two ports on the desktop's MIDI system: one that any number of
// sources play into, one that carries what the piano plays to whatever is
// connected to it. The user connects them with the desktop's own tools.
class MidiPorts {
public:
    MidiPorts() = default;
    virtual ~MidiPorts() = default;
    MidiPorts(const MidiPorts&) = delete;
    MidiPorts& operator=(const MidiPorts&) = delete;

    // What comes in goes to `receiver` from now on; to nothing when null.
    void listen(MidiReceiver* receiver) { receiver_ = receiver; }

    // Sends a packed channel message out of the output port. Anything else,
    // or a message nothing is connected to take, is dropped.
    virtual void send(std::uint32_t message) = 0;

protected:
    // For a backend, from any thread: the receiver gets these on the thread
    // that opened the ports, unless the ports are gone by then.
    void handOver(std::vector<std::uint32_t> messages);
    void handOverSourceLeft();
    // For a backend already on that thread.
    void deliver(std::uint32_t message);
    void deliverSourceLeft();

private:
    QObject thread_;  // posted calls die with it
    MidiReceiver* receiver_ = nullptr;
};

// The ports through PipeWire where its daemon runs, else through the ALSA
// sequencer where the system has one; else none, and nothing said.
std::unique_ptr<MidiPorts> openDesktopMidiPorts();

}  // namespace tinko::midiports

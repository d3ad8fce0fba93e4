#pragma once

#include <QObject>
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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
//
// What comes in plays the piano and, unless thru is on, goes no further: a
// digital piano linked both ways would otherwise sound every note twice. A
// message that comes back soon after it went out is our own, looped back
// by a link from the output to the input, and is dropped.
class MidiPorts {
public:
    MidiPorts() = default;
    virtual ~MidiPorts() = default;
    MidiPorts(const MidiPorts&) = delete;
    MidiPorts& operator=(const MidiPorts&) = delete;

    // What comes in goes to `receiver` from now on; to nothing when null.
    void listen(MidiReceiver* receiver) { receiver_ = receiver; }

    // Whether what comes in also goes out of the output port (MIDI thru).
    void setThru(bool on) { thru_ = on; }
    bool thru() const { return thru_; }

    // On the thread that opened the ports: sends a packed channel message
    // out of the output port, unless it is the receiver's answer to what
    // came in and thru is off. Anything else, or a message nothing is
    // connected to take, is dropped.
    void send(std::uint32_t message);

    // Whether the MIDI keyboards plugged into the computer are connected to
    // the input port by themselves (on at first); off connects none.
    virtual void setAutoConnect(bool on) = 0;

    // The keyboards connected to the input port now, by name, and who hears
    // each change, on the thread that opened the ports.
    const std::vector<std::string>& keyboards() const { return keyboards_; }
    void onKeyboardsChanged(std::function<void()> changed) {
        keyboardsChanged_ = std::move(changed);
    }

protected:
    // For a backend: puts a message on the wire.
    virtual void sendOut(std::uint32_t message) = 0;
    // For a backend, from any thread: a cycle of its graph now lasts
    // `cycle`; a message of ours may come back for up to three of them.
    void setCycle(std::chrono::microseconds cycle) { cycle_.store(cycle.count()); }

    // For a backend, from any thread: the receiver gets these on the thread
    // that opened the ports, unless the ports are gone by then.
    void handOver(std::vector<std::uint32_t> messages);
    void handOverSourceLeft();
    void handOverKeyboards(std::vector<std::string> names);
    // For a backend already on that thread.
    void deliver(std::uint32_t message);
    void deliverSourceLeft();

private:
    bool isEcho(std::uint32_t message);
    template <typename Call>
    void answering(bool echo, Call call);

    QObject thread_;  // posted calls die with it
    MidiReceiver* receiver_ = nullptr;
    // The rest is that thread's own.
    bool thru_ = false;
    bool delivering_ = false;
    bool echoing_ = false;                // what is delivered is our own, back again
    std::atomic<std::int64_t> cycle_{0};  // microseconds
    struct Sent {
        std::uint32_t message = 0;
        std::chrono::steady_clock::time_point at;
    };
    std::array<Sent, 64> recentlySent_{};  // a ring: the last messages sent out
    std::size_t nextSent_ = 0;
    std::vector<std::string> keyboards_;
    std::function<void()> keyboardsChanged_;
};

// The ports through PipeWire where its daemon runs, else through the ALSA
// sequencer where the system has one; else none, and nothing said.
std::unique_ptr<MidiPorts> openDesktopMidiPorts();

}  // namespace tinko::midiports

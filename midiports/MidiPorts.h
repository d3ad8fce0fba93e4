#pragma once

#include <QObject>
#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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
    // On a backend's real-time thread, in the cycle `message` came in, before
    // it is handed over: sounds it at once where that needs no waiting. True
    // when it sounded; received() then has it as well, to light its key, and
    // what it plays of it does not reach the synthesizer again.
    virtual bool playAtOnce(std::uint32_t /*message*/) noexcept { return false; }
    // On that thread, once all that came in up to `upTo` on the graph's
    // clock, in frames, was offered to playAtOnce.
    virtual void cycleTaken(std::uint64_t /*upTo*/) noexcept {}
};

// What went out lately, to tell our own messages when they come back.
class EchoWatch {
public:
    using Clock = std::chrono::steady_clock;
    void sent(std::uint32_t message, Clock::time_point at);
    // Whether `message`, in at `at`, went out less than `within` before;
    // each message sent answers once.
    bool isEcho(std::uint32_t message, Clock::time_point at, Clock::duration within);

private:
    struct Sent {
        std::uint32_t message = 0;
        Clock::time_point at;
    };
    std::array<Sent, 64> recent_{};  // a ring: the last messages sent out
    std::size_t next_ = 0;
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
    // Returns once a real-time thread plays nothing through the one before.
    void listen(MidiReceiver* receiver);

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

    // While the receiver is given a message that it sounded already, at
    // once on the real-time thread: whether `message` is that one, which is
    // to go on (out of the ports, into a recording) but not to the
    // synthesizer again. Once for each message delivered.
    bool soundedAlready(std::uint32_t message);

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

    // What a backend's real-time thread made of a message that came in.
    struct Heard {
        std::uint32_t message = 0;
        bool echo = false;      // our own, back again
        bool sounded = false;   // played at once by the receiver
        bool deferred = false;  // to be played when delivered
    };
    // For a backend, on its real-time thread, for each message in the order
    // they came: has the receiver play it at once where it can. What it
    // cannot, and everything after until that is delivered, is deferred, so
    // that no message overtakes another. Never waits.
    Heard hearAtOnce(std::uint32_t message, bool echo);
    // For a backend, on its real-time thread, at the end of each cycle's
    // input: all up to `upTo` on the graph's clock was heard. Never waits.
    void cycleHeard(std::uint64_t upTo);
    // From any thread: the receiver gets these as handOver(messages) does.
    void handOver(std::vector<Heard> heard);
    // On the thread that opened the ports: lights and passes on what was
    // heard, and plays what was deferred.
    void deliver(const Heard& heard);
    // For a backend, on its real-time thread: `heard` will never be delivered.
    void lose(const Heard& heard);
    // How long after it went out a message of ours may come back.
    std::chrono::microseconds echoWindow() const;

private:
    bool isEcho(std::uint32_t message);
    template <typename Call>
    void answering(bool echo, Call call);

    QObject thread_;  // posted calls die with it
    // Set under the lock, which a real-time thread only tries.
    std::mutex receiverMutex_;
    MidiReceiver* receiver_ = nullptr;
    std::atomic<int> deferred_{0};  // heard, to be played when delivered
    // The rest is that thread's own.
    bool thru_ = false;
    bool delivering_ = false;
    bool echoing_ = false;                  // what is delivered is our own, back again
    std::optional<std::uint32_t> sounded_;  // what is delivered sounded already
    std::atomic<std::int64_t> cycle_{0};    // microseconds
    EchoWatch sent_;
    std::vector<std::string> keyboards_;
    std::function<void()> keyboardsChanged_;
};

// The ports through PipeWire where its daemon runs, else through the ALSA
// sequencer where the system has one; else none, and nothing said.
std::unique_ptr<MidiPorts> openDesktopMidiPorts();

}  // namespace tinko::midiports

#pragma once

#include <pipewire/pipewire.h>

#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "KeyboardLinks.h"
#include "MidiBytes.h"
#include "MidiPorts.h"
#include "Owned.h"
#include "SpscRing.h"

namespace tinko::midiports::pipewire {

// The ports as one PipeWire filter node ("tinko-piano-midi") with a native
// MIDI input and output port. Its process runs on the graph's real-time
// thread, in the cycle the messages come in, and only while something is
// linked to the node: at rest nothing runs. It reads the input there, as
// the source's buffer is the source's again in the next cycle, has the
// receiver sound what it can at once, tells our own messages coming back
// from what it wrote out, and hands the messages over to the keeping thread
// through a lock-free queue, as it takes what the piano sends from one.
//
// The node follows the daemon: while there is none (not started yet, or
// gone, restarted say) the ports are tried again about once a second, and
// come back under the same names, so that a patchbay that remembers links
// finds them again. Notes that sources held at the loss are let go.
//
// The MIDI devices plugged in (their ports on the ALSA sequencer bridge) are
// linked to the input port as they come, unless switched off.
class PipeWireMidiPorts : public MidiPorts {
public:
    // On the thread whose event loop is to keep the ports.
    PipeWireMidiPorts();
    ~PipeWireMidiPorts() override;

    // Whether the node is on the daemon now.
    bool connected() const { return loop_ != nullptr; }

    void setAutoConnect(bool on) override;

private:
    void sendOut(std::uint32_t message) override;
    // On the loop thread: links what keyboards are due, tells who is linked.
    void followKeyboards();

    // Connects, or closes what it made and says why it could not.
    void tryToConnect();
    void connect();
    void close();
    static void onCoreError(void* self, std::uint32_t id, int seq, int res, const char* message);
    void readInput();
    void writeOutput();
    void dropOutgoing();
    // On the keeping thread: delivers what came in, then that a source left.
    void deliverIncoming();
    void sourceLeftLater();
    static void onProcess(void* self, spa_io_position* position);
    static void onStateChanged(void* self, pw_filter_state old, pw_filter_state state,
                               const char* error);
    static void onGlobal(void* self, std::uint32_t id, std::uint32_t permissions, const char* type,
                         std::uint32_t version, const spa_dict* props);
    static void onGlobalRemove(void* self, std::uint32_t id);

    QTimer retry_;  // on the keeping thread, while the node is not on the daemon
    pw_filter_events filterEvents_{};
    pw_registry_events registryEvents_{};
    pw_core_events coreEvents_{};
    spa_hook coreListener_{};
    Owned<pw_thread_loop, pw_thread_loop_destroy> loop_;
    Owned<pw_context, pw_context_destroy> context_;
    // Let go under the loop's lock by close(), before the loop stops.
    pw_core* core_ = nullptr;
    pw_filter* filter_ = nullptr;
    spa_hook filterListener_{};
    pw_registry* registry_ = nullptr;
    spa_hook registryListener_{};
    void* input_ = nullptr;  // the ports' data, the filter's own
    void* output_ = nullptr;
    // The loop thread's own: the graph's links, by id, with the nodes each
    // comes out of and goes into.
    struct LinkEnds {
        std::uint32_t output = SPA_ID_INVALID;
        std::uint32_t input = SPA_ID_INVALID;
    };
    std::map<std::uint32_t, LinkEnds> links_;
    struct Port {
        std::uint32_t node = SPA_ID_INVALID;
        bool input = false;
    };
    std::map<std::uint32_t, Port> ports_;  // the graph's ports, by id
    KeyboardLinks keyboardLinks_;
    std::vector<pw_proxy*> linksMade_;  // lingering links; the proxies only go
    std::vector<std::string> keyboardsTold_;
    bool autoConnect_ = true;  // the keeping thread's, under the loop's lock
    bool streaming_ = false;   // the loop thread's own
    // What the piano sends, until the next cycle takes it; only while
    // something takes what the output port carries.
    SpscRing<WireBytes, 512> outgoing_;
    // What came in, until the keeping thread takes it; the real-time thread
    // wakes that thread by an event descriptor.
    SpscRing<Heard, 1024> incoming_;
    EchoWatch written_;  // the real-time thread's own: what went out
    struct EventDescriptor {
        EventDescriptor();
        ~EventDescriptor();
        EventDescriptor(const EventDescriptor&) = delete;
        EventDescriptor& operator=(const EventDescriptor&) = delete;
        int fd = -1;
    } wakeUp_;
    std::unique_ptr<QSocketNotifier> incomingNotifier_;
    bool realTime_ = false;  // the real-time thread's own, once it runs
    std::atomic<bool> outputTaken_{false};
    // Whether a link comes out of our node, as the graph tells: a cycle
    // whose output buffer the peer has not given back yet keeps what waits.
    std::atomic<bool> outputLinked_{false};
    std::atomic<bool> lost_{false};  // the daemon gone, and its loss told
};

}  // namespace tinko::midiports::pipewire

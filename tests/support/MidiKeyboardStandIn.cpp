// A MIDI keyboard plugged in, as PipeWire shows one: a node like its ALSA
// sequencer bridge ("Midi-Bridge") with one capture port carrying exactly
// the properties the bridge gives a sound card's MIDI port (the bridge's
// node.driver is left out: this node has no clock to drive a graph with).
// Each SIGUSR1 strikes its note (again) in the next cycle, held, and it says
// when on standard output ("struck" and the monotonic clock's seconds). Its
// graph thread runs real-time, as the bridge's in the daemon does.
//
// midi_keyboard_stand_in CLIENT NAME NOTE, where CLIENT is the sequencer
// client number the port's path names.
#include <pipewire/filter.h>
#include <pipewire/pipewire.h>
#include <spa/control/control.h>
#include <spa/pod/builder.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "RealtimeThread.h"

namespace {

struct Keyboard {
    pw_filter* filter = nullptr;
    void* port = nullptr;
    std::uint8_t note = 0;
    std::atomic<bool> strike{false};
    bool realTime = false;  // the graph thread's own
};

void process(void* data, spa_io_position*) {
    auto& keyboard = *static_cast<Keyboard*>(data);
    if (!keyboard.realTime) {
        // As the daemon's bridge runs, in the daemon's real-time thread.
        keyboard.realTime = true;
        tinko::runInRealTime(gettid());
    }
    pw_buffer* buffer = pw_filter_dequeue_buffer(keyboard.port);
    if (buffer == nullptr) {
        return;
    }
    spa_data& out = buffer->buffer->datas[0];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, out.data, out.maxsize);
    spa_pod_frame frame{};
    spa_pod_builder_push_sequence(&builder, &frame, 0);
    if (keyboard.strike.exchange(false)) {
        const std::uint8_t on[] = {0x90, keyboard.note, 100};
        spa_pod_builder_control(&builder, 0, SPA_CONTROL_Midi);
        spa_pod_builder_bytes(&builder, on, sizeof on);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("struck %ld.%09ld\n", static_cast<long>(now.tv_sec), now.tv_nsec);
        std::fflush(stdout);
    }
    spa_pod_builder_pop(&builder, &frame);
    out.chunk->offset = 0;
    out.chunk->size = builder.state.offset;
    out.chunk->stride = 1;
    pw_filter_queue_buffer(keyboard.port, buffer);
}

void strike(void* keyboard, int) {
    static_cast<Keyboard*>(keyboard)->strike.store(true);
}

void quit(void* loop, int) {
    pw_main_loop_quit(static_cast<pw_main_loop*>(loop));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s CLIENT NAME NOTE\n", argv[0]);
        return 2;
    }
    pw_init(&argc, &argv);
    const std::string client = argv[1];
    const std::string name = argv[2];
    Keyboard keyboard;
    keyboard.note = static_cast<std::uint8_t>(std::stoi(argv[3]));
    pw_main_loop* loop = pw_main_loop_new(nullptr);
    pw_loop_add_signal(pw_main_loop_get_loop(loop), SIGTERM, quit, loop);
    pw_loop_add_signal(pw_main_loop_get_loop(loop), SIGUSR1, strike, &keyboard);
    pw_filter_events events{};
    events.version = PW_VERSION_FILTER_EVENTS;
    events.process = process;
    keyboard.filter = pw_filter_new_simple(
        pw_main_loop_get_loop(loop), "Midi-Bridge",
        pw_properties_new(PW_KEY_NODE_NAME, "Midi-Bridge", PW_KEY_MEDIA_CLASS, "Midi/Bridge",
                          "device.api", "alsa", "factory.name", "api.alsa.seq.bridge",
                          PW_KEY_MEDIA_TYPE, "Midi", nullptr),
        &events, &keyboard);
    // As the bridge names a USB keyboard's first capture port.
    const std::string longName = name + " at usb-0000:00:14-0-2- full speed";
    keyboard.port = pw_filter_add_port(
        keyboard.filter, PW_DIRECTION_OUTPUT, PW_FILTER_PORT_FLAG_MAP_BUFFERS, 0,
        pw_properties_new("format.dsp", "8 bit raw midi", "object.path",
                          ("alsa:seq:default:client_" + client + ":capture_0").c_str(), "port.name",
                          (longName + ":(capture_0) " + name + " MIDI 1").c_str(), "port.alias",
                          (name + ":" + name + " MIDI 1").c_str(), "api.alsa.card", "1",
                          "port.physical", "true", "port.terminal", "true", nullptr),
        nullptr, 0);
    pw_filter_connect(keyboard.filter, PW_FILTER_FLAG_RT_PROCESS, nullptr, 0);
    pw_main_loop_run(loop);
    pw_filter_destroy(keyboard.filter);
    pw_main_loop_destroy(loop);
    pw_deinit();
    return 0;
}

#include "PipeWireMidiPorts.h"

#include <spa/control/control.h>
#include <spa/param/buffers.h>
#include <spa/param/param.h>
#include <spa/pod/builder.h>
#include <spa/pod/iter.h>
#include <spa/utils/result.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>

#include "PipeWireClient.h"
#include "RealtimeThread.h"

namespace tinko::midiports::pipewire {
namespace {

// Bytes of MIDI a port's buffer holds: over 1,300 events a cycle.
constexpr int kMidiBufferBytes = 32768;

std::uint32_t numberIn(const spa_dict* props, const char* key) {
    const char* value = props != nullptr ? spa_dict_lookup(props, key) : nullptr;
    return value != nullptr ? static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10))
                            : SPA_ID_INVALID;
}

KeyboardLinks::Properties propertiesOf(const spa_dict* props) {
    KeyboardLinks::Properties properties;
    const spa_dict_item* item = nullptr;
    if (props != nullptr) {
        spa_dict_for_each(item, props) {
            properties[item->key] = item->value != nullptr ? item->value : "";
        }
    }
    return properties;
}

}  // namespace

PipeWireMidiPorts::EventDescriptor::EventDescriptor() : fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd < 0) {
        throw std::runtime_error("cannot make an event descriptor");
    }
}

PipeWireMidiPorts::EventDescriptor::~EventDescriptor() {
    ::close(fd);
}

PipeWireMidiPorts::PipeWireMidiPorts() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
    filterEvents_.version = PW_VERSION_FILTER_EVENTS;
    filterEvents_.process = onProcess;
    filterEvents_.state_changed = onStateChanged;
    registryEvents_.version = PW_VERSION_REGISTRY_EVENTS;
    registryEvents_.global = onGlobal;
    registryEvents_.global_remove = onGlobalRemove;
    coreEvents_.version = PW_VERSION_CORE_EVENTS;
    coreEvents_.error = onCoreError;
    incomingNotifier_ = std::make_unique<QSocketNotifier>(wakeUp_.fd, QSocketNotifier::Read);
    QObject::connect(incomingNotifier_.get(), &QSocketNotifier::activated, incomingNotifier_.get(),
                     [this] { deliverIncoming(); });
    retry_.setInterval(1000);
    QObject::connect(&retry_, &QTimer::timeout, [this] { tryToConnect(); });
    tryToConnect();
}

void PipeWireMidiPorts::tryToConnect() {
    close();
    std::error_code error;
    if (!std::filesystem::exists(pipeWireDaemonSocket(), error)) {
        retry_.start();  // cheap to look again; a context made only to fail is not
        return;
    }
    try {
        connect();
        retry_.stop();
    } catch (const std::runtime_error&) {
        close();
        retry_.start();
    }
}

void PipeWireMidiPorts::onCoreError(void* self, std::uint32_t id, int, int res, const char*) {
    if (id != PW_ID_CORE || res != -EPIPE) {
        return;
    }
    // The daemon is gone. Its ports are let go on the keeping thread, as
    // this loop's own thread cannot stop itself.
    auto& ports = *static_cast<PipeWireMidiPorts*>(self);
    if (ports.lost_.exchange(true)) {
        return;  // told already
    }
    ports.dropOutgoing();
    ports.sourceLeftLater();
    QMetaObject::invokeMethod(
        &ports.retry_, [&ports] { ports.tryToConnect(); }, Qt::QueuedConnection);
}

PipeWireMidiPorts::~PipeWireMidiPorts() {
    close();
}

void PipeWireMidiPorts::connect() {
    loop_.reset(pw_thread_loop_new("tinko-midi", nullptr));
    if (!loop_) {
        throw std::runtime_error("cannot make a thread loop");
    }
    context_.reset(pw_context_new(pw_thread_loop_get_loop(loop_.get()), nullptr, 0));
    if (!context_) {
        throw std::runtime_error("cannot make a PipeWire context");
    }
    LoopLock lock(loop_.get());
    lost_.store(false);
    realTime_ = false;  // a new context, a new graph thread
    core_ = pw_context_connect(context_.get(), nullptr, 0);
    if (core_ == nullptr) {
        throw std::runtime_error("no PipeWire daemon answers");
    }
    pw_core_add_listener(core_, &coreListener_, &coreEvents_, this);
    registry_ = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
    if (registry_ != nullptr) {
        pw_registry_add_listener(registry_, &registryListener_, &registryEvents_, this);
    }
    // No media class: the session manager links nothing to it by itself,
    // the user does.
    filter_ =
        pw_filter_new(core_, "tinko-piano-midi",
                      pw_properties_new(PW_KEY_MEDIA_TYPE, "Midi", PW_KEY_MEDIA_CATEGORY, "Filter",
                                        PW_KEY_MEDIA_ROLE, "DSP", PW_KEY_NODE_NAME,
                                        "tinko-piano-midi", PW_KEY_NODE_DESCRIPTION, "Tinko 钢琴",
                                        PW_KEY_APP_NAME, "tinko-piano", nullptr));
    if (filter_ == nullptr) {
        throw std::runtime_error("cannot make a filter");
    }
    pw_filter_add_listener(filter_, &filterListener_, &filterEvents_, this);
    const auto addPort = [this](pw_direction direction, const char* name) {
        // Room for a cycle's worth of a busy keyboard (both hands, the
        // pedal, a bend) at the largest cycles: left to the default, a
        // buffer holds ten events, and a peer leaves out a whole cycle that
        // does not fit, its releases too.
        std::array<std::uint8_t, 256> paramSpace{};
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(paramSpace.data(), paramSpace.size());
        const spa_pod* buffers = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
            SPA_POD_CHOICE_RANGE_Int(2, 1, 32), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
            SPA_PARAM_BUFFERS_size,
            SPA_POD_CHOICE_RANGE_Int(kMidiBufferBytes, kMidiBufferBytes, INT32_MAX),
            SPA_PARAM_BUFFERS_stride, SPA_POD_Int(1)));
        return pw_filter_add_port(
            filter_, direction, PW_FILTER_PORT_FLAG_MAP_BUFFERS, 0,
            pw_properties_new(PW_KEY_FORMAT_DSP, "8 bit raw midi", PW_KEY_PORT_NAME, name, nullptr),
            &buffers, 1);
    };
    input_ = addPort(PW_DIRECTION_INPUT, kInputPortName);
    output_ = addPort(PW_DIRECTION_OUTPUT, kOutputPortName);
    if (input_ == nullptr || output_ == nullptr ||
        pw_filter_connect(filter_, PW_FILTER_FLAG_RT_PROCESS, nullptr, 0) < 0) {
        throw std::runtime_error("cannot make the MIDI ports");
    }
    if (pw_thread_loop_start(loop_.get()) < 0) {
        throw std::runtime_error("cannot start the MIDI thread");
    }
}

void PipeWireMidiPorts::close() {
    if (!loop_) {
        return;
    }
    {
        LoopLock lock(loop_.get());
        if (registry_ != nullptr) {
            spa_hook_remove(&registryListener_);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry_));
            registry_ = nullptr;
        }
        if (filter_ != nullptr) {
            pw_filter_destroy(filter_);
            filter_ = nullptr;
        }
        for (pw_proxy* link : linksMade_) {
            pw_proxy_destroy(link);
        }
        linksMade_.clear();
        if (core_ != nullptr) {
            spa_hook_remove(&coreListener_);
            pw_core_disconnect(core_);
            core_ = nullptr;
        }
    }
    pw_thread_loop_stop(loop_.get());
    WireBytes wire;
    while (outgoing_.pop(wire)) {  // no cycle takes them now
    }
    context_.reset();
    loop_.reset();
    links_.clear();
    outputLinked_.store(false);
    ports_.clear();
    keyboardLinks_ = KeyboardLinks();
    keyboardLinks_.setOn(autoConnect_);
    if (!keyboardsTold_.empty()) {
        keyboardsTold_.clear();
        handOverKeyboards({});
    }
    streaming_ = false;
    dropOutgoing();
}

void PipeWireMidiPorts::setAutoConnect(bool on) {
    if (!loop_) {
        autoConnect_ = on;
        keyboardLinks_.setOn(on);
        return;
    }
    LoopLock lock(loop_.get());
    autoConnect_ = on;
    keyboardLinks_.setOn(on);
    followKeyboards();
}

void PipeWireMidiPorts::followKeyboards() {
    if (filter_ == nullptr || registry_ == nullptr) {
        return;
    }
    const std::uint32_t node = pw_filter_get_node_id(filter_);
    outputLinked_.store(node != SPA_ID_INVALID &&
                        std::any_of(links_.begin(), links_.end(), [node](const auto& link) {
                            return link.second.output == node;
                        }));
    std::uint32_t input = KeyboardLinks::kNone;
    for (const auto& [id, port] : ports_) {
        if (port.input && port.node == node && node != SPA_ID_INVALID) {
            input = id;
        }
    }
    keyboardLinks_.setInput(input);
    for (std::uint32_t link : keyboardLinks_.toUnlink()) {
        pw_registry_destroy(registry_, link);
    }
    for (std::uint32_t output : keyboardLinks_.toLink()) {
        // Lingering, so that it is the graph's like a link the user made:
        // the user may remove it, and it goes with our node.
        Owned<pw_properties, pw_properties_free> properties(pw_properties_new(
            PW_KEY_OBJECT_LINGER, "true", PW_KEY_LINK_OUTPUT_PORT, std::to_string(output).c_str(),
            PW_KEY_LINK_OUTPUT_NODE, std::to_string(ports_[output].node).c_str(),
            PW_KEY_LINK_INPUT_PORT, std::to_string(input).c_str(), PW_KEY_LINK_INPUT_NODE,
            std::to_string(node).c_str(), nullptr));
        auto* link = static_cast<pw_proxy*>(pw_core_create_object(
            core_, "link-factory", PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, &properties->dict, 0));
        if (link != nullptr) {
            linksMade_.push_back(link);
        }
    }
    std::vector<std::string> linked = keyboardLinks_.linked();
    if (linked != keyboardsTold_) {
        keyboardsTold_ = linked;
        handOverKeyboards(std::move(linked));
    }
}

void PipeWireMidiPorts::sendOut(std::uint32_t message) {
    const WireBytes wire = unpackChannelMessage(message);
    if (wire.size != 0 && outputTaken_.load()) {
        // Full only when a flood waits that no one would hear in time.
        outgoing_.push(wire);
    }
}

void PipeWireMidiPorts::dropOutgoing() {
    // What waits is dropped by the real-time thread, when it finds nothing
    // linked to take it, or by close().
    outputTaken_.store(false);
}

void PipeWireMidiPorts::deliverIncoming() {
    std::uint64_t count = 0;
    if (read(wakeUp_.fd, &count, sizeof count) < 0 && errno != EAGAIN) {
        return;
    }
    Heard heard;
    while (incoming_.pop(heard)) {
        deliver(heard);
    }
}

void PipeWireMidiPorts::sourceLeftLater() {
    // After what the source sent before it left.
    QMetaObject::invokeMethod(
        &retry_,
        [this] {
            deliverIncoming();
            deliverSourceLeft();
        },
        Qt::QueuedConnection);
}

void PipeWireMidiPorts::onProcess(void* self, spa_io_position* position) {
    auto& ports = *static_cast<PipeWireMidiPorts*>(self);
    if (!ports.realTime_) {
        // The graph's thread of our context runs at ordinary priority (no
        // library of ours makes it real-time): a note would wait behind
        // whatever keeps the machine busy. Where that cannot be changed,
        // the audio output has said so already.
        ports.realTime_ = true;
        runInRealTime(gettid());
    }
    if (position != nullptr) {
        if (const auto cycle = cycleLength(*position); cycle.count() != 0) {
            ports.setCycle(std::chrono::duration_cast<std::chrono::microseconds>(cycle));
        }
    }
    ports.readInput();
    if (position != nullptr) {
        ports.cycleHeard(position->clock.position + position->clock.duration);
    }
    ports.writeOutput();
}

void PipeWireMidiPorts::readInput() {
    const auto now = EchoWatch::Clock::now();
    bool any = false;
    while (pw_buffer* buffer = pw_filter_dequeue_buffer(input_)) {
        const spa_data& data = buffer->buffer->datas[0];
        const auto* pod = static_cast<spa_pod*>(
            spa_pod_from_data(data.data, data.maxsize, data.chunk->offset, data.chunk->size));
        if (pod != nullptr && spa_pod_is_sequence(pod)) {
            const spa_pod_control* control = nullptr;
            SPA_POD_SEQUENCE_FOREACH(reinterpret_cast<const spa_pod_sequence*>(pod), control) {
                if (control->type != SPA_CONTROL_Midi) {
                    continue;
                }
                if (const auto message = packChannelMessage(
                        static_cast<const std::uint8_t*>(SPA_POD_BODY_CONST(&control->value)),
                        SPA_POD_BODY_SIZE(&control->value))) {
                    const Heard heard =
                        hearAtOnce(*message, written_.isEcho(*message, now, echoWindow()));
                    if (incoming_.push(heard)) {
                        any = true;
                    } else {
                        lose(heard);
                    }
                }
            }
        }
        pw_filter_queue_buffer(input_, buffer);
    }
    if (any) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(wakeUp_.fd, &one, sizeof one);
    }
}

void PipeWireMidiPorts::writeOutput() {
    pw_buffer* buffer = pw_filter_dequeue_buffer(output_);
    WireBytes wire;
    if (buffer == nullptr) {
        if (outputLinked_.load()) {
            return;  // the peer still has our buffers: what waits goes with the next
        }
        dropOutgoing();  // nothing is linked to take it
        while (outgoing_.pop(wire)) {
        }
        return;
    }
    outputTaken_.store(true);
    spa_data& data = buffer->buffer->datas[0];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, data.data, data.maxsize);
    spa_pod_frame frame{};
    spa_pod_builder_push_sequence(&builder, &frame, 0);
    bool fits = true;
    while (outgoing_.pop(wire)) {
        // All at the cycle's start: they are due now. What does not fit in
        // the buffer is left out whole.
        spa_pod_builder_state before = builder.state;
        spa_pod_builder_control(&builder, 0, SPA_CONTROL_Midi);
        spa_pod_builder_bytes(&builder, wire.bytes.data(), static_cast<std::uint32_t>(wire.size));
        if (!fits || builder.state.offset > builder.size) {
            spa_pod_builder_reset(&builder, &before);
            fits = false;
        } else if (const auto message = packChannelMessage(wire.bytes.data(), wire.size)) {
            written_.sent(*message, EchoWatch::Clock::now());
        }
    }
    spa_pod_builder_pop(&builder, &frame);
    data.chunk->offset = 0;
    data.chunk->size = builder.state.offset;
    data.chunk->stride = 1;
    data.chunk->flags = 0;
    pw_filter_queue_buffer(output_, buffer);
}

void PipeWireMidiPorts::onStateChanged(void* self, pw_filter_state, pw_filter_state state,
                                       const char*) {
    auto& ports = *static_cast<PipeWireMidiPorts*>(self);
    const bool streaming = state == PW_FILTER_STATE_STREAMING;
    if (ports.streaming_ && !streaming) {
        // Unlinked, or the daemon gone: no source can let its notes go now.
        ports.dropOutgoing();
        ports.sourceLeftLater();
    }
    ports.streaming_ = streaming;
    ports.followKeyboards();  // our node's id is known by now
}

void PipeWireMidiPorts::onGlobal(void* self, std::uint32_t id, std::uint32_t, const char* type,
                                 std::uint32_t, const spa_dict* props) {
    auto& ports = *static_cast<PipeWireMidiPorts*>(self);
    if (std::string(type) == PW_TYPE_INTERFACE_Link) {
        ports.links_[id] = {numberIn(props, PW_KEY_LINK_OUTPUT_NODE),
                            numberIn(props, PW_KEY_LINK_INPUT_NODE)};
        ports.keyboardLinks_.linkAdded(id, numberIn(props, PW_KEY_LINK_OUTPUT_PORT),
                                       numberIn(props, PW_KEY_LINK_INPUT_PORT));
    } else if (std::string(type) == PW_TYPE_INTERFACE_Port) {
        const KeyboardLinks::Properties properties = propertiesOf(props);
        const auto direction = properties.find(PW_KEY_PORT_DIRECTION);
        ports.ports_[id] = {numberIn(props, PW_KEY_NODE_ID),
                            direction != properties.end() && direction->second == "in"};
        ports.keyboardLinks_.portAdded(id, properties);
    } else {
        return;
    }
    ports.followKeyboards();
}

void PipeWireMidiPorts::onGlobalRemove(void* self, std::uint32_t id) {
    auto& ports = *static_cast<PipeWireMidiPorts*>(self);
    if (ports.ports_.erase(id) != 0) {
        ports.keyboardLinks_.portRemoved(id);
        ports.followKeyboards();
        return;
    }
    const auto link = ports.links_.find(id);
    if (link == ports.links_.end()) {
        return;
    }
    const std::uint32_t into = link->second.input;
    ports.links_.erase(link);
    ports.keyboardLinks_.linkRemoved(id);
    ports.followKeyboards();
    // A source unlinked from the input port, or gone with its links.
    if (ports.filter_ != nullptr && into == pw_filter_get_node_id(ports.filter_)) {
        ports.sourceLeftLater();
    }
}

}  // namespace tinko::midiports::pipewire

#include "AlsaSequencerPorts.h"

#include <poll.h>

#include <array>
#include <stdexcept>
#include <string>

#include "MidiBytes.h"

namespace tinko::midiports::alsa {
namespace {

void check(int result, const char* what) {
    if (result < 0) {
        throw std::runtime_error(std::string(what) + ": " + snd_strerror(result));
    }
}

}  // namespace

AlsaSequencerPorts::AlsaSequencerPorts() {
    snd_seq_t* sequencer = nullptr;
    check(snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK),
          "cannot open the ALSA sequencer");
    sequencer_.reset(sequencer);
    snd_midi_event_t* coder = nullptr;
    check(snd_midi_event_new(16, &coder), "cannot make a MIDI coder");
    coder_.reset(coder);
    snd_midi_event_no_status(coder_.get(), 1);  // every message whole
    check(snd_seq_set_client_name(sequencer_.get(), "Tinko 钢琴"), "cannot name the client");
    const unsigned int type = SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION;
    input_ = snd_seq_create_simple_port(sequencer_.get(), kInputPortName,
                                        SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE, type);
    check(input_, "cannot make the input port");
    output_ = snd_seq_create_simple_port(sequencer_.get(), kOutputPortName,
                                         SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ, type);
    check(output_, "cannot make the output port");
    // The system's announcements: ports that come and go, and connections.
    snd_seq_connect_from(sequencer_.get(), input_, SND_SEQ_CLIENT_SYSTEM,
                         SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    const int count = snd_seq_poll_descriptors_count(sequencer_.get(), POLLIN);
    std::vector<pollfd> descriptors(static_cast<std::size_t>(std::max(count, 0)));
    snd_seq_poll_descriptors(sequencer_.get(), descriptors.data(),
                             static_cast<unsigned int>(descriptors.size()), POLLIN);
    for (const pollfd& descriptor : descriptors) {
        auto notifier = std::make_unique<QSocketNotifier>(descriptor.fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                         [this] { readEvents(); });
        readable_.push_back(std::move(notifier));
    }
    setAutoConnect(true);
}

void AlsaSequencerPorts::setAutoConnect(bool on) {
    autoConnect_ = on;
    if (!on) {
        for (const auto& [port, name] : connected_) {
            snd_seq_disconnect_from(sequencer_.get(), input_, port.first, port.second);
        }
        connected_.clear();
        tellKeyboards();
        return;
    }
    snd_seq_client_info_t* client = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_t* port = nullptr;
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(sequencer_.get(), client) >= 0) {
        snd_seq_port_info_set_client(port, snd_seq_client_info_get_client(client));
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(sequencer_.get(), port) >= 0) {
            connectKeyboard({snd_seq_port_info_get_client(port), snd_seq_port_info_get_port(port)});
        }
    }
}

void AlsaSequencerPorts::connectKeyboard(Address address) {
    snd_seq_port_info_t* port = nullptr;
    snd_seq_port_info_alloca(&port);
    const unsigned int keyboard = SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_MIDI_GENERIC;
    const unsigned int readable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    if (!autoConnect_ || connected_.count(address) != 0 ||
        disconnectedByUser_.count(address) != 0 ||
        snd_seq_get_any_port_info(sequencer_.get(), address.first, address.second, port) < 0 ||
        (snd_seq_port_info_get_type(port) & keyboard) != keyboard ||
        (snd_seq_port_info_get_capability(port) & readable) != readable ||
        snd_seq_connect_from(sequencer_.get(), input_, address.first, address.second) < 0) {
        return;
    }
    connected_[address] = snd_seq_port_info_get_name(port);
    tellKeyboards();
}

void AlsaSequencerPorts::tellKeyboards() {
    std::vector<std::string> names;
    for (const auto& [port, name] : connected_) {
        names.push_back(name);
    }
    handOverKeyboards(std::move(names));
}

AlsaSequencerPorts::~AlsaSequencerPorts() = default;

void AlsaSequencerPorts::readEvents() {
    snd_seq_event_t* event = nullptr;
    while (snd_seq_event_input(sequencer_.get(), &event) >= 0 && event != nullptr) {
        if (event->type == SND_SEQ_EVENT_PORT_START) {
            connectKeyboard({event->data.addr.client, event->data.addr.port});
            continue;
        }
        if (event->type == SND_SEQ_EVENT_PORT_EXIT) {
            // Unplugged: plugged in again, it is connected again.
            const Address gone{event->data.addr.client, event->data.addr.port};
            disconnectedByUser_.erase(gone);
            if (connected_.erase(gone) != 0) {
                tellKeyboards();
            }
            continue;
        }
        if (event->type == SND_SEQ_EVENT_PORT_UNSUBSCRIBED &&
            event->data.connect.dest.client == snd_seq_client_id(sequencer_.get()) &&
            event->data.connect.dest.port == input_) {
            const Address source{event->data.connect.sender.client,
                                 event->data.connect.sender.port};
            if (autoConnect_ && connected_.erase(source) != 0) {
                disconnectedByUser_.insert(source);
                tellKeyboards();
            }
            deliverSourceLeft();
            continue;
        }
        std::array<unsigned char, 8> bytes{};
        const long size = snd_midi_event_decode(coder_.get(), bytes.data(), bytes.size(), event);
        if (size > 0) {
            if (const auto message =
                    packChannelMessage(bytes.data(), static_cast<std::size_t>(size))) {
                deliver(*message);
            }
        }
    }
}

void AlsaSequencerPorts::sendOut(std::uint32_t message) {
    const WireBytes wire = unpackChannelMessage(message);
    snd_seq_event_t event{};
    snd_midi_event_reset_encode(coder_.get());
    if (wire.size == 0 ||
        snd_midi_event_encode(coder_.get(), wire.bytes.data(), static_cast<long>(wire.size),
                              &event) <= 0 ||
        event.type == SND_SEQ_EVENT_NONE) {
        return;
    }
    snd_seq_ev_set_source(&event, output_);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_event_output_direct(sequencer_.get(), &event);
}

}  // namespace tinko::midiports::alsa

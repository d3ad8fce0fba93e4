#include "MidiPorts.h"

#include <filesystem>
#include <stdexcept>

#include "PipeWireClient.h"
#include "alsa/AlsaSequencerPorts.h"
#include "pipewire/PipeWireMidiPorts.h"

namespace tinko::midiports {

void MidiPorts::handOver(std::vector<std::uint32_t> messages) {
    QMetaObject::invokeMethod(
        &thread_,
        [this, messages = std::move(messages)] {
            for (std::uint32_t message : messages) {
                deliver(message);
            }
        },
        Qt::QueuedConnection);
}

void MidiPorts::handOverSourceLeft() {
    QMetaObject::invokeMethod(
        &thread_, [this] { deliverSourceLeft(); }, Qt::QueuedConnection);
}

void MidiPorts::deliver(std::uint32_t message) {
    if (receiver_ != nullptr) {
        receiver_->received(message);
    }
}

void MidiPorts::deliverSourceLeft() {
    if (receiver_ != nullptr) {
        receiver_->sourceLeft();
    }
}

std::unique_ptr<MidiPorts> openDesktopMidiPorts() {
    // Looked for first, so that a desktop without them hears nothing from
    // the libraries either.
    std::error_code error;
    try {
        if (std::filesystem::exists(pipeWireDaemonSocket(), error)) {
            return std::make_unique<pipewire::PipeWireMidiPorts>();
        }
        if (std::filesystem::exists(alsa::AlsaSequencerPorts::kDevice, error)) {
            return std::make_unique<alsa::AlsaSequencerPorts>();
        }
    } catch (const std::runtime_error&) {
        // The program plays as well without them.
    }
    return nullptr;
}

}  // namespace tinko::midiports

#include "MidiPorts.h"

#include <algorithm>
#include <cstdio>
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

void MidiPorts::handOverKeyboards(std::vector<std::string> names) {
    QMetaObject::invokeMethod(
        &thread_,
        [this, names = std::move(names)] {
            if (names == keyboards_) {
                return;
            }
            std::vector<std::string> before = keyboards_;
            for (const std::string& name : names) {
                const auto known = std::find(before.begin(), before.end(), name);
                if (known != before.end()) {
                    before.erase(known);
                } else {
                    // Named once as it comes, so that a grown-up can tell
                    // from a terminal what plays the piano.
                    std::fprintf(stderr, "已连接MIDI键盘：%s\n", name.c_str());
                }
            }
            keyboards_ = names;
            if (keyboardsChanged_) {
                keyboardsChanged_();
            }
        },
        Qt::QueuedConnection);
}

namespace {

// Room for the hand-over to this thread, beside the graph's cycles.
constexpr auto kHandOver = std::chrono::milliseconds(80);

bool endsANote(std::uint32_t message) {
    return (message & 0xE0U) == 0x80 && ((message & 0xF0U) == 0x80 || (message >> 16) == 0);
}

}  // namespace

void MidiPorts::send(std::uint32_t message) {
    if (delivering_ && (!thru_ || echoing_)) {
        return;
    }
    recentlySent_[nextSent_] = {message, std::chrono::steady_clock::now()};
    nextSent_ = (nextSent_ + 1) % recentlySent_.size();
    sendOut(message);
}

bool MidiPorts::isEcho(std::uint32_t message) {
    const auto now = std::chrono::steady_clock::now();
    const auto within = kHandOver + 3 * std::chrono::microseconds(cycle_.load());
    for (Sent& sent : recentlySent_) {
        if (sent.message == message && now - sent.at <= within) {
            sent.message = 0;  // one echo for each message sent
            return true;
        }
    }
    return false;
}

template <typename Call>
void MidiPorts::answering(bool echo, Call call) {
    // What the receiver sends meanwhile answers what came in.
    struct Delivering {
        Delivering(MidiPorts& ports, bool echo) : ports_(ports) {
            ports_.delivering_ = true;
            ports_.echoing_ = echo;
        }
        ~Delivering() { ports_.delivering_ = ports_.echoing_ = false; }
        MidiPorts& ports_;
    } delivering(*this, echo);
    call();
}

void MidiPorts::deliver(std::uint32_t message) {
    if (receiver_ == nullptr) {
        return;
    }
    const bool echo = isEcho(message);
    // Our own, back again, plays nothing; but the end of a note is let
    // through (it cannot end a key the child holds, the keyboard keeps
    // those), so that a late echo of its start is never left sounding. An
    // echo never goes out again: no loop carries it round.
    if (!echo || endsANote(message)) {
        answering(echo, [&] { receiver_->received(message); });
    }
}

void MidiPorts::deliverSourceLeft() {
    if (receiver_ != nullptr) {
        answering(false, [&] { receiver_->sourceLeft(); });
    }
}

std::unique_ptr<MidiPorts> openDesktopMidiPorts() {
    // The ALSA sequencer only where there is no PipeWire daemon now; where
    // neither is there, PipeWire's ports wait for its daemon to come. Looked
    // for first, so that the libraries have nothing to say meanwhile.
    std::error_code error;
    try {
        if (!std::filesystem::exists(pipeWireDaemonSocket(), error) &&
            std::filesystem::exists(alsa::AlsaSequencerPorts::kDevice, error)) {
            return std::make_unique<alsa::AlsaSequencerPorts>();
        }
        return std::make_unique<pipewire::PipeWireMidiPorts>();
    } catch (const std::runtime_error&) {
        // The program plays as well without them.
    }
    return nullptr;
}

}  // namespace tinko::midiports

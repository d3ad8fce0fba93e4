#include "MidiPorts.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "PipeWireClient.h"
#include "alsa/AlsaSequencerPorts.h"
#include "pipewire/PipeWireMidiPorts.h"

namespace tinko::midiports {

void EchoWatch::sent(std::uint32_t message, Clock::time_point at) {
    recent_[next_] = {message, at};
    next_ = (next_ + 1) % recent_.size();
}

bool EchoWatch::isEcho(std::uint32_t message, Clock::time_point at, Clock::duration within) {
    for (Sent& sent : recent_) {
        if (sent.message == message && at - sent.at <= within) {
            sent.message = 0;  // one echo for each message sent
            return true;
        }
    }
    return false;
}

void MidiPorts::listen(MidiReceiver* receiver) {
    const std::lock_guard<std::mutex> lock(receiverMutex_);
    receiver_ = receiver;
}

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

void MidiPorts::handOver(std::vector<Heard> heard) {
    QMetaObject::invokeMethod(
        &thread_,
        [this, heard = std::move(heard)] {
            for (const Heard& one : heard) {
                deliver(one);
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
    sent_.sent(message, EchoWatch::Clock::now());
    sendOut(message);
}

std::chrono::microseconds MidiPorts::echoWindow() const {
    return kHandOver + 3 * std::chrono::microseconds(cycle_.load());
}

bool MidiPorts::isEcho(std::uint32_t message) {
    return sent_.isEcho(message, EchoWatch::Clock::now(), echoWindow());
}

bool MidiPorts::soundedAlready(std::uint32_t message) {
    if (!sounded_ || *sounded_ != message) {
        return false;
    }
    sounded_.reset();
    return true;
}

MidiPorts::Heard MidiPorts::hearAtOnce(std::uint32_t message, bool echo) {
    Heard heard{message, echo};
    if (echo && !endsANote(message)) {
        return heard;  // plays nothing
    }
    if (deferred_.load() == 0) {
        const std::unique_lock<std::mutex> lock(receiverMutex_, std::try_to_lock);
        heard.sounded = lock.owns_lock() && receiver_ != nullptr && receiver_->playAtOnce(message);
    }
    if (!heard.sounded) {
        heard.deferred = true;
        deferred_.fetch_add(1);
    }
    return heard;
}

void MidiPorts::cycleHeard(std::uint64_t upTo) {
    const std::unique_lock<std::mutex> lock(receiverMutex_, std::try_to_lock);
    if (lock.owns_lock() && receiver_ != nullptr) {
        receiver_->cycleTaken(upTo);
    }
}

void MidiPorts::lose(const Heard& heard) {
    if (heard.deferred) {
        deferred_.fetch_sub(1);
    }
}

void MidiPorts::deliver(const Heard& heard) {
    if (receiver_ != nullptr && (!heard.echo || endsANote(heard.message))) {
        answering(heard.echo, [&] {
            sounded_ = heard.sounded ? std::optional<std::uint32_t>(heard.message) : std::nullopt;
            receiver_->received(heard.message);
        });
    }
    lose(heard);  // played now, if at all: what comes next may play at once
}

template <typename Call>
void MidiPorts::answering(bool echo, Call call) {
    // What the receiver sends meanwhile answers what came in.
    struct Delivering {
        Delivering(MidiPorts& ports, bool echo) : ports_(ports) {
            ports_.delivering_ = true;
            ports_.echoing_ = echo;
        }
        ~Delivering() {
            ports_.delivering_ = ports_.echoing_ = false;
            ports_.sounded_.reset();
        }
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

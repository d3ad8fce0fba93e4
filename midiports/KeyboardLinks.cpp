#include "KeyboardLinks.h"

#include <cstdlib>

namespace tinko::midiports {
namespace {

std::string valueOf(const KeyboardLinks::Properties& properties, const char* key) {
    const auto found = properties.find(key);
    return found != properties.end() ? found->second : std::string();
}

// The ALSA sequencer client a bridged port belongs to, from its object path
// ("alsa:seq:default:client_24:capture_0"); -1 when it is no such port.
long sequencerClient(const std::string& path) {
    const std::string prefix = "alsa:seq:";
    const std::string client = ":client_";
    const auto at = path.find(client);
    if (path.compare(0, prefix.size(), prefix) != 0 || at == std::string::npos) {
        return -1;
    }
    char* end = nullptr;
    const long number = std::strtol(path.c_str() + at + client.size(), &end, 10);
    return end != path.c_str() + at + client.size() && *end == ':' ? number : -1;
}

// The sequencer numbers the clients of sound cards from 16 (0 is the system,
// 14 "Midi Through", a software port the bridge marks physical too);
// programs' own clients are 128 and up.
constexpr long kFirstCardClient = 16;
constexpr long kFirstProgramClient = 128;

}  // namespace

std::optional<std::string> KeyboardLinks::keyboardName(const Properties& port) {
    const long client = sequencerClient(valueOf(port, "object.path"));
    if (valueOf(port, "port.direction") != "out" || valueOf(port, "port.physical") != "true" ||
        valueOf(port, "format.dsp") != "8 bit raw midi" || client < kFirstCardClient ||
        client >= kFirstProgramClient) {
        return std::nullopt;
    }
    // "<card>:(capture_0) <port>": the port's own name says most.
    const std::string name = valueOf(port, "port.name");
    const auto tail = name.find(") ");
    return tail != std::string::npos && tail + 2 < name.size() ? name.substr(tail + 2) : name;
}

void KeyboardLinks::portAdded(std::uint32_t id, const Properties& properties) {
    if (const auto name = keyboardName(properties)) {
        keyboards_[id] = *name;
    }
}

void KeyboardLinks::portRemoved(std::uint32_t id) {
    // Unplugged: plugged in again, it is linked again.
    keyboards_.erase(id);
    asked_.erase(id);
    unlinkedByUser_.erase(id);
}

void KeyboardLinks::linkAdded(std::uint32_t id, std::uint32_t outputPort, std::uint32_t inputPort) {
    links_[id] = {outputPort, inputPort};
}

void KeyboardLinks::linkRemoved(std::uint32_t id) {
    const auto link = links_.find(id);
    if (link == links_.end()) {
        return;
    }
    const Link removed = link->second;
    links_.erase(link);
    // Removed while the switch is on, not by us: by the user (a port that
    // goes takes its links first, and is forgotten as it goes).
    if (on_ && removed.input == input_ && keyboards_.count(removed.output) != 0 &&
        !linkedToInput(removed.output)) {
        unlinkedByUser_.insert(removed.output);
    }
}

void KeyboardLinks::setInput(std::uint32_t port) {
    if (port != input_) {
        input_ = port;
        asked_.clear();  // links to a former input went with it
    }
}

void KeyboardLinks::setOn(bool on) {
    on_ = on;
}

bool KeyboardLinks::linkedToInput(std::uint32_t port) const {
    for (const auto& [id, link] : links_) {
        if (link.output == port && link.input == input_) {
            return true;
        }
    }
    return false;
}

std::vector<std::uint32_t> KeyboardLinks::toLink() {
    std::vector<std::uint32_t> ports;
    if (!on_ || input_ == kNone) {
        return ports;
    }
    for (const auto& [port, name] : keyboards_) {
        if (asked_.count(port) == 0 && unlinkedByUser_.count(port) == 0 && !linkedToInput(port)) {
            asked_.insert(port);
            ports.push_back(port);
        }
    }
    return ports;
}

std::vector<std::uint32_t> KeyboardLinks::toUnlink() {
    std::vector<std::uint32_t> ids;
    if (on_) {
        return ids;
    }
    for (const auto& [id, link] : links_) {
        if (link.input == input_ && asked_.count(link.output) != 0) {
            ids.push_back(id);
        }
    }
    asked_.clear();
    return ids;
}

std::vector<std::string> KeyboardLinks::linked() const {
    std::vector<std::string> names;
    for (const auto& [port, name] : keyboards_) {
        if (linkedToInput(port)) {
            names.push_back(name);
        }
    }
    return names;
}

}  // namespace tinko::midiports

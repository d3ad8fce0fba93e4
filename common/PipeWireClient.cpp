#include "PipeWireClient.h"

#include <cstdlib>

namespace tinko {

std::string pipeWireDaemonSocket() {
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote != nullptr && *remote != '\0' ? remote : "pipewire-0";
    if (name.front() == '/') {
        return name;
    }
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "USERPROFILE"}) {
        if (const char* dir = std::getenv(variable)) {
            return std::string(dir) + "/" + name;
        }
    }
    return name;
}

std::chrono::nanoseconds cycleLength(const spa_io_position& position) noexcept {
    const spa_io_clock& clock = position.clock;
    if (clock.rate.denom == 0) {
        return std::chrono::nanoseconds(0);
    }
    return std::chrono::nanoseconds(clock.duration * 1000000000 * clock.rate.num /
                                    clock.rate.denom);
}

}  // namespace tinko

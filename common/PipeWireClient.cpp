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

}  // namespace tinko

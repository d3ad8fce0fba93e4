#pragma once

#include <fstream>
#include <string>

namespace tinko::bench {

// The process's resident memory now, in megabytes, as the kernel counts it.
inline double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0.0;
}

}  // namespace tinko::bench

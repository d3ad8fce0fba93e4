#include "SoundFontLocator.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tinko::fluid {

namespace fs = std::filesystem;

std::string findSoundFont(const std::string& dir) {
    std::error_code error;
    const fs::path preferred = fs::path(dir) / "default-GM.sf2";
    if (fs::is_regular_file(preferred, error)) {
        return preferred.string();
    }
    std::vector<std::string> candidates;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        std::error_code fileError;
        if (path.extension() == ".sf2" && fs::is_regular_file(path, fileError)) {
            candidates.push_back(path.string());
        }
    }
    if (candidates.empty()) {
        return {};
    }
    return *std::min_element(candidates.begin(), candidates.end());
}

}  // namespace tinko::fluid

#pragma once

#include <mutex>
#include <ostream>
#include <string>

namespace tinko::fluid {

// Where the sound engine tells the user, on standard error as a rule, what
// they should know about the sound: one line each, "tinko-piano: " first,
// from any thread.
class Diagnostics {
public:
    explicit Diagnostics(std::ostream& stream) : stream_(stream) {}

    void say(const std::string& line) {
        const std::lock_guard<std::mutex> lock(mutex_);
        stream_ << "tinko-piano: " << line << std::endl;
    }

private:
    std::mutex mutex_;
    std::ostream& stream_;
};

}  // namespace tinko::fluid

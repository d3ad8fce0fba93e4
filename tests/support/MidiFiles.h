#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tinko::testing {

using Bytes = std::vector<std::uint8_t>;

// A MIDI event `ticks` after the one before it.
struct Event {
    std::uint32_t ticks;
    Bytes bytes;
};

// A Standard MIDI File (format 1, 480 ticks to the quarter note; at the
// default 120 beats a minute a tick is 1/960 s) of `tracks`, each closed by
// an end of track.
inline Bytes midiFile(std::initializer_list<std::vector<Event>> tracks) {
    Bytes file = {'M',      'T',       'h', 'd', 0, 0,
                  0,        6,         0,   1,   0, static_cast<std::uint8_t>(tracks.size()),
                  480 >> 8, 480 & 0xFF};
    for (const std::vector<Event>& track : tracks) {
        Bytes body;
        for (Event event : track) {
            Bytes delay = {static_cast<std::uint8_t>(event.ticks & 0x7F)};
            while ((event.ticks >>= 7) != 0) {
                delay.insert(delay.begin(), static_cast<std::uint8_t>(0x80 | (event.ticks & 0x7F)));
            }
            body.insert(body.end(), delay.begin(), delay.end());
            body.insert(body.end(), event.bytes.begin(), event.bytes.end());
        }
        body.insert(body.end(), {0, 0xFF, 0x2F, 0});
        const auto size = static_cast<std::uint32_t>(body.size());
        file.insert(file.end(),
                    {'M', 'T', 'r', 'k', static_cast<std::uint8_t>(size >> 24),
                     static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 8),
                     static_cast<std::uint8_t>(size)});
        file.insert(file.end(), body.begin(), body.end());
    }
    return file;
}

inline Event on(std::uint32_t ticks, std::uint8_t key, std::uint8_t channel = 0) {
    return {ticks, {static_cast<std::uint8_t>(0x90 | channel), key, 100}};
}
inline Event off(std::uint32_t ticks, std::uint8_t key, std::uint8_t channel = 0) {
    return {ticks, {static_cast<std::uint8_t>(0x80 | channel), key, 64}};
}

}  // namespace tinko::testing

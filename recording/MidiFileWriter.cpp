#include "MidiFileWriter.h"

#include <algorithm>

namespace tinko::recording {
namespace {

// 1000 ticks a quarter note at a quarter note a second: a tick is a
// millisecond, so times are kept as they were played.
constexpr std::uint16_t kTicksPerQuarter = 1000;
constexpr std::uint32_t kMicrosecondsPerQuarter = 1000000;
// A delta time has at most 28 bits; a take is far shorter.
constexpr std::int64_t kLongestDelta = 0x0FFFFFFF;

void bigEndian(QByteArray& bytes, std::uint32_t value, int count) {
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) {
        bytes.append(static_cast<char>(value >> shift & 0xFFU));
    }
}

void variableLength(QByteArray& bytes, std::uint32_t value) {
    char groups[4];
    int count = 0;
    do {
        groups[count++] = static_cast<char>(value & 0x7FU);
        value >>= 7;
    } while (value != 0);
    while (count > 1) {
        bytes.append(static_cast<char>(groups[--count] | 0x80));
    }
    bytes.append(groups[0]);
}

int dataBytes(std::uint32_t status) {
    const std::uint32_t kind = status & 0xF0U;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

}  // namespace

QByteArray standardMidiFile(const Take& take) {
    QByteArray track;
    // The tempo, at the start.
    track.append("\x00\xFF\x51\x03", 4);
    bigEndian(track, kMicrosecondsPerQuarter, 3);
    std::int64_t now = 0;
    for (const TakeEvent& event : take) {
        const std::int64_t at = std::max(event.at, now);
        variableLength(track, static_cast<std::uint32_t>(std::min(at - now, kLongestDelta)));
        now = at;
        track.append(static_cast<char>(event.message & 0xFFU));
        track.append(static_cast<char>(event.message >> 8 & 0x7FU));
        if (dataBytes(event.message) == 2) {
            track.append(static_cast<char>(event.message >> 16 & 0x7FU));
        }
    }
    track.append("\x00\xFF\x2F\x00", 4);

    QByteArray file("MThd");
    bigEndian(file, 6, 4);
    bigEndian(file, 0, 2);  // format 0
    bigEndian(file, 1, 2);  // one track
    bigEndian(file, kTicksPerQuarter, 2);
    file.append("MTrk");
    bigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
    file.append(track);
    return file;
}

}  // namespace tinko::recording

// Prints what the first open of device 0 costs in a fresh process: wall time,
// resident memory, and the audio buffer as configured.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "FluidSynthMidiOutput.h"
#include "Piano.h"
#include "ResidentMemory.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tinko::fluid::FluidSynthMidiOutput synthesizer;
    tinko::Piano piano(synthesizer);

    const double before = tinko::bench::residentMegabytes();
    QElapsedTimer timer;
    timer.start();
    const std::int32_t handle = piano.OpenDevices();
    const double openMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double after = tinko::bench::residentMegabytes();
    if (handle == 0) {
        std::printf("device 0 did not open\n");
        return 1;
    }
    const tinko::fluid::AudioConnection* audio = synthesizer.audio(handle);

    timer.restart();
    piano.PlayNote(60);
    const double firstNoteUs = static_cast<double>(timer.nsecsElapsed()) / 1e3;
    piano.PlayNote(60, 0);

    std::printf("audio driver:             %s\n", audio->driverName().c_str());
    std::printf("output buffer latency:    %.2f ms\n", audio->bufferLatency() * 1e3);
    std::printf("open device 0:            %.1f ms\n", openMs);
    std::printf("resident memory:          %.1f MB before, %.1f MB after (+%.1f MB)\n", before,
                after, after - before);
    std::printf("first note-on after open: %.1f us\n", firstNoteUs);
    piano.CloseDevices();
    return 0;
}

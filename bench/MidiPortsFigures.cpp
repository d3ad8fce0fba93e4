// Prints what the MIDI ports cost: opening them in a fresh process, CPU time
// and wake-ups at rest (nothing linked, then linked and running), and the
// round trip of a message out of the output port and back in at the input,
// once bench/midi-ports.sh has linked the one to the other. The message is a
// Note Off: the ports drop any other message of theirs that comes straight
// back, but let the end of a note through.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "MidiPorts.h"
#include "ResidentMemory.h"

namespace {

// Counts what comes in, and ends a wait for it.
class Stopwatch : public tinko::midiports::MidiReceiver {
public:
    void received(std::uint32_t) override {
        ++arrived;
        if (waiting != nullptr) {
            waiting->quit();
        }
    }
    void sourceLeft() override {}
    int arrived = 0;
    QEventLoop* waiting = nullptr;
};

// CPU seconds and context switches of every thread of the process so far.
std::pair<double, long> cpuAndSwitches() {
    long switches = 0;
    for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs)) {
        std::ifstream status("/proc/self/task/" + task.toStdString() + "/status");
        std::string key;
        long value = 0;
        while (status >> key) {
            if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:") {
                status >> value;
                switches += value;
            }
        }
    }
    std::ifstream stat("/proc/self/stat");
    std::string field;
    double ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
        if (i == 14 || i == 15) {  // user and system time
            ticks += std::stod(field);
        }
    }
    return {ticks / 100.0, switches};
}

// Runs the event loop for `milliseconds`, or until `stopwatch` hears a
// message when given.
void runFor(int milliseconds, Stopwatch* stopwatch = nullptr) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    if (stopwatch != nullptr) {
        stopwatch->waiting = &loop;
    }
    loop.exec();
    if (stopwatch != nullptr) {
        stopwatch->waiting = nullptr;
    }
}

void printRest(const char* what) {
    const auto [cpuBefore, switchesBefore] = cpuAndSwitches();
    runFor(5000);
    const auto [cpuAfter, switchesAfter] = cpuAndSwitches();
    std::printf("%-32s %.2f %% CPU, %.1f wake-ups/s\n", what, (cpuAfter - cpuBefore) / 5 * 100,
                static_cast<double>(switchesAfter - switchesBefore) / 5);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double before = tinko::bench::residentMegabytes();
    QElapsedTimer timer;
    timer.start();
    const auto ports = tinko::midiports::openDesktopMidiPorts();
    const double openMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (!ports) {
        std::printf("no MIDI system: no ports\n");
        return 1;
    }
    std::printf("%-32s %.1f ms, +%.1f MB resident\n", "open the ports:", openMs,
                tinko::bench::residentMegabytes() - before);
    Stopwatch stopwatch;
    ports->listen(&stopwatch);
    printRest("at rest, nothing linked:");

    std::printf("link the output to the input now\n");
    std::fflush(stdout);
    const QDeadlineTimer linked(20000);
    while (stopwatch.arrived == 0 && !linked.hasExpired()) {
        ports->send(0x003C80);
        runFor(20, &stopwatch);
    }
    if (stopwatch.arrived == 0) {
        std::printf("nothing came back: not linked\n");
        return 1;
    }
    runFor(200);
    std::vector<double> trips;
    for (int i = 0; i < 200; ++i) {
        const int arrived = stopwatch.arrived;
        timer.restart();
        ports->send(0x403C80);
        if (stopwatch.arrived == arrived) {
            runFor(2000, &stopwatch);
        }
        trips.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(trips.begin(), trips.end());
    std::printf("%-32s median %.1f ms, 95th %.1f ms, most %.1f ms (200 messages)\n",
                "out and back in:", trips[100], trips[190], trips.back());
    printRest("linked, at rest:");
    return 0;
}

#!/usr/bin/env python3
"""Key to sound and the cost of silence, on PulseAudio and on PipeWire.

For each audio server in turn, started privately with a null sink, the built
program runs on an Xvfb display of its own. A key is pressed through the X
test extension and the time until its note shows at the sink's monitor is
taken (median of the presses); then the program is left silent for a minute,
its CPU time and that of the server's processes are read from /proc over ten
seconds of that silence, and the first note after it is timed. The servers'
own idle cost, measured before the program starts, is printed beside theirs.
Prints figures; asserts nothing.

    bench/audio-servers.py [--presses N] [--silence SECONDS] [--servers pulseaudio,pipewire]

Build first with tools/build.sh; TINKO_BUILD_DIR names another build folder.
"""
import argparse
import bisect
import ctypes
import os
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "support"))
from desktop import (RATE, PipeWire, Processes, Program, PulseAudio, Recorder,  # noqa: E402
                     XServer, wait_for)

ONSET = 200  # a sample louder than this (of 32767) is the note's start
MIDDLE_C_KEY = 0x6B  # the keysym of 'k'
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def version(daemon):
    return subprocess.run([daemon, "--version"], capture_output=True,
                          text=True).stdout.split()[-1]


def time_of(recorder, frame):
    """When `frame` played: its block's arrival less the frames after it."""
    with recorder.lock:
        index = bisect.bisect_right(recorder.arrivals, frame, key=lambda arrival: arrival[1])
        if index == len(recorder.arrivals):
            return None
        arrived, frames = recorder.arrivals[index]
        return arrived - (frames - 1 - frame) / RATE


class Keyboard:
    """Presses keys through the X test extension, as xdotool does, but
    without a process start between the time taken and the press."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError("cannot open display " + display)

    def key(self, keysym, down):
        code = self.x11.XKeysymToKeycode(self.display, keysym)
        self.xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        pressed = time.monotonic()
        self.x11.XFlush(self.display)
        return pressed


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime + stime


def wakeups(pid):
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/status" % (pid, task)) as status:
            for line in status:
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    total += int(line.split()[1])
    return total


def idle_cost(pids, seconds=10.0):
    """Per process: percent of a core, and wake-ups a second, over `seconds`."""
    before = {name: (cpu_seconds(pid), wakeups(pid)) for name, pid in pids.items()}
    time.sleep(seconds)
    return {name: (100 * (cpu_seconds(pid) - before[name][0]) / seconds,
                   (wakeups(pid) - before[name][1]) / seconds) for name, pid in pids.items()}


def key_to_sound(keyboard, recorder):
    """Milliseconds from a press of middle C to its sound at the sink."""
    start = recorder.frames()
    pressed = keyboard.key(MIDDLE_C_KEY, True)
    onset = recorder.wait_for_sound(start, 2.0, ONSET)
    time.sleep(0.2)
    keyboard.key(MIDDLE_C_KEY, False)
    if onset is None:
        return None
    wait_for(lambda: time_of(recorder, onset) is not None)
    return 1000 * (time_of(recorder, onset) - pressed)


def measure(server_class, path, x, options):
    processes = Processes()
    try:
        # As on a desktop, PulseAudio suspends a sink that no stream plays to.
        server = server_class(processes, *(["module-suspend-on-idle"]
                                           if server_class is PulseAudio else []))
        if not server.running:
            raise RuntimeError(server_class.name + " did not start")
        pids = {name: daemon.pid for name, daemon in server.daemons.items()}
        time.sleep(2)  # the server settles after its start
        server_alone = idle_cost(pids)

        app = Program(path, x, processes, server.env)
        recorder = Recorder(processes, server.env, latency_ms=2)
        if not app.start():
            raise RuntimeError("no window: " + app.stderr())
        keyboard = Keyboard(x.display)
        time.sleep(1)

        latencies = []
        for _ in range(options.presses):
            latencies.append(key_to_sound(keyboard, recorder))
            time.sleep(1.5)
        heard = [ms for ms in latencies if ms is not None]

        # A minute without a note. Its cost is read in the middle of it, with
        # no recorder asking the server for short blocks meanwhile; the
        # recorder starts again long before the minute ends, so that it has
        # settled when the next note comes.
        silent_from = time.monotonic()
        recorder.parec.terminate()
        time.sleep(max(0.0, options.silence / 2 - 10))
        idle = idle_cost(dict(pids, program=app.process.pid))
        recorder = Recorder(processes, server.env, latency_ms=2)
        time.sleep(max(0.0, silent_from + options.silence - time.monotonic()))
        after_silence = key_to_sound(keyboard, recorder)

        row = {
            "server": "%s %s" % (server.name, version(server.name.lower())),
            "steady": statistics.median(heard) if heard else None,
            "heard": len(heard),
            "presses": options.presses,
            "after_silence": after_silence,
            "program": idle["program"],
            "daemons": {name: (idle[name], server_alone[name]) for name in pids},
        }
        app.process.send_signal(signal.SIGTERM)
        app.process.wait(10)
        if app.stderr().strip():
            row["said"] = app.stderr().strip()
        return row
    finally:
        processes.stop_all()


def milliseconds(value):
    return "   none" if value is None else "%5.1f ms" % value


def print_table(rows, silence):
    print("%-22s %14s %16s %20s  %s" % ("audio server", "key to sound", "after %d s silent"
                                         % silence, "program idle", "server idle (alone)"))
    for row in rows:
        daemons = ", ".join("%s %.1f%% (%.1f%%)" % (name, cost[0][0], cost[1][0])
                            for name, cost in row["daemons"].items())
        print("%-22s %8s (%d/%d) %16s %8.1f%% %5.0f/s  %s" % (
            row["server"], milliseconds(row["steady"]), row["heard"], row["presses"],
            milliseconds(row["after_silence"]), row["program"][0], row["program"][1],
            daemons))
    for row in rows:
        if "said" in row:
            print("on %s the program said: %s" % (row["server"], row["said"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--presses", type=int, default=9)
    parser.add_argument("--silence", type=float, default=60.0)
    parser.add_argument("--servers", default="pulseaudio,pipewire")
    options = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    program = os.path.join(root, os.environ.get("TINKO_BUILD_DIR", "build"), "app",
                           "tinko-piano")
    if not os.access(program, os.X_OK):
        sys.exit("build the program first: tools/build.sh")

    processes = Processes()
    try:
        x = XServer(processes)
        servers = {"pulseaudio": PulseAudio, "pipewire": PipeWire}
        rows = [measure(servers[name], program, x, options)
                for name in options.servers.split(",")]
        print_table(rows, options.silence)
    finally:
        processes.stop_all()


if __name__ == "__main__":
    main()

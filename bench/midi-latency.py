#!/usr/bin/env python3
"""A note from a MIDI keyboard against a computer key, on PipeWire: from the
note at the piano's input port to its sound at the sink, beside a key
pressed to its sound, on an idle machine and with every core busy.

The keyboard is the tests' stand-in for one plugged in
(tests/support/MidiKeyboardStandIn.cpp): the piano links it by itself, it
strikes its note in the graph cycle after a signal and says when; unplugged
(ended), its note is let go. The graph runs at the cycle the recorder at the
sink asks for: --cycle-ms 21 is the daemon's default 1024 frames. Prints a Markdown table of medians (and the
range); asserts nothing.

    bench/midi-latency.py [--notes N] [--loads idle,busy] [--cycle-ms MS]

Build first with tools/build.sh; TINKO_BUILD_DIR names another build folder.
"""
import argparse
import os
import runpy
import signal
import statistics
import subprocess
import sys
import time
import types

here = os.path.dirname(os.path.abspath(__file__))
# The audio servers' benchmark's own keyboard, timing and load.
servers = types.SimpleNamespace(**runpy.run_path(os.path.join(here, "audio-servers.py")))
from desktop import PipeWire, Processes, Program, Recorder, XServer, wait_for  # noqa: E402


def note_to_sound(stand_in, processes, server, recorder):
    """Milliseconds from the stand-in's note at our port to its sound (a
    cycle's resolution)."""
    out = processes.folder() + "/out"
    with open(out, "w") as said:
        keyboard = processes.start([stand_in, "24", "Keys", "60"], server.env, stdout=said)
    wait_for(lambda: "Midi-Bridge" in subprocess.run(["pw-link", "-l", "-i"], env=server.env,
                                                     capture_output=True, text=True).stdout)
    time.sleep(0.2)  # played a moment after it is plugged in, as a person does
    onset = None
    for _ in range(5):  # a note struck as the link comes up may not reach us
        start = recorder.frames()
        keyboard.send_signal(signal.SIGUSR1)
        onset = recorder.wait_for_sound(start, 1.0, servers.ONSET)
        if onset is not None:
            break
    keyboard.terminate()
    keyboard.wait()
    wait_for(lambda: recorder.loudest(recorder.frames() - 4800, recorder.frames()) < 100, 5.0)
    if onset is None:
        return None
    wait_for(lambda: recorder.time_of(onset) is not None)
    with open(out) as said:
        struck = [float(line.split()[1]) for line in said if line.startswith("struck")]
    heard = recorder.time_of(onset)
    # A sink's cycle arrives whole, timed from its start: a note heard in
    # the cycle it was struck in may seem heard a little before it.
    return 1000 * (heard - max(t for t in struck if t < heard + 0.025))


def measure(build, x, options, load):
    processes = Processes()
    try:
        server = PipeWire(processes)
        time.sleep(2)  # the server settles after its start
        if load == "busy":
            servers.busy_cores(processes)
        app = Program(os.path.join(build, "app", "tinko-piano"), x, processes, server.env)
        recorder = Recorder(processes, server.env, latency_ms=options.cycle_ms)
        if not app.start():
            raise RuntimeError("no window: " + app.stderr())
        keyboard = servers.Keyboard(x.display)
        time.sleep(1)
        stand_in = os.path.join(build, "tests", "midi_keyboard_stand_in")
        keys, notes = [], []
        for _ in range(options.notes):
            keys.append(servers.key_to_sound(keyboard, recorder))
            time.sleep(0.5)
            notes.append(note_to_sound(stand_in, processes, server, recorder))
            time.sleep(0.5)
        return load, [ms for ms in keys if ms is not None], [ms for ms in notes if ms is not None]
    finally:
        processes.stop_all()


def figure(values):
    if not values:
        return "not heard"
    return "%.1f ms (%.1f–%.1f, %d)" % (statistics.median(values), min(values), max(values),
                                        len(values))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--notes", type=int, default=9)
    parser.add_argument("--loads", default="idle,busy")
    parser.add_argument("--cycle-ms", type=int, default=2)
    options = parser.parse_args()
    build = os.path.join(os.path.dirname(here), os.environ.get("TINKO_BUILD_DIR", "build"))
    for target in ("app/tinko-piano", "tests/midi_keyboard_stand_in"):
        if not os.access(os.path.join(build, target), os.X_OK):
            sys.exit("build the program and the tests first: tools/build.sh")
    processes = Processes()
    try:
        x = XServer(processes)
        rows = [measure(build, x, options, load) for load in options.loads.split(",")]
    finally:
        processes.stop_all()
    print("graph cycle asked for: %d ms" % options.cycle_ms)
    print("| load | computer key to sound | MIDI note at the port to sound |")
    print("|---|---|---|")
    for load, keys, notes in rows:
        print("| %s | %s | %s |" % (load, figure(keys), figure(notes)))


if __name__ == "__main__":
    main()

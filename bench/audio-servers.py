#!/usr/bin/env python3
"""Sound on PulseAudio and on PipeWire: how soon, how steady, how cheap, and
how soon back after the server has gone.

For each audio server in turn, started privately with a null sink, the built
program runs on an Xvfb display of its own, first on an idle machine, then
with every core kept busy by other programs. Keys are pressed through the X
test extension and their notes found at the sink's monitor. Per server and
load it prints:

- key to sound: from a key pressed to its note at the sink (median; the
  fastest and the slowest, and how many were heard);
- after silence: the same for the first note after a silent minute, and
  after the next rests (median);
- gaps: runs of digital silence of 1 ms or more inside held chords (30 s in
  all, played by bench/audio_figures through the same audio output), and
  the underruns the output counted meanwhile; of the gaps, "the host's" came
  within 0.1 s of a moment a real-time witness on each core woke 3 ms late
  or more (a virtual machine's host stopped the cores: no client closes
  those);
- worst callback: the longest render callback while a held chord changes
  instrument ten times, against one period;
- back: from the server started again (after it was killed under the
  program) to the program's stream playing on it, and whether a key is then
  heard;
- idle cost (idle machine only): CPU time and wake-ups a second of the
  program and of the server's processes over ten seconds of the silence,
  beside the server's own before the program started.

Then, on PulseAudio, in the same run and under the same load, the
`fluidsynth` program with its own PulseAudio driver at 2 x 64 frames
(`-a pulseaudio -z 64 -c 2`): its note to sound (a Note On written to its
shell, timed as a key press is) and its gaps in the same chords, beside the
program's key to sound and gaps.

And beside both, in the same run and under the same load, a steady tone as
long as the chords played by the server's own player (`pw-play --latency=256`,
`paplay --latency-msec=11`, the program's first buffer): its gaps are the
server's and the machine's, which no client can close.

Prints Markdown tables; asserts nothing.

    bench/audio-servers.py [--presses N] [--silence SECONDS] [--rests N] [--chords N]
                           [--servers pulseaudio,pipewire] [--loads idle,busy] [--quick]

--quick measures only the key to sound and the gaps (no silence, restart or
idle cost).

Build first with tools/build.sh; TINKO_BUILD_DIR names another build folder.
"""
import argparse
import array
import ctypes
import math
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "support"))
from desktop import (RATE, PipeWire, Processes, Program, PulseAudio, Recorder,  # noqa: E402
                     StallWitness, XServer, wait_for)

ONSET = 200  # a sample louder than this (of 32767) is the note's start
# FluidSynth's own program through its PulseAudio driver at two periods of
# 64 frames, at the program's rate and gain, with no MIDI input of its own.
FLUIDSYNTH = ["fluidsynth", "-a", "pulseaudio", "-z", "64", "-c", "2", "-r", "48000", "-g", "0.6",
              "-n", "/usr/share/sounds/sf2/FluidR3_GM.sf2"]
CHORD = (48, 52, 55, 60)  # as bench/audio_figures holds them
MIDDLE_C_KEY = 0x6B  # the keysym of 'k'
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def version(daemon):
    return subprocess.run([daemon, "--version"], capture_output=True,
                          text=True).stdout.split()[-1]


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


def key_to_sound(keyboard, recorder, timeout=2.0):
    """Milliseconds from a press of middle C to its sound at the sink."""
    start = recorder.frames()
    pressed = keyboard.key(MIDDLE_C_KEY, True)
    onset = recorder.wait_for_sound(start, timeout, ONSET)
    time.sleep(0.2)
    keyboard.key(MIDDLE_C_KEY, False)
    if onset is None:
        return None
    wait_for(lambda: recorder.time_of(onset) is not None)
    return 1000 * (recorder.time_of(onset) - pressed)


def busy_cores(processes):
    """Keeps every core busy, as a build would."""
    cores = os.cpu_count() or 2
    if shutil.which("stress-ng"):
        return [processes.start(["stress-ng", "--cpu", str(cores), "--quiet"], os.environ)]
    return [processes.start([sys.executable, "-c", "while True: pass"], os.environ)
            for _ in range(cores)]


def stop_then_chords(app, processes, server, build, options, witness):
    # What the program said, once stopped; then the gaps and the worst
    # callback of held chords played through the same outputs.
    said = app.stderr().strip()
    app.process.send_signal(signal.SIGTERM)
    app.process.wait(10)
    recorder = Recorder(processes, server.env, latency_ms=2)
    gaps, worst = chords(os.path.join(build, "bench", "audio_figures"), server, recorder,
                         options.chords, witness)
    return said, gaps, worst


def chords(path, server, recorder, count, witness):
    """Gaps inside `count` held chords, and the figures audio_figures prints."""
    figures = subprocess.run([path, str(count)], env=server.env, capture_output=True, text=True,
                             timeout=count * 4 + 60)
    held, said = [], {}
    for line in figures.stdout.splitlines():
        words = line.split()
        if words[:2] == ["chord", "on"]:
            held.append([float(words[2]), None])
        elif words[:2] == ["chord", "off"]:
            held[-1][1] = float(words[2])
        elif words:
            said[words[0]] = line
    gaps = gaps_in(recorder, held, witness)
    underruns = said.get("underruns", "underruns ?").split()[1]
    worst = said.get("worst", "worst callback ?").split(" ", 2)[2]
    return "%s / %s" % (gaps, underruns), worst


def gaps_in(recorder, held, witness):
    """Runs of digital silence inside the (on, off) times of held chords."""
    wait_for(lambda: recorder.frame_at(held[-1][1]) is not None if held else True)
    gaps = []
    for on, off in held:
        onset = recorder.onset(recorder.frame_at(on), ONSET)
        end = recorder.frame_at(off)
        if onset is not None and end is not None:
            gaps += recorder.silences(onset, end)
    return counted(gaps, recorder, witness)


def counted(gaps, recorder, witness):
    """How many gaps, and how many of them came within 0.1 s of a moment
    the host stopped the machine (no client closes those)."""
    hosts = [at for at, frames in gaps if witness.saw(recorder.time_of(at) - 0.1,
                                                      recorder.time_of(at + frames) + 0.1)]
    return "%d (the host's %d)" % (len(gaps), len(hosts)) if witness.able else str(len(gaps))


def fluidsynth_beside(server, processes, options, witness):
    """FluidSynth's program on `server`: milliseconds from a Note On written
    to its shell to its sound (median, and how many heard), and the gaps in
    held chords as bench/audio_figures plays them."""
    synth = processes.start(FLUIDSYNTH, server.env, stdin=subprocess.PIPE)
    recorder = Recorder(processes, server.env, latency_ms=2)

    def send(*commands):
        synth.stdin.write("".join(command + "\n" for command in commands).encode())
        sent = time.monotonic()
        synth.stdin.flush()
        return sent

    wait_for(lambda: "fluidsynth" in streams(server).lower(), 15)
    time.sleep(2)  # its SoundFont loaded
    latencies = []
    for _ in range(options.presses):
        start = recorder.frames()
        sent = send("noteon 0 60 112")
        onset = recorder.wait_for_sound(start, 2.0, ONSET)
        time.sleep(0.2)
        send("noteoff 0 60")
        if onset is not None:
            wait_for(lambda: recorder.time_of(onset) is not None)
            latencies.append(1000 * (recorder.time_of(onset) - sent))
        time.sleep(1.5)
    held = []
    for _ in range(options.chords):
        on = send(*["noteon 0 %d 112" % note for note in CHORD])
        time.sleep(3)
        held.append((on, send(*["noteoff 0 %d" % note for note in CHORD])))
        time.sleep(0.5)
    gaps = gaps_in(recorder, held, witness)
    send("quit")
    return (statistics.median(latencies) if latencies else None,
            "%d/%d" % (len(latencies), options.presses), gaps)


def tone_beside(server, processes, options, witness):
    """Runs of digital silence inside a steady 440 Hz tone, as long as the
    chords, played by the server's own player."""
    seconds = 3 * options.chords
    path = os.path.join(processes.folder(), "tone.wav")
    with wave.open(path, "wb") as tone:
        tone.setnchannels(2)
        tone.setsampwidth(2)
        tone.setframerate(RATE)
        cycle = [int(8000 * math.sin(2 * math.pi * i / 48)) for i in range(48)]  # 1 kHz
        tone.writeframes(array.array("h", [v for v in cycle for _ in (0, 1)] *
                                     (RATE * seconds // 48)).tobytes())
    player = ["pw-play", "--latency=256"] if server.name == "PipeWire" else \
        ["paplay", "--latency-msec=11"]
    recorder = Recorder(processes, server.env, latency_ms=2)
    time.sleep(1)
    start = recorder.frames()
    subprocess.run(player + [path], env=server.env, timeout=seconds + 30)
    time.sleep(0.5)
    onset, end = recorder.onset(start, ONSET), recorder.frames()
    if onset is None:
        return None
    return counted([(at, run) for at, run in recorder.silences(onset, end) if at + run < end],
                   recorder, witness)


def streams(server):
    return server.pactl("list", "sink-inputs") or ""


def back_after_restart(server, keyboard, processes):
    """Seconds from the server started again to the program's stream playing
    on it (it counts as open only once it plays), and whether a key is heard
    then. Taken at the server: a new recorder takes two seconds to deliver
    its first sound, longer than the program takes."""
    server.kill()
    time.sleep(2)  # the program has found out, and tries again now and then
    server.start()
    returned = time.monotonic()
    if not server.running or not wait_for(lambda: "tinko-piano" in streams(server), 15):
        return None, False
    back = time.monotonic() - returned
    return back, key_to_sound(keyboard, Recorder(processes, server.env, latency_ms=2)) is not None


def measure(server_class, build, x, options, load):
    processes = Processes()
    try:
        # As on a desktop, PulseAudio suspends a sink that no stream plays to.
        server = server_class(processes, *(["module-suspend-on-idle"]
                                           if server_class is PulseAudio else []))
        if not server.running:
            raise RuntimeError(server_class.name + " did not start")
        pids = {name: daemon.pid for name, daemon in server.daemons.items()}
        time.sleep(2)  # the server settles after its start
        server_alone = idle_cost(pids) if load == "idle" else None
        if load == "busy":
            busy_cores(processes)
        witness = StallWitness(processes)

        app = Program(os.path.join(build, "app", "tinko-piano"), x, processes, server.env)
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
        if options.quick:
            said, gaps, worst = stop_then_chords(app, processes, server, build, options, witness)
            return quick_row(server, load, heard, options, gaps, worst, said, processes, witness)

        # A minute without a note. Its cost is read in the middle of it, with
        # no recorder asking the server for short blocks meanwhile; the
        # recorder starts again long before the minute ends, so that it has
        # settled when the next note comes.
        silent_from = time.monotonic()
        recorder.parec.terminate()
        time.sleep(max(0.0, options.silence / 2 - 10))
        idle = idle_cost(dict(pids, program=app.process.pid)) if load == "idle" else None
        recorder = Recorder(processes, server.env, latency_ms=2)
        time.sleep(max(0.0, silent_from + options.silence - time.monotonic()))
        after_silence = [key_to_sound(keyboard, recorder)]
        for _ in range(options.rests - 1):  # and after the next rests
            wait_for(lambda: "Corked: yes" in streams(server), 30)
            time.sleep(1)
            after_silence.append(key_to_sound(keyboard, recorder))
        woken = [ms for ms in after_silence if ms is not None]

        back = back_after_restart(server, keyboard, processes)
        said, gaps, worst = stop_then_chords(app, processes, server, build, options, witness)
        beside = fluidsynth_beside(server, processes, options, witness) \
            if server_class is PulseAudio \
            else None
        return {
            "beside": beside,
            "tone": tone_beside(server, processes, options, witness),
            "server": "%s %s" % (server.name, version(server.name.lower())),
            "load": load,
            "steady": statistics.median(heard) if heard else None,
            "heard": presses(heard, options),
            "after_silence": statistics.median(woken) if woken else None,
            "woken": "%d/%d" % (len(woken), options.rests),
            "gaps": gaps,
            "worst": worst,
            "back": back,
            "program": idle["program"] if idle else None,
            "daemons": {name: (idle[name], server_alone[name]) for name in pids} if idle else None,
            "said": said,
        }
    finally:
        processes.stop_all()


def quick_row(server, load, heard, options, gaps, worst, said, processes, witness):
    return {
        "server": "%s %s" % (server.name, version(server.name.lower())),
        "load": load,
        "steady": statistics.median(heard) if heard else None,
        "heard": presses(heard, options),
        "gaps": gaps,
        "worst": worst,
        "said": said,
        "beside": fluidsynth_beside(server, processes, options, witness)
        if server.name == "PulseAudio" else None,
        "tone": tone_beside(server, processes, options, witness),
    }


def presses(heard, options):
    """The fastest and the slowest key heard, and how many were."""
    span = "%.1f-%.1f ms, " % (min(heard), max(heard)) if heard else ""
    return "%s%d/%d" % (span, len(heard), options.presses)


def milliseconds(value):
    return "none" if value is None else "%.1f ms" % value


def print_table(rows, options):
    if not options.quick:
        print_full_table(rows, options)
    else:
        print("| server | load | key to sound | gaps / underruns in %d s of chords | a tone's "
              "gaps, the server's player | worst callback |" % (3 * options.chords))
        print("|---|---|---|---|---|---|")
        for row in rows:
            print("| %s | %s | %s (%s) | %s | %s | %s |" % (
                row["server"], row["load"], milliseconds(row["steady"]), row["heard"],
                row["gaps"], row["tone"], row["worst"]))
    beside = [row for row in rows if row.get("beside")]
    if beside:
        print("\n| server | load | program: key to sound | fluidsynth -z 64 -c 2: note to sound | "
              "program: gaps / underruns | fluidsynth: gaps |")
        print("|---|---|---|---|---|---|")
        for row in beside:
            ms, heard, gaps = row["beside"]
            print("| %s | %s | %s (%s) | %s (%s) | %s | %s |" % (
                row["server"], row["load"], milliseconds(row["steady"]), row["heard"],
                milliseconds(ms), heard, row["gaps"], gaps))
    for row in rows:
        if row["said"]:
            print("\non %s (%s) the program said:\n%s" % (row["server"], row["load"], row["said"]))


def print_full_table(rows, options):
    print("| server | load | key to sound | after %d s silent, and rests | gaps / underruns in %d s "
          "of chords | a tone's gaps, the server's player | worst callback | back after restart "
          "| program idle | servers idle (alone) |" % (options.silence, 3 * options.chords))
    print("|---|---|---|---|---|---|---|---|---|---|")
    for row in rows:
        idle = "%.1f %%, %.0f/s" % row["program"] if row["program"] else ""
        daemons = ", ".join("%s %.1f %% (%.1f %%)" % (name, cost[0][0], cost[1][0])
                            for name, cost in row["daemons"].items()) if row["daemons"] else ""
        back = "none" if row["back"][0] is None else "%.2f s (%s)" % (
            row["back"][0], "heard" if row["back"][1] else "not heard")
        print("| %s | %s | %s (%s) | %s (%s) | %s | %s | %s | %s | %s | %s |" % (
            row["server"], row["load"], milliseconds(row["steady"]), row["heard"],
            milliseconds(row["after_silence"]), row["woken"], row["gaps"], row["tone"],
            row["worst"], back, idle, daemons))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--presses", type=int, default=9)
    parser.add_argument("--silence", type=float, default=60.0)
    parser.add_argument("--rests", type=int, default=5)
    parser.add_argument("--chords", type=int, default=10)
    parser.add_argument("--servers", default="pulseaudio,pipewire")
    parser.add_argument("--loads", default="idle,busy")
    parser.add_argument("--quick", action="store_true")
    options = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    build = os.path.join(root, os.environ.get("TINKO_BUILD_DIR", "build"))
    for target in ("app/tinko-piano", "bench/audio_figures"):
        if not os.access(os.path.join(build, target), os.X_OK):
            sys.exit("build the program and the benchmarks first: tools/build.sh")

    processes = Processes()
    try:
        x = XServer(processes)
        servers = {"pulseaudio": PulseAudio, "pipewire": PipeWire}
        rows = [measure(servers[name], build, x, options, load)
                for name in options.servers.split(",") for load in options.loads.split(",")]
        print_table(rows, options)
    finally:
        processes.stop_all()


if __name__ == "__main__":
    main()

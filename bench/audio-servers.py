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
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

RATE = 48000
FRAME_BYTES = 4  # two 16-bit channels
ONSET = 200  # a sample louder than this (of 32767) is the note's start
MIDDLE_C_KEY = 0x6B  # the keysym of 'k'
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def wait_for(condition, timeout=10.0, what="a condition"):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise RuntimeError("timed out waiting for " + what)
        time.sleep(0.01)


class Processes:
    """Child processes started here, ended in reverse order."""

    def __init__(self):
        self.children = []

    def start(self, command, env, **kwargs):
        child = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                 stdout=kwargs.pop("stdout", subprocess.DEVNULL),
                                 stderr=kwargs.pop("stderr", subprocess.DEVNULL), **kwargs)
        self.children.append(child)
        return child

    def stop_all(self):
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(5)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()
        self.children.clear()


class PulseAudio:
    """As the tests start it, and, as on a desktop, suspending a sink when no
    stream plays to it."""
    name = "PulseAudio"

    def __init__(self, runtime, processes):
        self.env = dict(os.environ, XDG_RUNTIME_DIR=runtime, HOME=runtime,
                        PULSE_SERVER="unix:%s/native" % runtime)
        self.daemons = {"pulseaudio": processes.start(
            ["pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
             "--load=module-null-sink sink_name=tinko_bench rate=48000 channels=2",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=%s/native" % runtime,
             "--load=module-suspend-on-idle"],
            self.env)}
        wait_for(lambda: os.path.exists(runtime + "/native"), what="pulseaudio")
        self.version = subprocess.run(["pulseaudio", "--version"], capture_output=True,
                                      text=True).stdout.split()[-1]


class PipeWire:
    name = "PipeWire"

    def __init__(self, runtime, processes):
        self.env = dict(os.environ, XDG_RUNTIME_DIR=runtime, HOME=runtime,
                        DBUS_SESSION_BUS_ADDRESS="unix:path=%s/bus" % runtime)
        self.env.pop("PULSE_SERVER", None)
        self.daemons = {"dbus-daemon": processes.start(
            ["dbus-daemon", "--session", "--nofork", "--address=unix:path=%s/bus" % runtime],
            self.env)}
        wait_for(lambda: os.path.exists(runtime + "/bus"), what="dbus-daemon")
        self.daemons["pipewire"] = processes.start(["pipewire"], self.env)
        wait_for(lambda: os.path.exists(runtime + "/pipewire-0"), what="pipewire")
        self.daemons["wireplumber"] = processes.start(["wireplumber"], self.env)
        self.daemons["pipewire-pulse"] = processes.start(["pipewire-pulse"], self.env)
        wait_for(lambda: os.path.exists(runtime + "/pulse/native"), what="pipewire-pulse")
        pactl = ["pactl", "--server=unix:%s/pulse/native" % runtime]
        wait_for(lambda: subprocess.run(pactl + ["load-module", "module-null-sink",
                                                 "sink_name=tinko_bench"], env=self.env,
                                        capture_output=True).returncode == 0,
                 what="a null sink")
        wait_for(lambda: subprocess.run(pactl + ["set-default-sink", "tinko_bench"], env=self.env,
                                        capture_output=True).returncode == 0,
                 what="the default sink")
        self.version = subprocess.run(["pipewire", "--version"], capture_output=True,
                                      text=True).stdout.split()[-1]


class Recorder:
    """The sink's monitor, read as it arrives: each block with its arrival time."""

    def __init__(self, env, processes):
        self.parec = processes.start(
            ["parec", "--device=tinko_bench.monitor", "--raw", "--format=s16le",
             "--rate=%d" % RATE, "--channels=2", "--latency-msec=2"],
            env, stdout=subprocess.PIPE)
        self.data = bytearray()
        self.arrivals = []  # (time, frames recorded up to then)
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()
        wait_for(lambda: self.frames() > RATE // 10, what="parec")

    def _read(self):
        fd = self.parec.stdout.fileno()
        while True:
            block = os.read(fd, 65536)
            if not block:
                return
            now = time.monotonic()
            with self.lock:
                self.data += block
                self.arrivals.append((now, len(self.data) // FRAME_BYTES))

    def stop(self):
        self.parec.terminate()
        self.parec.wait()

    def frames(self):
        with self.lock:
            return len(self.data) // FRAME_BYTES

    def onset(self, start, checked):
        """The first loud frame from `start` on, or None; `checked` is a list
        of one frame number, from which the next look goes on."""
        with self.lock:
            first = max(start, checked[0])
            end = len(self.data) // FRAME_BYTES
            checked[0] = end
            samples = memoryview(self.data[first * FRAME_BYTES:end * FRAME_BYTES]).cast("h")
            loud = next((i for i, sample in enumerate(samples) if abs(sample) > ONSET), None)
            return None if loud is None else first + loud // 2

    def time_of(self, frame):
        """When `frame` played: its block's arrival less the frames after it."""
        with self.lock:
            index = bisect.bisect_right(self.arrivals, frame, key=lambda arrival: arrival[1])
            if index == len(self.arrivals):
                return None
            arrived, frames = self.arrivals[index]
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
    checked = [start]
    pressed = keyboard.key(MIDDLE_C_KEY, True)
    onset = None
    deadline = time.monotonic() + 2
    while onset is None and time.monotonic() < deadline:
        time.sleep(0.005)
        onset = recorder.onset(start, checked)
    time.sleep(0.2)
    keyboard.key(MIDDLE_C_KEY, False)
    if onset is None:
        return None
    wait_for(lambda: recorder.time_of(onset) is not None, what="the recording")
    return 1000 * (recorder.time_of(onset) - pressed)


def measure(server_class, program, display, options):
    processes = Processes()
    runtime = tempfile.mkdtemp(prefix="tinko-audio-")
    os.chmod(runtime, 0o700)
    try:
        server = server_class(runtime, processes)
        pids = {name: daemon.pid for name, daemon in server.daemons.items()}
        time.sleep(2)  # the server settles after its start
        server_alone = idle_cost(pids)

        home = os.path.join(runtime, "home")
        os.mkdir(home)
        env = dict(server.env, DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=home)
        app = processes.start([program], env, stderr=subprocess.PIPE)
        recorder = Recorder(server.env, processes)

        def window():
            result = subprocess.run(["xdotool", "search", "--onlyvisible", "--class",
                                     "tinko-piano"], env=env, capture_output=True, text=True)
            return result.stdout.split()[-1] if result.stdout.split() else None

        wait_for(lambda: window() is not None or app.poll() is not None, 30, "the window")
        if app.poll() is not None:
            raise RuntimeError("the program ended: " + app.stderr.read().decode())
        subprocess.run(["xdotool", "windowfocus", "--sync", window()], env=env, check=True)
        keyboard = Keyboard(display)
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
        recorder.stop()
        time.sleep(max(0.0, options.silence / 2 - 10))
        idle = idle_cost(dict(pids, program=app.pid))
        recorder = Recorder(server.env, processes)
        time.sleep(max(0.0, silent_from + options.silence - time.monotonic()))
        after_silence = key_to_sound(keyboard, recorder)

        row = {
            "server": "%s %s" % (server.name, server.version),
            "steady": statistics.median(heard) if heard else None,
            "heard": len(heard),
            "presses": options.presses,
            "after_silence": after_silence,
            "program": idle["program"],
            "daemons": {name: (idle[name], server_alone[name]) for name in pids},
        }
        app.send_signal(signal.SIGTERM)
        app.wait(10)
        said = app.stderr.read().decode().strip()
        if said:
            row["said"] = said
        return row
    finally:
        processes.stop_all()
        shutil.rmtree(runtime, ignore_errors=True)


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

    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             "1400x800x24", "-nolisten", "tcp"], pass_fds=[write_end],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        display = ":" + os.read(read_end, 16).decode().strip()
        servers = {"pulseaudio": PulseAudio, "pipewire": PipeWire}
        rows = [measure(servers[name], program, display, options)
                for name in options.servers.split(",")]
        print_table(rows, options.silence)
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()

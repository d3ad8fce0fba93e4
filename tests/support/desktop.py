# A desktop of a test's own, for tests and benchmarks that run the built
# program as a person would: an X server (Xvfb, on a display number it picks
# itself), a Wayland compositor on it, PulseAudio or PipeWire with a null sink
# and a recorder of what that sink plays, and the program with a home and a
# runtime folder of its own. Nothing outside what it starts is touched.
import bisect
import operator
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
from subprocess import DEVNULL, PIPE

SINK = "tinko_test_sink"
RATE = 48000
FRAME_BYTES = 4  # two 16-bit channels


def wait_for(condition, timeout=10.0):
    # Polls `condition` until it holds or `timeout` seconds pass; returns
    # whether it held.
    deadline = time.monotonic() + timeout
    while not (held := bool(condition())) and time.monotonic() < deadline:
        time.sleep(0.01)
    return held


class Processes:
    # Child processes, and private folders, ended and removed in reverse order.

    def __init__(self):
        self.children = []
        self.folders = []

    def start(self, command, env, stdout=DEVNULL, stderr=DEVNULL, stdin=DEVNULL):
        child = subprocess.Popen(command, env=env, stdin=stdin, stdout=stdout, stderr=stderr)
        self.children.append(child)
        return child

    def folder(self):
        path = tempfile.mkdtemp(prefix="tinko-")  # only its owner may enter it
        self.folders.append(path)
        return path

    def stop_all(self):
        for child in reversed(self.children):
            with child:  # which at its end closes the child's pipes and waits for it
                child.terminate()  # unless it has ended
                try:
                    child.wait(5)
                except subprocess.TimeoutExpired:
                    child.kill()
        for path in self.folders:
            shutil.rmtree(path, ignore_errors=True)


def session_bus(processes, runtime):
    # Starts a D-Bus session bus of a test's own in `runtime`; its address.
    # A client without one may start a bus itself (libdbus forks for
    # dbus-launch), and such a fork in a many-threaded program under
    # AddressSanitizer can deadlock on a lock another thread held.
    address = "unix:path=%s/bus" % runtime
    # What it starts (the accessibility bus) keeps its sockets in `runtime` too.
    processes.start(["dbus-daemon", "--session", "--nofork", "--address=" + address],
                    dict(os.environ, XDG_RUNTIME_DIR=runtime))
    wait_for(lambda: os.path.exists(os.path.join(runtime, "bus")))
    return address


class XServer:
    def __init__(self, processes, size="1400x800"):
        # -noreset: a server that resets when its last client leaves refuses
        # the next one for a moment.
        self.process = processes.start(["Xvfb", "-displayfd", "1", "-screen", "0", size + "x24",
                                        "-nolisten", "tcp", "-noreset"], os.environ, stdout=PIPE)
        self.display = ":" + self.process.stdout.readline().decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display)
        # Named once it listens; and it answers a client before anyone relies on it.
        wait_for(lambda: self.run("xprop", "-root"))

    def run(self, *command, text=True):
        # What `command` prints, run on this display.
        done = subprocess.run(command, env=self.env, capture_output=True, text=text, timeout=20)
        return done.stdout.strip() if text else done.stdout


def window_manager(processes, x, focus_new=True):
    # Starts openbox on `x`, and waits until it manages windows; without
    # `focus_new` it gives a new window the focus only when asked to (as
    # when the program starts before the session has settled).
    config = []
    if not focus_new:
        config = ["--config-file", processes.folder() + "/rc.xml"]
        with open("/etc/xdg/openbox/rc.xml") as default, open(config[1], "w") as changed:
            changed.write(default.read().replace("<focusNew>yes</focusNew>",
                                                 "<focusNew>no</focusNew>"))
    processes.start(["openbox", "--sm-disable", *config], x.env)
    wait_for(lambda: "window id" in x.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))


class Image:
    # A window's pixels as xwd writes them (32 bits a pixel).

    def __init__(self, xwd):
        header = struct.unpack(">25I", xwd[:100]) if len(xwd) >= 100 else (100,) + (0,) * 24
        self.width, self.height, self.line = header[4], header[5], header[12]
        self.order = "little" if header[7] == 0 else "big"
        self.data = xwd[header[0] + 12 * header[19]:]

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            return None
        at = y * self.line + 4 * x
        value = int.from_bytes(self.data[at:at + 4], self.order)
        return (value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF)


class Weston:
    # A compositor showing its one output in a window of `x`, taking that
    # window's keys with the X server's layout (setxkbmap changes both); its
    # kiosk shell fills the output with the program.

    def __init__(self, processes, x, width, height):
        runtime = processes.folder()
        self.socket = os.path.join(runtime, "wayland-test")
        processes.start(["weston", "--backend=x11-backend.so", "--shell=kiosk-shell.so",
                         "--use-pixman", "--no-config", "--idle-time=0", "--socket=wayland-test",
                         "--width=%d" % width, "--height=%d" % height],
                        dict(x.env, XDG_RUNTIME_DIR=runtime))
        self.running = wait_for(lambda: os.path.exists(self.socket))


class Sway:
    # A headless sway compositor with `config`, run as nobody (it refuses to
    # run as root), logging what it does; `env` points a client at it, and
    # `type(...)` types with wtype on its virtual keyboard.

    def __init__(self, processes, config):
        runtime = processes.folder()
        os.chown(runtime, 65534, 65534)
        with open(runtime + "/config", "w") as file:
            file.write(config)
        self.log = runtime + "/log"
        with open(self.log, "wb") as log:
            processes.start(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                             "sway", "--debug", "-c", runtime + "/config"],
                            dict(os.environ, XDG_RUNTIME_DIR=runtime, HOME=runtime,
                                 WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                                 WLR_RENDERER="pixman"), stderr=log)
        sockets = lambda: [name for name in os.listdir(runtime)  # noqa: E731
                           if name.startswith("wayland-") and not name.endswith(".lock")]
        self.running = wait_for(sockets)
        self.socket = os.path.join(runtime, (sockets() or ["none"])[0])
        self.env = dict(os.environ, WAYLAND_DISPLAY=self.socket)

    def said(self, text):
        # How many lines of its log hold `text`.
        with open(self.log, errors="replace") as log:
            return sum(text in line for line in log)

    def type(self, *arguments):
        subprocess.run(("wtype",) + arguments, env=self.env, timeout=20)

    def command(self, *arguments):
        # Runs a sway command over its IPC socket, as a user's binding would.
        folder = os.path.dirname(self.log)
        socket = next(name for name in os.listdir(folder) if name.startswith("sway-ipc"))
        subprocess.run(("swaymsg", "-s", os.path.join(folder, socket)) + arguments,
                       stdout=DEVNULL, timeout=20)


class AudioServer:
    # A server with the null sink; `env` points a client at it, `daemons`
    # are its processes by name. It can be killed and started again, in the
    # same runtime folder.

    def pactl(self, *arguments):
        # What pactl prints, or None when it fails.
        done = subprocess.run(("pactl",) + arguments, env=self.env, capture_output=True, text=True)
        return done.stdout.strip() if done.returncode == 0 else None

    def kill(self):
        for daemon in self.daemons.values():
            daemon.kill()
            daemon.wait()
        # What a killed server leaves behind would stop its next start.
        for name in self.sockets:
            for stale in (name, name + ".lock"):
                if os.path.exists(os.path.join(self.runtime, stale)):
                    os.remove(os.path.join(self.runtime, stale))


class PulseAudio(AudioServer):
    name = "PulseAudio"

    def __init__(self, processes, *modules):
        self.processes, self.runtime = processes, processes.folder()
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, HOME=self.runtime,
                        PULSE_SERVER="unix:%s/native" % self.runtime)
        self.command = [
            "pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
            "--load=module-null-sink sink_name=%s rate=%d channels=2" % (SINK, RATE),
            "--load=module-native-protocol-unix auth-anonymous=1 socket=%s/native" % self.runtime,
            "--load=module-cli-protocol-unix socket=%s/cli" % self.runtime
        ] + ["--load=" + module for module in modules]
        self.sockets = ["native"]
        self.start()

    def command_line(self, command):
        # What the server's own command line answers `command` (it tells
        # more of a stream than pactl does).
        with socket.socket(socket.AF_UNIX) as line:
            line.connect(self.runtime + "/cli")
            line.sendall(command.encode() + b"\n")
            line.shutdown(socket.SHUT_WR)  # ("exit" would end the server)
            answer = b""
            while True:
                part = line.recv(65536)
                if not part:
                    return answer.decode(errors="replace")
                answer += part

    def latency(self, which="requested"):
        # The `which` ("requested" or "current") latency of the one playing
        # stream, in ms, as the server tells it; None unless there is one.
        found = re.findall(which + r" latency: ([\d.]+) ms", self.command_line("list-sink-inputs"))
        return float(found[0]) if len(found) == 1 else None

    def start(self):
        self.daemons = {"pulseaudio": self.processes.start(self.command, self.env)}
        self.running = wait_for(lambda: os.path.exists(self.runtime + "/native"))


class PipeWire(AudioServer):
    # The daemon, its session manager and its PulseAudio service, each part
    # with the runtime folder and session bus of its own, and the null sink as
    # the default sink; or, with `session=False`, the daemon alone, which
    # takes streams but links none of them to anything.
    name = "PipeWire"

    def __init__(self, processes, session=True):
        self.processes, self.runtime, self.session = processes, processes.folder(), session
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, HOME=self.runtime,
                        PIPEWIRE_RUNTIME_DIR=self.runtime,
                        PULSE_SERVER="unix:%s/pulse/native" % self.runtime,
                        DBUS_SESSION_BUS_ADDRESS=session_bus(processes, self.runtime))
        self.sockets = ["pipewire-0", "pulse/native"]
        self.start()

    def start(self):
        self.daemons = {}
        parts = (("pipewire", "pipewire-0"), ("wireplumber", None),
                 ("pipewire-pulse", "pulse/native"))
        for daemon, socket in parts if self.session else parts[:1]:
            self.daemons[daemon] = self.processes.start([daemon], self.env)
            if socket and not wait_for(lambda: os.path.exists(os.path.join(self.runtime, socket))):
                self.running = False
                return
        self.running = not self.session or wait_for(
            lambda: self.pactl("load-module", "module-null-sink", "sink_name=" + SINK) is not None
        ) and wait_for(lambda: self.pactl("set-default-sink", SINK) is not None and
                       self.pactl("get-default-sink") == SINK)


class StallWitness:
    # Where the host stopped this machine: on each core a real-time process
    # above every other program sleeps a millisecond at a time and tells when
    # it woke 3 ms late or more. Nothing of ours delays it, so a gap in a
    # recording at such a moment is the host's; where it cannot be real-time,
    # it witnesses nothing.
    CODE = """if True:
        import os, sys, time
        os.sched_setaffinity(0, {int(sys.argv[1])})
        os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(99))
        print("ready", flush=True)
        last = time.monotonic()
        while True:
            time.sleep(0.001)
            now = time.monotonic()
            if now - last >= 0.003:
                print(last, now, flush=True)
            last = now
    """

    def __init__(self, processes):
        self.stalls = []  # (from, to) in time.monotonic()
        self.lock = threading.Lock()
        ready = []
        for cpu in sorted(os.sched_getaffinity(0)):
            child = processes.start([sys.executable, "-c", self.CODE, str(cpu)], os.environ,
                                    stdout=PIPE)
            threading.Thread(target=self._read, args=(child, ready), daemon=True).start()
        self.able = wait_for(lambda: len(ready) == len(os.sched_getaffinity(0)), 5)

    def _read(self, child, ready):
        try:
            for line in child.stdout:
                if line == b"ready\n":
                    ready.append(child)
                    continue
                with self.lock:
                    self.stalls.append(tuple(map(float, line.split())))
        except (OSError, ValueError):
            pass  # closed as the test ends

    def saw(self, since, until):
        # Whether the host stopped a core between the two times.
        with self.lock:
            return any(begin <= until and end >= since for begin, end in self.stalls)

    def seen(self):
        with self.lock:
            return list(self.stalls)


class Recorder:
    # What the null sink plays, recorded from its monitor as it arrives:
    # 16-bit stereo at 48 kHz, each block with the time it arrived.

    @staticmethod
    def command(latency_ms=5):
        return ["parec", "--device=%s.monitor" % SINK, "--raw", "--format=s16le",
                "--rate=%d" % RATE, "--channels=2", "--latency-msec=%d" % latency_ms]

    def __init__(self, processes, env, latency_ms=5):
        self.parec = processes.start(self.command(latency_ms), env, stdout=PIPE)
        self.data = bytearray()
        self.arrivals = []  # (time, frames recorded by then)
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()
        self.running = wait_for(lambda: self.frames() > 0)

    def _read(self):
        try:
            while block := os.read(self.parec.stdout.fileno(), 65536):
                with self.lock:
                    self.data += block
                    self.arrivals.append((time.monotonic(), len(self.data) // FRAME_BYTES))
        except (OSError, ValueError):
            pass  # closed as the test ends

    def frames(self):
        with self.lock:
            return len(self.data) // FRAME_BYTES

    def _block(self, search, value, which):
        # The first block whose arrival time (`which` 0), or the frames
        # recorded by its arrival (1), is past `value`: (time, frames), or
        # None until one has arrived.
        with self.lock:
            index = search(self.arrivals, value, key=lambda arrival: arrival[which])
            return self.arrivals[index] if index < len(self.arrivals) else None

    def time_of(self, frame):
        # When `frame` played, in time.monotonic(): its block's arrival less
        # the frames after it; None until it has arrived.
        block = self._block(bisect.bisect_right, frame, 1)
        return None if block is None else block[0] - (block[1] - 1 - frame) / RATE

    def frame_at(self, moment):
        # The frame that played at `moment` (time.monotonic()), once recorded.
        block = self._block(bisect.bisect_left, moment, 0)
        return None if block is None else max(0, block[1] - round((block[0] - moment) * RATE))

    def onset(self, start, level=200):
        # The first frame from `start` on with a sample louder than `level`
        # (of 32767), or None.
        with self.lock:
            samples = memoryview(bytes(self.data[start * FRAME_BYTES:])).cast("h")
        loud = next((i for i, sample in enumerate(samples) if abs(sample) > level), None)
        return None if loud is None else start + loud // 2

    def wait_for_sound(self, start, timeout=5.0, level=200):
        wait_for(lambda: self.onset(start, level) is not None, timeout)
        return self.onset(start, level)

    def strikes(self, start, end, window=RATE // 100):
        # The frames between `start` and `end` where a note is struck: the
        # first of `window` frames louder than 1000 (of 32767) and more than
        # 1.8 times the quietest of the ten before them (a held piano note's
        # own rise and fall stays under 1.5; a chord's beating does not), a
        # tenth of a second or more after the last strike. Each is the first
        # frame of its window that is that loud, not the window's start: two
        # strikes are as far apart as they sound, to the frame.
        with self.lock:
            samples = memoryview(bytes(self.data[start * FRAME_BYTES:end * FRAME_BYTES])).cast("h")
        peaks = [max(map(abs, samples[i:i + 2 * window]), default=0)
                 for i in range(0, len(samples), 2 * window)]
        found = []
        for i, peak in enumerate(peaks):
            floor = max(1000, 1.8 * min(peaks[max(0, i - 10):i] or [0]))
            if peak > floor and (not found or i - found[-1][0] >= 10):
                first = next(at for at in range(2 * i * window, 2 * (i + 1) * window)
                             if abs(samples[at]) > floor)
                found.append((i, start + first // 2))
        return [at for _, at in found]

    def channel(self, start, end, which):
        # The samples of channel `which` (0 left, 1 right) from frame `start`
        # up to `end`.
        with self.lock:
            return memoryview(bytes(self.data[start * FRAME_BYTES:end * FRAME_BYTES])).cast("h")[
                which::2]

    def loudest(self, start, end):
        # The loudest sample of the left channel from frame `start` up to `end`.
        return max(map(abs, self.channel(start, end, 0)), default=0)

    def pitch(self, start, which, frames=4096):
        # The fundamental, in Hz, of channel `which` from frame `start` on: the
        # shortest lag, from 1 kHz down to 80 Hz, at which the signal is most
        # like itself (at least 0.8 of the best), refined between samples.
        longest = RATE // 80
        x = self.channel(start, start + frames + longest, which).tolist()
        like = [sum(map(operator.mul, x[:frames], x[lag:lag + frames]))
                for lag in range(RATE // 1000 - 1, longest + 2)]
        best = max(like)
        for i in range(1, len(like) - 1):
            if like[i] >= 0.8 * best and like[i - 1] <= like[i] >= like[i + 1]:
                bend = like[i - 1] - 2 * like[i] + like[i + 1]
                between = 0.5 * (like[i - 1] - like[i + 1]) / bend if bend else 0
                return RATE / (RATE // 1000 - 1 + i + between)
        return None

    def silences(self, start, end, shortest=RATE // 1000):
        # Runs of digital silence (both channels exactly 0) between frames
        # `start` and `end`, at least `shortest` frames long: (first frame,
        # frames) each.
        with self.lock:
            samples = memoryview(bytes(self.data[start * FRAME_BYTES:end * FRAME_BYTES])).cast("i")
        found, run = [], 0
        for frame, pair in enumerate(samples):  # one 32-bit value a frame: both channels
            if pair == 0:
                run += 1
                continue
            if run >= shortest:
                found.append((start + frame - run, run))
            run = 0
        return found + ([(start + len(samples) - run, run)] if run >= shortest else [])


class Program:
    # The built program on `x`, with a home, runtime folder and session bus of
    # its own and no audio server unless `env` names one; `start()` waits for
    # its window.

    def __init__(self, path, x, processes, env=None, window_class="tinko-piano", args=()):
        self.x, self.window_class = x, window_class
        folder = processes.folder()
        os.mkdir(folder + "/home")
        self.env = {name: value for name, value in os.environ.items()
                    if name not in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "WAYLAND_DISPLAY",
                                    "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE")}
        self.env.update(DISPLAY=x.display, QT_QPA_PLATFORM="xcb",
                        PULSE_SERVER="unix:%s/no-server" % folder)
        self.env.update(env or {}, HOME=folder + "/home", XDG_RUNTIME_DIR=folder,
                        DBUS_SESSION_BUS_ADDRESS=session_bus(processes, folder))
        # What it says, in a file: a pipe that nobody read would stop it once full.
        self.log = folder + "/stderr"
        with open(self.log, "wb") as log:
            self.process = processes.start([path, *args], self.env, stderr=log)
        self.window = None

    def start(self, focus=True):
        def window():
            # The first made that bears the caption: not a plain window
            # covering another monitor, which may show before it.
            found = self.x.run("xdotool", "search", "--onlyvisible", "--class", self.window_class)
            found = [each for each in found.split() if self.window_class != "tinko-piano" or
                     self.x.run("xdotool", "getwindowname", each).startswith("Tinko")]
            self.window = min(found, key=int) if found else None
            return self.window is not None or self.process.poll() is not None
        if not wait_for(window, 30) or self.window is None:
            return False
        if focus:
            self.x.run("xdotool", "windowfocus", "--sync", self.window)
        return wait_for(lambda: self.screenshot().pixel(0, 0) not in (None, (0, 0, 0)), 5)

    def screenshot(self):
        return Image(self.x.run("xwd", "-silent", "-id", self.window, text=False))

    def stderr(self):
        with open(self.log, errors="replace") as log:
            return log.read()

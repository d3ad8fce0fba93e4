#!/usr/bin/env python3
# Runs a test program on an X server of its own (tests/support/desktop.py),
# with a runtime folder and session bus of its own and, when asked, the
# openbox window manager, or a PulseAudio server whose null sink is recorded,
# as 16-bit stereo at 48 kHz, into the file that TINKO_SINK_RECORDING names.
# Exits as the program does.
#
#     on_desktop.py [--window-manager] [--audio] PROGRAM [ARGUMENTS...]
import os
import subprocess
import sys

import desktop

processes = desktop.Processes()
try:
    command = sys.argv[1:]
    x = desktop.XServer(processes)
    # Qt WebEngine runs as root only without its sandbox: fine for a test.
    runtime = processes.folder()
    env = dict(x.env, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime,
               DBUS_SESSION_BUS_ADDRESS=desktop.session_bus(processes, runtime),
               QTWEBENGINE_DISABLE_SANDBOX="1")
    if "--window-manager" in command:
        command.remove("--window-manager")
        desktop.window_manager(processes, x)
    if "--audio" in command:
        command.remove("--audio")
        server = desktop.PulseAudio(processes)
        recording = os.path.join(processes.folder(), "sink.raw")
        with open(recording, "wb") as file:
            processes.start(desktop.Recorder.command(), server.env, stdout=file)
        desktop.wait_for(lambda: os.path.getsize(recording) > 0)
        env.update(PULSE_SERVER=server.env["PULSE_SERVER"], TINKO_SINK_RECORDING=recording)
    sys.exit(subprocess.run(command, env=env).returncode)
finally:
    processes.stop_all()

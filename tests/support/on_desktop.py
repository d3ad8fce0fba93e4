#!/usr/bin/env python3
# Runs a test program on an X server of its own (tests/support/desktop.py),
# with the openbox window manager on it when asked, and a runtime folder of
# its own; exits as the program does.
#
#     on_desktop.py [--window-manager] PROGRAM [ARGUMENTS...]
import subprocess
import sys

import desktop

processes = desktop.Processes()
try:
    command = sys.argv[1:]
    x = desktop.XServer(processes)
    if command[0] == "--window-manager":
        command.pop(0)
        processes.start(["openbox", "--sm-disable"], x.env)
        desktop.wait_for(lambda: "window id" in x.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))
    env = dict(x.env, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=processes.folder())
    sys.exit(subprocess.run(command, env=env).returncode)
finally:
    processes.stop_all()

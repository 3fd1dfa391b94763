"""The downloader on displays other than the sandbox's X server: a Wayland compositor alone
(weston without a screen or XWayland), where it draws natively through the bundle's own
Wayland plugin, and no display at all, where it says so in one line instead of aborting."""

import os
import re
import subprocess
import time
from pathlib import Path

import world
from road_session import INSTALL_PROMPT, Session

SOCKET = "wayland-qby"
# The downloader's own log lines ("<time> QuillbayDownloader[<pid>] Dict: ...").
OWN_LOG_LINE = re.compile(r"^\d{4}-\d\d-\d\dT[\d:.]+ \S+\[\d+\] ")
# What libwayland prints of the protocol with WAYLAND_DEBUG=client: the window's title request.
TITLE_REQUEST = re.compile(r'xdg_toplevel@\d+\.set_title\("Quillbay Downloader"\)')


def _screenshot(name):
    """weston's screenshot of its whole output (wayland-screenshot-<time>.png), as <name>.png."""
    folder = world.RESULTS / "screenshots"
    folder.mkdir(parents=True, exist_ok=True)
    subprocess.run(["weston-screenshooter"], cwd=folder, timeout=20, check=False,
                   env={**os.environ, "WAYLAND_DISPLAY": SOCKET},
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for made in folder.glob("wayland-screenshot*.png"):
        made.rename(folder / f"{name}.png")


def wayland_only(checks, desktop):
    """No X server reachable: the install prompt in a native Wayland window, read and
    answered over the accessibility bus; nothing on standard error but the protocol."""
    # weston with the headless backend, no XWayland, its screenshot protocol on (--debug).
    log = world.RESULTS / "weston.log"
    checks.keep(log)
    compositor = subprocess.Popen(["weston", "--backend=headless-backend.so", "--use-pixman",
                                   f"--socket={SOCKET}", "--width=800", "--height=600",
                                   "--idle-time=0", "--debug", f"--log={log}"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        socket = Path(os.environ["XDG_RUNTIME_DIR"]) / SOCKET
        checks.require("weston serves a Wayland socket", world.wait_until(socket.exists, 15), log)
        session = Session(checks)
        program = session.run_downloader(
            session.place_downloader("Game.K7.V9.app"),
            env={"DISPLAY": None, "WAYLAND_DISPLAY": SOCKET, "WAYLAND_DEBUG": "client"})
        prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
        checks.check("the prompt is a Wayland window of its own",
                     TITLE_REQUEST.search(program.stderr()))
        time.sleep(0.5)
        _screenshot("wayland_only-install-prompt")
        checks.check("pressing Quit", prompt.press("Quit"))
        session.ends(program)
        said = [line for line in program.stderr().splitlines()
                if line and not line.startswith("[") and not OWN_LOG_LINE.match(line)]
        checks.equal("warnings on standard error (besides the protocol and its own log)", said,
                     [])
    finally:
        compositor.terminate()
        compositor.wait()


def no_display(checks, desktop):
    session = Session(checks)
    program = session.run_downloader(session.place_downloader("Game.K7.V9.app"),
                                     env={"DISPLAY": None, "WAYLAND_DISPLAY": None})
    session.ends(program, timeout=10, status=1)
    said = program.stderr()
    checks.check("standard error is its one line", said.count("\n") == 1 and said.startswith(
        "Quillbay Downloader: no display to show its windows on"), said)

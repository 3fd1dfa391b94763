"""The launcher as a program: at this system's floor it execs the downloader beside it with its
arguments and environment unchanged; held to a floor above this system it prints its one line
in the user's language and, on a display (Xvfb), shows the too-old alert, whose answers open
the support page or not.

launcher_process.py --launcher L --above-floor A --out FOLDER"""

import argparse
import json
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "world"))
from checks import Checks  # noqa: E402
from rootfs_session import HostDisplay  # noqa: E402

PROGRAM_NAME = "QuillbayDownloader.bin"
SUPPORT_PAGE = "https://www.quillbay.com/support/"
ARGUMENTS = ["first", "with space", "", "ü"]
# The downloader's stand-in: a copy of python3 running this, which sees the argv it was given.
PROBE = "import json, os, sys; print(json.dumps([sys.orig_argv, os.getenv('KEPT')])); sys.exit(7)"
# What the user does at the alert: a click this far left of and above its bottom right corner
# (Support rightmost, Quit to its left) or a key; and the pages opened then.
ANSWERS = [("support_button", (70, 32), [SUPPORT_PAGE]), ("quit_button", (170, 32), []),
           ("return_key", "Return", [SUPPORT_PAGE]), ("escape_key", "Escape", [])]


def bundle_with(launcher, folder):
    macos = folder / "Game.app/Contents/MacOS"
    macos.mkdir(parents=True)
    shutil.copy(sys.executable, macos / PROGRAM_NAME)
    return Path(shutil.copy(launcher, macos / "QuillbayDownloader"))


def run(executable, env, *arguments):
    return subprocess.run([str(executable), *arguments], env={"PATH": "/usr/bin:/bin", **env},
                          capture_output=True, text=True, timeout=20)


def exec_road(checks, executable):
    ran = run(executable, {"KEPT": "kept"}, "-c", PROBE, *ARGUMENTS)
    checks.equal("the downloader's status, what it was started with, standard error",
                 (ran.returncode, json.loads(ran.stdout or "null"), ran.stderr),
                 (7, [[str(executable), "-c", PROBE, *ARGUMENTS], "kept"], ""))
    (executable.parent / PROGRAM_NAME).unlink()
    missing = run(executable, {})
    checks.check("without the downloader: status 127 and why",
                 missing.returncode == 127 and PROGRAM_NAME in missing.stderr, missing.stderr)


def line_without_display(checks, executable):
    """The line in LANG's language (the texts themselves: LauncherPartsTest), whole and alone."""
    ran = run(executable, {"LANG": "de_DE.UTF-8"})
    checks.check("without a display: status 1, no start, one whole line in German",
                 ran.returncode == 1 and ran.stderr.startswith("Ihr Linux-System ist zu alt.")
                 and ran.stderr.count("\n") == 1 and ran.stderr.endswith(".\n"),
                 f"{ran.returncode} {ran.stderr!r}")


def alert_roads(checks, executable, work, out):
    opened = work / "opened"
    (work / "xdg-open").write_text(f'#!/bin/sh\necho "$1" >> {opened}\n')
    (work / "xdg-open").chmod(0o755)
    display = HostDisplay(out)
    try:
        for name, act, pages in ANSWERS:
            opened.unlink(missing_ok=True)
            program = subprocess.Popen(
                [str(executable)], stderr=subprocess.DEVNULL,
                env={"PATH": f"{work}:/usr/bin:/bin", "DISPLAY": display.display, "LANG": "C"})
            window = display.window("too old", timeout=10)
            if window and name == "support_button":
                display.screenshot("launcher-too-old-alert")
            if window and isinstance(act, str):
                display.key(window, act)
            elif window:
                box = dict(item.split("=") for item in display.run(
                    "xdotool", "getwindowgeometry", "--shell", window))
                display.run("xdotool", "mousemove", str(int(box["X"]) + int(box["WIDTH"]) - act[0]),
                            str(int(box["Y"]) + int(box["HEIGHT"]) - act[1]), "click", "1")
            display.wait(lambda: program.poll() is not None, 10)
            program.kill()
            display.wait(opened.exists, 0.3)  # the browser is started apart
            got = opened.read_text().split() if opened.exists() else []
            checks.equal(f"{name}: the alert shown, status, pages opened",
                         (window is not None, program.returncode, got), (True, 1, pages))
    finally:
        display.close()


def main():
    parser = argparse.ArgumentParser()
    for name in ("--launcher", "--above-floor", "--out"):
        parser.add_argument(name, required=True, type=Path)
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    checks = Checks("launcher")
    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        exec_road(checks, bundle_with(args.launcher, work / "at"))
        above = bundle_with(args.above_floor, work / "above")
        line_without_display(checks, above)
        alert_roads(checks, above, work, args.out)
    return checks.report()


if __name__ == "__main__":
    sys.exit(main())

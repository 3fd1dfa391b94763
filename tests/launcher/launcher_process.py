"""The launcher as a program: beside a stand-in downloader it execs it with its arguments and
environment unchanged; held to a floor above this system it shows the too-old alert (Xvfb)
and prints its one line, or prints the line alone where there is no display.

launcher_process.py --launcher L --above-floor A --probe P --out FOLDER"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

PROGRAM_NAME = "QuillbayDownloader.bin"
SUPPORT_PAGE = "https://www.quillbay.com/support/"
LINES = {  # the line on standard error, by LANG
    "C": "Your Linux system is too old. The Quillbay app is needed to download your game.",
    "de_DE.UTF-8": "Ihr Linux-System ist zu alt. Die Quillbay-App wird benötigt,",
    "fr_FR.UTF-8": "Votre système Linux est trop ancien. L’app Quillbay est nécessaire",
}
# What the user does at the alert, and the addresses that must be opened then.
ANSWERS = [
    {"name": "support_button", "act": "click_support", "opened": [SUPPORT_PAGE]},
    {"name": "quit_button", "act": "click_quit", "opened": []},
    {"name": "return_key", "act": "key Return", "opened": [SUPPORT_PAGE]},
    {"name": "escape_key", "act": "key Escape", "opened": []},
]

failures = []


def check(what, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + what + (f": {detail}" if detail and not ok else ""))
    if not ok:
        failures.append(what)


def bundle_with(launcher, probe, folder):
    macos = Path(folder) / "Game.app/Contents/MacOS"
    macos.mkdir(parents=True)
    shutil.copy(launcher, macos / "QuillbayDownloader")
    shutil.copy(probe, macos / PROGRAM_NAME)
    return macos / "QuillbayDownloader"


def exec_road(launcher, probe, work):
    executable = bundle_with(launcher, probe, work / "exec")
    record = work / "probe.out"
    arguments = ["first", "with space", "", "ü"]
    env = {"PATH": "/usr/bin:/bin", "QBY_PROBE_OUT": str(record), "QBY_PROBE_VARIABLE": "kept"}
    ran = subprocess.run([str(executable), *arguments], env=env, capture_output=True, text=True,
                         timeout=20)
    check("the downloader's status comes back", ran.returncode == 7, ran.stderr)
    check("nothing on standard error", ran.stderr == "", ran.stderr)
    lines = record.read_text().split("\n")[:-1] if record.exists() else []
    check("arguments and environment unchanged",
          lines == [str(executable), *arguments, "kept"], repr(lines))
    (executable.parent / PROGRAM_NAME).unlink()
    missing = subprocess.run([str(executable)], env=env, capture_output=True, text=True,
                             timeout=20)
    check("without the downloader: status 127 and why",
          missing.returncode == 127 and PROGRAM_NAME in missing.stderr, missing.stderr)


def lines_without_display(above_floor, probe, work):
    executable = bundle_with(above_floor, probe, work / "no-display")
    for lang, start in LINES.items():
        ran = subprocess.run([str(executable)], env={"PATH": "/usr/bin:/bin", "LANG": lang},
                             capture_output=True, text=True, timeout=20)
        check(f"{lang}: one line, status 1, no start",
              ran.returncode == 1 and ran.stderr.startswith(start)
              and ran.stderr.count("\n") == 1 and ran.stderr.endswith("too old.\n" if lang == "C"
                                                                   else ".\n"),
              f"{ran.returncode} {ran.stderr!r}")


def xdotool(display, *arguments):
    return subprocess.run(["xdotool", *arguments], env={**os.environ, "DISPLAY": display},
                          capture_output=True, text=True, timeout=10).stdout.split()


def wait_for_window(display, title):
    for _ in range(100):
        found = xdotool(display, "search", "--name", title)
        if found:
            return found[0]
        time.sleep(0.1)
    return None


def answer(display, window, act):
    box = dict(line.split("=") for line in xdotool(display, "getwindowgeometry", "--shell",
                                                    window))
    right, bottom = int(box["X"]) + int(box["WIDTH"]), int(box["Y"]) + int(box["HEIGHT"])
    # The buttons sit at the bottom right: Support rightmost, Quit to its left.
    if act.startswith("click"):
        x = right - (70 if act == "click_support" else 170)
        xdotool(display, "mousemove", str(x), str(bottom - 32), "click", "1")
    else:
        xdotool(display, "windowfocus", "--sync", window, *act.split())


def alert_roads(above_floor, probe, work, out):
    display = ":" + str(90 + os.getpid() % 500)
    server = subprocess.Popen(["Xvfb", display, "-screen", "0", "800x600x24", "-nolisten",
                               "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)
        executable = bundle_with(above_floor, probe, work / "alert")
        fake_bin = work / "bin"
        fake_bin.mkdir()
        opened = work / "opened"
        (fake_bin / "xdg-open").write_text(f'#!/bin/sh\necho "$1" >> {opened}\n')
        (fake_bin / "xdg-open").chmod(0o755)
        for row in ANSWERS:
            opened.unlink(missing_ok=True)
            program = subprocess.Popen(
                [str(executable)], env={"PATH": f"{fake_bin}:/usr/bin:/bin", "DISPLAY": display,
                                        "LANG": "C"},
                stderr=subprocess.PIPE, text=True)
            window = wait_for_window(display, "too old")
            check(f"{row['name']}: the alert shows", window is not None)
            if window is None:
                program.kill()
                continue
            if row["name"] == "support_button":
                subprocess.run(["import", "-display", display, "-window", "root",
                                str(out / "launcher-too-old-alert.png")], timeout=20)
            answer(display, window, row["act"])
            try:
                status = program.wait(timeout=10)
            except subprocess.TimeoutExpired:
                program.kill()
                status = None
            time.sleep(0.3)  # the browser is started apart
            got = opened.read_text().split() if opened.exists() else []
            check(f"{row['name']}: ends with status 1, opens {row['opened']}",
                  status == 1 and got == row["opened"], f"{status} {got}")
    finally:
        server.terminate()
        server.wait()


def main():
    parser = argparse.ArgumentParser()
    for name in ("--launcher", "--above-floor", "--probe", "--out"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        exec_road(args.launcher, args.probe, work)
        lines_without_display(args.above_floor, args.probe, work)
        alert_roads(args.above_floor, args.probe, work, out)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

"""The stamped stub on root file systems of other Debian releases, made from Debian's registry
(world/rootfs, cached in <build>/rootfs): started with that root as / (bubblewrap, none of the
host's /usr), as an unprivileged user, on an Xvfb display of the host's.

  rootfs_roads.py ROAD --build BUILD --source SOURCE

Status 77 (skipped) where the registry cannot be reached or no root can be made."""

import argparse
import json
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "world"))
from rootfs_session import PLAYER, HostDisplay, make_root, start_in_root  # noqa: E402

TOO_OLD_LINE = ("Your Linux system is too old. The Quillbay app is needed to download your game. "
                "However the Quillbay app requires Linux with glibc 2.35 or newer, that is a "
                "distribution from 2022 or later, and your system is too old.\n")
# The downloader's own lines: its log ("<time> QuillbayDownloader[<pid>] ...").
OWN_LINE = " QuillbayDownloader["
STUB = f"{PLAYER}/Game.K7.V9.app/Contents/MacOS/QuillbayDownloader"
# A session bus of the sandbox's own: dbus-daemon's session.conf is not in every root.
BUS_CONFIG = """<busconfig><type>session</type><listen>unix:path=/tmp/run/bus</listen>
<auth>EXTERNAL</auth><policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>"""
# The hand-off inside the root: a bus, the client in ~/Applications, then the stub.
HAND_OFF = f"""set -u
export DBUS_SESSION_BUS_ADDRESS=unix:path=/tmp/run/bus
dbus-daemon --config-file={PLAYER}/bus.conf --fork --nopidfile
{PLAYER}/Applications/Quillbay.app/Contents/MacOS/Quillbay 2>{PLAYER}/client.stderr &
for i in $(seq 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \\
    org.freedesktop.DBus.NameHasOwner string:com.quillbay.Client2 2>/dev/null |
    grep -q true && break
  sleep 0.1
done
{STUB}
echo "downloader status $?" >&2
sleep 1
"""

failures = []


def check(what, holds, detail=""):
    print(("  ok   " if holds else "  FAIL ") + what + ("" if holds else f": {detail}"))
    if not holds:
        failures.append(what)


def finish(program, timeout):
    try:
        return program.wait(timeout), program.stderr.read()
    except subprocess.TimeoutExpired:
        program.kill()
        return None, program.stderr.read()


def too_old(root, home, desktop):
    program = start_in_root(root, home, desktop, [STUB])
    window = desktop.window("too old")
    check("the too-old alert appears", window is not None)
    if window:
        desktop.screenshot("debian11-too-old-alert")
        desktop.key(window, "Escape")
    status, said = finish(program, 10)
    check("ends with status 1", status == 1, status)
    check("standard error is the alert's text, one line", said == TOO_OLD_LINE, repr(said))


def install_prompt(root, home, desktop):
    program = start_in_root(root, home, desktop, [STUB])
    window = desktop.window("^Quillbay Downloader$")
    check("the install prompt appears", window is not None)
    if window:
        time.sleep(0.5)
        desktop.screenshot("debian13-install-prompt")
    check("the downloader still runs at its prompt", program.poll() is None)
    program.kill()
    _, said = finish(program, 10)
    others = [line for line in said.splitlines() if OWN_LINE not in line]
    check("nothing on standard error but its own log", others == [], others)


def hand_off(root, home, desktop, dist):
    subprocess.run(["cp", "-a", str(dist / "Quillbay.app"), str(home / "Applications")],
                   check=True)
    (home / "bus.conf").write_text(BUS_CONFIG)
    program = start_in_root(root, home, desktop, ["/bin/bash", "-c", HAND_OFF])
    status, said = finish(program, 60)
    check("the downloader ends with status 0", "downloader status 0" in said, said)
    log = home / ".local/share/Quillbay/requests.jsonl"
    recorded = [json.loads(line).get("request") for line in log.read_text().splitlines()] \
        if log.exists() else []
    check("the running client took the request", recorded == [{"K7": "V9"}],
          f"{recorded} {(home / 'client.stderr').read_text(errors='replace')}")
    check("the downloader removed itself", not (home / "Game.K7.V9.app").exists())


ROADS = {"debian11_too_old": ("bullseye", too_old),
         "debian13_install_prompt": ("trixie", install_prompt),
         "debian13_hand_off": ("trixie", hand_off)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("road", choices=sorted(ROADS))
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--source", required=True, type=Path)
    args = parser.parse_args()
    suite, road = ROADS[args.road]
    root, failed = make_root(args.source, suite, args.build / "rootfs")
    if root is None:
        print(failed[1])
        return failed[0]
    out = args.build / "rootfs-results"
    out.mkdir(exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        home = Path(folder)
        (home / "Applications").mkdir()
        subprocess.run([str(args.build / "tools/qby-stamp-downloader"), "-g", "Game", "-o",
                        str(home), "K7=V9"], check=True)
        subprocess.run(["unzip", "-q", str(home / "Game.K7.V9.zip"), "-d", str(home)], check=True)
        desktop = HostDisplay(out)
        try:
            print(f"{args.road} on {root}")
            if road is hand_off:
                road(root, home, desktop, args.build / "dist")
            else:
                road(root, home, desktop)
        finally:
            desktop.close()
    print(f"{args.road}: {len(failures)} failed" if failures else f"{args.road}: passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

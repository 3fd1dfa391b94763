"""The stamped stub on Debian 11 and 13 root file systems (world/rootfs, cached in
<build>/rootfs), started there by bubblewrap without the host's /usr, as an unprivileged user, on
an Xvfb display of the host's. Status 77 (skipped) where no root can be made.

  rootfs_roads.py ROAD --build BUILD --source SOURCE"""

import argparse
import json
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "world"))
from checks import Checks  # noqa: E402
from rootfs_session import PLAYER, HostDisplay, make_root, start_in_root  # noqa: E402

# The downloader's own lines: its log ("<time> QuillbayDownloader[<pid>] ...").
OWN_LINE = " QuillbayDownloader["
STUB = f"{PLAYER}/Game.K7.V9.app/Contents/MacOS/QuillbayDownloader"
# A session bus of the sandbox's own: the roots' session.conf wants the player in /etc/passwd.
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
    grep -q true && break || sleep 0.1
done
{STUB}
echo "downloader status $?" >&2
sleep 1
"""


def finish(program, timeout):
    HostDisplay.wait(lambda: program.poll() is not None, timeout)
    program.kill()
    return program.returncode, program.stderr.read()


def too_old(checks, root, home, desktop, dist):
    """The alert with Debian 11's libX11, nothing said but its line (the rest: tests/launcher)."""
    program = start_in_root(root, home, desktop, [STUB])
    window = desktop.window("too old")
    if checks.check("the too-old alert appears", window):
        desktop.screenshot("debian11-too-old-alert")
        desktop.key(window, "Escape")
    status, said = finish(program, 10)
    checks.equal("status", status, 1)
    checks.check("standard error is the alert's one line",
                 said.startswith("Your Linux system is too old. ") and said.count("\n") == 1, said)


def install_prompt(checks, root, home, desktop, dist):
    program = start_in_root(root, home, desktop, [STUB])
    if checks.check("the install prompt appears", desktop.window("^Quillbay Downloader$")):
        time.sleep(0.5)
        desktop.screenshot("debian13-install-prompt")
    checks.check("the downloader still runs at its prompt", program.poll() is None)
    program.kill()
    _, said = finish(program, 10)
    checks.equal("standard error besides its own log",
                 [line for line in said.splitlines() if OWN_LINE not in line], [])


def hand_off(checks, root, home, desktop, dist):
    subprocess.run(["cp", "-a", str(dist / "Quillbay.app"), str(home / "Applications")],
                   check=True)
    checks.keep(home / "client.stderr")
    (home / "bus.conf").write_text(BUS_CONFIG)
    _, said = finish(start_in_root(root, home, desktop, ["/bin/bash", "-c", HAND_OFF]), 60)
    checks.check("the downloader ends with status 0", "downloader status 0" in said, said)
    log = home / ".local/share/Quillbay/requests.jsonl"
    recorded = [json.loads(line).get("request") for line in log.read_text().splitlines()] \
        if log.exists() else []
    checks.equal("the requests the running client took", recorded, [{"K7": "V9"}])


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
    checks = Checks(args.road)
    with tempfile.TemporaryDirectory() as folder:
        home = Path(folder)
        (home / "Applications").mkdir()
        subprocess.run([str(args.build / "tools/qby-stamp-downloader"), "-g", "Game", "-o",
                        str(home), "K7=V9"], check=True)
        subprocess.run(["unzip", "-q", str(home / "Game.K7.V9.zip"), "-d", str(home)], check=True)
        desktop = HostDisplay(out)
        try:
            checks.step(f"on {root}")
            road(checks, root, home, desktop, args.build / "dist")
        finally:
            desktop.close()
        return checks.report()


if __name__ == "__main__":
    sys.exit(main())

"""Inside the sandbox: the install road against the same steps by hand."""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, "/world")
import store  # noqa: E402
import world  # noqa: E402
from desktop import Desktop  # noqa: E402
from stage import TITLE  # noqa: E402

LARGE_PATH = "/downloader/QuillbayLarge.tgz"
ROAD_PAUSES = 0.010 + 0.010 + 1.0 + 1.0  # around the unpack, after the move, after the launch
TARGET = 1.15
INSTALL_PROMPT = "This application will install the Quillbay app."
CLIENT_EXECUTABLE = world.APPLICATIONS / world.CLIENT / "Contents/MacOS" / \
    world.executable_of(world.DIST / world.CLIENT).name


def clean():
    """No client running or installed, no request waiting, no download left."""
    for pid in world.processes_running(CLIENT_EXECUTABLE):
        os.kill(pid, signal.SIGTERM)
    world.wait_until(lambda: not world.processes_running(CLIENT_EXECUTABLE), 5)
    world.wait_until(lambda: not world.client_on_bus(), 5)
    shutil.rmtree(world.APPLICATIONS / world.CLIENT, ignore_errors=True)
    for path in [*world.drop_files(), *Path("/tmp").glob("QBYDownloader-*"), Path("/tmp/byhand")]:
        if path.is_dir():
            shutil.rmtree(path, ignore_errors=True)
        elif path.exists():
            path.unlink()


def installed():
    return world.wait_until(lambda: world.client_started(), 10)


def by_downloader(desktop, run):
    bundle = world.place_bundle(world.DOWNLOADER, world.DOWNLOADS, "Game.K7.V9.app")
    program = world.Program(world.executable_of(bundle), f"downloader-{run}")
    prompt = desktop.wait_for_window(TITLE, timeout=30, pid=program.process.pid,
                                     having=lambda w: any(INSTALL_PROMPT in t for t in w.texts()))
    if prompt is None:
        program.stop()
        return None
    start = time.perf_counter()
    prompt.press("Download & Install")
    status = program.wait(600)
    elapsed = time.perf_counter() - start - ROAD_PAUSES
    if status != 0 or bundle.exists() or not installed():
        shutil.rmtree(bundle, ignore_errors=True)
        return None
    return elapsed


def by_hand():
    work = Path("/tmp/byhand")
    work.mkdir()
    start = time.perf_counter()
    curl = ["curl", "-sSf", "--compressed", "-o"]
    subprocess.run(curl + [str(work / "appcast.xml"), store.ORIGIN + store.FEED_PATH], check=True)
    subprocess.run(curl[:-2] + ["-o", str(work / "Q.tgz"), store.ORIGIN + LARGE_PATH], check=True)
    subprocess.run(["tar", "-xzf", "Q.tgz"], cwd=work, check=True)
    subprocess.run(["rm", "-f", "Q.tgz"], cwd=work, check=True)
    subprocess.run(["mv", str(work / world.CLIENT), str(world.APPLICATIONS / world.CLIENT)],
                   check=True)
    subprocess.Popen([str(CLIENT_EXECUTABLE)], env=world.SESSION_ENV, stdin=subprocess.DEVNULL,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    elapsed = time.perf_counter() - start
    return elapsed if installed() else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    served = store.start({"feed": {"plist": {"downloader": [store.release(LARGE_PATH)]}},
                          "files": {LARGE_PATH: "tgz_large"}}, world.RESULTS)
    desktop = Desktop(world.RESULTS / "screenshots", prefix="install-bench")
    road, hand = [], []
    for run in range(args.runs):  # alternated, so that both meet the same machine
        clean()
        road.append(by_downloader(desktop, run))
        clean()
        hand.append(by_hand())
    clean()
    served.stop()
    if None in road or None in hand:
        print(f"install-bench: a run did not install: downloader {road}, by hand {hand}")
        return 1
    r, h = statistics.median(road), statistics.median(hand)
    print(f"downloader: median {r:.2f} s (pauses of {ROAD_PAUSES:.2f} s subtracted) over "
          f"{args.runs} runs {['%.2f' % t for t in road]}")
    print(f"by hand (curl, tar, mv, start): median {h:.2f} s {['%.2f' % t for t in hand]}")
    print(f"ratio {r / h:.2f} -> {'meets' if r / h <= TARGET else 'misses'} the {TARGET}x target")
    return 0


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    sys.exit(main())

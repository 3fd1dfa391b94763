"""Inside the sandbox: the install road against the same steps by hand, step by step, and the
road's download with the connection cut every 64 MiB against the same download uncut."""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, "/world")
import store  # noqa: E402
import world  # noqa: E402
from desktop import Desktop  # noqa: E402
from stage import TITLE  # noqa: E402

LARGE_PATH = "/downloader/QuillbayLarge.tgz"
CUT_EVERY = 64 * 1024 * 1024
UNPACK_PAUSES = 0.010 + 0.010  # before and after the unpack
ROAD_PAUSES = UNPACK_PAUSES + 1.0 + 1.0  # and after the move, after the launch
TARGETS = {"download": 1.05, "transfer": 1.05, "road": 1.15, "cut": 1.10, "cut_bytes": 1.01}
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


class Steps(threading.Thread):
    """When the road's archive left the download folder (unpacked) and the client had arrived in
    /Applications and left the download folder (moved: across file systems the move copies the
    tree first and removes the source after it), polled every 5 ms."""

    def __init__(self):
        super().__init__(daemon=True)
        self.unpacked = self.moved = None
        self.stopping = threading.Event()

    def run(self):
        archive_seen = False
        while not self.stopping.wait(0.005):
            now = time.time()
            archives = list(Path("/tmp").glob("QBYDownloader-*/*.tgz"))
            if archives:
                archive_seen = True
            elif archive_seen and self.unpacked is None:
                self.unpacked = now
            if self.unpacked is not None and (world.APPLICATIONS / world.CLIENT).exists() and \
                    not list(Path("/tmp").glob(f"QBYDownloader-*/{world.CLIENT}")):
                self.moved = now
                return


def archive_answers(served, since):
    """The store's answers for the archive after since: (time the first request came, time the
    last answer ended, bytes sent, the archive's length)."""
    asked = [e["time"] for e in served.events("request")
             if e["path"] == LARGE_PATH and e["time"] >= since]
    answers = [e for e in served.events("answered")
               if e["path"] == LARGE_PATH and e["time"] >= since]
    if not asked or not answers:
        return None, None, 0, 0
    return asked[0], answers[-1]["time"], sum(e["bytes"] for e in answers), answers[-1]["length"]


def by_downloader(desktop, served, run):
    """The road's steps in seconds (download, verify and unpack, move, launch, whole) and the
    archive's bytes sent, or None when it did not install."""
    bundle = world.place_bundle(world.DOWNLOADER, world.DOWNLOADS, "Game.K7.V9.app")
    program = world.Program(world.executable_of(bundle), f"downloader-{run}")
    prompt = desktop.wait_for_window(TITLE, timeout=30, pid=program.process.pid,
                                     having=lambda w: any(INSTALL_PROMPT in t for t in w.texts()))
    if prompt is None:
        program.stop()
        return None
    press = prompt.click("Download & Install")
    if press is None:
        program.stop()
        return None
    steps = Steps()
    steps.start()
    start = time.time()
    press()
    status = program.wait(600)
    end = time.time()
    steps.stopping.set()
    steps.join()
    asked, arrived, sent, length = archive_answers(served, start)
    feed = [e["time"] for e in served.events("request")
            if e["path"] == store.FEED_PATH and e["time"] >= start]
    if status != 0 or bundle.exists() or not installed() or not feed or None in (
            arrived, steps.unpacked, steps.moved):
        shutil.rmtree(bundle, ignore_errors=True)
        return None
    return {"download": arrived - start, "feed": feed[0] - start, "asking": asked - start,
            "transfer": arrived - asked,
            "unpack": steps.unpacked - arrived - UNPACK_PAUSES,
            "move": steps.moved - steps.unpacked, "launch": end - steps.moved - 2.0,
            "whole": end - start - ROAD_PAUSES, "bytes": sent, "length": length}


def by_hand(served):
    work = Path("/tmp/byhand")
    work.mkdir()
    curl = ["curl", "-sSf", "--compressed", "-o"]
    commands = {
        "download": [curl + [str(work / "appcast.xml"), store.ORIGIN + store.FEED_PATH],
                     curl[:-2] + ["-o", str(work / "Q.tgz"), store.ORIGIN + LARGE_PATH]],
        "unpack": [["tar", "-xzf", "Q.tgz"], ["rm", "-f", "Q.tgz"]],
        "move": [["mv", str(work / world.CLIENT), str(world.APPLICATIONS / world.CLIENT)]],
    }
    times = {}
    since = time.time()
    start = time.perf_counter()
    for step, runs in commands.items():
        begun = time.perf_counter()
        for command in runs:
            subprocess.run(command, cwd=work, check=True)
        times[step] = time.perf_counter() - begun
    begun = time.perf_counter()
    subprocess.Popen([str(CLIENT_EXECUTABLE)], env=world.SESSION_ENV, stdin=subprocess.DEVNULL,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    times["launch"] = time.perf_counter() - begun
    times["whole"] = time.perf_counter() - start
    asked, arrived, _, _ = archive_answers(served, since)
    if asked is None:
        return None
    times["transfer"] = arrived - asked
    times["asking"] = asked - since
    times["feed"] = min(e["time"] for e in served.events("request")
                        if e["path"] == store.FEED_PATH and e["time"] >= since) - since
    return times if installed() else None


def medians(runs, key):
    return statistics.median(run[key] for run in runs)


def report(road, hand, cut):
    print("step          downloader    by hand   (medians, seconds)")
    for step in ("download", "feed", "asking", "transfer", "unpack", "move", "launch", "whole"):
        print(f"{step:<12} {medians(road, step):10.3f} {medians(hand, step):10.3f}")
    print("(download: from the press, or curl's start, to the store's last byte, the feed "
          "included; feed and asking: to the feed's and the archive's requests; transfer: the archive alone, as the "
          "store saw it; verify and unpack in the "
          f"downloader's row; its pauses of {ROAD_PAUSES:.2f} s subtracted; whole: each run's "
          "own total)")
    verdicts = [("download", medians(road, "download") / medians(hand, "download")),
                ("transfer", medians(road, "transfer") / medians(hand, "transfer")),
                ("road", medians(road, "whole") / medians(hand, "whole"))]
    if cut:
        archive_size = road[0]["length"]
        print(f"cut every {CUT_EVERY >> 20} MiB: download {medians(cut, 'download'):.3f} s, "
              f"{medians(cut, 'bytes')} bytes sent of {archive_size}")
        verdicts += [("cut", medians(cut, "download") / medians(road, "download")),
                     ("cut_bytes", medians(cut, "bytes") / archive_size)]
    for name, ratio in verdicts:
        verdict = "meets" if ratio <= TARGETS[name] else "misses"
        print(f"{name:<10} ratio {ratio:.3f} -> {verdict} the {TARGETS[name]}x target")
    print("runs:", {"road": [round(r["whole"], 2) for r in road],
                    "hand": [round(h["whole"], 2) for h in hand],
                    "cut": [round(c["download"], 2) for c in cut]})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--no-cut", action="store_true", help="leave out the cut downloads")
    args = parser.parse_args()
    desktop = Desktop(world.RESULTS / "screenshots", prefix="install-bench")
    feed = {"plist": {"downloader": [store.release(LARGE_PATH)]}}
    served = store.start({"feed": feed, "files": {LARGE_PATH: "tgz_large"}}, world.RESULTS)
    road, hand, cut = [], [], []
    for run in range(args.runs):  # alternated, so that both meet the same machine
        clean()
        road.append(by_downloader(desktop, served, run))
        clean()
        hand.append(by_hand(served))
    clean()
    served.stop()
    if not args.no_cut:
        drops = [CUT_EVERY * n for n in range(1, 8)]
        served = store.start({"feed": feed, "files": {LARGE_PATH: "tgz_large"},
                              "faults": {LARGE_PATH: {"drops": drops}}}, world.RESULTS)
        for run in range(args.runs):
            clean()
            cut.append(by_downloader(desktop, served, f"cut-{run}"))
        clean()
        served.stop()
    if None in road or None in hand or None in cut:
        print(f"install-bench: a run did not install: downloader {road}, by hand {hand}, "
              f"cut {cut}")
        return 1
    report(road, hand, cut)
    return 0


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    sys.exit(main())

#!/usr/bin/python3
"""A replace killed at any system call that changes the disk leaves either the whole old tree or
the whole new one in its place, and the next replace clears what the killed one left; two
replaces at once each swap in a whole tree. The kills come from strace's fault injection, so the
product runs as it is.

  replace_interrupted.py PROBE    (PROBE: the platform_replace_item program)"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SKIPPED = 77
# Every call of the road that writes, syncs, renames or removes, and the lock.
CALLS = ["mkdir", "mkdirat", "openat", "write", "copy_file_range", "sendfile", "fchmod",
         "fchmodat", "symlinkat", "fsync", "syncfs", "rename", "renameat", "renameat2",
         "unlinkat", "rmdir", "flock"]
NAME = "Quillbay.app"


def make_tree(root, tag, files):
    """A bundle-like tree: files of their own text, a large one, a link and a read-only folder."""
    (root / "Contents/MacOS").mkdir(parents=True)
    for i in range(files):
        (root / f"Contents/file{i}").write_text(f"{tag} {i}\n")
    (root / "Contents/MacOS/run").write_bytes(tag.encode() * 300_000)
    (root / "Contents/link").symlink_to(f"file0-{tag}")
    (root / "Contents/sealed").mkdir()
    (root / "Contents/sealed/inside").write_text(tag)
    (root / "Contents/sealed").chmod(0o555)
    return snapshot(root)


def snapshot(root):
    """Each item's kind, mode and contents; None when nothing is there."""
    if not os.path.lexists(root):
        return None
    items = {}
    for path in sorted([root, *root.rglob("*")]):
        mode = oct(path.lstat().st_mode)
        items[str(path.relative_to(root))] = (
            os.readlink(path) if path.is_symlink() else mode if path.is_dir()
            else (mode, path.read_bytes()))
    return items


def discard(path):
    subprocess.run(["chmod", "-R", "u+rwx", str(path)], stderr=subprocess.DEVNULL)
    shutil.rmtree(path, ignore_errors=True)


class Place:
    """A folder holding the place with an old tree in it; new trees made in a source folder."""

    def __init__(self, work, sources):
        self.folder, self.sources, self.made = Path(tempfile.mkdtemp(dir=work)), sources, 0
        self.old = make_tree(self.folder / NAME, "old", 10)

    def new_source(self, tag="new"):
        self.made += 1
        source = self.sources / f"{self.folder.name}-{self.made}" / NAME
        return source, make_tree(source, tag, 12)

    def holds(self):
        return snapshot(self.folder / NAME)

    def others(self):
        return sorted(p.name for p in self.folder.iterdir() if p.name != NAME)

    def replace(self, probe, source, inject=None, background=False):
        command = [probe, str(source), str(self.folder / NAME)]
        if inject:
            command = ["strace", "-f", "-qq", "-o", "/dev/null", "-e", f"inject={inject}"] + command
        if background:
            return subprocess.Popen(command, stderr=subprocess.PIPE, text=True)
        return subprocess.run(command, capture_output=True, text=True, timeout=60)


def interruptions(probe, work, sources, failures):
    """Each call of CALLS killed at its 1st, 2nd, ... use until the replace gets through."""
    kills = 0
    for call in CALLS:
        for when in range(1, 400):
            place = Place(work, sources)
            source, new = place.new_source()
            ran = place.replace(probe, source, f"{call}:signal=KILL:when={when}")
            if ran.returncode == 0:
                if place.holds() != new or place.others():
                    failures.append(f"{call}#{when}: replaced, yet {place.others()} beside it")
                break
            kills += 1
            if place.holds() not in (place.old, new):
                failures.append(f"{call}#{when}: killed, the place holds "
                                f"{'nothing' if place.holds() is None else 'a mixed tree'}")
            # The next replace clears what the killed one left and puts its own tree in place.
            again, newer = place.new_source("newer")
            mended = place.replace(probe, again)
            if mended.returncode or place.holds() != newer or place.others():
                failures.append(f"{call}#{when}: the next replace left {place.others()} "
                                f"({mended.stderr.strip()})")
            discard(place.folder)
        discard(place.folder)
        for made in sources.iterdir():
            discard(made)
    return kills


def at_once(probe, work, sources, failures):
    """Two replaces together, the first held in its sync: each swaps in a whole tree."""
    place = Place(work, sources)
    (first, one), (second, two) = place.new_source("one"), place.new_source("two")
    held = place.replace(probe, first, "syncfs:delay_enter=500000", background=True)
    # The second starts while the first holds its staged tree beside the place.
    deadline = time.monotonic() + 10
    while not place.others() and held.poll() is None and time.monotonic() < deadline:
        time.sleep(0.005)
    other = place.replace(probe, second)
    held.wait(timeout=60)
    if (held.returncode, other.returncode) != (0, 0):
        failures.append(f"two at once: {held.stderr.read().strip()} {other.stderr.strip()}")
    if place.holds() not in (one, two) or place.others():
        failures.append(f"two at once: a mixed tree, or {place.others()} beside it")


def main():
    probe = ["strace", "-o", "/dev/null", "true"]
    if not shutil.which("strace") or subprocess.run(probe).returncode != 0:
        print("strace is missing (Debian's strace) or may not trace here")
        return SKIPPED
    failures = []
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        sources = [("the same file system", work / "sources")]
        if os.path.isdir("/dev/shm") and os.stat("/dev/shm").st_dev != os.stat(work).st_dev:
            sources.append(("another file system", Path(tempfile.mkdtemp(dir="/dev/shm"))))
        try:
            for label, folder in sources:
                folder.mkdir(exist_ok=True)
                kills = interruptions(sys.argv[1], work, folder, failures)
                at_once(sys.argv[1], work, folder, failures)
                print(f"from {label}: {kills} interruptions")
        finally:
            for _, folder in sources:
                discard(folder)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

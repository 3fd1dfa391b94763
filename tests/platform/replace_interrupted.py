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
    (root / "Contents/MacOS/run").chmod(0o755)
    (root / "Contents/link").symlink_to(f"file0-{tag}")
    (root / "Contents/sealed").mkdir()
    (root / "Contents/sealed/inside").write_text(tag)
    (root / "Contents/sealed").chmod(0o555)


def snapshot(root):
    """What a tree holds: each item's kind, mode and contents, or None when nothing is there."""
    if not os.path.lexists(root):
        return None
    items = {}
    for path in sorted([root, *root.rglob("*")]):
        relative, info = str(path.relative_to(root)), path.lstat()
        if path.is_symlink():
            items[relative] = ("link", os.readlink(path))
        elif path.is_dir():
            items[relative] = ("dir", oct(info.st_mode & 0o777))
        else:
            items[relative] = ("file", oct(info.st_mode & 0o777), path.read_bytes())
    return items


def discard(path):
    if os.path.lexists(path):
        for p in [path, *path.rglob("*")]:
            if p.is_dir() and not p.is_symlink():
                p.chmod(0o755)
        shutil.rmtree(path)


class Place:
    """A folder holding the place, an old tree in it, and new trees made in a source folder."""

    def __init__(self, root, source_root):
        self.folder, self.source_root, self.made = root / "Applications", source_root, 0
        self.folder.mkdir()
        make_tree(self.folder / NAME, "old", 10)
        self.old = snapshot(self.folder / NAME)

    def new_source(self, tag="new"):
        self.made += 1
        source = self.source_root / f"unpacked{self.made}" / NAME
        make_tree(source, tag, 12)
        return source, snapshot(source)

    def holds(self):
        return snapshot(self.folder / NAME)

    def others(self):
        return sorted(p.name for p in self.folder.iterdir() if p.name != NAME)


def replace(probe, source, place, injected=None):
    command = [probe, str(source), str(place.folder / NAME)]
    if injected:
        command = ["strace", "-f", "-qq", "-o", "/dev/null",
                   "-e", f"inject={injected[0]}:signal=KILL:when={injected[1]}"] + command
    return subprocess.run(command, capture_output=True, text=True, timeout=60)


def interruptions(probe, work, source_root, failures):
    """Each call of CALLS killed at its 1st, 2nd, ... use until the replace gets through."""
    kills = 0
    for call in CALLS:
        for when in range(1, 400):
            root = Path(tempfile.mkdtemp(dir=work))
            place = Place(root, source_root)
            source, new = place.new_source()
            ran = replace(probe, source, place, (call, when))
            held = place.holds()
            if ran.returncode == 0:
                if held != new or place.others():
                    failures.append(f"{call}#{when}: replaced, but the place holds "
                                    f"{'the new tree' if held == new else 'another'}; "
                                    f"beside it {place.others()}")
                discard(root)
                discard(source.parent)
                break
            kills += 1
            if held not in (place.old, new):
                failures.append(f"{call}#{when}: killed, the place holds "
                                f"{'nothing' if held is None else 'a mixed tree'}")
            # The next replace clears what the killed one left and puts its own tree in place.
            again, newer = place.new_source("newer")
            mended = replace(probe, again, place)
            if mended.returncode != 0 or place.holds() != newer or place.others():
                failures.append(f"{call}#{when}: the next replace left {place.others()} beside a "
                                f"{'whole' if place.holds() == newer else 'wrong'} tree "
                                f"({mended.stderr.strip()})")
            discard(root)
            for made in source_root.iterdir():
                discard(made)
    return kills


def at_once(probe, work, source_root, failures):
    """Two replaces together, the first held in its sync: each swaps in a whole tree."""
    root = Path(tempfile.mkdtemp(dir=work))
    place = Place(root, source_root)
    (first, first_tree), (second, second_tree) = place.new_source("one"), place.new_source("two")
    held = subprocess.Popen(["strace", "-f", "-qq", "-o", "/dev/null", "-e",
                             "inject=syncfs:delay_enter=500000", probe, str(first),
                             str(place.folder / NAME)], stderr=subprocess.PIPE, text=True)
    # The second starts while the first holds its staged tree beside the place.
    import time
    deadline = time.monotonic() + 10
    while not any(n.startswith(f".{NAME}.new-") for n in place.others()):
        if time.monotonic() > deadline or held.poll() is not None:
            break
        time.sleep(0.005)
    other = replace(probe, second, place)
    held.wait(timeout=60)
    if (held.returncode, other.returncode) != (0, 0):
        failures.append(f"two at once: statuses {held.returncode} and {other.returncode}: "
                        f"{held.stderr.read().strip()} {other.stderr.strip()}")
    if place.holds() not in (first_tree, second_tree) or place.others():
        failures.append(f"two at once: the place holds a mixed tree, beside it {place.others()}")


def main():
    probe = sys.argv[1]
    if not shutil.which("strace"):
        print("strace is missing (Debian's strace)")
        return SKIPPED
    failures = []
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        sources = [("the same file system", work / "sources")]
        shm = Path("/dev/shm")
        if shm.is_dir() and os.stat(shm).st_dev != os.stat(work).st_dev:
            sources.append(("another file system", Path(tempfile.mkdtemp(dir=shm))))
        try:
            for label, source_root in sources:
                source_root.mkdir(exist_ok=True)
                kills = interruptions(probe, work, source_root, failures)
                at_once(probe, work, source_root, failures)
                print(f"from {label}: {kills} interruptions")
        finally:
            for _, source_root in sources:
                discard(source_root)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""no_privilege.py BUNDLE: no file of the bundle is set-id, and no program of ours
(Contents/MacOS) names pkexec or polkit, the way to root on a desktop (libraries that travel with
it, such as GLib, may know of polkit without ever asking it)."""

import stat
import sys
from pathlib import Path

WORDS = (b"pkexec", b"polkit", b"PolicyKit")


def main():
    bundle = Path(sys.argv[1])
    found = [] if (bundle / "Contents/Info.plist").is_file() else [f"no bundle at {bundle}"]
    for path in sorted(bundle.rglob("*")):
        if path.is_symlink() or not path.is_file():
            continue
        if path.stat().st_mode & (stat.S_ISUID | stat.S_ISGID):
            found.append(f"{path}: set-id")
        if (bundle / "Contents/MacOS") in path.parents:
            found += [f"{path}: names {w.decode()}" for w in WORDS if w in path.read_bytes()]
    print("\n".join(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())

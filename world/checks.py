"""Prints each check of an end-to-end road as it is made and, when one fails, the evidence:
the files and logs registered with it."""

import sys
from pathlib import Path

_MAX_SHOWN = 20000


class Checks:
    def __init__(self, road):
        self.road = road
        self.failures = []
        self.evidence = []

    def step(self, text):
        print(f"[{self.road}] {text}", flush=True)

    def check(self, description, holds, detail=None):
        """Records one check; detail (text or a callable giving text) is printed when it fails."""
        mark = "ok  " if holds else "FAIL"
        print(f"[{self.road}]   {mark} {description}", flush=True)
        if not holds:
            text = detail() if callable(detail) else detail
            if text:
                print(f"[{self.road}]        {text}", flush=True)
            self.failures.append(description)
        return bool(holds)

    def equal(self, description, actual, expected):
        return self.check(f"{description}: {expected!r}", actual == expected,
                          lambda: f"got {actual!r}")

    def require(self, description, holds, detail=None):
        """A check without which the rest of the road means nothing: stops the road."""
        if not self.check(description, holds, detail):
            raise RoadStopped(description)
        return holds

    def keep(self, path_or_callable):
        """Registers a file, a folder or a callable giving text, to show when the road fails."""
        self.evidence.append(path_or_callable)

    def report(self):
        if not self.failures:
            print(f"[{self.road}] passed", flush=True)
            return 0
        print(f"[{self.road}] FAILED: {len(self.failures)} check(s): {self.failures}", flush=True)
        for item in self.evidence:
            _show(item)
        return 1


class RoadStopped(Exception):
    pass


def _show(item):
    if callable(item):
        try:
            print(f"----- {getattr(item, '__name__', 'state')}\n{item()}", flush=True)
        except Exception as error:
            print(f"----- {item}: {error}", flush=True)
        return
    path = Path(item)
    if path.is_dir():
        entries = sorted(str(p.relative_to(path)) for p in path.rglob("*"))
        print(f"----- {path}/ ({len(entries)} entries)\n" + "\n".join(entries[:200]), flush=True)
    elif path.is_file():
        data = path.read_bytes()
        text = data[-_MAX_SHOWN:].decode("utf-8", "replace")
        print(f"----- {path} ({len(data)} bytes)\n{text}", flush=True)
    else:
        print(f"----- {path}: absent", flush=True)
    sys.stdout.flush()

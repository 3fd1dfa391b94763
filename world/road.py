"""A road: one scripted visit to the sandbox, named in a table of roads (a Python file that
defines ROADS, a dict of Road). Outside the sandbox `run` reads the table to prepare the
sandbox; inside, this file is the entry point:

  /usr/bin/python3 /world/road.py /suite/TABLE.py ROAD"""

import importlib
import runpy
import sys
from dataclasses import dataclass
from pathlib import Path

# A 2006 kernel: the system counts as 10.4, too old for the store client.
OLD_KERNEL = "2.6.18-419.el5"
BUNDLES = ("QuillbayDownloader.app", "Quillbay.app")
SIGNED_WORLD = "world-signed"  # under the build folder: the signed build's bundle and key
RELEASE_KEY_INSIDE = "/run/release-key.pem"


@dataclass(frozen=True)
class Road:
    scenario: str  # module.function that runs it inside the sandbox: f(checks, desktop, *given)
    needs_dist: bool = True
    kernel_release: str = ""  # what the sandbox's /proc/sys/kernel/osrelease says; empty: the host's
    interactive: bool = False  # a person answers on the host's display
    store: bool = False  # the local store's keys are bound in: the sandbox trusts its authority
    applications: bool = True  # False: a system without /Applications, as stock Linux has
    # /Applications of another user (mode 0755), which the player may not write
    foreign_applications: bool = False
    tmp_size: int = 0  # bytes that /tmp holds at most; 0: as much as memory allows
    read_only_applications: bool = False  # /Applications a read-only mount
    applications_size: int = 0  # bytes that /Applications holds at most; 0: as much as memory allows
    tools: bool = False  # the build's store tools (<build>/tools) bound read-only at /tools
    base_libraries_only: bool = False  # /usr/lib/x86_64-linux-gnu holds only a desktop's base set
    # the downloader of a build that requires signatures (<build>/world-signed) in place of
    # /dist's, and its key, with which the local store signs
    signed: bool = False
    given: tuple = ()  # more arguments of the scenario, such as the name of a table row


def load_table(path):
    """The ROADS of a table file, its folder importable for the road modules."""
    path = Path(path).resolve()
    if str(path.parent) not in sys.path:
        sys.path.insert(0, str(path.parent))
    return runpy.run_path(str(path))["ROADS"]


def main(table, name):
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    from checks import Checks, RoadStopped
    from desktop import Desktop
    import world

    road = load_table(table)[name]
    module_name, function_name = road.scenario.split(".")
    scenario = getattr(importlib.import_module(module_name), function_name)
    checks = Checks(name)
    desktop = Desktop(world.RESULTS / "screenshots", prefix=name)
    try:
        scenario(checks, desktop, *road.given)
    except RoadStopped:
        pass
    except Exception as error:  # a broken road is a failed road, with its evidence
        checks.check(f"the road ran to its end ({type(error).__name__}: {error})", False)
    return checks.report()


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    sys.exit(main(sys.argv[1], sys.argv[2]))

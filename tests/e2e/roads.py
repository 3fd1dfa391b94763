"""The end-to-end roads: what each needs from the sandbox, and the entry point that runs one
inside it (/usr/bin/python3 /e2e/roads.py ROAD)."""

import importlib
import sys
from dataclasses import dataclass
from pathlib import PurePosixPath

BUNDLES = ("QuillbayDownloader.app", "Quillbay.app")
READ_ONLY_FOLDER = PurePosixPath("/media/ro")


@dataclass(frozen=True)
class Road:
    scenario: str  # module.function that runs it inside the sandbox
    needs_dist: bool = True
    os_version: str = ""  # VERSION_ID of the sandbox's /etc/os-release; empty: the host's
    read_only_copy: str = ""  # name of a downloader copy bound read-only at READ_ONLY_FOLDER
    interactive: bool = False  # a person answers on the host's display


ROADS = {
    "sandbox": Road("sandbox_road.run", needs_dist=False, os_version="10.5"),
    "client_running": Road("downloader_roads.client_running"),
    "client_installed": Road("downloader_roads.client_installed"),
    "client_frozen": Road("downloader_roads.client_frozen"),
    "drop_folder_blocked": Road("downloader_roads.drop_folder_blocked"),
    "client_broken_missing": Road("downloader_roads.client_broken_missing"),
    "client_broken_not_executable": Road("downloader_roads.client_broken_not_executable"),
    "client_absent": Road("downloader_roads.client_absent"),
    "too_old": Road("downloader_roads.too_old", os_version="10.5"),
    "read_only_bundle": Road("downloader_roads.read_only_bundle", read_only_copy="Game.app"),
    "request_file": Road("downloader_roads.request_file"),
    "hostile_name": Road("downloader_roads.hostile_name"),
    "malformed_client_info": Road("downloader_roads.malformed_client_info"),
    "malformed_request_file": Road("downloader_roads.malformed_request_file"),
    "huge_request_file": Road("downloader_roads.huge_request_file"),
    "demo_running": Road("demo_roads.running", interactive=True),
    "demo_installed": Road("demo_roads.installed", interactive=True),
    "demo_absent": Road("demo_roads.absent", interactive=True),
}


def main(name):
    from checks import Checks, RoadStopped
    from desktop import Desktop
    import world

    module_name, function_name = ROADS[name].scenario.split(".")
    scenario = getattr(importlib.import_module(module_name), function_name)
    checks = Checks(name)
    desktop = Desktop(world.RESULTS / "screenshots", prefix=name)
    try:
        scenario(checks, desktop)
    except RoadStopped:
        pass
    except Exception as error:  # a broken road is a failed road, with its evidence
        checks.check(f"the road ran to its end ({type(error).__name__}: {error})", False)
    return checks.report()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))

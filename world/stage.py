"""The stage a road plays on: the bus monitor, the programs it starts and the evidence shown
when it fails. Roads with checks of their own build on Stage."""

import time

import world
from world import APPLICATIONS, DOWNLOADER, DOWNLOADS

TITLE = "Quillbay Downloader"  # the title of every window the downloader shows
CLIENT_WINDOW = "Quillbay"
CLIENT_OBJECT = "/com/quillbay/Client2"
END = 30  # seconds any downloader run may take to end on its own


class Stage:
    def __init__(self, checks):
        self.checks = checks
        self.bus = world.BusMonitor()
        self.runs = 0
        checks.keep(world.RESULTS / "bus.log")
        checks.keep(world.drop_folder_state)
        checks.keep(world.REQUEST_LOG)
        checks.keep(DOWNLOADS)
        checks.keep(APPLICATIONS)
        checks.keep("/tmp/xvfb.log")

    def place_downloader(self, name, folder=DOWNLOADS, archive=True):
        bundle = world.place_bundle(DOWNLOADER, folder, name)
        if archive:
            world.place_archive(bundle)
        self.checks.step(f"downloader placed at {bundle}" + (" with its zip" if archive else ""))
        return bundle

    def start_client(self, bundle):
        client, on_bus = world.start_client(bundle)
        self.checks.keep(client.stderr_path)
        self.checks.require(f"the store client runs and owns {world.CLIENT_BUS_NAME}", on_bus,
                            client.stderr)
        return client

    def start_store(self, scenario=None):
        """The local store, answering as www.quillbay.com (see store.py for scenarios)."""
        store = world.start_store(scenario)
        self.checks.keep(store.log_path)
        self.checks.keep(store.requests_path)
        self.checks.step(f"the store answers with the scenario {scenario or {}}")
        return store

    def run_downloader(self, bundle, env=None):
        self.runs += 1
        program = world.Program(world.executable_of(bundle), f"downloader-{self.runs}", env=env)
        self.checks.keep(program.stderr_path)
        self.checks.step(f"downloader started from {bundle}")
        return program

    def ends(self, program, timeout=END, status=0):
        code = program.wait(timeout)
        if code is None:
            program.stop()
        self.checks.equal(f"the downloader ends within {timeout} s with status", code, status)

    def posted(self):
        return [e for e in self.bus.events() if e[1] == "Posted"]

    def activations(self):
        return [e for e in self.bus.events() if e[1] == "Activate" and e[2] == CLIENT_OBJECT]

    def alert(self, desktop, program, message, timeout=15):
        """The downloader's window whose texts include message; the road stops without it."""
        window = desktop.wait_for_window(TITLE, pid=program.process.pid, timeout=timeout,
                                         having=lambda w: any(message in t for t in w.texts()))
        self.checks.require(f"the alert {message!r} appears", window is not None,
                            lambda: "windows: " + "; ".join(w.describe() for w in desktop.windows()))
        return window

    def wait_for_requests(self, count, timeout=10, settle=0.3):
        """The recorded requests once count are there, and a moment more for any duplicate."""
        if world.wait_until(lambda: len(world.recorded_requests()) >= count, timeout):
            time.sleep(settle)
        return world.recorded_requests()

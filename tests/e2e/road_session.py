"""What the downloader's roads share: the exact texts a user must read, and a Session that
starts the programs, watches the bus and keeps the evidence shown when a road fails."""

import re
import time

import world
from world import APPLICATIONS, DOWNLOADER, DOWNLOADS

TITLE = "Quillbay Downloader"
TOO_OLD = ("Mac OS X is too old.",
           "The Quillbay app is needed to download your game. However the Quillbay app requires "
           "Mac OS X 10.6 or newer, and your version of Mac OS X is too old.")
INSTALL_PROMPT = ("Quillbay Downloader",
                  "This application will install the Quillbay app. The Quillbay app will then "
                  "start and begin downloading your game.\n")
NOT_STARTED = ("The Quillbay app could not be started.",
               "Please use the Finder to locate the QBY app and then double-click to start it. "
               "Contact Technical Support if you continue to have problems.\n\nError {code}")
HELPER_NOTIFICATION = "QBY.Helper"
CLIENT_WINDOW = "Quillbay"
SUPPORT_PAGE = "https://www.quillbay.com/support/"
CLIENT_OBJECT = "/com/quillbay/Client2"
NOTIFICATION_NAME = re.compile(r"^download\.[^./]+\.plist$")
END = 30  # seconds any downloader run may take to end on its own


class Session:
    """What every road shares: the bus monitor, the programs started and their evidence."""

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

    def run_downloader(self, bundle):
        self.runs += 1
        program = world.Program(world.executable_of(bundle), f"downloader-{self.runs}")
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

    def alert(self, desktop, program, message):
        """The downloader's alert whose texts include message."""
        window = desktop.wait_for_window(TITLE, pid=program.process.pid,
                                         having=lambda w: any(message in t for t in w.texts()))
        self.checks.require(f"the alert {message!r} appears", window is not None,
                            lambda: "windows: " + "; ".join(w.describe() for w in desktop.windows()))
        return window

    def check_alert(self, window, texts, buttons):
        self.checks.equal("the alert's texts", window.texts(), list(texts))
        self.checks.equal("the alert's buttons, in order", window.buttons(), list(buttons))

    def wait_for_requests(self, count, timeout=10, settle=0.3):
        """The recorded requests once count are there, and a moment more for any duplicate."""
        if world.wait_until(lambda: len(world.recorded_requests()) >= count, timeout):
            time.sleep(settle)
        return world.recorded_requests()

    def show_client(self, desktop):
        """A screenshot of the client's window with the requests it received."""
        window = desktop.wait_for_window(CLIENT_WINDOW, timeout=5)
        if window is not None:
            desktop.screenshot("client-window", window)

    def check_handed_over(self, expected):
        recorded = self.wait_for_requests(1)
        self.checks.equal("requests recorded by the client", [r.get("request") for r in recorded],
                          [expected])
        if recorded:
            self.checks.check(f"the consumed file is named download.TOKEN.plist: "
                              f"{recorded[0].get('file')!r}",
                              NOTIFICATION_NAME.match(str(recorded[0].get("file", ""))))
        self.checks.equal("notification files left unconsumed in the drop folder",
                          world.drop_files(), [])

    def check_waiting(self, expected):
        """The request was written and waits in the drop folder, not handed to anyone."""
        files = world.drop_files()
        self.checks.equal("notification files waiting in the drop folder", len(files), 1)
        if files:
            self.checks.check(f"named download.TOKEN.plist: {files[0].name}",
                              NOTIFICATION_NAME.match(files[0].name))
            self.checks.equal("its request", world.read_plist(files[0]), expected)
        self.checks.equal("client notifications posted", self.posted(), [])

    def check_kept(self, bundle, kept=True):
        archive = bundle.with_suffix(".zip")
        verb = "kept" if kept else "removed"
        self.checks.check(f"{bundle.name} {verb}", bundle.exists() == kept)
        self.checks.check(f"{archive.name} {verb}", archive.exists() == kept)

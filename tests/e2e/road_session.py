"""What the downloader's roads share: the exact texts a user must read, and a Session that adds
the checks of a hand-off to the world's stage."""

import re

import world
from stage import CLIENT_WINDOW, TITLE, Stage  # noqa: F401  (TITLE: the roads' window title)

# The too-old alert in its English wording for Linux (the sandbox's locale has no translation).
TOO_OLD = ("Your Linux system is too old.",
           "The Quillbay app is needed to download your game. However the Quillbay app requires "
           "Linux with glibc 2.35 or newer, that is a distribution from 2022 or later, and your "
           "system is too old.")
INSTALL_PROMPT = ("Quillbay Downloader",
                  "This application will install the Quillbay app. The Quillbay app will then "
                  "start and begin downloading your game.\n")
NOT_STARTED = ("The Quillbay app could not be started.",
               "Please use the Finder to locate the QBY app and then double-click to start it. "
               "Contact Technical Support if you continue to have problems.\n\nError {code}")
HELPER_NOTIFICATION = "QBY.Helper"
SUPPORT_PAGE = "https://www.quillbay.com/support/"
NOTIFICATION_NAME = re.compile(r"^download\.[^./]+\.plist$")


class Session(Stage):
    def check_alert(self, window, texts, buttons):
        self.checks.equal("the alert's texts", window.texts(), list(texts))
        self.checks.equal("the alert's buttons, in order", window.buttons(), list(buttons))

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

    def check_client_lists(self, desktop, expected):
        """The client's window lists the one request it took, a "key = value" line per entry."""
        window = desktop.wait_for_window(CLIENT_WINDOW, timeout=5, having=lambda w: w.items())
        entry = "\n".join(f"{key} = {value}" for key, value in sorted(expected.items()))
        self.checks.equal("requests listed in the client's window", window.items() if window else [],
                          [entry])
        if window is not None:
            desktop.screenshot("client-window", window)

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

"""The downloader's roads, end to end: the built bundles run as a user runs them, the alerts read
and answered over the accessibility bus, and what is left on disk and on the bus checked."""

import os
import signal
from pathlib import Path

import pyatspi

import store
import world
from road_session import (INSTALL_PROMPT, HELPER_NOTIFICATION, NOT_STARTED, SUPPORT_PAGE, TITLE,
                          TOO_OLD, Session)
from world import APPLICATIONS, CLIENT, DOWNLOADS

# Seconds a frozen client may hold the downloader up: its 1 s pause and a bounded bus call.
FROZEN_PEER_PATIENCE = 10

def client_running(checks, desktop):
    session = Session(checks)
    client_bundle = world.place_bundle(CLIENT, APPLICATIONS)
    client = session.start_client(client_bundle)
    downloader = session.place_downloader("Game.K7.V9.app")
    program = session.run_downloader(downloader)
    shown = desktop.titles_while_running(program)
    session.ends(program)
    checks.equal("windows the downloader showed", shown, set())

    checks.step("hand-off to the running client")
    session.check_handed_over({"K7": "V9"})
    activations, posted = session.activations(), session.posted()
    checks.equal("activations of the client", len(activations), 1)
    checks.equal("client notifications posted", [p[2] for p in posted], [HELPER_NOTIFICATION])
    if activations and posted:
        pause = posted[0][0] - activations[0][0]
        checks.check(f"the notification follows the activation after about 1 s ({pause:.3f} s)",
                     0.9 <= pause <= 5)
    checks.check("the client still runs", client.running())
    session.show_client(desktop)
    session.check_kept(downloader, kept=False)


def client_frozen(checks, desktop):
    """A running client that answers nothing (stopped) holds the downloader up only briefly;
    the request waits for it and is taken once it runs again."""
    session = Session(checks)
    client = session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    client.process.send_signal(signal.SIGSTOP)
    downloader = session.place_downloader("Game.K7.V9.app")
    program = session.run_downloader(downloader)
    session.ends(program, timeout=FROZEN_PEER_PATIENCE)
    checks.equal("client notifications posted", [p[2] for p in session.posted()],
                 [HELPER_NOTIFICATION])
    session.check_kept(downloader, kept=False)
    client.process.send_signal(signal.SIGCONT)
    checks.step("the client runs again")
    session.check_handed_over({"K7": "V9"})


def drop_folder_blocked(checks, desktop):
    """A plain file where the drop folder belongs: the request cannot be written, so the
    downloader, which carries the request in its name, must stay for another try."""
    session = Session(checks)
    world.DROP_FOLDER.parent.mkdir(parents=True)
    world.DROP_FOLDER.write_text("not a folder")
    client = session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    downloader = session.place_downloader("Game.K7.V9.app")
    program = session.run_downloader(downloader)
    session.ends(program)
    checks.check("the client runs", client.running())
    checks.equal("requests recorded by the client", world.recorded_requests(), [])
    session.check_kept(downloader, kept=True)


def client_installed(checks, desktop):
    session = Session(checks)
    client_bundle = world.place_bundle(CLIENT, APPLICATIONS)
    downloader = session.place_downloader("Game.K7.V9.app")
    program = session.run_downloader(downloader)
    shown = desktop.titles_while_running(program)
    session.ends(program)
    checks.equal("windows the downloader showed", shown, set())

    checks.step("the client launched from /Applications and handed the request")
    executable = world.executable_of(client_bundle)
    checks.check(f"{executable} runs", world.wait_until(
        lambda: world.processes_running(executable), 5))
    checks.check("the client owns its bus name", world.wait_until(world.client_on_bus, 10))
    session.check_handed_over({"K7": "V9"})
    checks.equal("client notifications posted", [p[2] for p in session.posted()],
                 [HELPER_NOTIFICATION])
    session.check_kept(downloader, kept=False)
    session.show_client(desktop)


def malformed_client_info(checks, desktop):
    """A bundle in /Applications whose Info.plist is garbage is no client: the install prompt."""
    session = Session(checks)
    client_bundle = world.place_bundle(CLIENT, APPLICATIONS)
    executable = client_bundle / "Contents/MacOS" / world.executable_of(world.DIST / CLIENT).name
    (client_bundle / "Contents/Info.plist").write_bytes(b"<?xml \x00\xff<plist><dict><key>" * 64)
    downloader = session.place_downloader("Game.K7.V9.app")
    program = session.run_downloader(downloader)
    prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
    checks.check("pressing Quit", prompt.press("Quit"))
    session.ends(program)
    checks.equal("files in the drop folder", world.drop_files(), [])
    checks.equal("client processes started", world.processes_running(executable), [])
    session.check_kept(downloader, kept=True)


def _request_file_road(checks, content, expected):
    session = Session(checks)
    session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    downloader = session.place_downloader("Game.app")
    request = DOWNLOADS / ".Game.txt"
    request.write_bytes(content)
    program = session.run_downloader(downloader)
    session.ends(program)
    if expected is None:
        recorded = session.wait_for_requests(1)
        checks.equal("requests recorded by the client", len(recorded), 1)
    else:
        session.check_handed_over(expected)
    checks.check(".Game.txt consumed", not request.exists())
    session.check_kept(downloader, kept=False)


def malformed_request_file(checks, desktop):
    """A request file that is not UTF-8 gives an empty request, and is consumed all the same."""
    _request_file_road(checks, b"title;\xff\xfe abc\nlang;en\x80", {})


def huge_request_file(checks, desktop):
    """A request file far larger than any request neither stalls nor breaks the hand-off."""
    _request_file_road(checks, b"k;" + b"v" * (64 << 20), None)


def _client_broken(checks, desktop, breakage, code):
    session = Session(checks)
    client_bundle = world.place_bundle(CLIENT, APPLICATIONS)
    breakage(world.executable_of(client_bundle))
    downloader = session.place_downloader("Game.K7.V9.app")
    program = session.run_downloader(downloader)

    alert = session.alert(desktop, program, NOT_STARTED[0])
    session.check_alert(alert, (NOT_STARTED[0], NOT_STARTED[1].format(code=code)), ["Quit"])
    desktop.screenshot("alert", alert)
    checks.check("the request was written before the launch",
                 len(world.drop_files()) == 1, world.drop_folder_state)
    checks.check("pressing Quit", alert.press("Quit"))
    session.ends(program)

    checks.step("nothing handed over, nothing removed")
    session.check_waiting({"K7": "V9"})
    checks.equal("activations of the client", session.activations(), [])
    session.check_kept(downloader, kept=True)


def client_broken_missing(checks, desktop):
    _client_broken(checks, desktop, lambda executable: executable.unlink(), 2)


def client_broken_not_executable(checks, desktop):
    _client_broken(checks, desktop, lambda executable: executable.chmod(0o644), 13)


def client_absent(checks, desktop):
    session = Session(checks)
    # The store takes the feed's request and never answers: the download window stays up.
    session.start_store({"faults": {store.FEED_PATH: {"silent": True}}})
    downloader = session.place_downloader("Game.K7.V9.app")

    checks.step("first run: Quit at the install prompt")
    program = session.run_downloader(downloader)
    prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
    session.check_alert(prompt, INSTALL_PROMPT, ["Download & Install", "Quit"])
    desktop.screenshot("install-prompt", prompt)
    checks.check("pressing Quit", prompt.press("Quit"))
    session.ends(program)
    checks.equal("files in the drop folder", world.drop_files(), [])
    session.check_kept(downloader, kept=True)

    checks.step("second run: Download & Install, then Cancel in the download window")
    program = session.run_downloader(downloader)
    prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
    checks.check("pressing Download & Install", prompt.press("Download & Install"))
    checks.check("the request is written", world.wait_until(world.drop_files, 5))
    window = desktop.wait_for_window(
        TITLE, pid=program.process.pid, having=lambda w: w.has_role(pyatspi.ROLE_PROGRESS_BAR) and "Cancel download" in w.buttons())
    checks.require("the download window shows a progress bar and Cancel", window is not None,
                   lambda: "windows: " + "; ".join(w.describe() for w in desktop.windows()))
    desktop.screenshot("download-window", window)
    checks.check("pressing Cancel", window.press("Cancel download"))
    session.ends(program, timeout=5)
    session.check_waiting({"K7": "V9"})
    session.check_kept(downloader, kept=True)
    checks.equal("nothing installed in /Applications", sorted(os.listdir(APPLICATIONS)), [])


def too_old(checks, desktop):
    session = Session(checks)
    downloader = session.place_downloader("Game.K7.V9.app")

    checks.step("Quit at the too-old alert")
    program = session.run_downloader(downloader)
    alert = session.alert(desktop, program, TOO_OLD[0])
    session.check_alert(alert, TOO_OLD, ["Support", "Quit"])
    desktop.screenshot("alert", alert)
    checks.check("pressing Quit", alert.press("Quit"))
    session.ends(program)
    checks.equal("addresses opened", world.opened_addresses(), [])

    checks.step("Support at the too-old alert")
    program = session.run_downloader(downloader)
    alert = session.alert(desktop, program, TOO_OLD[0])
    checks.check("pressing Support", alert.press("Support"))
    session.ends(program)
    checks.equal("addresses opened", world.wait_until(world.opened_addresses, 5), [SUPPORT_PAGE])

    checks.equal("files in the drop folder", world.drop_files(), [])
    checks.equal("client notifications posted", session.posted(), [])
    session.check_kept(downloader, kept=True)


def read_only_bundle(checks, desktop):
    from road import READ_ONLY_FOLDER
    from roads import ROADS

    session = Session(checks)
    read_only = Path(READ_ONLY_FOLDER) / ROADS["read_only_bundle"].read_only_copy
    before = world.tree(read_only)
    checks.require(f"{READ_ONLY_FOLDER} is a read-only mount", _read_only_mount(READ_ONLY_FOLDER))
    copy = session.place_downloader(read_only.name)
    session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    program = session.run_downloader(read_only)
    session.ends(program)

    checks.step("the Downloads copy removed in place of the read-only bundle")
    expected = _request_resource(read_only)
    session.check_handed_over(expected)
    session.check_kept(copy, kept=False)
    checks.check(f"{read_only} untouched", world.tree(read_only) == before)


def request_file(checks, desktop):
    session = Session(checks)
    session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    downloader = session.place_downloader("Game.app")
    request = DOWNLOADS / ".Game.txt"
    request.write_text("title;abc\nlang;en")
    program = session.run_downloader(downloader)
    session.ends(program)
    session.check_handed_over({"title": "abc", "lang": "en"})
    checks.check(".Game.txt consumed", not request.exists())
    session.check_kept(downloader, kept=False)


def hostile_name(checks, desktop):
    """Quotes, a semicolon, shell syntax, spaces and non-ASCII letters in the bundle's name are
    only text: the request carries them unchanged and nothing runs them."""
    session = Session(checks)
    session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    key, value = "K'7;$(touch pwned)`touch pwned`", "V 9 \"ü\""
    downloader = session.place_downloader(f"Game.{key}.{value}.app")
    program = session.run_downloader(downloader)
    session.ends(program)
    session.check_handed_over({key: value})
    session.check_kept(downloader, kept=False)
    planted = [p for p in (world.HOME / "pwned", DOWNLOADS / "pwned", Path("/tmp/pwned"))
               if p.exists()]
    checks.equal("files made by the name's shell syntax", planted, [])


def _read_only_mount(folder):
    with open("/proc/self/mounts") as mounts:
        for line in mounts:
            fields = line.split()
            if fields[1] == str(folder):
                return "ro" in fields[3].split(",")
    return False


def _request_resource(bundle):
    """The request a bundle carries inside: key;value lines of its locversion resource."""
    resource = bundle / "Contents/Resources/en.lproj/locversion.plist"
    request = {}
    if resource.is_file():
        for line in resource.read_text("utf-8").split("\n"):
            fields = line.split(";")
            request[fields[0]] = fields[1] if len(fields) > 1 else ""
    return request

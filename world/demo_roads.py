"""The roads scripts/demo shows: the same arrangements as the tests, each step said as it comes.
A person answers the windows on their own display; without one, the demo answers them itself
and keeps screenshots."""

import world
from stage import TITLE
from store import TGZ_PATH
from world import APPLICATIONS, CLIENT, DOWNLOADER, DOWNLOADS

PATIENCE = 600  # seconds a person may take at any one step
MACHINE_PATIENCE = 60  # seconds the demo waits for a window or an end when it answers itself
INSTALL = "Download & Install"


def _patience():
    return PATIENCE if world.PERSON_ANSWERS else MACHINE_PATIENCE


def _downloader(checks):
    bundle = world.place_bundle(DOWNLOADER, DOWNLOADS, "Game.K7.V9.app")
    world.place_archive(bundle)
    checks.step(f"starting {bundle} (request K7=V9 in its name), with Game.K7.V9.zip beside it")
    return bundle, world.Program(world.executable_of(bundle), "downloader")


def _answer(checks, desktop, program, button, what):
    """Presses button in the downloader's window, or asks the person to; the window or None."""
    if world.PERSON_ANSWERS:
        checks.step(f"{what}: press {button}")
    window = desktop.wait_for_window(TITLE, timeout=_patience(), pid=program.process.pid,
                                     having=lambda w: button in w.buttons())
    if window is None:
        checks.step(f"no window with {button} appeared")
        return None
    if not world.PERSON_ANSWERS:
        desktop.screenshot(what.replace(" ", "-"), window)
        checks.step(f"{what}: the demo presses {button}")
        window.press(button)
    return window


def _outcome(checks, bundle, program):
    status = program.wait(_patience())
    if status is None:
        program.stop()
    checks.step(f"the downloader ended with status {status}")
    checks.step(f"requests the client recorded: {[r['request'] for r in world.recorded_requests()]}")
    checks.step(f"waiting in the drop folder: {world.drop_folder_state()}")
    checks.step(f"{bundle.name} and its zip " +
                ("are gone" if not bundle.exists() else "are still in Downloads"))


def _installed_client():
    """Where the client is: /Applications, or the user's own Applications folder."""
    for folder in (APPLICATIONS, world.USER_APPLICATIONS):
        if (folder / CLIENT).is_dir():
            return folder / CLIENT
    return APPLICATIONS / CLIENT


def _client_shown(checks, desktop):
    """The client's window: a screenshot, or the person closes it."""
    executable = world.executable_of(_installed_client())
    if not world.wait_until(lambda: world.processes_running(executable), 5):
        return
    if world.PERSON_ANSWERS:
        checks.step("close the Quillbay window to go on")
        world.wait_until(lambda: not world.processes_running(executable), PATIENCE, 0.2)
    elif desktop.wait_for_window("Quillbay", timeout=10):
        desktop.screenshot("client-window")


def _dismiss_failure(checks, desktop, program):
    """While the download and the install run: a failure's alert, shown and then answered."""
    def alert():
        return program.wait(0.2) is not None or next(
            (w for w in desktop.windows(program.process.pid) if w.buttons() == ["Quit"]), None)

    window = world.wait_until(alert, MACHINE_PATIENCE)
    if window is not True and window:
        checks.step(f"the downloader says: {' '.join(window.texts())}")
        desktop.screenshot("failure", window)
        window.press("Quit")


def running(checks, desktop):
    world.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    checks.step("the Quillbay client runs; the downloader hands over without showing anything")
    bundle, program = _downloader(checks)
    _outcome(checks, bundle, program)
    _client_shown(checks, desktop)


def installed(checks, desktop):
    world.place_bundle(CLIENT, APPLICATIONS)
    checks.step("Quillbay.app lies in /Applications, not running: the downloader starts it")
    bundle, program = _downloader(checks)
    _outcome(checks, bundle, program)
    _client_shown(checks, desktop)


def install(checks, desktop):
    # A paced archive, so that the download window can be seen at work for a few seconds.
    store = world.start_store({"feed": "tgz", "faults": {TGZ_PATH: {"rate": 16384}}})
    checks.keep(store.requests_path)
    checks.step("no client anywhere; the store at www.quillbay.com offers Quillbay.tgz")
    bundle, program = _downloader(checks)
    if not _answer(checks, desktop, program, INSTALL, "install prompt"):
        return _outcome(checks, bundle, program)
    window = desktop.wait_for_window(TITLE, timeout=15, pid=program.process.pid,
                                     having=lambda w: "Cancel download" in w.buttons())
    if window is not None and not world.PERSON_ANSWERS:
        world.wait_until(lambda: TGZ_PATH in " ".join(store.paths()), MACHINE_PATIENCE)
        world.wait_until(lambda: any(" of " in t for t in window.texts()), 5)
        checks.step(f"the download window says: {' / '.join(window.texts())}")
        desktop.screenshot("download-window", window)
    if not world.PERSON_ANSWERS:
        _dismiss_failure(checks, desktop, program)
    _outcome(checks, bundle, program)
    checks.step(f"the store was asked for {', '.join(dict.fromkeys(store.paths()))}")
    client = _installed_client()
    checks.step(f"the client is at {client}" if client.is_dir() else "no client was installed")
    if world.USER_ENTRY.exists():
        checks.step(f"the menu's entry {world.USER_ENTRY}:\n" + world.USER_ENTRY.read_text().rstrip())
    started = world.wait_until(lambda: world.client_started(client), 10)
    checks.step("the client " + ("runs" if started else "does not run"))
    _client_shown(checks, desktop)

"""The downloader's roads, end to end: the built bundles run as a user runs them, the alerts read
and answered over the accessibility bus, and what is left on disk and on the bus checked."""

import signal
from functools import partial
from pathlib import Path

import world
from road_session import HELPER_NOTIFICATION, SUPPORT_PAGE, TOO_OLD, Session
from world import APPLICATIONS, CLIENT, DOWNLOADS

# Seconds a frozen client may hold the downloader up: its 1 s pause and a bounded bus call.
FROZEN_PEER_PATIENCE = 10
# Quotes, a semicolon, shell syntax, spaces and non-ASCII letters: only text in a bundle's name.
HOSTILE_KEY, HOSTILE_VALUE = "K'7;$(touch pwned)`touch pwned`", "V 9 \"ü\""

# The roads where the downloader hands its request to a running client and ends without a word
# (the installed client's road is a row of fault_matrix.py). client "frozen": stopped until the
# downloader has ended. Where the request comes from and what happens when the drop folder cannot
# take it are the logic's and the file services' own tests.
HAND_OFFS = {
    "client_running": {"windowless": True, "notified": True, "activated_once": True},
    "client_frozen": {"client": "frozen", "notified": True},
    "hostile_name": {"name": f"Game.{HOSTILE_KEY}.{HOSTILE_VALUE}.app",
                     "expect": {HOSTILE_KEY: HOSTILE_VALUE}},
}


def hand_off(checks, desktop, name):
    row = HAND_OFFS[name]
    session = Session(checks)
    client_bundle = world.place_bundle(CLIENT, APPLICATIONS)
    kind = row.get("client", "running")
    client = session.start_client(client_bundle)
    if kind == "frozen":
        client.process.send_signal(signal.SIGSTOP)
    downloader = session.place_downloader(row.get("name", "Game.K7.V9.app"))
    program = session.run_downloader(downloader)
    if row.get("windowless"):
        checks.equal("windows the downloader showed", desktop.titles_while_running(program), set())
    session.ends(program, **({"timeout": FROZEN_PEER_PATIENCE} if kind == "frozen" else {}))
    if kind == "frozen":
        client.process.send_signal(signal.SIGCONT)
        checks.step("the client runs again")

    session.check_handed_over(row.get("expect", {"K7": "V9"}))
    if row.get("notified"):
        checks.equal("client notifications posted", [p[2] for p in session.posted()],
                     [HELPER_NOTIFICATION])
    if row.get("activated_once"):
        activations, posted = session.activations(), session.posted()
        checks.equal("activations of the client", len(activations), 1)
        pause = posted[0][0] - activations[0][0] if activations and posted else None
        checks.check(f"the notification follows the activation after about 1 s ({pause} s)",
                     pause is not None and 0.9 <= pause <= 5)
        checks.check("the client still runs", client.running())
    session.check_client_lists(desktop, row.get("expect", {"K7": "V9"}))
    session.check_kept(downloader, kept=False)
    planted = [p for p in (world.HOME / "pwned", DOWNLOADS / "pwned", Path("/tmp/pwned"))
               if p.exists()]
    checks.equal("files made by shell syntax in the name", planted, [])


# Each row is a road of its own name, as the table of roads calls it: f(checks, desktop).
globals().update({name: partial(hand_off, name=name) for name in HAND_OFFS})


def too_old(checks, desktop):
    session = Session(checks)
    downloader = session.place_downloader("Game.K7.V9.app")
    for button, opened in (("Quit", []), ("Support", [SUPPORT_PAGE])):
        checks.step(f"{button} at the too-old alert")
        program = session.run_downloader(downloader)
        alert = session.alert(desktop, program, TOO_OLD[0])
        session.check_alert(alert, TOO_OLD, ["Support", "Quit"])
        desktop.screenshot(f"alert-{button}", alert)
        checks.check(f"pressing {button}", alert.press(button))
        session.ends(program)
        checks.equal("addresses opened", world.wait_until(world.opened_addresses, 5 * len(opened)),
                     opened)
    checks.equal("files in the drop folder", world.drop_files(), [])
    checks.equal("client notifications posted", session.posted(), [])
    session.check_kept(downloader, kept=True)


def resumed_after_restart(checks, desktop):
    """Cancelled part-way and started again: the second start asks only for the rest, from the
    bytes kept in the player's cache, and the finished download leaves nothing there."""
    import stat
    import time

    from road_session import INSTALL_PROMPT, TITLE
    archive, cut = "/downloader/Quillbay.tgz", 16384
    cache = world.HOME / ".cache" / "quillbay.com"
    session = Session(checks)
    downloader = session.place_downloader("Game.K7.V9.app")

    def install(store):
        program = session.run_downloader(downloader)
        prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
        checks.check("pressing Download & Install", prompt.press("Download & Install"))
        return program

    store = session.start_store({"faults": {archive: {"stall": cut}}})
    program = install(store)
    window = desktop.wait_for_window(TITLE, pid=program.process.pid,
                                     having=lambda w: "Cancel download" in w.buttons())
    checks.require("the download window is up", window is not None)
    checks.require("the archive is asked for", world.wait_until(
        lambda: any(e["path"] == archive for e in store.events()), 10))
    time.sleep(1)  # its first bytes are on disk
    checks.check("pressing Cancel", window.press("Cancel download"))
    session.ends(program, timeout=5)
    checks.equal("bytes kept in the cache", [p.stat().st_size for p in cache.glob("*.part")], [cut])
    checks.equal("the cache folder's mode", oct(stat.S_IMODE(cache.stat().st_mode)), "0o700")
    store.stop()

    store = session.start_store({})
    session.ends(install(store), timeout=60)
    asked = [e for e in store.events() if e["path"] == archive]
    checks.equal("the archive asked for from", [e["headers"].get("Range") for e in asked],
                 [f"bytes={cut}-"])
    sent = [(e["bytes"], e["length"]) for e in store.events("answered") if e["path"] == archive]
    checks.check(f"only the rest sent: {sent}", len(sent) == 1 and sent[0][0] == sent[0][1] - cut)
    checks.check("the client runs", world.wait_until(
        lambda: world.client_started(APPLICATIONS / CLIENT), 10))
    checks.equal("the cache afterwards", sorted(p.name for p in cache.iterdir()), [])


def two_at_once(checks, desktop):
    """Two purchases opened together: both install, one after the other, a whole client each
    time; the client started first takes both requests, and nothing is left beside it."""
    from road_session import INSTALL_PROMPT

    session = Session(checks)
    store = session.start_store({})
    downloaders = [session.place_downloader(name) for name in ("Game.K7.V9.app", "Other.K8.V1.app")]
    programs = [session.run_downloader(downloader) for downloader in downloaders]
    for program in programs:
        prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
        checks.check("pressing Download & Install", prompt.press("Download & Install"))
    for program in programs:
        session.ends(program, timeout=90)
    checks.equal("archives asked for", sum(e["path"] == "/downloader/Quillbay.tgz"
                                           for e in store.events()), 2)
    checks.check("the client owns its name on the bus", world.wait_until(world.client_on_bus, 10))
    recorded = session.wait_for_requests(2)
    checks.equal("requests recorded by the client",
                 sorted(sorted(r.get("request", {}).items()) for r in recorded),
                 [[("K7", "V9")], [("K8", "V1")]])
    checks.equal("/Applications", world.applications(), [CLIENT])
    installed = [p for p in (APPLICATIONS / CLIENT).rglob("*") if p.is_file()]
    checks.check("the bundle installed is the whole client", installed and all(
        p.read_bytes() == (world.DIST / CLIENT / p.relative_to(APPLICATIONS / CLIENT)).read_bytes()
        for p in installed) and (APPLICATIONS / CLIENT / "Contents/Info.plist") in installed)
    for downloader in downloaders:
        session.check_kept(downloader, kept=False)

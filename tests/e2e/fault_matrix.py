"""The install road's fault matrix: the real bundles against a store, an archive, a disk, an
/Applications or a client that fails in one way each; one checker makes sure that nothing was lost
on any row.

  store   the local store's scenario (world/store.py); {} is its default, the tgz feed
  end     INSTALLED (installed, started, given the request), HANDED_OFF (an installed client took
          it), SILENT, CANCEL (pressed once the path `cancel` was asked for), a sheet's text
          (under DOWNLOAD_FAILED) or an alert's (message, text)
  asked   the paths the store was asked for, each once
  needs   a Road's fields (applications, tmp_size, ...); client "installed": a working one in
          /Applications, "old": a bundle at /Applications/Quillbay.app that is none
  lands   a bundle is left at /Applications/Quillbay.app although the road failed
  home    installed for the player alone, in ~/Applications (the player may not write
          /Applications)
  ranges  how many of the archive's requests asked for a Range
  lean    the store sent at most 1 % more of the archive than its size
  wait    how long the sheet may take, in seconds (30)
  floor   the downloader is stamped by the store's tool with a feed of that "feedSerial"
  nginx   nginx answers in place of the local store, with these options (world/servers.py);
          answers: the TLS and HTTP versions of its every answer; kill_worker: its worker is
          killed once a quarter MiB of the archive is on disk
  proxy   squid is the session's proxy, and every tunnel it made went to the store

Rows named signed_* run the downloader of a build that requires signatures (Road signed=True),
against a store that signs its feed and archives with that build's key (store.py).

Every installed client has the player's desktop entry, valid for desktop-file-validate; nothing is
left beside it, and a road that installs nothing leaves /Applications as it was."""

from road_session import NOT_STARTED
from store import FEED_SERIAL

FEED, TGZ, ZIP = "/downloader/appcast.xml", "/downloader/Quillbay.tgz", "/downloader/Quillbay.zip"
SIGNATURE = FEED + ".sig"
INSTALLED, HANDED_OFF, SILENT, CANCEL = "installed", "handed off", "silent", "cancel"
DOWNLOAD_FAILED = "The Quillbay app could not be downloaded."
DAMAGED = "The download was damaged. Please try again."
BUSY = "The QBY servers may be busy or temporarily unavailable. Please try again later."
DISK_FULL = "The disk is full. The Quillbay app needs about"


def row(name, end, store=None, asked=(FEED, TGZ), **more):
    return dict(name=name, end=end, store=store or {}, asked=list(asked), **more)


def feed(name, store):  # the feed cannot be used: nothing beyond it is asked for
    return row(name, BUSY, store, asked=[FEED] if store.get("listen", True) else [])


def archive(kind, end=SILENT, **more):  # the feed names an archive of that kind
    path = ZIP if kind.startswith("zip") else TGZ
    return row(f"archive_{kind}", end, {"feed": path[-3:], "files": {path: kind}},
               asked=(FEED, path), **more)


def fault(name, end, fault, feed="tgz", **more):  # the archive answered with a fault
    return row(name, end, {"feed": feed, "faults": {TGZ: fault}}, **more)


def signed(name, end, store=None, why=None, floor=FEED_SERIAL, asked=(FEED, SIGNATURE)):
    # the signed build's downloader, stamped with the serial of the store's feed by default;
    # why: what the log says of the feed
    return row(f"signed_{name}", end, store, asked=asked, floor=floor, why=why,
               needs={"signed": True, "tools": True})


ROWS = [
    # The server.
    row("install_tgz", INSTALLED),
    row("install_zip", INSTALLED, {"feed": "zip"}, asked=(FEED, ZIP)),
    # 10.6 zip, 11.0 tgz and a 99.0 release: the newest that this system reaches is the tgz.
    row("install_newest_fitting", INSTALLED, {"feed": "choice"}),
    fault("install_gzip_encoded", INSTALLED, {"gzip": True}),
    # Without a length, and without a size in the feed, the end is proven by a 416 for the bytes
    # past it; cut without one (no TLS closing alert either), the rest is asked for.
    fault("install_no_length", INSTALLED, {"no_length": True}, feed="no_size", ranges=1),
    fault("no_length_cut_then_resumed", INSTALLED, {"no_length": True, "drops": [16384]},
          feed="no_size", ranges=1),
    fault("server_slow", INSTALLED, {"rate": 200_000}),
    feed("feed_unreachable", {"listen": False}),
    feed("feed_busy", {"faults": {FEED: {"status": 503}}}),
    feed("feed_redirect_http", {"faults": {FEED: {"redirect": "http://www.quillbay.com" + FEED}}}),
    # A feed's shape (a root that is no dictionary, no entries, no url) is the logic tests' part.
    feed("feed_not_plist", {"feed": "not_plist"}),
    row("feed_silent", CANCEL, {"faults": {FEED: {"silent": True}}}, asked=[FEED], cancel=FEED),
    row("server_dead", "The download failed: Connection refused.", {"feed": "dead_archive_server"},
        asked=[FEED]),
    fault("server_stalls", CANCEL, {"stall": 4096}, cancel=TGZ),
    # Dropped on every try: the retries, paused at random after the first, give up within their
    # two-minute bound.
    fault("server_truncates", "The server closed the connection after 0 of", {"truncate": 0},
          wait=125),
    # Cut short, then resumed from the bytes on disk or, where the server cannot, started over.
    fault("server_drops_twice", INSTALLED, {"drops": [16384, 32768]}, ranges=2,
          lean=True),
    fault("server_ignores_ranges", INSTALLED, {"drops": [16384], "ignore_ranges": True}, ranges=1),
    fault("archive_changed_between_tries", INSTALLED, {"drops": [16384], "changed": True},
          ranges=1),
    row("feed_busy_twice", INSTALLED, {"faults": {FEED: {"busy": 2}}}),
    # A length announced other than the feed's size: refused before a byte is written.
    fault("server_understates_length", "The server announced 4096 bytes where the release has",
          {"length": 4096}),
    # A body without a length is stopped once it runs past the size the feed states.
    fault("feed_understates_size", "The download was larger than announced.",
          {"no_length": True}, feed="wrong_size"),
    # An HTML page in place of the archive: its length is not the feed's size.
    fault("server_sends_html", "The server announced 107 bytes where the release has",
          {"html": True}),
    # An archive that is not what its entry promises is refused before anything is unpacked.
    *(row(f"archive_{how}", DAMAGED,
          {"integrity": {TGZ: how}}) for how in ("wrong_sha256", "foreign_signature")),
    # A certificate from an authority the system does not trust, on the feed's host or on the
    # archive's own: with optional signatures TLS is all that vouches for the archive.
    row("feed_untrusted_certificate", BUSY, {"untrusted": [443]}, asked=[]),
    row("archive_untrusted_certificate", "The download failed: SSL handshake failed",
        {"feed": "elsewhere", "untrusted": [8443]}, asked=[FEED]),
    # The archive: anything but one bundle at the top, with members that stay inside, ends
    # silently, and a hostile member keeps the whole archive from being unpacked. Each kind of
    # hostile or broken member, in both forms, is the platform's archive tests' part; here the
    # road of one of each ending.
    *(archive(kind) for kind in ("tgz_empty", "tgz_symlink")),
    archive("tgz_nested"),
    archive("tgz_two", INSTALLED),
    # The disk.
    archive("tgz_padded", DISK_FULL, needs={"tmp_size": 1 << 20}),
    row("applications_full", DISK_FULL, needs={"applications_size": 1 << 16}),
    # Where the player may not write /Applications, or there is none, the client is theirs alone
    # in ~/Applications: nobody is asked for a password.
    row("applications_of_another_user", INSTALLED, needs={"foreign_applications": True},
        home=True),
    row("no_applications", INSTALLED, needs={"applications": False}, home=True),
    # An old bundle in the place is swapped for the whole new one.
    row("install_over_old", INSTALLED, client="old"),
    # The client.
    archive("tgz_broken", (NOT_STARTED[0], NOT_STARTED[1].format(code=2)), lands=True),
    row("client_installed", HANDED_OFF, {"faults": {FEED: {"status": 503}}}, asked=[],
        client="installed"),
    # A build that requires signatures takes the feed only as the store signed it, not past its
    # expiry nor older than the feed the downloader was stamped with, and no unsigned release.
    signed("install", INSTALLED, asked=(FEED, SIGNATURE, TGZ)),
    signed("feed_unsigned", BUSY, {"feed_signature": "none"}, "appcast.xml.sig could not be read"),
    *(signed(f"feed_{name}", BUSY, {"feed_signature": how}, "verifies under none of the 1")
      for name, how in (("foreign_key", "foreign"), ("changed_after_signing", "changed"))),
    signed("feed_expired", BUSY, {"feed_expires_days": -2}, "it expired on"),
    signed("feed_below_stamped_serial", BUSY, why=f"feedSerial {FEED_SERIAL} is below",
           floor=FEED_SERIAL + 1),
    signed("release_unsigned", BUSY, {"integrity": {TGZ: "unsigned"}}, "has no ed25519Signature"),
    # Real server software. nginx in place of the store, its feed compressed (chunked on
    # HTTP/1.1), over each TLS version alone; its worker killed mid-archive, the rest asked for.
    row("nginx_tls12", INSTALLED, nginx={"tls": "TLSv1.2"}, answers=("TLSv1.2", "HTTP/1.1")),
    row("nginx_tls13_http2", INSTALLED, nginx={"tls": "TLSv1.3", "http2": True},
        answers=("TLSv1.3", "HTTP/2.0")),
    row("nginx_worker_killed", INSTALLED, {"files": {TGZ: "tgz_padded"}}, ranges=1,
        nginx={"rate": 1 << 20}, answers=("TLSv1.3", "HTTP/1.1"), kill_worker=True),
    # squid as the session's proxy: the feed and the archive go through its tunnels.
    row("through_proxy", INSTALLED, proxy=True),
]
ROWS = {r["name"]: r for r in ROWS}


def play(checks, desktop, name):
    from pathlib import Path

    import pyatspi
    import servers
    import world
    from road_session import HELPER_NOTIFICATION, INSTALL_PROMPT, TITLE, Session
    from world import APPLICATIONS, CLIENT, DIST, HOME

    row, end = ROWS[name], ROWS[name]["end"]
    session = Session(checks)
    if "nginx" in row:
        served = servers.start_nginx(row["store"], **row["nginx"])
        checks.keep(served.answers_path)
        checks.keep(served.log_path)
    else:
        served = session.start_store(row["store"])
    proxy = servers.start_squid() if row.get("proxy") else None
    if row.get("client") == "installed":
        world.place_bundle(CLIENT, APPLICATIONS)
    elif row.get("client") == "old":
        world.place_bundle(world.DOWNLOADER, APPLICATIONS, CLIENT)
    before = world.tree(APPLICATIONS)
    if "floor" in row:
        downloader = stamped_with_floor(checks, row["floor"])
    else:
        downloader = session.place_downloader("Game.K7.V9.app")
    program = session.run_downloader(downloader, env=proxy and proxy.env)

    if end == HANDED_OFF:
        checks.equal("windows the downloader showed", desktop.titles_while_running(program), set())
    else:
        prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
        checks.check("pressing Download & Install", prompt.press("Download & Install"))
    if row.get("kill_worker"):
        def downloaded():
            return sum(f.stat().st_size for f in Path("/tmp").glob("QBYDownloader-*/*"))
        checks.require("a quarter MiB of the archive is on disk",
                       world.wait_until(lambda: downloaded() >= 1 << 18, 20))
        served.kill_worker()
    if end == CANCEL:
        window = desktop.wait_for_window(TITLE, pid=program.process.pid, having=lambda w: (
            w.has_role(pyatspi.ROLE_PROGRESS_BAR) and "Cancel download" in w.buttons()))
        checks.require("the download window is up", window is not None)
        checks.require(f"{row['cancel']} is asked for",
                       world.wait_until(lambda: row["cancel"] in asked(served), 10))
        desktop.screenshot("downloading", window)
        checks.check("pressing Cancel", window.press("Cancel download"))
        session.ends(program, timeout=5)
    elif end not in (INSTALLED, HANDED_OFF, SILENT):
        texts = (DOWNLOAD_FAILED, end) if isinstance(end, str) else end
        sheet = session.alert(desktop, program, texts[1].split("\n")[0],
                              timeout=row.get("wait", 30))
        checks.equal("the message", sheet.texts()[:1], [texts[0]])
        checks.check(f"the text: {sheet.texts()[1:]}", texts[1] in "".join(sheet.texts()[1:2]))
        checks.equal("the button", sheet.buttons(), ["Quit"])
        desktop.screenshot("sheet", sheet)
        checks.check("pressing Quit", sheet.press("Quit"))
        session.ends(program, timeout=10)
    else:
        session.ends(program, timeout=60)

    handed = end in (INSTALLED, HANDED_OFF)
    home = row.get("home", False)
    installed_at = (world.USER_APPLICATIONS if home else APPLICATIONS) / CLIENT
    checks.equal("the store was asked for", asked(served), row["asked"])
    if "ranges" in row:
        archive_asked = [e for e in served.events() if e["path"] == TGZ]
        checks.equal("requests for a Range", sum("Range" in e["headers"] for e in archive_asked),
                     row["ranges"])
    if row.get("lean"):
        answers = [e for e in served.events("answered") if e["path"] == TGZ]
        size, sent = max(e["length"] for e in answers), sum(e["bytes"] for e in answers)
        checks.check(f"archive bytes sent {sent} within 1 % of its {size}", sent <= size * 1.01)
    if handed:
        checks.check("the client runs",
                     world.wait_until(lambda: world.client_started(installed_at), 10))
        session.check_handed_over({"K7": "V9"})
        checks.equal("notifications", [p[2] for p in session.posted()],
                     [HELPER_NOTIFICATION] if end == HANDED_OFF else [])
    else:
        session.check_waiting({"K7": "V9"})
        checks.check("no client runs", not world.client_started())
    kept = [downloader.name, downloader.with_suffix(".zip").name] if not handed else []
    checks.equal("Downloads holds the downloader and its zip or nothing", world.downloads(), kept)
    if (end == INSTALLED and not home) or row.get("lands"):
        checks.equal("/Applications", world.applications(), [CLIENT])
    else:
        checks.check("/Applications as it was", world.tree(APPLICATIONS) == before)
    if home:
        checks.equal("~/Applications", world.listing(world.USER_APPLICATIONS), [CLIENT])
    if end == INSTALLED or row.get("lands"):
        checks.check("the bundle installed is the client (not an old bundle left in place)",
                     (installed_at / "Contents/Info.plist").read_bytes()
                     == (DIST / CLIENT / "Contents/Info.plist").read_bytes())
    if end == INSTALLED:
        check_entry(checks, world.USER_ENTRY, world.executable_of(installed_at))
    escaped = [p for p in (HOME / "escaped", Path("/tmp/escaped")) if p.exists()]
    checks.equal("files an archive left outside its folder", escaped, [])
    checks.equal("download folders left in /tmp",
                 sorted(p.name for p in Path("/tmp").glob("QBYDownloader-*")), [])
    # The default build trusts the local store's test key, and says so once; the signed one not.
    checks.equal("warnings of the test key",
                 program.stderr().count("trusts the local store's test key"),
                 0 if row.get("needs", {}).get("signed") else 1)
    if "answers" in row:
        check_answers(checks, served, *row["answers"])
    if proxy:
        proxy.stop()  # squid logs a tunnel once it closes
        tunnels = proxy.tunnels()
        checks.check(f"the downloader went through the proxy: {tunnels}",
                     tunnels and set(tunnels) == {"www.quillbay.com:443"})
    if row.get("why"):
        checks.check(f"the log says why: {row['why']}", any(
            "Release feed unusable: " in line and row["why"] in line
            for line in program.stderr().splitlines()))


def stamped_with_floor(checks, floor):
    """The downloader as the store's tool stamps it, with the serial of its current feed."""
    import plistlib
    from pathlib import Path

    from stamp_roads import stamped_bundle
    feed = Path("/tmp/current-appcast.xml")
    feed.write_bytes(plistlib.dumps({"downloader": [], "feedSerial": floor}))
    return stamped_bundle(checks, {"arguments": ["--feed", str(feed), "K7=V9"],
                                   "bundle": "Game.K7.V9.app"})


def check_answers(checks, served, tls, protocol):
    """Every answer nginx logged went over that TLS version and HTTP version; the feed's was
    compressed, and chunked where HTTP/1.1 has no other way to end a body without a length; a
    resumed archive was asked for from its validator."""
    answers = served.events()
    checks.equal("TLS and HTTP versions", {(a["tls"], a["protocol"]) for a in answers},
                 {(tls, protocol)})
    feed = [(a["encoding"], a["transfer"]) for a in answers if a["path"] == FEED]
    checks.equal("the feed's encoding", feed,
                 [("gzip", "chunked" if protocol == "HTTP/1.1" else "")])
    resumed = [a for a in answers if a["headers"].get("Range")]
    checks.check("each resumed answer is a 206 to an If-Range",
                 all(a["status"] == "206" and a["headers"].get("If-Range") for a in resumed))


def check_entry(checks, entry, executable):
    """The client's desktop entry: there, starting that executable, valid."""
    import subprocess
    checks.require(f"{entry} exists", entry.is_file())
    checks.check(f"it starts {executable}", f'Exec="{executable}"' in entry.read_text())
    valid = subprocess.run(["desktop-file-validate", str(entry)], capture_output=True, text=True)
    checks.equal("desktop-file-validate", (valid.returncode, valid.stdout), (0, ""))


def asked(served):
    """The paths the store was asked for, each once, in order; http ones with their scheme."""
    return list(dict.fromkeys(p.removeprefix("https:") for p in served.paths()))

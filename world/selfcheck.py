"""The world's checks of itself. The sandbox, with the alert probe: the isolation promised to
the roads, the display and the accessibility bus, a button pressed by its name, a screenshot.
The local store: trusted by curl and by Qt without any option, and each fault it can answer with
seen as a client sees it."""

import os
import plistlib
import re
import subprocess
import tarfile
import time
from pathlib import Path

import store
import world
from road import OLD_KERNEL

ALERT_PROBE = "/probe/qby_e2e_alert_probe"
FETCH_PROBE = "/probe/qby_e2e_fetch_probe"

TITLE = "Probe Alert"
MESSAGE = "Something needs an answer."
INFORMATIVE = "Pick one of the two buttons.\n\nError 13"
BUTTONS = ["Download & Install", "Quit"]


def sandbox(checks, desktop):
    checks.step("isolation")
    checks.equal("the user and HOME", (os.getuid(), os.environ.get("USER"), str(Path.home())),
                 (4242, "player", "/home/player"))
    checks.check("no capability of root's (a 0555 folder stays closed)",
                 int(re.search(r"CapEff:\s*([0-9a-f]+)", Path("/proc/self/status").read_text())
                     .group(1), 16) == 0)
    checks.equal("/Applications is private and empty", os.listdir("/Applications"), [])
    checks.check("nothing of the host's /work is visible", not Path("/work").exists())
    interfaces = [line.split(":")[0].strip() for line in
                  Path("/proc/net/dev").read_text().splitlines()[2:]]
    checks.equal("network interfaces", interfaces, ["lo"])
    checks.check("the kernel release override is in place",
                 Path("/proc/sys/kernel/osrelease").read_text().strip() == OLD_KERNEL)
    checks.equal("the store host resolves to the loopback",
                 subprocess.run(["getent", "hosts", "www.quillbay.com"], capture_output=True,
                                text=True).stdout.split()[:1], ["127.0.0.1"])
    checks.check("the session bus answers", "org.freedesktop.DBus" in world.bus_names())
    checks.check("the accessibility bus is up", world.wait_until(
        lambda: "org.a11y.Bus" in world.bus_names(), 5))

    checks.step("an alert read and answered over the accessibility bus")
    probe = world.Program(ALERT_PROBE, "probe", [TITLE, MESSAGE, INFORMATIVE, *BUTTONS])
    alert = desktop.wait_for_window(TITLE, timeout=10)
    checks.require("the alert appears", alert is not None, probe.stderr)
    checks.equal("its texts", alert.texts(), [MESSAGE, INFORMATIVE])
    checks.equal("its buttons", alert.buttons(), BUTTONS)
    shot = desktop.screenshot("alert", alert)
    checks.check(f"screenshot {shot}", shot is not None)
    checks.check("pressing the second button by its name", alert.press("Quit"))
    checks.equal("the probe ends", probe.wait(10), 0)
    checks.equal("the probe saw that button", probe.stdout_path.read_text().strip(), "Quit")



def _curl(url, *options):
    """curl's exit status, the response headers (lower-case names) and the body's bytes."""
    out = subprocess.run(["curl", "-sS", "--max-time", "3", "-D", "/tmp/headers", "-o",
                          "/tmp/body", *options, url], capture_output=True)
    headers = {}
    if Path("/tmp/headers").exists():
        for line in Path("/tmp/headers").read_text("latin-1").splitlines()[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
    body = Path("/tmp/body").read_bytes() if Path("/tmp/body").exists() else b""
    for leftover in ("/tmp/headers", "/tmp/body"):
        Path(leftover).unlink(missing_ok=True)
    return out.returncode, headers, body


TGZ = store.ORIGIN + store.TGZ_PATH
MIRROR_PATH = "/downloader/mirror/Quillbay.tgz"
# Each fault as curl meets it: its exit status (0 fine, 7 no connection, 18 body cut short,
# 22 HTTP error, 28 timed out) and what the answer shows.
FAULTS = [
    {"scenario": {"faults": {store.TGZ_PATH: {"status": 503}}}, "curl": 22, "options": ["-f"]},
    {"scenario": {"faults": {store.TGZ_PATH: {"truncate": 1000}}}, "curl": 18, "bytes": 1000},
    {"scenario": {"faults": {store.TGZ_PATH: {"stall": 1000}}}, "curl": 28, "bytes": 1000},
    {"scenario": {"faults": {store.TGZ_PATH: {"silent": True}}}, "curl": 28, "bytes": 0},
    {"scenario": {"faults": {store.TGZ_PATH: {"no_length": True}}}, "curl": 0,
     "header": ("content-length", None), "whole": True},
    {"scenario": {"faults": {store.TGZ_PATH: {"gzip": True}}}, "curl": 0,
     "header": ("content-encoding", "gzip"), "whole": True},
    {"scenario": {"faults": {store.TGZ_PATH: {"html": True}}}, "curl": 0,
     "header": ("content-type", "text/html; charset=utf-8")},
    {"scenario": {"faults": {store.TGZ_PATH: {"redirect": "http://www.quillbay.com"
                                                          + store.TGZ_PATH}}},
     "curl": 0, "options": ["-L"], "whole": True, "asked": ["https:" + store.TGZ_PATH,
                                                             "http:" + store.TGZ_PATH]},
    {"scenario": {"files": {MIRROR_PATH: "tgz"},
                  "faults": {store.TGZ_PATH: {"redirect": store.ORIGIN + MIRROR_PATH}}},
     "curl": 0, "options": ["-L"], "whole": True,
     "asked": ["https:" + store.TGZ_PATH, "https:" + MIRROR_PATH]},
    {"scenario": {"faults": {store.FEED_PATH: {"rate": 1000}}}, "curl": 0,
     "url": store.ORIGIN + store.FEED_PATH, "slower_than": 0.25},
    {"scenario": {"listen": False}, "curl": 7},
]
# Feeds as the downloader reads them: the root and the URLs of the entries, in feed order.
FEEDS = [
    {"feed": "tgz", "root": dict, "urls": [TGZ]},
    {"feed": "choice", "root": dict, "urls": [store.ORIGIN + store.ZIP_PATH, TGZ,
                                              store.ORIGIN + "/downloader/future.tgz"]},
    {"feed": "root_array", "root": list, "urls": None},
    {"feed": "empty", "root": dict, "urls": []},
    {"feed": "no_url", "root": dict, "urls": [None, TGZ]},
    {"feed": "no_size", "root": dict, "urls": [TGZ], "sizes": [None]},
    {"feed": "not_plist", "root": None, "urls": None},
]


def store_check(checks, desktop):
    checks.step("the store trusted as the system's own, by curl and by Qt")
    served = world.start_store()
    status, headers, feed = _curl(store.ORIGIN + store.FEED_PATH)
    checks.equal("curl fetches the feed over https", status, 0)
    entries = plistlib.loads(feed).get("downloader", []) if status == 0 else []
    checks.equal("the feed's release", [e.get("url") for e in entries], [TGZ])
    status, _, tgz = _curl(TGZ)
    checks.equal("curl fetches the tgz", status, 0)
    checks.equal("the feed announces its size", [e.get("downloadSizeInBytes") for e in entries],
                 [len(tgz)])
    with open("/tmp/store.tgz", "wb") as f:
        f.write(tgz)
    with tarfile.open("/tmp/store.tgz") as archive:
        top = {name.split("/")[0] for name in archive.getnames()}
    checks.equal("the tgz holds the client bundle at its top", top, {world.CLIENT})
    probe = subprocess.run([FETCH_PROBE, store.ORIGIN + store.ZIP_PATH, "/tmp/store.zip"],
                           capture_output=True, text=True, timeout=30)
    checks.equal("Qt fetches the zip over https", probe.returncode, 0)
    listing = subprocess.run(["unzip", "-Z1", "/tmp/store.zip"], capture_output=True, text=True)
    checks.check(f"the zip holds {world.CLIENT}/Contents/Info.plist",
                 f"{world.CLIENT}/Contents/Info.plist" in listing.stdout.splitlines(),
                 probe.stderr)
    checks.equal("what the store was asked", served.paths(),
                 ["https:" + p for p in (store.FEED_PATH, store.TGZ_PATH, store.ZIP_PATH)])
    served.stop()

    checks.step("each fault, as curl meets it")
    for row in FAULTS:
        served = world.start_store(row["scenario"])
        started = time.monotonic()
        status, headers, body = _curl(row.get("url", TGZ), *row.get("options", []))
        took = time.monotonic() - started
        name = row["scenario"]
        checks.equal(f"{name}: curl's status", status, row["curl"])
        if "bytes" in row:
            checks.equal(f"{name}: bytes received", len(body), row["bytes"])
        if "header" in row:
            checks.equal(f"{name}: {row['header'][0]}", headers.get(row["header"][0]),
                         row["header"][1])
        if row.get("whole"):
            checks.check(f"{name}: the whole archive, unchanged", body == tgz)
        if "asked" in row:
            checks.equal(f"{name}: what the store was asked", served.paths(), row["asked"])
        if "slower_than" in row:
            checks.check(f"{name}: took {took:.2f} s", took > row["slower_than"])
        served.stop()

    checks.step("the feeds, as a property-list reader sees them")
    for row in FEEDS:
        served = world.start_store({"feed": row["feed"]})
        status, _, body = _curl(store.ORIGIN + store.FEED_PATH)
        try:
            root = plistlib.loads(body)
        except Exception:
            root = None
        checks.equal(f"{row['feed']}: the root's type", type(root) if root is not None else None,
                     row["root"])
        if row["urls"] is not None and isinstance(root, dict):
            checks.equal(f"{row['feed']}: the entries' urls",
                         [e.get("url") for e in root["downloader"]], row["urls"])
        if "sizes" in row and isinstance(root, dict):
            checks.equal(f"{row['feed']}: the entries' sizes",
                         [e.get("downloadSizeInBytes") for e in root["downloader"]], row["sizes"])
        served.stop()

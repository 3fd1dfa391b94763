"""Downloaders stamped by the store's tool (/tools/qby-stamp-downloader, from /dist's bundle) as
a purchase gets them: each, started from Downloads, hands its request to the running client;
on a stock desktop without a client, the stamped zip offers to install it."""

import subprocess
from pathlib import Path

import world
from road_session import INSTALL_PROMPT, Session
from world import APPLICATIONS, CLIENT, DOWNLOADS

WORLD_LIBRARIES = "/run/world-libraries"  # the full library folder, for the world's tools alone
# The tool's request arguments and the bundle the customer starts (unzipped first, if zipped).
STAMPED = {
    "stamped_zip": {"arguments": ["K7=V9"], "bundle": "Game.K7.V9.app", "expect": {"K7": "V9"}},
    "stamped_request_file": {"arguments": ["--request-file", "title=abc", "lang=en"],
                             "bundle": "Game.app", "expect": {"title": "abc", "lang": "en"}},
}


def stamped_bundle(checks, row):
    """The tool's downloader in Downloads, unzipped as a customer's file manager would."""
    DOWNLOADS.mkdir(parents=True, exist_ok=True)
    made = subprocess.run(["/tools/qby-stamp-downloader", "-g", "Game", "-o", str(DOWNLOADS),
                           *row["arguments"]], capture_output=True, text=True)
    checks.require("the tool stamps the downloader", made.returncode == 0, made.stderr)
    bundle = DOWNLOADS / row["bundle"]
    if bundle.with_suffix(".zip").exists():
        unzipped = subprocess.run(["unzip", "-q", str(bundle.with_suffix(".zip")), "-d",
                                   str(DOWNLOADS)], capture_output=True, text=True)
        checks.require("its zip unpacks", unzipped.returncode == 0, unzipped.stderr)
    return bundle


def stamped(checks, desktop, name):
    row = STAMPED[name]
    session = Session(checks)
    session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    bundle = stamped_bundle(checks, row)
    session.ends(session.run_downloader(bundle))
    session.check_handed_over(row["expect"])
    checks.equal("left in Downloads (bundle, zip and request file gone)", world.downloads(), [])


def stock_desktop(checks, desktop, with_client):
    """The stamped zip on a desktop whose library folder holds only the base set (the road's
    sandbox): the client and the downloader start from the libraries they carry."""
    row = STAMPED["stamped_zip"]
    session = Session(checks)
    if with_client:
        session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    program = session.run_downloader(stamped_bundle(checks, row))
    if with_client:
        session.ends(program)
        session.check_handed_over(row["expect"])
        return
    prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
    session.check_alert(prompt, INSTALL_PROMPT, ["Download & Install", "Quit"])
    maps = (Path("/proc") / str(program.process.pid) / "maps").read_text()
    checks.equal("libraries the downloader took from the world's own folder",
                 sorted({line.split()[-1] for line in maps.splitlines()
                         if WORLD_LIBRARIES in line}), [])
    desktop.screenshot("install-prompt", prompt)
    checks.check("pressing Quit", prompt.press("Quit"))
    session.ends(program)

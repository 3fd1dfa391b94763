"""Downloaders stamped by the store's tool (/tools/qby-stamp-downloader, from /dist's bundle) as
a purchase gets them: each, started from Downloads, hands its request to the running client."""

import subprocess

import world
from road_session import Session
from world import APPLICATIONS, CLIENT, DOWNLOADS

# The tool's request arguments and the bundle the customer starts (unzipped first, if zipped).
STAMPED = {
    "stamped_zip": {"arguments": ["K7=V9"], "bundle": "Game.K7.V9.app", "expect": {"K7": "V9"}},
    "stamped_request_file": {"arguments": ["--request-file", "title=abc", "lang=en"],
                             "bundle": "Game.app", "expect": {"title": "abc", "lang": "en"}},
}


def stamped(checks, desktop, name):
    row = STAMPED[name]
    session = Session(checks)
    session.start_client(world.place_bundle(CLIENT, APPLICATIONS))
    DOWNLOADS.mkdir(parents=True, exist_ok=True)
    made = subprocess.run(["/tools/qby-stamp-downloader", "-g", "Game", "-o", str(DOWNLOADS),
                           *row["arguments"]], capture_output=True, text=True)
    checks.require("the tool stamps the downloader", made.returncode == 0, made.stderr)
    bundle = DOWNLOADS / row["bundle"]
    if bundle.with_suffix(".zip").exists():
        unzipped = subprocess.run(["unzip", "-q", str(bundle.with_suffix(".zip")), "-d",
                                   str(DOWNLOADS)], capture_output=True, text=True)
        checks.require("its zip unpacks", unzipped.returncode == 0, unzipped.stderr)
    session.ends(session.run_downloader(bundle))
    session.check_handed_over(row["expect"])
    checks.equal("left in Downloads (bundle, zip and request file gone)", world.downloads(), [])

"""The table of the downloader's end-to-end roads and what each needs from the sandbox; the
world's `run` reads it (world/run --table tests/e2e/roads.py ROAD)."""

import install_rows
from road import BUNDLES, OLD_KERNEL, Road

ROADS = {
    "client_running": Road("downloader_roads.client_running"),
    "client_installed": Road("downloader_roads.client_installed"),
    "client_frozen": Road("downloader_roads.client_frozen"),
    "client_broken_missing": Road("downloader_roads.client_broken_missing"),
    "client_absent": Road("downloader_roads.client_absent", store=True),
    "too_old": Road("downloader_roads.too_old", kernel_release=OLD_KERNEL),
    "read_only_bundle": Road("downloader_roads.read_only_bundle", read_only_copy="Game.app"),
    "hostile_name": Road("downloader_roads.hostile_name"),
}

ROADS.update({
    row["road"]: Road("install_roads.install", store=True, given=(row["road"],),
                      consent=row.get("consent", ""),
                      root_owned=((BUNDLES[0], "Quillbay.app"),) if row.get("old") else ())
    for row in install_rows.INSTALLS})

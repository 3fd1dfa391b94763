"""The world's own roads: its self-checks, and the roads scripts/demo shows. Each demo road
comes twice: answered by the demo itself on a private display, and (demo_*) by a person on the
host's display."""

from road import OLD_KERNEL, Road

ROADS = {
    "sandbox": Road("selfcheck.sandbox", needs_dist=False, kernel_release=OLD_KERNEL),
    "store": Road("selfcheck.store_check", store=True),
    "running": Road("demo_roads.running"),
    "installed": Road("demo_roads.installed"),
    # The main job on a stock system: no /Applications, so the client is installed for the
    # player alone, in ~/Applications, with no password asked.
    "install": Road("demo_roads.install", store=True, applications=False),
    "demo_running": Road("demo_roads.running", interactive=True),
    "demo_installed": Road("demo_roads.installed", interactive=True),
    "demo_install": Road("demo_roads.install", interactive=True, store=True, applications=False),
}

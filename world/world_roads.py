"""The world's own roads: its self-checks, and the roads scripts/demo shows. Each demo road
comes twice: answered by the demo itself on a private display, and (demo_*) by a person on the
host's display."""

from road import BUNDLES, OLD_KERNEL, Road

CLIENT = BUNDLES[1]

ROADS = {
    "sandbox": Road("selfcheck.sandbox", needs_dist=False, kernel_release=OLD_KERNEL),
    "store": Road("selfcheck.store_check", store=True),
    "privileged": Road("selfcheck.privileged", consent="yes", root_owned=(CLIENT,)),
    "privileged_refused": Road("selfcheck.privileged", consent="no", root_owned=(CLIENT,)),
    "running": Road("demo_roads.running"),
    "installed": Road("demo_roads.installed"),
    # The main job on a stock system: no /Applications; an administrator consents once (the
    # privileged sandbox), or, on the host's display where none can, the user's own install.
    "install": Road("demo_roads.install", store=True, consent="yes", applications=False),
    "demo_running": Road("demo_roads.running", interactive=True),
    "demo_installed": Road("demo_roads.installed", interactive=True),
    "demo_install": Road("demo_roads.install", interactive=True, store=True, applications=False),
}

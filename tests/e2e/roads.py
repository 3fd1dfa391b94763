"""The table of the downloader's end-to-end roads and what each needs from the sandbox; the
world's `run` reads it (world/run --table tests/e2e/roads.py ROAD)."""

import fault_matrix
import stamp_roads
from road import OLD_KERNEL, Road

ROADS = {
    "client_running": Road("downloader_roads.client_running"),
    "client_frozen": Road("downloader_roads.client_frozen"),
    "too_old": Road("downloader_roads.too_old", kernel_release=OLD_KERNEL),
    "hostile_name": Road("downloader_roads.hostile_name"),
    "resumed_after_restart": Road("downloader_roads.resumed_after_restart", store=True),
    "two_at_once": Road("downloader_roads.two_at_once", store=True),
    "display.wayland_only": Road("display_roads.wayland_only"),
    "display.none": Road("display_roads.no_display"),
}

ROADS.update({
    f"matrix.{name}": Road("fault_matrix.play", store=True, given=(name,),
                           **row.get("needs", {}))
    for name, row in fault_matrix.ROWS.items()})

ROADS.update({name: Road("stamp_roads.stamped", tools=True, given=(name,))
              for name in stamp_roads.STAMPED})
# Started where the system's library folder holds only what every desktop has.
ROADS.update({f"stock_desktop.{name}": Road("stamp_roads.stock_desktop", tools=True,
                                            base_libraries_only=True, given=(with_client,))
              for name, with_client in (("client_running", True), ("no_client", False))})

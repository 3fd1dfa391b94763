"""The install road's rows: the store's scenario, what the downloader shows, and what is left
behind. Read on the host (by roads.py) and inside the sandbox (by install_roads.py), so it
imports nothing of the desktop.

  store     the local store's scenario (world/store.py)
  sheet     the informative text of the sheet that ends the road (None: the road ends silently)
  cancel    press Cancel once the download has begun
  consent   the privileged sandbox, polkit answering pkexec "yes" or "no"
  old       an older bundle already at /Applications/Quillbay.app, owned by root, that is not the
            client (an identifier of its own), so the downloader takes the install road (privileged
            rows)
  expect    what the road leaves: /Applications, whether the client runs, the downloader kept,
            whether the request still waits in the drop folder, and paths the store was asked"""

FEED = "/downloader/appcast.xml"
TGZ = "/downloader/Quillbay.tgz"
ZIP = "/downloader/Quillbay.zip"
BUSY = "The QBY servers may be busy or temporarily unavailable. Please try again later."
# The platform tells a body cut short by its announced length.
SHORT = "The server closed the connection after 4096 of"
DAMAGED = "The download was damaged. Please try again."

INSTALLED = {"applications": ["Quillbay.app"], "client_started": True, "downloader_kept": False,
             "request_waits": False}
NOTHING = {"applications": [], "client_started": False, "downloader_kept": True,
           "request_waits": True}


def feed_failure(road, store, asked=(FEED,)):
    return {"road": road, "store": store, "sheet": BUSY, "expect": dict(NOTHING, asked=list(asked))}


INSTALLS = [
    {"road": "install_tgz", "store": {"feed": "tgz"}, "expect": dict(INSTALLED, asked=[FEED, TGZ])},
    {"road": "install_zip", "store": {"feed": "zip"}, "expect": dict(INSTALLED, asked=[FEED, ZIP])},
    # 10.6 zip, 11.0 tgz and a 99.0 release: the newest that this system reaches is the tgz.
    {"road": "install_newest_fitting", "store": {"feed": "choice"},
     "expect": dict(INSTALLED, asked=[FEED, TGZ])},
    {"road": "install_gzip_encoded", "store": {"feed": "tgz", "faults": {TGZ: {"gzip": True}}},
     "expect": dict(INSTALLED, asked=[FEED, TGZ])},
    {"road": "install_no_length", "store": {"feed": "no_size", "faults": {TGZ: {"no_length": True}}},
     "expect": dict(INSTALLED, asked=[FEED, TGZ])},
    feed_failure("feed_unreachable", {"listen": False}, asked=()),
    feed_failure("feed_busy", {"faults": {FEED: {"status": 503}}}),
    feed_failure("feed_not_plist", {"feed": "not_plist"}),
    feed_failure("feed_root_array", {"feed": "root_array"}),
    feed_failure("feed_empty", {"feed": "empty"}),
    # The newest fitting entry has no url: no older entry is tried in its place.
    feed_failure("feed_entry_without_url", {"feed": "no_url"}),
    {"road": "download_truncated", "store": {"feed": "tgz", "faults": {TGZ: {"truncate": 4096}}},
     "sheet": SHORT, "expect": dict(NOTHING, asked=[FEED, TGZ])},
    # An archive that is not what its entry promises is refused before anything is unpacked.
    *({"road": f"download_{how}", "store": {"feed": "tgz", "integrity": {TGZ: how}},
       "sheet": DAMAGED, "expect": dict(NOTHING, asked=[FEED, TGZ])}
      for how in ("wrong_sha256", "foreign_signature")),
    {"road": "archive_without_bundle", "store": {"feed": "tgz", "files": {TGZ: "tgz_nested"}},
     "sheet": None, "expect": dict(NOTHING, asked=[FEED, TGZ])},
    {"road": "download_cancelled", "store": {"feed": "tgz", "faults": {TGZ: {"rate": 20000}}},
     "cancel": True, "expect": dict(NOTHING, asked=[FEED, TGZ])},
    {"road": "install_with_consent", "store": {"feed": "tgz"}, "consent": "yes",
     "expect": dict(INSTALLED, asked=[FEED, TGZ])},
    {"road": "install_over_root_owned_client", "store": {"feed": "tgz"}, "consent": "yes",
     "old": True, "expect": dict(INSTALLED, asked=[FEED, TGZ])},
    {"road": "install_consent_refused", "store": {"feed": "tgz"}, "consent": "no",
     "sheet": None, "expect": dict(NOTHING, asked=[FEED, TGZ])},
]

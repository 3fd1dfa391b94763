"""The local store: www.quillbay.com as the downloader sees it, inside the sandbox's network
namespace. HTTPS on port 443 with the keys of store_keys.py (the sandbox trusts their authority),
and the same content over plain HTTP on port 80, so that a redirect to http can be followed by
anyone who would follow it.

It serves the release feed, release archives made at start from /dist/Quillbay.app, and the
support page. The archives leave out the libraries and plugins the client carries (CARRIED):
they would make each archive some 30 MB and take seconds to pack for every road, and the
sandbox's system has them all (the stock desktop roads start the client from /dist instead).
A scenario (a dict, given as JSON) chooses what it answers:

  feed     a feed of FEEDS by name (default "tgz"), or {"plist": value} (any JSON value, written
           as an XML property list), or {"text": "..."} (served as it is)
  files    {path: kind of ARCHIVES}: more archives to serve, beside the default ones; a kind is
           a form and a content joined by "_": tgz_corrupt, zip_symlink and so on
  integrity  {path: how}: the "sha256" and "ed25519Signature" that the feed gives that archive
           (an entry's own values win; None: the entry has none); how is one of
             signed             (the default) its digest, signed with the local store's key
             wrong_sha256       the digest of other bytes, and the true signature
             foreign_signature  its digest, signed with a key made at start that no build trusts
             unsigned           its digest alone
             none               neither
  faults   {path: fault}: how one path is answered over HTTPS (plain HTTP always answers
           without faults); a fault is a dict of
             status: N        that HTTP status, with a short text body
             no_length: true  no Content-Length; the connection closes after the body
             gzip: true       announced as Content-Encoding gzip, type application/x-gzip (a
                              gzip archive as it is, anything else gzip-compressed)
             truncate: N      the full length announced, the body sent up to its byte N, then
                              the connection closes (on every try: a resumed one from beyond N
                              sends nothing)
             drops: [N, ...]  the first request cut as truncate does at byte N, the second at
                              the next N, and so on; later requests answered whole
             ignore_ranges: true  a Range asked for is ignored: always the whole body
             changed: true    the first request gets other bytes of the same length, with
                              another ETag, as if the file changed after it
             busy: N          the first N requests answered 503
             length: N        N announced as the length, the whole body sent, then the
                              connection closes
             stall: N         N bytes sent, then nothing, the connection held open
             silent: true     no answer at all, the connection held open
             redirect: URL    302 to URL
             html: true       an HTML page, status 200, in place of the content
             rate: N          at most N bytes a second
  feed_signature  how the feed is signed where the store has a release key of its own (a signed
           road: RELEASE_KEY), which then signs the archives too; appcast.xml.sig beside the
           feed, with "feedSerial" and "feedExpires" added to it; how is one of
             signed             (the default) its exact bytes, with the release key
             none               no signature: appcast.xml.sig is not found
             foreign            with a key made at start that no build trusts
             changed            signed, then a key added to the feed
  feed_serial  the feed's "feedSerial" (FEED_SERIAL)
  feed_expires_days  its "feedExpires", in days from now (30; below 0: passed)
  listen   false: nothing listens at all (an unreachable store)
  untrusted  [port, ...]: HTTPS on these ports shows a certificate for www.quillbay.com from an
           authority the sandbox does not trust: 443 (the feed's and archives' host) and 8443
           (an archive host of its own, which listens only then; the feed "elsewhere" names it)

Archives carry an ETag and a Last-Modified, and a request for "Range: bytes=N-" gets the rest
of the body from byte N (206) unless its If-Range names another version (200, the whole body);
one from beyond the end gets 416.

Every request is logged as a JSON line in RESULTS/store-requests.jsonl, once when it arrives
(event "request") and once when its answer ends (event "answered", with the bytes of the body
sent and the whole body's length).

  python3 store.py SCENARIO_JSON RESULTS    prints "ready" once both ports listen"""

import base64
import datetime
import gzip
import hashlib
import io
import json
import os
import plistlib
import shutil
import ssl
import subprocess
import sys
import tarfile
import threading
import time
import zipfile
from functools import cache
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

HOST = "www.quillbay.com"
ORIGIN = f"https://{HOST}"
FEED_PATH = "/downloader/appcast.xml"
SIGNATURE_PATH = FEED_PATH + ".sig"
FEED_SERIAL = 7
TGZ_PATH = "/downloader/Quillbay.tgz"
ZIP_PATH = "/downloader/Quillbay.zip"
OTHER_PORT = 8443
SUPPORT_PATH = "/support/"
CLIENT = "Quillbay.app"
DIST = Path("/dist")
KEYS = Path("/run/store-keys")
# Not /tmp: a road may give the sandbox a /tmp too small for the archives.
WORK = Path(os.environ.get("XDG_RUNTIME_DIR", "/tmp")) / "store"
ESCAPED = "escaped"  # the name that a hostile member would leave outside the download folder
# The local store's release signing key, a test key (world/README.md); on a signed road the key
# of the signed build instead, bound in by run.
SIGNING_KEY = Path(__file__).resolve().parent / "keys" / "local-store-ed25519.pem"
RELEASE_KEY = Path("/run/release-key.pem")


def signing_key():
    return RELEASE_KEY if RELEASE_KEY.exists() else SIGNING_KEY

# What an archive holds besides the bundle at the top, by the part of its kind after the form:
# bundles (paths), hostile members (name, symbolic link target or None for a file), an
# incompressible payload in the bundle (bytes), or raw bytes in place of any archive.
CONTENTS = {
    "": {},
    "renamed": {"bundles": ["Quillbay Store.app"]},  # any name ending in .app is the client
    "nested": {"bundles": [f"Quillbay/{CLIENT}"]},  # no .app at the top
    # the client, and a bundle without its executable that a listing may give first: the first
    # folder by name is taken
    "two": {"bundles": [CLIENT, "Store.app"], "broken": ["Store.app"]},
    "broken": {"broken": [CLIENT]},  # the bundle without its executable
    "empty": {"bundles": []},
    "corrupt": {"raw": b"\x1f\x8bPK\x03\x04" + bytes(range(256)) * 64},
    "absolute": {"hostile": [(f"{Path.home()}/{ESCAPED}", None)]},
    "dotdot": {"hostile": [(f"{CLIENT}/../../{ESCAPED}", None)]},
    "symlink": {"hostile": [(f"{CLIENT}/Contents/home", str(Path.home())),
                            (f"{CLIENT}/Contents/home/{ESCAPED}", None)]},
    "padded": {"payload": 4 * 1024 * 1024},
    "large": {"payload": 256 * 1024 * 1024},  # for timing a large download
}
ARCHIVES = [f"{form}_{content}".rstrip("_") for form in ("tgz", "zip") for content in CONTENTS]
DEFAULT_FILES = {TGZ_PATH: "tgz", ZIP_PATH: "zip"}


def release(path, minimum="10.6", cpu="i386 x86_64", **more):
    """A release entry for the archive at path. Its "downloadSizeInBytes" is the archive's own
    size unless more gives one; given as None, the entry has none."""
    return dict({"minimumSystemVersion": minimum, "supportedCPUTypes": cpu, "url": ORIGIN + path},
                **more)


# Feeds by name. The system's version on Linux is the macOS release of the kernel's year
# (a 2022 kernel, Debian 12's 6.1, is 13.0.0): 10.6 and 11.0 fit any recent system, 99.0 none.
FEEDS = {
    "tgz": {"downloader": [release(TGZ_PATH)]},
    "zip": {"downloader": [release(ZIP_PATH)]},
    "choice": {"downloader": [release(ZIP_PATH, "10.6"), release(TGZ_PATH, "11.0"),
                              release("/downloader/future.tgz", "99.0")]},
    "too_new": {"downloader": [release(TGZ_PATH, "99.0")]},
    "no_url": {"downloader": [{"minimumSystemVersion": "11.0"}, release(TGZ_PATH, "10.6")]},
    "no_size": {"downloader": [release(TGZ_PATH, downloadSizeInBytes=None)]},
    "wrong_size": {"downloader": [release(TGZ_PATH, downloadSizeInBytes=1000)]},
    # nothing listens on that port: the archive's server is dead, the feed's is not
    "dead_archive_server": {"downloader": [release(TGZ_PATH, url=f"{ORIGIN}:{OTHER_PORT}{TGZ_PATH}")]},
    # the archive on a host of its own (a scenario's "untrusted" makes it listen)
    "elsewhere": {"downloader": [release(TGZ_PATH, url=f"{ORIGIN}:{OTHER_PORT}{TGZ_PATH}")]},
    "root_array": [release(TGZ_PATH)],
    "downloader_dict": {"downloader": release(TGZ_PATH)},
    "empty": {"downloader": []},
    "not_plist": {"text": "this is not a property list\n"},
    "empty_body": {"text": ""},
}

SUPPORT_PAGE = b"<!doctype html><title>Quillbay Support</title><h1>Quillbay Support</h1>\n"
LAST_MODIFIED = "Mon, 07 Dec 2026 10:00:00 GMT"
HTML_PAGE = (b"<!doctype html><title>Quillbay</title><h1>We'll be back soon</h1>"
             b"<p>The store is down for maintenance.</p>\n")


# What the client carries for a stock desktop, relative to its bundle.
CARRIED = ("Contents/Frameworks", "Contents/PlugIns", "Contents/MacOS/qt.conf")


def _carried(folder, names):
    """copytree's ignore: the names in folder that belong to CARRIED."""
    relative = Path(folder).relative_to(DIST / CLIENT)
    return [name for name in names if str(relative / name) in CARRIED]


@cache
def archive(kind):
    """The bytes of an archive of that kind, made from the built client bundle."""
    form, _, content = kind.partition("_")
    made = CONTENTS[content]
    if "raw" in made:
        return made["raw"]
    stage = WORK / kind
    shutil.rmtree(stage, ignore_errors=True)
    stage.mkdir(parents=True)
    bundles = made.get("bundles", [CLIENT])
    for inside in bundles:
        (stage / inside).parent.mkdir(parents=True, exist_ok=True)
        shutil.copytree(DIST / CLIENT, stage / inside, symlinks=True, ignore=_carried)
        if inside in made.get("broken", ()):
            (stage / inside / "Contents/MacOS/Quillbay").unlink()
        if made.get("payload"):
            with open(stage / inside / "Contents/Resources/payload.bin", "wb") as payload:
                for _ in range(made["payload"] // (1 << 20)):
                    payload.write(os.urandom(1 << 20))
    tops = sorted({inside.split("/")[0] for inside in bundles})
    target = WORK / f"{kind}.{form}"
    if form == "tgz":
        plain = target.with_suffix(".tar")
        names = ["--", *tops] if tops else ["-T", "/dev/null"]
        subprocess.run(["tar", "-cf", str(plain), "-C", str(stage), *names], check=True)
        with tarfile.open(plain, "a") as tar:
            for name, link in made.get("hostile", []):
                _add_tar_member(tar, name, link)
        target.write_bytes(gzip.compress(plain.read_bytes(), mtime=0))
    else:
        if tops:
            subprocess.run(["zip", "-qry", str(target), "--", *tops], cwd=stage, check=True)
        with zipfile.ZipFile(target, "a") as zip_file:  # no bundle: an empty zip
            for name, link in made.get("hostile", []):
                _add_zip_member(zip_file, name, link)
    return target.read_bytes()


def _add_tar_member(tar, name, link):
    member = tarfile.TarInfo(name)  # as it is: tarfile's own add would strip a leading "/"
    body = f"written by an archive to {name}\n".encode()
    if link is not None:
        member.type, member.linkname, body = tarfile.SYMTYPE, link, b""
    member.size, member.mode = len(body), 0o777 if link else 0o644
    tar.addfile(member, io.BytesIO(body))


def _add_zip_member(zip_file, name, link):
    member = zipfile.ZipInfo(name)
    member.create_system = 3  # Unix: the mode below is read, and a link is made as one
    member.external_attr = (0o120777 if link else 0o100644) << 16
    zip_file.writestr(member, link or f"written by an archive to {name}\n")


@cache
def foreign_key():
    """An Ed25519 key made for this store alone: its signatures verify under no build's key."""
    path = WORK / "foreign-ed25519.pem"
    subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", str(path)], check=True)
    return path


def signature(kind, key):
    """The base64 Ed25519 signature of that archive's bytes by key (a PEM private key)."""
    return signature_of(archive(kind), key, kind)


def signature_of(body, key, name):
    """The base64 Ed25519 signature of body by key."""
    # From a file: openssl's one-shot signing must know the size, which an empty pipe cannot tell.
    message = WORK / f"{name}.signed"
    message.parent.mkdir(parents=True, exist_ok=True)
    message.write_bytes(body)
    signed = subprocess.run(["openssl", "pkeyutl", "-sign", "-rawin", "-inkey", str(key), "-in",
                             str(message)], check=True, stdout=subprocess.PIPE).stdout
    return base64.b64encode(signed).decode("ascii")


def integrity(kind, how):
    """The "sha256" and "ed25519Signature" of an entry for that archive, as how has them."""
    body = archive(kind)
    values = {"sha256": hashlib.sha256(body if how != "wrong_sha256" else b"x" + body).hexdigest()}
    if how in ("signed", "wrong_sha256"):
        values["ed25519Signature"] = signature(kind, signing_key())
    elif how == "foreign_signature":
        values["ed25519Signature"] = signature(kind, foreign_key())
    return {} if how == "none" else values


def feed_body(choice, files, hows=None, serial=FEED_SERIAL, expires_days=30):
    """The feed's bytes: a named or given property list, with the archives' sizes, digests and
    signatures filled in."""
    if isinstance(choice, str):
        choice = FEEDS[choice]
    if isinstance(choice, dict) and "text" in choice:
        return choice["text"].encode("utf-8")
    value = choice.get("plist") if isinstance(choice, dict) and "plist" in choice else choice
    value = json.loads(json.dumps(value))  # a copy to fill in

    entries = value.get("downloader") if isinstance(value, dict) else value
    for entry in entries if isinstance(entries, list) else []:
        if not isinstance(entry, dict):
            continue
        path = str(entry.get("url", "")).removeprefix(ORIGIN).removeprefix(f":{OTHER_PORT}")
        promised = integrity(files[path], (hows or {}).get(path, "signed")) if path in files else {}
        promised["downloadSizeInBytes"] = len(archive(files[path])) if path in files else None
        for key in ("downloadSizeInBytes", "sha256", "ed25519Signature"):
            if key not in entry and promised.get(key) is not None:
                entry[key] = promised[key]
            elif key in entry and entry[key] is None:
                del entry[key]
    if isinstance(value, dict) and RELEASE_KEY.exists():
        value.setdefault("feedSerial", serial)
        value.setdefault("feedExpires", datetime.datetime.now(datetime.timezone.utc).replace(
            microsecond=0, tzinfo=None) + datetime.timedelta(days=expires_days))
    return plistlib.dumps(value, fmt=plistlib.FMT_XML)


def signed_feed(feed, how):
    """(the feed's bytes, its signature file's or None) as how has them, on a signed road."""
    if not RELEASE_KEY.exists() or how == "none":
        return feed, None
    signed = signature_of(feed, foreign_key() if how == "foreign" else RELEASE_KEY, "feed")
    if how == "changed":  # still a feed the downloader could read, but not the one signed
        feed = feed.replace(b"<dict>", b"<dict>\n\t<key>changed</key><true/>", 1)
    return feed, (signed + "\n").encode("ascii")


class Store:
    def __init__(self, scenario, results):
        self.files = dict(DEFAULT_FILES, **scenario.get("files", {}))
        self.faults = scenario.get("faults", {})
        self.feed, self.signature = signed_feed(
            feed_body(scenario.get("feed", "tgz"), self.files, scenario.get("integrity"),
                      scenario.get("feed_serial", FEED_SERIAL),
                      scenario.get("feed_expires_days", 30)),
            scenario.get("feed_signature", "signed"))
        self.log = open(Path(results) / "store-requests.jsonl", "a", buffering=1)
        self.lock = threading.Lock()
        self.requests = {}

    def attempt(self, path):
        """How many requests for path came before this one."""
        with self.lock:
            count = self.requests.get(path, 0)
            self.requests[path] = count + 1
            return count

    def content(self, path):
        """(status, type, bytes) of a path without faults."""
        if path == FEED_PATH:
            return 200, "application/xml", self.feed
        if path == SIGNATURE_PATH and self.signature is not None:
            return 200, "text/plain", self.signature
        if path in self.files:
            kind = self.files[path]
            form = kind.partition("_")[0]
            return 200, "application/x-gzip" if form == "tgz" else "application/zip", archive(kind)
        if path == SUPPORT_PATH:
            return 200, "text/html; charset=utf-8", SUPPORT_PAGE
        return 404, "text/plain", b"not found\n"

    def note(self, **event):
        with self.lock:
            self.log.write(json.dumps(dict(event, time=time.time())) + "\n")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    store = None  # set before serving

    def log_message(self, format, *args):
        sys.stderr.write("store: " + format % args + "\n")

    def do_GET(self):
        scheme = "https" if isinstance(self.connection, ssl.SSLSocket) else "http"
        path = self.path.split("?")[0]
        fault = self.store.faults.get(path, {}) if scheme == "https" else {}
        self.store.note(event="request", scheme=scheme, path=self.path,
                        headers=dict(self.headers.items()))
        self.whole = 0
        sent, complete = 0, True
        try:
            sent, complete = self.answer(path, fault, self.store.attempt(path))
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            complete = False
        finally:
            self.store.note(event="answered", scheme=scheme, path=self.path, bytes=sent,
                            length=self.whole, complete=complete)

    def answer(self, path, fault, attempt):
        """Sends the answer for path as the fault has it to the request that came after attempt
        others for it; (bytes of body sent, all sent)."""
        if fault.get("silent"):
            _hold()
        if "redirect" in fault:
            return self.send(302, "text/plain", b"moved\n", {"Location": fault["redirect"]})
        if "status" in fault or attempt < fault.get("busy", 0):
            return self.send(fault.get("status", 503), "text/plain", b"the store is busy\n")
        status, kind, body = self.store.content(path)
        etag = _etag(body)
        if fault.get("changed") and attempt == 0:
            body, etag = bytes(reversed(body)), '"before"'
        if fault.get("html"):
            status, kind, body = 200, "text/html; charset=utf-8", HTML_PAGE
        extra = {}
        if fault.get("gzip"):
            if not body.startswith(b"\x1f\x8b"):
                body = gzip.compress(body)
            kind, extra["Content-Encoding"] = "application/x-gzip", "gzip"
        start = 0
        if status == 200 and path in self.store.files:
            extra.update({"ETag": etag, "Last-Modified": LAST_MODIFIED, "Accept-Ranges": "bytes"})
            wanted = self.headers.get("Range", "")
            current = self.headers.get("If-Range") in (None, etag, LAST_MODIFIED)
            if (wanted.startswith("bytes=") and wanted.endswith("-") and current
                    and not fault.get("ignore_ranges")):
                start = int(wanted[len("bytes="):-1])
                if start >= len(body):
                    return self.send(416, "text/plain", b"", {"Content-Range": f"bytes */{len(body)}"})
                status = 206
                extra["Content-Range"] = f"bytes {start}-{len(body) - 1}/{len(body)}"
        self.whole = len(body)
        cuts = [fault.get("truncate"), *fault.get("drops", [])[attempt:attempt + 1]]
        cuts = [max(0, cut - start) for cut in cuts if cut is not None]
        return self.send(status, kind, body[start:], extra, length=not fault.get("no_length"),
                         cut=min(cuts) if cuts else None, stall=fault.get("stall"),
                         rate=fault.get("rate"), announced=fault.get("length"))

    def send(self, status, kind, body, extra=None, length=True, cut=None, stall=None, rate=None,
             announced=None):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        for name, value in (extra or {}).items():
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body) if announced is None else announced))
        if not length or cut is not None or announced is not None:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        limit = len(body)
        for bound in (cut, stall):
            if bound is not None:
                limit = min(limit, bound)
        sent = 0
        chunk = max(1, rate // 10) if rate else 64 * 1024
        while sent < limit:
            piece = body[sent:min(limit, sent + chunk)]
            self.wfile.write(piece)
            self.wfile.flush()
            sent += len(piece)
            if rate:
                time.sleep(len(piece) / rate)
        if stall is not None:
            _hold()
        return sent, sent == len(body)


_ETAGS = {}


def _etag(body):
    """The body's ETag, worked out once per body: a 256 MiB archive is hashed at its first
    request, not again at every resumed one."""
    known = _ETAGS.get(id(body))
    if known is None or known[0] is not body:
        known = _ETAGS[id(body)] = (body, f'"{hashlib.sha256(body).hexdigest()[:16]}"')
    return known[1]


def _hold():
    """Keeps the connection open and silent until the client gives up or the store ends."""
    while True:
        time.sleep(3600)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def _secure(port, name):
    """An HTTPS server on port with the certificate and key name.pem and name.key."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(KEYS / f"{name}.pem", KEYS / f"{name}.key")
    server = Server(("127.0.0.1", port), Handler)
    # The handshake happens in each connection's own thread, so none can hold up the others.
    server.socket = context.wrap_socket(server.socket, server_side=True,
                                        do_handshake_on_connect=False)
    return server


def serve(scenario, results):
    Handler.store = Store(scenario, results)
    untrusted = scenario.get("untrusted", [])
    servers = [_secure(443, "untrusted" if 443 in untrusted else "server"),
               Server(("127.0.0.1", 80), Handler)]
    if OTHER_PORT in untrusted:
        servers.append(_secure(OTHER_PORT, "untrusted"))
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print("ready", flush=True)
    threading.Event().wait()


class Running:
    """A started store, as a road holds it."""

    def __init__(self, scenario, results):
        self.results = Path(results)
        self.log_path = self.results / "store.log"
        self.requests_path = self.results / "store-requests.jsonl"
        self.process = None
        # The log may hold the requests of stores started before this one.
        self.skip = len(self._lines())
        if scenario.get("listen", True):
            with open(self.log_path, "ab") as log:
                self.process = subprocess.Popen(
                    [sys.executable, __file__, json.dumps(scenario), str(self.results)],
                    stdout=subprocess.PIPE, stderr=log, stdin=subprocess.DEVNULL)
            ready = self.process.stdout.readline().strip() == b"ready"
            if not ready:
                raise RuntimeError(f"the store did not start: see {self.log_path}")

    def _lines(self):
        if not self.requests_path.exists():
            return []
        return self.requests_path.read_text("utf-8").splitlines()

    def events(self, event="request"):
        """This store's log entries of that event, in order."""
        return [e for e in map(json.loads, self._lines()[self.skip:]) if e["event"] == event]

    def paths(self):
        """The paths asked for, in order, with their scheme: ["https:/downloader/appcast.xml"]."""
        return [f"{e['scheme']}:{e['path']}" for e in self.events()]

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def start(scenario=None, results=Path("/results")):
    return Running(scenario or {}, results)


if __name__ == "__main__":
    WORK.mkdir(parents=True, exist_ok=True)
    os.umask(0o022)
    serve(json.loads(sys.argv[1]), sys.argv[2])

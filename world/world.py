"""The sandbox's files and processes as the roads arrange and read them: bundles copied from
/dist, the downloader and the store client started as a user would, the local store, the
notification drop folder, the client's request log and the session bus traffic."""

import json
import os
import plistlib
import re
import shutil
import subprocess
import time
from pathlib import Path

DIST = Path("/dist")
RESULTS = Path("/results")
HOME = Path.home()
DOWNLOADS = HOME / "Downloads"
APPLICATIONS = Path("/Applications")
DROP_FOLDER = HOME / ".local/share/quillbay.com/Notifications"
REQUEST_LOG = HOME / ".local/share/Quillbay/requests.jsonl"
DOWNLOADER = "QuillbayDownloader.app"
CLIENT = "Quillbay.app"
CLIENT_BUS_NAME = "com.quillbay.Client2"
USER_APPLICATIONS = HOME / "Applications"
ENTRY_NAME = "com.quillbay.Client2.desktop"
USER_ENTRY = HOME / ".local/share/applications" / ENTRY_NAME

OPENED_ADDRESSES = RESULTS / "opened-addresses"
# Where only the base libraries are present (sandbox --base-libraries-only), the world's own
# tools find the others through these; the programs under test must do without them.
WORLD_ONLY = ("LD_LIBRARY_PATH", "GI_TYPELIB_PATH", "MAGICK_CODER_MODULE_PATH",
              "MAGICK_CODER_FILTER_PATH")
# The programs' environment: accessibility on, and bin/xdg-open standing in for the browser.
SESSION_ENV = dict({k: v for k, v in os.environ.items() if k not in WORLD_ONLY},
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   PATH="/world/bin:" + os.environ.get("PATH", "/usr/bin"))
# Set where a person answers the windows on their own display (sandbox --host-display).
PERSON_ANSWERS = os.environ.get("QBY_PERSON_ANSWERS") == "1"


def wait_until(predicate, timeout, interval=0.02):
    """Polls predicate until it holds or timeout seconds pass; its last answer."""
    deadline = time.monotonic() + timeout
    while True:
        answer = predicate()
        if answer or time.monotonic() > deadline:
            return answer
        time.sleep(interval)


def executable_of(bundle):
    with open(bundle / "Contents/Info.plist", "rb") as f:
        return bundle / "Contents/MacOS" / plistlib.load(f)["CFBundleExecutable"]


def place_bundle(source_name, folder, name=None):
    """Copies a built bundle from /dist into folder, as name; its path."""
    target = Path(folder) / (name or source_name)
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copytree(DIST / source_name, target, symlinks=True)
    return target


def place_archive(bundle):
    """Puts the archive of the same name beside a bundle, as a browser would have left it."""
    archive = bundle.with_suffix(".zip")
    archive.write_bytes(b"PK\x05\x06" + bytes(18))
    return archive


def tree(path):
    """Relative paths and sizes below path: enough to tell whether it changed."""
    path = Path(path)
    return sorted((str(p.relative_to(path)), p.stat().st_size if p.is_file() else -1)
                  for p in path.rglob("*"))


class Program:
    """One started program, its output kept in /results/<log>.stdout and .stderr."""

    def __init__(self, executable, log, arguments=(), env=None):
        """env: variables to change in the session's environment, None to take one out."""
        self.log = log
        self.stdout_path = RESULTS / f"{log}.stdout"
        self.stderr_path = RESULTS / f"{log}.stderr"
        self.started = time.monotonic()
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            environment = {k: v for k, v in {**SESSION_ENV, **(env or {})}.items()
                           if v is not None}
            self.process = subprocess.Popen([str(executable), *arguments], env=environment, cwd=HOME,
                                            stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        self.ended = None

    def wait(self, timeout):
        """The exit status, or None when it still runs after timeout seconds."""
        try:
            status = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        if self.ended is None:
            self.ended = time.monotonic()
        return status

    def running(self):
        return self.process.poll() is None

    def stop(self):
        if self.running():
            self.process.kill()
            self.process.wait()

    def stderr(self):
        return self.stderr_path.read_text("utf-8", "replace")


def bus_names():
    out = subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
         "org.freedesktop.DBus.ListNames"], capture_output=True, text=True, timeout=10).stdout
    return re.findall(r'string "([^"]*)"', out)


def client_on_bus():
    return CLIENT_BUS_NAME in bus_names()


def start_client(bundle):
    """Starts the store client as the user would and waits until it owns its bus name."""
    client = Program(executable_of(bundle), "client")
    on_bus = wait_until(client_on_bus, 15)
    return client, on_bus


def processes_running(executable):
    """Pids of the processes of this sandbox whose executable is that file."""
    target = os.path.realpath(executable)
    pids = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if os.readlink(entry / "exe") == target:
                    pids.append(int(entry.name))
            except OSError:
                continue
    return pids


def listing(folder):
    """The names directly inside folder, sorted; none when it is absent."""
    folder = Path(folder)
    return sorted(p.name for p in folder.iterdir()) if folder.is_dir() else []


def applications():
    return listing(APPLICATIONS)


def downloads():
    return listing(DOWNLOADS)


def client_started(bundle=APPLICATIONS / CLIENT):
    """Whether the store client of that bundle runs (its processes) and owns its bus name."""
    executable = bundle / "Contents/MacOS" / executable_of(DIST / CLIENT).name
    return bool(processes_running(executable)) and client_on_bus()


def outcome(store=None):
    """What a road leaves behind, as one dict of which a table row can expect parts."""
    return {"applications": applications(), "downloads": downloads(),
            "drop_folder": [p.name for p in drop_files()], "client_started": client_started(),
            "store_asked": store.paths() if store else []}


def start_store(scenario=None):
    """The local store answering as www.quillbay.com with that scenario (see store.py)."""
    import store
    return store.start(scenario, RESULTS)


def drop_files():
    if not DROP_FOLDER.is_dir():
        return []
    return sorted(p for p in DROP_FOLDER.iterdir())


def read_plist(path):
    try:
        with open(path, "rb") as f:
            return plistlib.load(f)
    except Exception as error:
        return f"unreadable: {error}"


def recorded_requests():
    """The client's log of consumed requests, one parsed line each."""
    if not REQUEST_LOG.exists():
        return []
    lines = REQUEST_LOG.read_text("utf-8", "replace").splitlines()
    return [json.loads(line) for line in lines if line.strip()]


def opened_addresses():
    if not OPENED_ADDRESSES.exists():
        return []
    return OPENED_ADDRESSES.read_text("utf-8", "replace").splitlines()


def drop_folder_state():
    files = drop_files()
    return "\n".join(f"{p.name}: {read_plist(p)!r}" for p in files) or "(empty or absent)"


class BusMonitor:
    """Records the activations of applications and the distributed notifications on the bus."""

    RULES = ["type='method_call',interface='org.freedesktop.Application'",
             "type='signal',interface='com.quillbay.DistributedNotification'"]

    def __init__(self):
        self.path = RESULTS / "bus.log"
        self.out = open(self.path, "wb")
        self.process = subprocess.Popen(["dbus-monitor", "--session", "--monitor"] + self.RULES,
                                        stdout=self.out, stderr=subprocess.STDOUT)
        # The monitor is ready once the bus has told it that it became a monitor.
        wait_until(lambda: b"NameLost" in self.path.read_bytes() or
                   b"NameAcquired" in self.path.read_bytes(), 5)

    def events(self):
        """(time, what, detail) for each Activate call and Posted signal, in bus order."""
        found = []
        blocks = re.split(r"\n(?=\S)", self.path.read_text("utf-8", "replace"))
        for block in blocks:
            stamp = re.search(r"time=([0-9.]+)", block)
            member = re.search(r"member=(\w+)", block)
            if not stamp or not member:
                continue
            if member.group(1) == "Activate" and block.startswith("method call"):
                path = re.search(r"path=([^;\s]+)", block)
                found.append((float(stamp.group(1)), "Activate", path.group(1) if path else ""))
            elif member.group(1) == "Posted" and block.startswith("signal"):
                name = re.search(r'string "([^"]*)"', block)
                found.append((float(stamp.group(1)), "Posted", name.group(1) if name else ""))
        return found

    def close(self):
        self.process.terminate()
        self.process.wait()
        self.out.close()

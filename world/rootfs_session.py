"""Roads on root file systems of other releases (world/rootfs): a display of the host's and
programs started inside such a root with bubblewrap, as the player, without the host's /usr."""

import os
import subprocess
import time
from pathlib import Path

PLAYER = "/home/player"


def make_root(source, suite, cache):
    """The root of that Debian suite, made or found by world/rootfs; (path, None), or (None, the
    script's status and line) where none can be had (77: the registry cannot be reached)."""
    made = subprocess.run([str(Path(source) / "world/rootfs"), suite, str(cache)],
                          capture_output=True, text=True)
    if made.returncode != 0:
        return None, (made.returncode, made.stderr.strip())
    return Path(made.stdout.strip()), None


class HostDisplay:
    """An Xvfb display of the host's, shared into a root through its socket."""

    def __init__(self, out):
        self.number = next(n for n in range(140, 240) if not Path(f"/tmp/.X11-unix/X{n}").exists())
        self.display = f":{self.number}"
        self.out = out
        self.server = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1024x768x24",
                                        "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        socket = Path(f"/tmp/.X11-unix/X{self.number}")
        self.wait(lambda: socket.exists(), 10)
        self.socket = str(socket)

    def run(self, *arguments):
        return subprocess.run(arguments, env={**os.environ, "DISPLAY": self.display},
                              capture_output=True, text=True, timeout=20).stdout.split()

    def window(self, name, timeout=20):
        found = self.wait(lambda: self.run("xdotool", "search", "--name", name), timeout)
        return found[0] if found else None

    def key(self, window, key):
        self.run("xdotool", "windowfocus", "--sync", window, "key", key)

    def screenshot(self, name):
        path = self.out / f"{name}.png"
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)],
                       timeout=20, check=False)
        print(f"  screenshot {path}")

    @staticmethod
    def wait(predicate, timeout):
        deadline = time.monotonic() + timeout
        while True:
            answer = predicate()
            if answer or time.monotonic() > deadline:
                return answer
            time.sleep(0.1)

    def close(self):
        self.server.terminate()
        self.server.wait()


def start_in_root(root, home, display, command):
    """command with root as / (none of the host's /usr), as the player (uid 4242) with home as
    its HOME, no network, on the host display; its standard error to read back."""
    return subprocess.Popen(
        ["bwrap", "--ro-bind", str(root), "/", "--proc", "/proc", "--dev", "/dev",
         "--tmpfs", "/tmp", "--dir", "/tmp/run", "--chmod", "0700", "/tmp/run",
         "--tmpfs", "/home", "--bind", str(home), PLAYER,
         "--ro-bind", display.socket, display.socket,
         "--unshare-user", "--uid", "4242", "--gid", "4242", "--unshare-pid", "--unshare-net",
         "--die-with-parent", "--clearenv", "--setenv", "PATH", "/usr/bin:/bin",
         "--setenv", "HOME", PLAYER, "--setenv", "LANG", "C.UTF-8",
         "--setenv", "XDG_RUNTIME_DIR", "/tmp/run", "--setenv", "DISPLAY", display.display,
         "--chdir", PLAYER, *command],
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

"""The session's desktop as a user sees it: windows found by title over the accessibility bus,
their texts and buttons, button presses by name, and screenshots of the display."""

import subprocess
import time
from pathlib import Path

import pyatspi

# Roles whose name is text the user reads.
_TEXT_ROLES = {pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC, pyatspi.ROLE_TEXT}


def _walk(node, depth=0, limit=12):
    """Every accessible below node, depth first, in screen-reader order."""
    if node is None or depth > limit:
        return
    yield node
    try:
        children = list(node)
    except Exception:  # a window that closes while we walk it
        return
    for child in children:
        yield from _walk(child, depth + 1, limit)


class Window:
    """One top-level window of an application, as the accessibility bus shows it."""

    def __init__(self, application, pid, accessible):
        self.application = application
        self.pid = pid
        self.accessible = accessible

    @property
    def title(self):
        return self.accessible.name

    @property
    def role(self):
        return self.accessible.getRoleName()

    def texts(self):
        """The non-empty texts of its labels, in reading order."""
        return [a.name for a in _walk(self.accessible) if a.getRole() in _TEXT_ROLES and a.name]

    def items(self):
        """The texts of its list entries, in order."""
        return [a.name for a in _walk(self.accessible) if a.getRole() == pyatspi.ROLE_LIST_ITEM]

    def buttons(self):
        return [a.name for a in _walk(self.accessible) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON]

    def has_role(self, role):
        return any(a.getRole() == role for a in _walk(self.accessible))

    def press(self, name):
        """Presses the button titled name; false when there is none."""
        button = self.button(name)
        return button() if button else False

    def _button(self, name):
        return next((a for a in _walk(self.accessible)
                     if a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == name), None)

    def button(self, name):
        """The press of the button titled name, to call later (a timing starts after the walk
        that finds it); None when there is none."""
        button = self._button(name)
        if button is None:
            return None
        action = button.queryAction()
        for i in range(action.nActions):
            if action.getName(i).lower() in ("press", "click", "activate"):
                return lambda i=i: action.doAction(i)
        return lambda: action.doAction(0)

    def click(self, name):
        """A click of the mouse on the button titled name, to call later, the pointer already
        resting on it: the press as a user makes it, where the accessible press holds the
        button down for a tenth of a second first. None when there is no such button."""
        button = self._button(name)
        if button is None:
            return None
        box = button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        # Without --sync, which waits forever when the pointer is already there.
        subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2),
                        str(box.y + box.height // 2)], check=True, timeout=10)
        time.sleep(0.05)
        return lambda: subprocess.run(["xdotool", "click", "1"], check=True, timeout=10)

    def extents(self):
        """x, y, width, height on the screen."""
        box = self.accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def describe(self):
        return (f"{self.role} {self.title!r} of {self.application!r} ({self.pid}): "
                f"texts {self.texts()!r}, "
                f"buttons {self.buttons()!r}")


class Desktop:
    """The display and the accessibility bus of the sandbox session."""

    def __init__(self, screenshot_folder, prefix):
        self.screenshot_folder = Path(screenshot_folder)
        self.prefix = prefix
        self.screenshot_folder.mkdir(parents=True, exist_ok=True)

    def windows(self, pid=None):
        """Every top-level window now on the desktop, optionally of one process only."""
        found = []
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is None or (pid is not None and app.get_process_id() != pid):
                    continue
                # Every child of an application is one of its top-level windows, whatever its
                # role: a plain widget shows as a filler, a message box as an alert.
                for w in app:
                    if w is not None:
                        found.append(Window(app.name, app.get_process_id(), w))
            except Exception:  # the application left the bus meanwhile
                continue
        return found

    def wait_for_window(self, title, timeout=15.0, pid=None, having=None):
        """The first window titled title (and, when given, for which having(window) holds)."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                for w in self.windows(pid):
                    if w.title == title and (having is None or having(w)):
                        return w
            except Exception:
                pass
            if time.monotonic() > deadline:
                return None
            time.sleep(0.05)

    def titles_while_running(self, program):
        """Titles of the windows that program's process shows while it runs (sampled)."""
        seen = set()
        while program.wait(0.05) is None:
            try:
                seen.update(w.title for w in self.windows(program.process.pid))
            except Exception:
                continue
        return seen

    def screenshot(self, name, window=None, margin=48):
        """Saves the screen (or the part around window) as <prefix>-<name>.png; its path."""
        path = self.screenshot_folder / f"{self.prefix}-{name}.png"
        command = ["import", "-silent", "-window", "root"]
        if window is not None:
            try:
                x, y, w, h = window.extents()
                left, top = max(0, x - margin), max(0, y - margin)
                command += ["-crop", f"{w + 2 * margin}x{h + 2 * margin}+{left}+{top}", "+repage"]
            except Exception:
                pass
        command.append(str(path))
        subprocess.run(command, check=False, timeout=20,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path if path.exists() else None

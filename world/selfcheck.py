"""The world's checks of itself. The sandbox, with the alert probe: the isolation promised to
the roads, the display and the accessibility bus, a button pressed by its name, a screenshot."""

import os
import subprocess
from pathlib import Path

import world

ALERT_PROBE = "/probe/qby_e2e_alert_probe"

TITLE = "Probe Alert"
MESSAGE = "Something needs an answer."
INFORMATIVE = "Pick one of the two buttons.\n\nError 13"
BUTTONS = ["Download & Install", "Quit"]


def sandbox(checks, desktop):
    checks.step("isolation")
    checks.equal("HOME", str(Path.home()), "/root")
    checks.equal("/Applications is private and empty", os.listdir("/Applications"), [])
    checks.check("nothing of the host's /work is visible", not Path("/work").exists())
    interfaces = [line.split(":")[0].strip() for line in
                  Path("/proc/net/dev").read_text().splitlines()[2:]]
    checks.equal("network interfaces", interfaces, ["lo"])
    checks.check("the os-release override is in place",
                 'VERSION_ID="10.5"' in Path("/etc/os-release").read_text())
    checks.equal("the store host resolves to the loopback",
                 subprocess.run(["getent", "hosts", "www.quillbay.com"], capture_output=True,
                                text=True).stdout.split()[:1], ["127.0.0.1"])
    checks.check("the session bus answers", "org.freedesktop.DBus" in world.bus_names())
    checks.check("the accessibility bus is up", world.wait_until(
        lambda: "org.a11y.Bus" in world.bus_names(), 5))

    checks.step("an alert read and answered over the accessibility bus")
    probe = world.Program(ALERT_PROBE, "probe", [TITLE, MESSAGE, INFORMATIVE, *BUTTONS])
    alert = desktop.wait_for_window(TITLE, timeout=10)
    checks.require("the alert appears", alert is not None, probe.stderr)
    checks.equal("its texts", alert.texts(), [MESSAGE, INFORMATIVE])
    checks.equal("its buttons", alert.buttons(), BUTTONS)
    shot = desktop.screenshot("alert", alert)
    checks.check(f"screenshot {shot}", shot is not None)
    checks.check("pressing the second button by its name", alert.press("Quit"))
    checks.equal("the probe ends", probe.wait(10), 0)
    checks.equal("the probe saw that button", probe.stdout_path.read_text().strip(), "Quit")



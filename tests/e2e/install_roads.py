"""The install road, one function for every row of install_rows.INSTALLS: the store answers with
the row's scenario, a customer presses Download & Install, and the road ends as the row says."""

import os

import pyatspi

import install_rows
import world
from road_session import INSTALL_PROMPT, TITLE, Session

DOWNLOAD_FAILED = "The Quillbay app could not be downloaded."
CANCEL = "Cancel download"


def asked(served):
    """The paths the store was asked for over HTTPS, each once, in order."""
    paths = [p.split(":", 1)[1] for p in served.paths() if p.startswith("https:")]
    return list(dict.fromkeys(paths))


def install(checks, desktop, name):
    row = next(r for r in install_rows.INSTALLS if r["road"] == name)
    session = Session(checks)
    served = session.start_store(row["store"])
    downloader = session.place_downloader("Game.K7.V9.app")

    program = session.run_downloader(downloader)
    prompt = session.alert(desktop, program, INSTALL_PROMPT[1].strip())
    checks.check("pressing Download & Install", prompt.press("Download & Install"))

    if row.get("cancel"):
        window = desktop.wait_for_window(
            TITLE, pid=program.process.pid,
            having=lambda w: w.has_role(pyatspi.ROLE_PROGRESS_BAR) and CANCEL in w.buttons())
        checks.require("the download window is up", window is not None)
        checks.require("the archive is being downloaded",
                       world.wait_until(lambda: install_rows.TGZ in asked(served), 10))
        desktop.screenshot("downloading", window)
        checks.check("pressing Cancel", window.press(CANCEL))
        session.ends(program, timeout=5)
    elif row.get("sheet"):
        sheet = session.alert(desktop, program, row["sheet"], timeout=30)
        texts = sheet.texts()
        checks.equal("the sheet's message", texts[:1], [DOWNLOAD_FAILED])
        checks.check(f"the sheet says why: {texts[1:]}", texts[1:2] and row["sheet"] in texts[1])
        checks.equal("the sheet's button", sheet.buttons(), ["Quit"])
        desktop.screenshot("sheet", sheet)
        checks.check("pressing Quit", sheet.press("Quit"))
        session.ends(program, timeout=10)
    else:
        session.ends(program, timeout=60)

    if row["expect"]["client_started"]:
        world.wait_until(world.client_started, 10)
        session.check_handed_over({"K7": "V9"})
    outcome = world.outcome(served)
    left = {"applications": outcome["applications"], "client_started": outcome["client_started"],
            "downloader_kept": downloader.exists(), "request_waits": bool(outcome["drop_folder"]),
            "asked": asked(served)}
    checks.equal("what the road left", left, row["expect"])
    kept = [downloader.name, downloader.with_suffix(".zip").name] if left["downloader_kept"] else []
    checks.equal("Downloads holds the downloader or nothing", outcome["downloads"], sorted(kept))
    if row.get("old"):
        owner = os.stat(world.APPLICATIONS / world.CLIENT).st_uid
        checks.check(f"the root-owned client was replaced (owner {owner})", owner != 0)

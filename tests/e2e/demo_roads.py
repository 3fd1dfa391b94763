"""The roads shown to a person on their own display: the same arrangements as the tests, but the
person answers the alerts and closes the windows; each step says what to expect."""

import world
from world import APPLICATIONS, CLIENT, DOWNLOADER, DOWNLOADS

PATIENCE = 600  # seconds a person may take at any one step


def _downloader(checks):
    bundle = world.place_bundle(DOWNLOADER, DOWNLOADS, "Game.K7.V9.app")
    world.place_archive(bundle)
    checks.step(f"starting {bundle} (request K7=V9 in its name), with Game.K7.V9.zip beside it")
    return bundle, world.Program(world.executable_of(bundle), "downloader")


def _outcome(checks, bundle, program):
    status = program.wait(PATIENCE)
    checks.step(f"the downloader ended with status {status}")
    checks.step(f"requests the client recorded: {[r['request'] for r in world.recorded_requests()]}")
    checks.step(f"waiting in the drop folder: {world.drop_folder_state()}")
    checks.step(f"{bundle.name} and its zip " +
                ("are gone" if not bundle.exists() else "are still in Downloads"))


def _until_client_closed(checks):
    executable = world.executable_of(APPLICATIONS / CLIENT)
    if world.processes_running(executable):
        checks.step("close the Quillbay window to go on")
        world.wait_until(lambda: not world.processes_running(executable), PATIENCE, 0.2)


def running(checks, desktop):
    client = world.place_bundle(CLIENT, APPLICATIONS)
    world.start_client(client)
    checks.step("the Quillbay client runs; the downloader hands over without showing anything")
    bundle, program = _downloader(checks)
    _outcome(checks, bundle, program)
    _until_client_closed(checks)


def installed(checks, desktop):
    world.place_bundle(CLIENT, APPLICATIONS)
    checks.step("Quillbay.app lies in /Applications, not running: the downloader starts it")
    bundle, program = _downloader(checks)
    _outcome(checks, bundle, program)
    _until_client_closed(checks)


def absent(checks, desktop):
    world.SilentStoreServer()
    checks.step("no client anywhere: answer the prompt with Download & Install; the download "
                "window waits for the store (which never answers here): press Cancel")
    bundle, program = _downloader(checks)
    _outcome(checks, bundle, program)

#!/usr/bin/python3
"""The notice of a camera this user may not open, as a screen reader meets it.

Starts the demo in its no-access state (the virtual camera on the bus, its
nodes refused) on a virtual X display with Qt's accessibility bridge on,
then the desktop's accessibility bus, as atspi_apply_mode.py does. Through
pyatspi it finds the notice as a notification named by its heading, reads
its description and the commands, closes it with its button's action, and
has Refresh bring it back: the notification announces itself as it shows.

Must run inside a private D-Bus session:

    dbus-run-session -- /usr/bin/python3 atspi_access_notice.py DEMO_PROGRAM

Anything missing fails the test; nothing is skipped.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_session import START_TIMEOUT_S, Failure, demo_on_bus, main, wait_for  # noqa: E402

NOTICE_NAME = "This user may not open the camera"
COMMANDS_NAME = "Commands to run"


def run(program, scratch):
    with demo_on_bus(program, scratch, ["--screenshot-state", "no-access"], "the demo's notice",
                     lambda lines: "demo: ready" in lines) as (reader, app, _):
        pyatspi = reader.pyatspi
        pump, fresh = reader.pump, reader.fresh

        def find(root, role, name):
            return reader.find(root, role, name=name)

        def showing(accessible):
            return reader.has_state(accessible, pyatspi.STATE_SHOWING)

        def press(accessible):
            reader.do_action(accessible, {"press"})

        notice = wait_for("the notice, a notification", lambda: find(app, pyatspi.ROLE_NOTIFICATION, NOTICE_NAME),
                          START_TIMEOUT_S, pump)
        if not showing(notice):
            raise Failure("the notice is not showing")
        if not fresh(notice).description.startswith("The camera is on the USB bus"):
            raise Failure(f"the notice is described as {notice.description!r}")
        print(f"ok: found the notification {notice.name!r}: {notice.description[:60]!r}...")

        commands = pyatspi.findDescendant(notice, lambda accessible: accessible is not None
                                          and accessible.name == COMMANDS_NAME)
        if commands is None:
            raise Failure(f"no {COMMANDS_NAME!r} in the notice")
        text = commands.queryText()
        content = text.getText(0, text.characterCount)
        if "sudo udevadm trigger --subsystem-match=hidraw" not in content or "kelvora-camera-cli doctor" not in content:
            raise Failure(f"the commands read {content!r}")
        print(f"ok: the commands read {content.splitlines()}")

        # A screen reader speaks a notification when it starts showing.
        announced = []

        def on_showing(event):
            if event.source is not None and event.detail1 == 1 \
                    and event.source.getRole() == pyatspi.ROLE_NOTIFICATION:
                announced.append(fresh(event.source).name)

        pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
        close = find(notice, pyatspi.ROLE_PUSH_BUTTON, "Close")
        refresh = find(app, pyatspi.ROLE_PUSH_BUTTON, "Refresh")
        if close is None or refresh is None:
            raise Failure("no 'Close' button in the notice, or no 'Refresh' in the window")
        press(close)
        wait_for("the notice to close", lambda: not showing(notice), pump=pump)
        print("ok: closed through its button's action")
        press(refresh)
        wait_for("the notice to show again", lambda: showing(notice), pump=pump)
        wait_for("the notification's announcement", lambda: NOTICE_NAME in announced, pump=pump)
        print(f"ok: Refresh brought it back, announced as {NOTICE_NAME!r}")
        pyatspi.Registry.deregisterEventListener(on_showing, "object:state-changed:showing")


if __name__ == "__main__":
    sys.exit(main(run, __doc__, "ok: the notice reaches a screen reader"))

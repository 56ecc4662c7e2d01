#!/usr/bin/python3
"""A stand-in desktop notification service on the session bus: writes each
Notify call's application, summary, body, urgency and sound hints to a file,
one JSON array a line. Capabilities beyond "body" and "sound" are read, at
each question, from the file named by the second argument, if any."""
import json
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

INTERFACE = "org.freedesktop.Notifications"


class Recorder(dbus.service.Object):
    def __init__(self, bus, log, extra):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log = log
        self.extra = extra

    @dbus.service.method(INTERFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        sound = hints.get("sound-name")
        note = [str(app), str(summary), str(body), int(hints.get("urgency", 1)),
                None if sound is None else str(sound), bool(hints.get("suppress-sound", False))]
        self.log.write(json.dumps(note, ensure_ascii=False) + "\n")
        self.log.flush()
        return 1

    @dbus.service.method(INTERFACE, out_signature="as")
    def GetCapabilities(self):
        try:
            with open(self.extra, encoding="utf-8") as extra:
                return ["body", "sound"] + extra.read().split()
        except (OSError, TypeError):
            return ["body", "sound"]

    @dbus.service.method(INTERFACE, out_signature="ssss")
    def GetServerInformation(self):
        return ("recorder", "tsumugiya tests", "1", "1.2")


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    with open(sys.argv[1], "a", encoding="utf-8") as log:
        name = dbus.service.BusName(INTERFACE, bus)  # noqa: F841 (held while running)
        Recorder(bus, log, sys.argv[2] if len(sys.argv) > 2 else None)
        loop = GLib.MainLoop()
        GLib.timeout_add_seconds(60, loop.quit)  # never outlives a stuck test
        print("ready", flush=True)
        loop.run()


if __name__ == "__main__":
    main()

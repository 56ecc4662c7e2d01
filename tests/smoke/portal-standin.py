#!/usr/bin/python3
"""A stand-in desktop portal offering global shortcuts, on the session bus it
is started on (DBUS_SESSION_BUS_ADDRESS).

    portal-standin.py --log FILE [--decline] [--lifetime SECONDS]

Every call is one line in FILE, words split by spaces:
    Register APP_ID
    CreateSession
    BindShortcuts ID=PREFERRED_TRIGGER ...
    Activate ID
It prints "ready" once it owns the name. The desktop's answer to
BindShortcuts describes each trigger in its own words ("CTRL+F5" becomes
"Ctrl+F5"); --decline answers it as a user who cancelled the dialog.

    dbus-send --session --dest=org.freedesktop.portal.Desktop --type=method_call \\
        /org/freedesktop/portal/desktop io.github.tsumugiya.Test.Activate string:backup
emits Activated for that shortcut, as a key press would; it fails for a
shortcut the last BindShortcuts did not bind. io.github.tsumugiya.Test.Close
closes the session, as a desktop may.
"""
import argparse
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REGISTRY = "org.freedesktop.host.portal.Registry"
PROPERTIES = "org.freedesktop.DBus.Properties"
TEST = "io.github.tsumugiya.Test"
VERSIONS = {SHORTCUTS: 2, REGISTRY: 1}


def described(trigger):
    names = {"CTRL": "Ctrl", "ALT": "Alt", "SHIFT": "Shift", "LOGO": "Meta"}
    return "+".join(names.get(part, part) for part in trigger.split("+")) if trigger else ""


class Request(dbus.service.Object):
    """Answers one call through its Response signal, once the call has returned."""

    def __init__(self, bus, sender, token, response, results):
        self.path = "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)
        super().__init__(bus, self.path)
        GLib.idle_add(self.answer, response, results)

    @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
    def Response(self, response, results):
        pass

    def answer(self, response, results):
        self.Response(dbus.UInt32(response), dbus.Dictionary(results, signature="sv"))
        self.remove_from_connection()
        return False


class Session(dbus.service.Object):
    @dbus.service.signal("org.freedesktop.portal.Session", signature="a{sv}")
    def Closed(self, details):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus, log, decline):
        super().__init__(bus, PATH)
        self.bus = bus
        self.log = log
        self.decline = decline
        self.session = None
        self.session_object = None
        self.bound = set()

    def record(self, *words):
        self.log.write(" ".join(words) + "\n")
        self.log.flush()

    def request(self, sender, options, response, results):
        token = str(options.get("handle_token", "t%d" % time.monotonic_ns()))
        return Request(self.bus, sender, token, response, results).path

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if name != "version" or interface not in VERSIONS:
            raise dbus.exceptions.DBusException(
                "no property %s.%s" % (interface, name),
                name="org.freedesktop.DBus.Error.InvalidArgs")
        return dbus.UInt32(VERSIONS[interface])

    @dbus.service.method(REGISTRY, in_signature="sa{sv}", out_signature="")
    def Register(self, app_id, options):
        self.record("Register", app_id)

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender")
    def CreateSession(self, options, sender):
        self.record("CreateSession")
        token = str(options.get("session_handle_token", "s%d" % time.monotonic_ns()))
        self.session = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)
        self.session_object = Session(self.bus, self.session)
        return self.request(sender, options, 0, {"session_handle": self.session})

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent_window, options, sender):
        wanted = [(str(id_), str(props.get("preferred_trigger", ""))) for id_, props in shortcuts]
        self.record("BindShortcuts", *("%s=%s" % pair for pair in wanted))
        if session != self.session:
            raise dbus.exceptions.DBusException("no such session " + session,
                                                name="org.freedesktop.portal.Error.NotFound")
        if self.decline:
            return self.request(sender, options, 1, {})
        self.bound = {id_ for id_, _ in wanted}
        answer = dbus.Array([(id_, {"description": dbus.String(id_),
                                    "trigger_description": described(trigger)})
                             for id_, trigger in wanted], signature="(sa{sv})")
        return self.request(sender, options, 0, {"shortcuts": answer})

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(TEST, in_signature="s", out_signature="")
    def Activate(self, shortcut_id):
        self.record("Activate", shortcut_id)
        if shortcut_id not in self.bound:
            raise dbus.exceptions.DBusException("not bound: " + shortcut_id,
                                                name="org.freedesktop.DBus.Error.InvalidArgs")
        self.Activated(dbus.ObjectPath(self.session), shortcut_id,
                       dbus.UInt64(time.monotonic_ns() // 1000000),
                       dbus.Dictionary({}, signature="sv"))


    @dbus.service.method(TEST, in_signature="", out_signature="")
    def Close(self):
        self.record("Close")
        self.session_object.Closed(dbus.Dictionary({}, signature="sv"))
        self.session_object.remove_from_connection()
        self.session = None
        self.bound = set()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--decline", action="store_true")
    parser.add_argument("--lifetime", type=int, default=300)
    args = parser.parse_args()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    with open(args.log, "a", encoding="utf-8") as log:
        Portal(bus, log, args.decline)
        name = dbus.service.BusName(NAME, bus)  # noqa: F841 (held while running)
        loop = GLib.MainLoop()
        GLib.timeout_add_seconds(args.lifetime, loop.quit)  # never outlives a stuck test
        print("ready", flush=True)
        loop.run()


if __name__ == "__main__":
    main()

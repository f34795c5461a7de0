# SPDX-License-Identifier: GPL-3.0-or-later
"""Asks the game a question on its accessibility bus every 50 ms, as a screen reader would, and
writes how long each answer took: one line "SECONDS-SINCE-START MILLISECONDS" each, flushed.

Usage: atspiprobe.py PID FILE      until killed
The question (how many children the application has) goes to the game itself over D-Bus, with
no cache in between.
"""
import sys
import time

from gi.repository import Gio, GLib

PID = int(sys.argv[1])
ROOT = "/org/a11y/atspi/accessible/root"


def call(bus, name, path, interface, method, args, reply):
    return bus.call_sync(name, path, interface, method, args, GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 10000, None).unpack()


session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
address = call(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
               "(s)")[0]
bus = Gio.DBusConnection.new_for_address_sync(
    address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
    | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)

game = None
for _ in range(200):
    children = call(bus, "org.a11y.atspi.Registry", ROOT, "org.a11y.atspi.Accessible",
                    "GetChildren", None, "(a(so))")[0]
    for name, _path in children:
        try:
            pid = call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                       "GetConnectionUnixProcessID", GLib.Variant("(s)", (name,)), "(u)")[0]
        except GLib.Error:
            continue
        if pid == PID:
            game = name
    if game:
        break
    time.sleep(0.1)
if not game:
    print("FAIL: the game is not on the accessibility bus", file=sys.stderr)
    sys.exit(1)

start = time.monotonic()
with open(sys.argv[2], "w", encoding="utf-8") as out:
    while True:
        asked = time.monotonic()
        call(bus, game, ROOT, "org.freedesktop.DBus.Properties", "Get",
             GLib.Variant("(ss)", ("org.a11y.atspi.Accessible", "ChildCount")), "(v)")
        answered = time.monotonic()
        out.write(f"{asked - start:.3f} {(answered - asked) * 1000:.1f}\n")
        out.flush()
        time.sleep(max(0.0, 0.05 - (answered - asked)))

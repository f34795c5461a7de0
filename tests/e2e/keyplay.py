# SPDX-License-Identifier: GPL-3.0-or-later
"""Plays the board with the keyboard alone, deciding each move from what a screen reader reads.

Usage: keyplay.py PID dump            the board as a screen reader reads it
       keyplay.py PID listen FILE     writes the focus and name changes a screen reader hears
       keyplay.py PID press NAME      Tab to the button NAME and press Space
       keyplay.py PID play METHOD SHOTS   swap, two-step or click, to completion
Keys go through xdotool to the focused window; every wait is for what the tree says.
"""
import re
import subprocess
import sys
import time

import pyatspi

PID = int(sys.argv[1])
PLACE = re.compile(r"^(?:Tessera (\d+)|Spazio vuoto), riga (\d+), colonna (\d+)")
CONGRATULATION = "Complimenti! Hai completato il puzzle!"


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def board():
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.get_process_id() != PID:
            continue
        for window in app:
            if window is not None and window.name == "Puzzle_3":
                return window
    return None


def walk(node, depth=0):
    if node is None or depth > 12:
        return
    yield node, depth
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def role(node):
    """The role as the older registry names it: AT-SPI 2.5x calls a push button "button"."""
    return "push button" if node.getRole() == pyatspi.ROLE_PUSH_BUTTON else node.getRoleName()


NODES = []  # the buttons and labels of the board, found once: each look reads only these


def nodes():
    if not NODES:
        window = board()
        if window is None:
            fail("no board in the accessibility tree")
        NODES.extend(node for node, _ in walk(window)
                     if role(node) in ("push button", "label"))
    return NODES


class Reading:
    """One look at the board: tiles by place, the spare, the focus, the labels."""

    def __init__(self):
        self.cells = {}  # place -> picture cell shown (0 for the gap), places from 0
        self.spare = None  # picture cell held, 0 for empty; None while not shown
        self.focus = None  # place with the keys, "spare", or the focused button's name
        self.texts = []
        self.nodes = {}
        try:
            self.read()
        except Exception:
            NODES.clear()  # the tree changed: find the objects again
            raise

    def read(self):
        for node in nodes():
            name = node.name or ""
            states = node.getState()
            focused = states.contains(pyatspi.STATE_FOCUSED)
            match = PLACE.match(name)
            if match:
                place = (int(match.group(2)) - 1, int(match.group(3)) - 1)
                self.cells[place] = int(match.group(1) or 0)
                self.nodes[place] = node
                if focused:
                    self.focus = place
            elif name.startswith("Riserva"):
                if states.contains(pyatspi.STATE_SHOWING):
                    held = re.search(r"tessera (\d+)", name)
                    self.spare = int(held.group(1)) if held else 0
                    self.nodes["spare"] = node
                if focused:
                    self.focus = "spare"
            elif role(node) == "push button":
                if focused:
                    self.focus = name
            elif states.contains(pyatspi.STATE_SHOWING):
                self.texts.append(name)
        self.order = [self.cells[k] for k in sorted(self.cells)]
        self.places = sorted(self.cells)

    def extent(self, place):
        box = self.nodes[place].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return (box.x, box.y, box.width, box.height)

    def index(self, place):
        return len(self.places) if place == "spare" else self.places.index(place)


def eventually(what, check, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            look = Reading()
            if check(look):
                return look
        except Exception:  # the tree changes under a look: look again
            pass
        time.sleep(0.2)
    fail(what)


SENT = []


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "40", *names], check=True)
    SENT.extend(names)


def look_now():
    return eventually("the board cannot be read", lambda r: True)


def tab_until(what, reached, key):
    """Tab (or Shift+Tab) until the focus reaches what is wanted, one stop at a time."""
    look = eventually("no focus anywhere", lambda r: r.focus is not None)
    for _ in range(8):
        if reached(look.focus):
            return look
        before = look.focus
        keys(key)
        look = eventually("%s did not move the focus from %s" % (key, before),
                          lambda r: r.focus is not None and r.focus != before)
    fail("%s never reached %s" % (key, what))


def press(name):
    tab_until("'%s'" % name, lambda focus: focus == name, "Tab")
    keys("space")


def to_tiles():
    """Shift+Tab into the tile area; the focus lands where the keys last were."""
    return tab_until("the tiles", lambda focus: not isinstance(focus, str) or focus == "spare",
                     "shift+Tab")


def go(look, target):
    """Right arrows from where the keys are to the target (the spare lies after the last)."""
    stops = len(look.places) + (1 if look.spare is not None else 0)
    steps = (look.index(target) - look.index(look.focus)) % stops
    if steps:
        keys(*(["Right"] * steps))
    return eventually("the keys did not reach %s" % (target,), lambda r: r.focus == target)


def framed(shot, extent):
    """The two lines of the frame: dark at the place's edge, light just inside."""
    x, y, w, h = extent
    subprocess.run(["import", "-window", "root", shot], check=True)
    row = subprocess.run(
        ["convert", shot, "-crop", "8x1+%d+%d" % (x, y + 12), "+repage", "txt:-"],
        capture_output=True, text=True, check=True).stdout
    colours = re.findall(r"#([0-9A-F]{6})", row)
    return len(colours) == 8 and colours[0] == "000000" and "FFFFFF" in colours[3:6]


def eventually_framed(shot, extent):
    """The frame is drawn a moment after the focus is announced: look until it shows."""
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline:
        if framed(shot, extent):
            return
        time.sleep(0.1)
    fail("no two-line frame at %s (%s)" % (extent, shot))


def play(method, shots):
    look = to_tiles()
    checked = False

    def put(target):
        nonlocal look
        look = go(look, target)
        keys("space")

    for _ in range(200):
        look = look_now()
        if CONGRATULATION in look.texts:
            return look
        if method == "click":
            gaps = [p for p in look.places if look.cells[p] == 0]
            if look.spare == 0:
                wrong = [p for p in look.places if look.cells[p] != look.index(p) + 1]
                if not wrong:
                    fail("a finished board without the congratulation")
                put(wrong[0])
                eventually("the tile was not taken into the spare", lambda r: r.spare != 0)
                continue
            gap = gaps[0]
            if look.spare == look.index(gap) + 1:
                put("spare")  # picked up
                if not checked:
                    eventually_framed("%s/keys-click-frame.png" % shots, look.extent("spare"))
                    checked = True
                keys("space")  # put down on itself
                eventually("the spare tile did not go back", lambda r: r.spare == 0)
                continue
            source = look.places[look.order.index(look.index(gap) + 1)]
            put(source)
            eventually("no jump into the gap", lambda r: r.cells[gap] != 0)
            continue
        # swap and two-step: Space picks up, the arrows carry, Space puts down
        wrong = [p for p in look.places if look.cells[p] != look.index(p) + 1]
        if not wrong:
            fail("a finished board without the congratulation")
        target = wrong[0]
        want = look.index(target) + 1
        source = look.places[look.order.index(want)]
        put(source)
        if not checked:
            eventually_framed("%s/keys-%s-frame.png" % (shots, method), look.extent(source))
            checked = True
        look = go(look, target)
        keys("space")
        eventually("%s: the tiles were not exchanged" % method,
                   lambda r: r.cells[target] == want)
    fail("no completion after 200 moves")


def dump():
    window = board()
    for node, depth in walk(window):
        states = node.getState()
        flags = [s for s, n in ((pyatspi.STATE_FOCUSED, "focused"),
                                (pyatspi.STATE_FOCUSABLE, "focusable"),
                                (pyatspi.STATE_SHOWING, "showing"),
                                (pyatspi.STATE_SENSITIVE, "sensitive")) if states.contains(s)]
        names = {pyatspi.STATE_FOCUSED: "focused", pyatspi.STATE_FOCUSABLE: "focusable",
                 pyatspi.STATE_SHOWING: "showing", pyatspi.STATE_SENSITIVE: "sensitive"}
        if not states.contains(pyatspi.STATE_SHOWING) and not node.name:
            continue
        print("%s%s \"%s\"%s [%s]" % ("  " * depth, role(node), node.name or "",
                                      (" (" + node.description + ")") if node.description else "",
                                      ", ".join(names[s] for s in flags)))


def listen(path):
    out = open(path, "w", buffering=1)

    def heard(event):
        try:
            source = event.source
            if source is None or source.get_process_id() != PID:
                return
            if event.type.startswith("object:state-changed:focused") and event.detail1 == 1:
                out.write("focus %s\n" % source.name)
            elif event.type.startswith("object:property-change:accessible-name"):
                out.write("name %s: %s\n" % (role(source), source.name))
        except Exception:  # an object gone before it was read
            pass

    pyatspi.Registry.registerEventListener(
        heard, "object:state-changed:focused", "object:property-change:accessible-name")
    out.write("listening\n")
    pyatspi.Registry.start()


if sys.argv[2] == "dump":
    dump()
elif sys.argv[2] == "listen":
    listen(sys.argv[3])
elif sys.argv[2] == "press":
    press(sys.argv[3])
elif sys.argv[2] == "play":
    final = play(sys.argv[3], sys.argv[4])
    print("ok %s: %s" % (sys.argv[3], " | ".join(final.texts)))
    print("keys %s: %s" % (sys.argv[3], " ".join(SENT)))

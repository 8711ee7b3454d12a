#!/usr/bin/python3
"""Reads the running Fumilink over AT-SPI as a screen reader does (see atspi_e2e.sh).

Finds every control by its accessible name, reads the values, checks that the value fields
tell their changes without flooding, starts a new search through the connection picture's
accessible action and once more with Tab and Space (the simulator's log must show each
search), and ends the program with "Abbrechen".
"""

import argparse
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

# The value fields: the quantity each names, and what its value looks like.
VALUE_FIELDS = {
    "Abgastemperatur TG": r"-?\d+,\d °C",
    "Verbrennungslufttemperatur T-VL": r"-?\d+,\d °C",
    "Wirkungsgrad Eta": r"-?\d+,\d %",
    "Abgasverlust qA": r"-?\d+,\d %",
    "Luftzahl Lambda": r"-?\d+,\d\d",
    "Sauerstoff O2": r"-?\d+,\d Vol%",
    "Kohlendioxid CO2": r"-?\d+,\d Vol%",
    "Kohlenmonoxid CO": r"-?\d+ ppm",
    "Stickstoffmonoxid NO": r"-?\d+ ppm",
    "Zug p": r"-?\d+,\d\d hPa",
}
ONLINE = "Onlinedaten werden empfangen"
PICTURE_ONLINE = "Verbindung: " + ONLINE
OBSERVED_SECONDS = 5


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def step(message):
    print("-- " + message, flush=True)


def pump(seconds=0.0):
    """Lets libatspi handle what the bus brought (events, cache updates) for a while."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while True:
        while context.iteration(False):
            pass
        if time.monotonic() >= deadline:
            return
        time.sleep(0.02)


def wait_for(what, seconds, check):
    deadline = time.monotonic() + seconds
    while True:
        pump()
        try:
            result = check()
        except GLib.GError:
            result = None  # an object that went away while it was read
        if result:
            return result
        if time.monotonic() > deadline:
            fail(f"{what} (waited {seconds} s)")
        time.sleep(0.2)


def fresh(accessible):
    """The accessible with nothing cached: what the program says now."""
    accessible.clear_cache()
    return accessible


def name_of(accessible):
    return fresh(accessible).name


def descendants(root):
    found = []

    def walk(node):
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                found.append(child)
                walk(child)

    walk(root)
    return found


def main_window():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None or app.name != "fumilink":
            continue
        for window in app:
            if window is not None and window.name.startswith("Fumilink "):
                return window
    return None


def one(controls, role, name, what=None):
    matches = [c for c in controls if c.getRoleName() == role and name_of(c) == name]
    if len(matches) != 1:
        found = sorted({f"{c.getRoleName()}: {name_of(c)}" for c in controls})
        fail(f"{len(matches)} {role} named '{name}' {what or ''}; the tree holds {found}")
    return matches[0]


def labelled_by(accessible):
    names = []
    for relation in accessible.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def searches(sim_log):
    """How often the analyser has been asked for its identification: once per search."""
    with open(sim_log, encoding="utf-8", errors="replace") as log:
        return sum(1 for line in log if ' RX "R001"' in line)


def focused(controls):
    return [c for c in controls if fresh(c).getState().contains(pyatspi.STATE_FOCUSED)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim-log", required=True)
    sim_log = parser.parse_args().sim_log

    step("the program's window appears to assistive tools")
    window = wait_for("no window 'Fumilink ...' of an application 'fumilink' over AT-SPI", 60,
                      main_window)
    title = re.sub(r"([][\\.*^$+?(){}|])", r"\\\1", window.name)  # for xdotool's regex
    window_id = subprocess.run(["xdotool", "search", "--name", "^" + title + "$"],
                               capture_output=True, text=True, check=True).stdout.split()[0]
    controls = descendants(window)

    step("the analyser is found and streams")
    status = wait_for("the status never said '" + ONLINE + "'", 60,
                      lambda: [c for c in controls if name_of(c) == ONLINE])[0]
    picture = one(controls, "push button", PICTURE_ONLINE, "(the connection picture)")

    step("every control is found by its name")
    one(controls, "push button", "Abbrechen")
    take_over = one(controls, "push button", "Daten übernehmen")
    one(controls, "push button", "Was ist zu tun?")
    smoke = one(controls, "check box", "Rußzahlen und Ölderivate eingeben")
    if not smoke.getState().contains(pyatspi.STATE_CHECKED):
        fail("firing type 14: the smoke-number inputs are switched off")
    for name, value in (("Rußzahl 1", 0.0), ("Rußzahl 2", 0.0), ("Rußzahl 3", 0.0),
                        ("T-Kessel", 60.0)):
        field = one(controls, "spin button", name)
        if field.queryValue().currentValue != value:
            fail(f"{name} reads {field.queryValue().currentValue}, not {value}")
        try:
            field.queryEditableText()
        except NotImplementedError:
            fail(f"{name} is not editable text")
    lists = [c for c in controls if c.getRoleName() == "combo box"]
    if len(lists) != 1 or labelled_by(lists[0]) != ["Ölderivate?"]:
        fail(f"no drop-down list labelled 'Ölderivate?': {[labelled_by(c) for c in lists]}")
    if name_of(lists[0]) != "Nein":
        fail(f"the oil-derivative answer reads '{name_of(lists[0])}', not 'Nein'")

    step("each value field says its quantity with its value")
    fields = {}
    for quantity, value in VALUE_FIELDS.items():
        pattern = re.compile(re.escape(quantity) + " " + value)
        field = wait_for(f"no field '{quantity} <value>'", 20, lambda: [
            c for c in controls if c.getRoleName() == "label" and pattern.fullmatch(name_of(c))])
        fields[quantity] = field[0]
        print(f"   {name_of(field[0])}")

    step(f"value changes reach the bus, at most once a second per field, a steady status not"
         f" at all ({OBSERVED_SECONDS} s)")
    told = []
    listener = told.append
    pyatspi.Registry.registerEventListener(listener, "object:property-change:accessible-name")
    pump(OBSERVED_SECONDS)
    per_field = {q: 0 for q in fields}
    for event in told:
        for quantity, field in fields.items():
            if event.source == field:
                per_field[quantity] += 1
    print(f"   name changes per field: {per_field}")
    flooded = {q: n for q, n in per_field.items() if n > OBSERVED_SECONDS + 1}
    if flooded:
        fail(f"value fields renamed more than once a second: {flooded}")
    if per_field["Abgastemperatur TG"] == 0:
        fail("the flue-gas temperature changed on screen but no change was told")
    # The poll tick sets the same status ten times a second: only a change is told.
    if any(event.source == status for event in told):
        fail("the status was told again while it stayed '" + ONLINE + "'")

    step("the picture's accessible action starts a new search")
    told.clear()
    before = searches(sim_log)
    actions = picture.queryAction()
    if actions.getName(0) != "Press" or "sucht das Messgerät neu" not in actions.getDescription(0):
        fail(f"the picture's first action is {actions.getName(0)} ({actions.getDescription(0)})")
    actions.doAction(0)
    wait_for("the simulator saw no new search after the action", 30,
             lambda: searches(sim_log) > before)
    wait_for("no data after the search by the action", 60,
             lambda: name_of(picture) == PICTURE_ONLINE and name_of(status) == ONLINE)
    pump(0.5)
    status_told = [e for e in told if e.source == status]
    if not status_told:
        fail("the status text changed during the search, but no change was told")

    step("Tab runs through every usable control; Space on the picture searches again")
    wait_for("'Daten übernehmen' is not enabled again", 30,
             lambda: fresh(take_over).getState().contains(pyatspi.STATE_ENABLED))
    subprocess.run(["xdotool", "windowfocus", "--sync", window_id], check=True)
    wait_for("the window did not take the keyboard", 10, lambda: focused(controls))
    order = []
    for _ in range(20):
        now = wait_for("nothing has the keyboard", 10, lambda: focused(controls))
        name = name_of(now[0])
        if order and name == order[0]:
            break
        order.append(name)
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        pump(0.3)
    expected = ["Abbrechen", "Daten übernehmen", "Rußzahlen und Ölderivate eingeben",
                "Rußzahl 1", "Rußzahl 2", "Rußzahl 3", "Nein", "T-Kessel", PICTURE_ONLINE]
    start = order.index(expected[0]) if expected[0] in order else 0
    if order[start:] + order[:start] != expected:
        fail(f"Tab order {order}, expected {expected} (once around)")
    print(f"   {' -> '.join(order)}")
    while name_of(focused(controls)[0]) != PICTURE_ONLINE:
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        pump(0.3)
    before = searches(sim_log)
    subprocess.run(["xdotool", "key", "space"], check=True)
    wait_for("the simulator saw no new search after Space", 30, lambda: searches(sim_log) > before)
    wait_for("no data after the search by Space", 60, lambda: name_of(status) == ONLINE)

    step("'Abbrechen' through its action ends the program")
    abort = one(controls, "push button", "Abbrechen")
    abort.queryAction().doAction(0)
    pyatspi.Registry.deregisterEventListener(listener, "object:property-change:accessible-name")
    print(f"   searches seen by the simulator: {searches(sim_log)}")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Ardmon read through the desktop's accessibility bus, as a screen reader reads it.

Starts Ardmon in a copy of the demo workstation with its own session bus
(dbus-run-session starts the accessibility bus on demand) and reads through
AT-SPI: the profile list's items, the "Current Environment" box's text, the
names of the buttons, and, after "&View" and "&Get Keys", the viewer's section
list and the key/value list's column headers, rows and cells.

Buttons are pressed with real mouse clicks (xdotool) at the places AT-SPI gives:
an accessibility action that opens a modal message box would block the bus in
Ardmon. Exit status 77 means skipped.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

import harness
from harness import SKIP, Failure, check, log, missing_tool

SESSION_MARK = "HALVO_ACCESSIBILITY_SESSION"
CLIENT_SECTION = "CONNECTION"


def wait_for(what, probe, timeout=20.0):
    # The tree changes under us while windows come up: an error is "not yet".
    return harness.wait_for(what, probe, timeout, interval=0.2, tolerate=Exception)


def children(acc):
    return [acc.getChildAtIndex(i) for i in range(acc.childCount)]


def find_all(acc, role, name=None):
    """Every descendant with this role name (and name), depth first."""
    found = []
    for child in children(acc):
        if child is None:
            continue
        if child.getRoleName() == role and (name is None or child.name == name):
            found.append(child)
        found.extend(find_all(child, role, name))
    return found


def find_one(acc, role, name=None):
    found = find_all(acc, role, name)
    return found[0] if found else None


def text_of(acc):
    return acc.queryText().getText(0, -1)


def click(acc, repeat=1):
    """A real click in the middle of the control, where AT-SPI says it is."""
    import pyatspi
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    check(box.width > 0 and box.height > 0, f"{acc.getRoleName()} {acc.name!r} has no place on screen")
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2), str(box.y + box.height // 2),
                    "click", "--repeat", str(repeat), "--delay", "80", "1"], check=True, timeout=30)
    time.sleep(0.3)


def read_ini(path):
    """Section names in file order and each first section's pairs, as the
    profile functions give them: comment lines skipped, key and value trimmed."""
    order, pairs, current = [], {}, None
    with open(path, encoding="latin-1") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("["):
                name = line[1:].split("]", 1)[0].strip()
                order.append(name)
                current = pairs.setdefault(name, []) if name not in pairs else None
            elif current is not None:
                key, _, value = line.partition("=")
                current.append((key.strip(), value.strip()))
    return order, pairs


def app_named(desktop, name):
    return next((a for a in children(desktop) if a is not None and a.name == name), None)


def table_rows(table_acc):
    table = table_acc.queryTable()
    return [tuple(table.getAccessibleAt(r, c).name for c in range(table.nColumns))
            for r in range(table.nRows)]


def scenario(args, ws, env, procs):
    import pyatspi
    desktop = pyatspi.Registry.getDesktop(0)
    client_order, client_pairs = read_ini(os.path.join(ws, "halvoclient.ini"))
    profiles = sorted((n for n in os.listdir(os.path.join(ws, "env")) if n.endswith(".ini")), key=str.lower)

    out = open(os.path.join(args.scratch, "ardmon.log"), "w")
    ardmon = subprocess.Popen([args.ardmon], cwd=ws, env=env, stdout=out, stderr=subprocess.STDOUT)
    procs.append(ardmon)
    app = wait_for("Ardmon on the accessibility bus", lambda: app_named(desktop, os.path.basename(args.ardmon)))
    main = wait_for("the launcher window", lambda: find_one(app, "frame", "Halvo Launcher"))

    combo = find_one(main, "combo box")
    check(combo is not None, "no combo box in the launcher window")
    items = [i.name for i in find_all(combo, "menu item")]
    check(items == profiles, f"the profile list reads {items}, expected {profiles}")
    texts = [text_of(t) for t in find_all(main, "text") if t.parent.getRoleName() != "combo box"]
    check(texts == ["halvoclient.ini"], f"the Current Environment box reads {texts}")
    buttons = [b.name for b in find_all(main, "push button") if b.getState().contains(pyatspi.STATE_SHOWING)]
    for name in ("Load", "View", "Start Trader", "Launch Halvo Trader"):
        check(name in buttons, f"no button named {name!r} among {buttons}")
    log(f"launcher window read: profiles {items}, buttons {buttons}")

    view = find_all(main, "push button", "View")
    check(len(view) == 2, f"expected two View buttons, found {len(view)}")
    click(view[0])  # "&View", the client file: the first in tab order
    viewer = wait_for("the viewer window", lambda: find_one(app, "frame", "View Environment"))
    name_box = find_one(viewer, "text")
    check(text_of(name_box) == "halvoclient.ini", f"the viewer's file box reads {text_of(name_box)!r}")
    def two_lists():
        found = find_all(viewer, "table")
        return found if len(found) == 2 else None

    tables = wait_for("the viewer's two lists", two_lists)
    sections, keys = sorted(tables, key=lambda t: t.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).x)
    listed = [row[0] for row in table_rows(sections)]
    check(listed == client_order, f"the section list reads {listed}, expected {client_order}")
    table = keys.queryTable()
    headers = [table.getColumnHeader(c).name for c in range(table.nColumns)]
    check(headers == ["Key Name", "Key Value"], f"the key list's column headers read {headers}")
    check(table.nRows == 0, f"the key list has {table.nRows} rows before Get Keys")

    def get_keys():
        click(sections.queryTable().getAccessibleAt(client_order.index(CLIENT_SECTION), 0))
        click(find_one(viewer, "push button", "Get Keys"))

    # A click that lands while a loaded machine still lays the window out is
    # lost, as it would be for a person: the person clicks again.
    get_keys()
    want = client_pairs[CLIENT_SECTION]
    try:
        rows = wait_for("the section's rows", lambda: table_rows(keys) or None, timeout=10.0)
    except Failure:
        get_keys()
        rows = wait_for("the section's rows", lambda: table_rows(keys) or None)
    check(rows == want, f"the key list reads {rows}, expected {want}")
    log(f"viewer read: sections {listed}; [{CLIENT_SECTION}] rows {rows}")

    # Esc in the launcher window ends Ardmon, viewers and all.
    wid = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Halvo Launcher$"],
                         capture_output=True, text=True, timeout=30).stdout.split()
    check(wid, "no X window for the launcher")
    subprocess.run(["xdotool", "windowfocus", "--sync", wid[0], "key", "Escape"], check=True, timeout=30)
    wait_for("Ardmon to end", lambda: ardmon.poll() is not None)
    out.close()
    with open(os.path.join(args.scratch, "ardmon.log")) as f:
        output = f.read()
    for marker in ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"):
        check(marker not in output, f"sanitizer report in Ardmon's output: {marker}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ardmon", required=True)
    ap.add_argument("--workstation", required=True)
    ap.add_argument("--scratch", required=True)
    args = ap.parse_args()
    for name in ("ardmon", "workstation", "scratch"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    if not os.environ.get("DISPLAY"):
        log("SKIP: no X display")
        return SKIP
    missing = missing_tool(("xdotool", "dbus-run-session"), module="pyatspi")
    if missing:
        log(f"SKIP: {missing} is not installed")
        return SKIP
    if not os.environ.get(SESSION_MARK):
        # A private session bus, so the accessibility bus is ours alone and ends with the test.
        env = dict(os.environ, **{SESSION_MARK: "1"})
        return subprocess.run(["dbus-run-session", "--", sys.executable] + sys.argv, env=env).returncode

    shutil.rmtree(args.scratch, ignore_errors=True)
    ws = os.path.join(args.scratch, "workstation")
    shutil.copytree(args.workstation, ws)
    with open(os.path.join(ws, "VovuvAvavar.exe"), "w") as f:
        f.write("#!/bin/sh\n")

    env = dict(os.environ)
    env.pop("NO_AT_BRIDGE", None)  # the bridge is what this test reads through
    env["GSETTINGS_BACKEND"] = "memory"
    procs = []
    try:
        scenario(args, ws, env, procs)
        log("PASS")
        return 0
    except (Failure, subprocess.SubprocessError, OSError) as e:
        log(f"FAIL: {e}")
        with open(os.path.join(args.scratch, "ardmon.log")) as f:
            sys.stdout.write("ardmon output:\n" + f.read())
        return 1
    finally:
        for p in procs:
            if p.poll() is None:
                p.terminate()
                p.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())

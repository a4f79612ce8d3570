#!/usr/bin/python3
"""The workstation end to end, the way a user goes through it.

Starts Ardmon in a copy of the demo workstation, picks a profile in the combo
box, presses Load and answers the message box, checks halvoclient.ini and the
"Current Environment" box, presses "Launch Halvo Trader", waits for the demo
terminal's window, lets the terminal export its blotter to a workbook (its save
dialog answered by the terminal's unattended mode, set through the environment
that Ardmon passes on), and reads the workbook back with Ledgra's reader script
(xlrd).

Ardmon is driven from outside like a person would: real clicks and keys through
XTest (xdotool), texts read back through the X primary selection (xclip) after
selecting them with a triple click. Exit status 77 means skipped.
"""
import argparse
import datetime
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

from harness import SKIP, Failure, check, log, missing_tool, wait_for

LAUNCHER_TITLE = "Halvo Launcher"
TERMINAL_TITLE = "Halvo Trader (demo)"
# Template 102 is 278 x 121 dialog units; control rectangles in dialog units.
DIALOG_DU = (278, 121)
COMBO_DU = (13, 26, 137, 86)    # 1000, the profile list (drop-down: natural height)
LOAD_DU = (165, 23, 50, 16)     # 1, "&Load"
EDIT_DU = (11, 65, 133, 14)     # 1005, "Current Environment"
LAUNCH_DU = (126, 91, 74, 21)   # 1008, "&Launch Halvo Trader"
COLUMNS = ["Instrument", "Side", "Quantity", "Price", "Value", "Status", "Time"]
FORMATS = {0: "@", 1: "General", 3: "0.00", 4: "0.00", 5: "General", 6: "@"}


def run(*cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, timeout=30, **kw).stdout


def find_window(title):
    """The id of a visible top-level window with exactly this title, or None."""
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                        "^" + re.escape(title) + "$"], capture_output=True, text=True)
    ids = r.stdout.split()
    return ids[0] if ids else None


def geometry(wid):
    out = run("xdotool", "getwindowgeometry", "--shell", wid)
    g = dict(line.split("=", 1) for line in out.split())
    return int(g["WIDTH"]), int(g["HEIGHT"])


def clear_primary():
    """Empties the primary selection, so a failed selection reads as ""; the
    xclip that holds it ends when the next selection is made."""
    subprocess.run(["xclip", "-selection", "primary", "-i", "/dev/null"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)


class Dialog:
    """A dialog laid out in dialog units; clicks land in the controls' middles."""

    def __init__(self, wid):
        self.wid = wid
        width, height = geometry(wid)
        self.sx = width / DIALOG_DU[0]
        self.sy = height / DIALOG_DU[1]

    def point(self, rect, natural_height=False):
        x, y, w, h = rect
        if natural_height:  # a drop-down's template height is its open list's
            return int((x + w * 0.4) * self.sx), int(y * self.sy) + 14
        return int((x + w / 2) * self.sx), int((y + h / 2) * self.sy)

    def click(self, rect, repeat=1, natural_height=False):
        x, y = self.point(rect, natural_height)
        run("xdotool", "mousemove", "--window", self.wid, str(x), str(y),
            "click", "--repeat", str(repeat), "--delay", "80", "1")
        time.sleep(0.3)

    def read(self, rect, natural_height=False):
        """The text of an edit field: selected by a triple click, read as PRIMARY."""
        clear_primary()
        self.click(rect, repeat=3, natural_height=natural_height)
        return run("xclip", "-o", "-selection", "primary")


def read_message_box(wid):
    """The first line of a message box's text (GTK's message labels are selectable)."""
    width, _ = geometry(wid)
    clear_primary()
    run("xdotool", "mousemove", "--window", wid, str(width // 2), "12",
        "click", "--repeat", "3", "--delay", "80", "1")
    time.sleep(0.3)
    return run("xclip", "-o", "-selection", "primary")


def read_ini(path):
    """Sections of an INI file as Windows reads them: names without regard to
    case, the first section and the first key of a name win."""
    sections = {}
    current = None
    with open(path, encoding="latin-1") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and "]" in line:
                name = line[1:line.index("]")].strip().lower()
                current = sections.setdefault(name, {}) if name not in sections else None
                continue
            if current is not None and "=" in line:
                key, value = line.split("=", 1)
                current.setdefault(key.strip().lower(), value.strip())
    return sections


def profiles(env_dir):
    """The names Ardmon lists: files whose names end in ".ini" exactly, sorted
    without regard to case as the combo box sorts."""
    names = [n for n in os.listdir(env_dir)
             if n[-4:] == ".ini" and not os.path.isdir(os.path.join(env_dir, n))]
    return sorted(names, key=str.lower)


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A zombie that no one has reaped yet counts as gone.
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return False


# Ledgra's workbook reader (xlrd underneath), the one its own tests use.
READER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "export", "test_support",
                      "check_xls.py")


def read_workbook(path):
    """Each sheet as the reader's "cells" mode prints it: (name, rows, columns,
    {(row, column): (kind, format, value)})."""
    out = subprocess.run([sys.executable, READER, "cells", path], capture_output=True, text=True,
                         check=True).stdout
    sheets, decoder = [], json.JSONDecoder()
    for line in out.splitlines():
        if line.startswith("sheet "):
            name, end = decoder.raw_decode(line, len("sheet "))
            rows, cols = re.fullmatch(r" rows=(\d+) cols=(\d+)", line[end:]).groups()
            sheets.append((name, int(rows), int(cols), {}))
        elif line[:1].isdigit():
            r, c, kind, rest = line.split(" ", 3)
            fmt, end = decoder.raw_decode(rest)
            value = rest[end + 1:]
            if kind == "number":
                value = float(value)
            elif kind == "text":
                value = json.loads(value)
            sheets[-1][3][(int(r), int(c))] = (kind, fmt, value)
    return sheets


def check_workbook(path, expected_rows):
    sheets = read_workbook(path)
    base = os.path.splitext(os.path.basename(path))[0]
    names = [sheet[0] for sheet in sheets]
    check(names == [base + "-Sheet1"], f"sheets {names}")
    _, nrows, ncols, cells = sheets[0]
    check(nrows == len(expected_rows) + 1 and ncols == len(COLUMNS),
          f"sheet is {nrows} x {ncols}, expected {len(expected_rows) + 1} x {len(COLUMNS)}")

    def cell(r, c):
        return cells.get((r, c), ("empty", "General", ""))

    header = [cell(0, c)[2] for c in range(len(COLUMNS))]
    check(header == COLUMNS, f"header row {header}")
    for r, fields in enumerate(expected_rows, start=1):
        for c, text in enumerate(fields):
            kind, _, value = cell(r, c)
            if c in (2, 3, 4):  # quantity (code 1), price and value (code 2): numbers
                check(kind == "number" and abs(value - float(text)) < 1e-6,
                      f"cell ({r},{c}) is {kind}:{value!r}, expected the number {text}")
            else:
                check(kind == "text" and value == text,
                      f"cell ({r},{c}) is {kind}:{value!r}, expected the text {text!r}")
    for c, fmt in FORMATS.items():
        for r in (0, 1, len(expected_rows)):
            got = cell(r, c)[1]
            check(got == fmt, f"cell ({r},{c}) has format {got!r}, expected {fmt!r}")


def scenario(args, ws, env, procs):
    client = os.path.join(ws, "halvoclient.ini")
    before = read_ini(client).get("halvo_launcher", {}).get("last loaded file")
    listed = profiles(os.path.join(ws, "env"))
    check(listed, "the demo workstation has no profiles")
    # A profile other than the one recorded, so the load visibly changes things.
    profile = next((p for p in listed if p != before), listed[0])
    log(f"profiles {listed}; recorded {before!r}; loading {profile!r}")

    ardmon_log = open(os.path.join(args.scratch, "ardmon.log"), "w")
    ardmon = subprocess.Popen([args.ardmon], cwd=ws, env=env, stdout=ardmon_log,
                              stderr=subprocess.STDOUT)
    procs.append(ardmon)
    dlg = Dialog(wait_for("the launcher window", lambda: find_window(LAUNCHER_TITLE)))
    time.sleep(0.5)

    shown = dlg.read(EDIT_DU)
    want = "halvoclient.ini" if before is None else f"halvoclient.ini<{before}>"
    check(shown == want, f"Current Environment shows {shown!r}, expected {want!r}")

    # Pick the profile with the keyboard: from no selection, Down selects item 0.
    dlg.click(COMBO_DU, natural_height=True)
    for _ in range(listed.index(profile) + 1):
        run("xdotool", "key", "Down")
        time.sleep(0.15)
    picked = dlg.read(COMBO_DU, natural_height=True)
    check(picked == profile, f"the combo box shows {picked!r}, expected {profile!r}")

    started = datetime.datetime.now().replace(microsecond=0)
    dlg.click(LOAD_DU)
    box = wait_for("the load's message box", lambda: find_window("ardmon"))
    text = read_message_box(box)
    check(text == f'"{profile}" file loaded to halvoclient.ini successfully',
          f"the message box says {text!r}")
    run("xdotool", "windowfocus", "--sync", box)
    run("xdotool", "key", "Return")
    wait_for("the message box to close", lambda: find_window("ardmon") is None)

    after = read_ini(client)
    record = after.get("halvo_launcher", {})
    check(record.get("last loaded file") == profile, f"record {record}")
    when = datetime.datetime.strptime(record.get("time", "?"), "%d-%b-%Y %H:%M:%S")
    check(started - datetime.timedelta(seconds=2) <= when <= datetime.datetime.now(),
          f"load time {record.get('time')} is not the time of the load")
    for section, entries in read_ini(os.path.join(ws, "env", profile)).items():
        if section == "halvo_launcher":
            continue
        for key, value in entries.items():
            got = after.get(section, {}).get(key)
            check(got == value, f"[{section}] {key} is {got!r} after the load, expected {value!r}")
    shown = dlg.read(EDIT_DU)
    check(shown == f"halvoclient.ini<{profile}>", f"Current Environment shows {shown!r}")
    log("load checked: halvoclient.ini and the Current Environment box")

    dlg.click(LAUNCH_DU)
    wait_for("the launcher to close", lambda: ardmon.poll() is not None)
    log(f"the launcher closed (exit status {ardmon.returncode})")
    term = wait_for("the terminal window", lambda: find_window(TERMINAL_TITLE))
    log(f"terminal window {term} is up")
    report_path = env["HALVO_TERMINAL_REPORT"]
    report = wait_for("the terminal's export", lambda: os.path.exists(report_path) and
                      open(report_path).read(), timeout=60)
    log("terminal report:\n" + report.rstrip())
    m = re.search(r"^workbook-export result=(-?\d+) pid=(\d+)$", report, re.M)
    check(m, "no result in the terminal's report")
    procs.append(int(m.group(2)))
    check(m.group(1) == "1", "the workbook export failed")
    check(f"environment: Environment: {profile} (loaded {record['time']})" in report,
          "the terminal does not show the loaded environment")
    check("message" not in report, "Ledgra showed a message during the export")

    # What the workbook must hold: the same blotter as the terminal writes it as text.
    expected_txt = os.path.join(args.scratch, "expected.txt")
    run(args.terminal, "--rows", str(args.rows), "--export-text", expected_txt,
        cwd=ws, env=env_without_unattended(env))
    with open(expected_txt, newline="") as f:
        rows = [line.rstrip("\r\n").split(",") for line in f]
    check(len(rows) == args.rows, f"text export has {len(rows)} rows")
    check_workbook(env["HALVO_TERMINAL_EXPORT_WORKBOOK"], rows)
    log(f"workbook checked: {args.rows} trades under the header, types and formats")

    # Both programs write to the log (the terminal inherits Ardmon's output).
    with open(os.path.join(args.scratch, "ardmon.log")) as f:
        output = f.read()
    for marker in ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"):
        check(marker not in output, f"sanitizer report in the programs' output: {marker}")


def env_without_unattended(env):
    return {k: v for k, v in env.items() if not k.startswith("HALVO_TERMINAL_")}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ardmon", required=True)
    ap.add_argument("--terminal", required=True)
    ap.add_argument("--workstation", required=True)
    ap.add_argument("--scratch", required=True)
    ap.add_argument("--rows", type=int, default=1000)
    args = ap.parse_args()
    for name in ("ardmon", "terminal", "workstation", "scratch"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    if not os.environ.get("DISPLAY"):
        log("SKIP: no X display")
        return SKIP
    missing = missing_tool(("xdotool", "xclip"), module="xlrd")
    if missing:
        log(f"SKIP: {missing} is not installed")
        return SKIP

    shutil.rmtree(args.scratch, ignore_errors=True)
    ws = os.path.join(args.scratch, "workstation")
    shutil.copytree(args.workstation, ws)
    terminal = os.path.join(ws, "VovuvAvavar.exe")
    shutil.copy(args.terminal, terminal)
    os.chmod(terminal, 0o755)

    env = dict(os.environ)
    env.update({
        "GSETTINGS_BACKEND": "memory",
        "NO_AT_BRIDGE": "1",
        "LEDGRA_OPEN_WORKBOOK": "0",
        "LC_ALL": "C",  # the load time is written with English month names
        # Ardmon starts the terminal with its own environment: these make the
        # terminal export on its own once its window is up, and stay open.
        "HALVO_TERMINAL_EXPORT_WORKBOOK": os.path.join(ws, "blotter.xls"),
        "HALVO_TERMINAL_ROWS": str(args.rows),
        "HALVO_TERMINAL_REPORT": os.path.join(args.scratch, "terminal-report.txt"),
        "HALVO_TERMINAL_HOLD": "1",
    })

    procs = []
    try:
        scenario(args, ws, env, procs)
        log("PASS")
        return 0
    except (Failure, subprocess.SubprocessError, OSError, ValueError) as e:
        log(f"FAIL: {e}")
        if shutil.which("import"):
            subprocess.run(["import", "-window", "root",
                            os.path.join(args.scratch, "failure.png")], timeout=30)
        with open(os.path.join(args.scratch, "ardmon.log")) as f:
            sys.stdout.write("ardmon output:\n" + f.read())
        return 1
    finally:
        # End only what this test started: Ardmon, and the terminal by the pid it
        # reported (or by its window's pid when it reported nothing).
        term = find_window(TERMINAL_TITLE)
        if term:
            r = subprocess.run(["xdotool", "getwindowpid", term], capture_output=True, text=True)
            if r.stdout.strip().isdigit() and int(r.stdout) not in procs:
                procs.append(int(r.stdout))
        for p in procs:
            if isinstance(p, subprocess.Popen):
                if p.poll() is None:
                    p.terminate()
                    p.wait(timeout=10)
            elif process_alive(p):
                os.kill(p, signal.SIGTERM)
                wait_for(f"process {p} to end", lambda: not process_alive(p), timeout=10)


if __name__ == "__main__":
    sys.exit(main())

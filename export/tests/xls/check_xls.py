#!/usr/bin/python3
"""Reads an .xls file back with independent readers and prints what they see,
one line per fact, so tests can compare the whole output.

  check_xls.py cells FILE      every non-empty cell, with type, format and value (xlrd)
  check_xls.py summary FILE    per sheet: size, counts per type and format, sums (xlrd)
  check_xls.py gnumeric FILE   each sheet as ssconvert writes it to CSV, and its warnings
  check_xls.py ole FILE        the compound file's streams (olefile, when installed)
"""
import glob
import hashlib
import io
import json
import os
import subprocess
import sys
import tempfile

import xlrd


def open_book(path):
    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log, verbosity=1)
    return book, log.getvalue()


def fmt_of(book, xf_index):
    return book.format_map[book.xf_list[xf_index].format_key].format_str


def text_repr(s):
    if len(s) <= 80:
        return json.dumps(s)
    digest = hashlib.sha1(s.encode("utf-8", "surrogatepass")).hexdigest()[:12]
    return "<%d chars %s...%s sha1 %s>" % (len(s), json.dumps(s[:10]), json.dumps(s[-10:]), digest)


def print_log(log):
    # At verbosity 1 xlrd also reports plain facts (codepage, countries...);
    # keep only what it flags as a warning, a note or an error.
    for line in log.splitlines():
        line = line.strip()
        if "***" in line or "WARN" in line.upper() or "ERROR" in line.upper():
            print("xlrd-log", line)


def cells(path):
    book, log = open_book(path)
    print_log(log)
    for sh in book.sheets():
        print("sheet %s rows=%d cols=%d" % (json.dumps(sh.name), sh.nrows, sh.ncols))
        for col, info in sorted(sh.colinfo_map.items()):
            if info.xf_index != 15:
                print("colinfo %d %s" % (col, json.dumps(fmt_of(book, info.xf_index))))
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                kind = xlrd.sheet.ctype_text[cell.ctype]
                fmt = fmt_of(book, cell.xf_index)
                if kind == "empty" and fmt == "General":
                    continue
                if kind == "text":
                    value = text_repr(cell.value)
                elif kind == "number":
                    value = repr(cell.value)
                else:
                    value = ""
                print("%d %d %s %s %s" % (r, c, kind, json.dumps(fmt), value))


def summary(path):
    book, log = open_book(path)
    print_log(log)
    for sh in book.sheets():
        counts = {}
        total = 0.0
        chars = 0
        for r in range(sh.nrows):
            for cell in sh.row(r):
                kind = xlrd.sheet.ctype_text[cell.ctype]
                key = (kind, fmt_of(book, cell.xf_index))
                counts[key] = counts.get(key, 0) + 1
                if kind == "number":
                    total += cell.value
                elif kind == "text":
                    chars += len(cell.value)
        print("sheet %s rows=%d cols=%d" % (json.dumps(sh.name), sh.nrows, sh.ncols))
        for (kind, fmt), n in sorted(counts.items()):
            print("  %s %s %d" % (kind, json.dumps(fmt), n))
        print("  number-sum %r text-chars %d" % (total, chars))


def gnumeric(path):
    with tempfile.TemporaryDirectory() as tmp:
        proc = subprocess.run(["ssconvert", "-S", path, os.path.join(tmp, "out_%n.csv")],
                              capture_output=True, text=True)
        print("exit", proc.returncode)
        for line in proc.stderr.splitlines():
            if line.strip():
                print("stderr", line)
        for name in sorted(glob.glob(os.path.join(tmp, "out_*.csv")),
                           key=lambda p: int(p.rsplit("_", 1)[1].split(".")[0])):
            print("csv", os.path.basename(name))
            with open(name, encoding="utf-8") as f:
                data = f.read()
            if len(data) > 4000:
                print("<%d bytes sha1 %s>" % (len(data), hashlib.sha1(data.encode()).hexdigest()[:12]))
            else:
                sys.stdout.write(data)


def ole(path):
    import olefile
    f = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    for entry in f.listdir():
        print("stream", "/".join(entry), f.get_size("/".join(entry)))
    f.close()


if __name__ == "__main__":
    {"cells": cells, "summary": summary, "gnumeric": gnumeric, "ole": ole}[sys.argv[1]](sys.argv[2])

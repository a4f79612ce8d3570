#!/usr/bin/python3
"""Reads an .xls file back with independent readers and prints what they see,
one line per fact, so tests can compare the whole output.

  check_xls.py cells FILE      every non-empty cell, with type, format and value (xlrd)
  check_xls.py summary FILE    per sheet: size, counts per type and format, sums (xlrd)
  check_xls.py gnumeric FILE   each sheet as ssconvert writes it to CSV, and its warnings
  check_xls.py texts FILE      every text cell in full, one per line (xlrd)
  check_xls.py rows FILE [N]   per sheet its name and size, then each row as
                               "kind:value:format" cells, the first and last N/2
                               rows when there are more than N (20); xlrd's
                               warnings go to stderr
  check_xls.py stream FILE     the Workbook stream walked record by record: sheet
                               offsets, record sizes, SST/CONTINUE layout, EXTSST
  check_xls.py container FILE  the compound file as olefile reads it, strictly:
                               version, sector size, entries, the root's class,
                               and whether its Workbook stream is xlrd's
"""
import glob
import hashlib
import io
import json
import struct
import os
import subprocess
import sys
import tempfile

import xlrd
import xlrd.compdoc


def open_book(path):
    log = io.StringIO()
    # Ragged rows: a row ends at its last cell rather than at the widest row.
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log, verbosity=1, ragged_rows=True)
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
            for c in range(sh.row_len(r)):
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


def texts(path):
    book, log = open_book(path)
    print_log(log)
    for sh in book.sheets():
        for r in range(sh.nrows):
            for c in range(sh.row_len(r)):
                cell = sh.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_TEXT:
                    print("%d %d %s" % (r, c, json.dumps(cell.value, ensure_ascii=False)))


def rows(path, limit="20"):
    limit = int(limit)
    book = xlrd.open_workbook(path, formatting_info=True, logfile=sys.stderr, verbosity=0)
    for sh in book.sheets():
        print(f"sheet {sh.name} {sh.nrows}x{sh.ncols}")
        if sh.nrows <= limit:
            shown = range(sh.nrows)
        else:
            shown = list(range(limit // 2)) + list(range(sh.nrows - limit // 2, sh.nrows))
        for r in shown:
            cells = []
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    cells.append("empty")
                    continue
                cells.append(f"{xlrd.sheet.ctype_text[cell.ctype]}:{cell.value!r}:{fmt_of(book, cell.xf_index)}")
            print(f"{r}: " + " | ".join(cells))


def walk(mem, pos):
    """Records from pos up to and including the next EOF: (offset, type, payload)."""
    out = []
    while True:
        if pos + 4 > len(mem):
            raise ValueError("stream ends inside a substream at %d" % pos)
        rtype, length = struct.unpack_from("<HH", mem, pos)
        out.append((pos, rtype, mem[pos + 4:pos + 4 + length]))
        pos += 4 + length
        if rtype == 0x000A:
            return out, pos


def check_sst(records):
    """Decodes the SST by the CONTINUE rules; returns [(string, offset of its
    header, offset of its record's header)] and problems found."""
    problems = []
    i = next(k for k, r in enumerate(records) if r[1] == 0x00FC)
    pieces = [records[i]]
    for r in records[i + 1:]:
        if r[1] != 0x003C:
            break
        pieces.append(r)
    for off, rtype, data in pieces:
        if len(data) > 8224:
            problems.append("record at %d has %d bytes" % (off, len(data)))
    total, unique = struct.unpack_from("<ii", pieces[0][2], 0)
    strings = []
    rec, at = 0, 8
    for n in range(unique):
        off, _, data = pieces[rec]
        if at == len(data):
            rec, at = rec + 1, 0
            off, _, data = pieces[rec]
        if at + 3 > len(data):
            problems.append("string %d: header split" % n)
            break
        start, record = off + 4 + at, off
        cch, flags = struct.unpack_from("<HB", data, at)
        at += 3
        if flags & ~1:
            problems.append("string %d: flags %#x" % (n, flags))
        units, first = [], True
        while len(units) < cch:
            if at == len(data):
                if first:
                    problems.append("string %d: no character after its header" % n)
                rec, at = rec + 1, 0
                off, _, data = pieces[rec]
                flags = data[0]
                at = 1
            first = False
            width = 2 if flags & 1 else 1
            take = min(cch - len(units), (len(data) - at) // width)
            chunk = data[at:at + take * width]
            at += take * width
            if width == 2:
                part = struct.unpack("<%dH" % take, chunk)
                if part and 0xD800 <= part[-1] <= 0xDBFF and len(units) + take < cch:
                    problems.append("string %d: a surrogate pair split over two records" % n)
                units.extend(part)
            else:
                units.extend(chunk)
        raw = b"".join(struct.pack("<H", u) for u in units)
        try:
            text = raw.decode("utf-16-le")
        except UnicodeDecodeError:
            problems.append("string %d: a surrogate pair was split or broken" % n)
            text = raw.decode("utf-16-le", "replace")
        strings.append((text, start, record))
    if rec != len(pieces) - 1 or at != len(pieces[rec][2]):
        problems.append("bytes left after the last string")
    return total, strings, len(pieces), problems


def stream(path):
    data = open(path, "rb").read()
    log = io.StringIO()
    mem = xlrd.compdoc.CompDoc(data, logfile=log).get_named_stream("Workbook")
    print_log(log.getvalue())
    print("file %d bytes (%d sectors after the header), stream %d bytes"
          % (len(data), (len(data) - 512) // 512, len(mem)))
    if (len(data) - 512) % 512:
        print("file size is not a whole number of sectors")
    globals_, pos = walk(mem, 0)
    sheets = [struct.unpack_from("<I", r[2], 0)[0] for r in globals_ if r[1] == 0x0085]
    for k, offset in enumerate(sheets):
        if offset != pos:
            print("sheet %d: BOUNDSHEET says %d, its BOF is at %d" % (k, offset, pos))
        if struct.unpack_from("<H", mem, offset)[0] != 0x0809:
            print("sheet %d: no BOF at %d" % (k, offset))
            return
        recs, pos = walk(mem, offset)
        big = [r for r in recs if len(r[2]) > 8224]
        if big:
            print("sheet %d: %d records over 8224 bytes" % (k, len(big)))
    if mem[pos:].strip(b"\0"):
        print("bytes after the last sheet that are not padding")
    print("sheets %d, padding %d" % (len(sheets), len(mem) - pos))
    total, strings, nrec, problems = check_sst(globals_)
    for p in problems:
        print("sst:", p)
    print("sst total=%d unique=%d records=%d" % (total, len(strings), nrec))
    ext = [r for r in globals_ if r[1] == 0x00FF]
    if not ext:
        print("no EXTSST")
        return
    payload = ext[0][2]
    dsst = struct.unpack_from("<H", payload, 0)[0]
    buckets = (len(payload) - 2) // 8
    wrong = 0
    for b in range(buckets):
        ib, cb, _ = struct.unpack_from("<IHH", payload, 2 + 8 * b)
        text, start, record = strings[b * dsst]
        if ib != start or cb != start - record:
            wrong += 1
            if wrong <= 3:
                print("extsst bucket %d: (%d, %d), string at (%d, %d)" % (b, ib, cb, start, start - record))
    expected = (len(strings) + dsst - 1) // dsst
    print("extsst dsst=%d buckets=%d%s%s" % (dsst, buckets, "" if buckets == expected else " expected %d" % expected,
                                             " wrong=%d" % wrong if wrong else ""))


def container(path):
    import olefile
    if not olefile.isOleFile(path):
        print("not a compound file")
        return
    # Anything olefile finds incorrect (not merely unusual) is an error.
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    for kind, message in ole.parsing_issues:
        print("defect %s: %s" % (kind.__name__, message))
    print("version %d.%d, sectors of %d bytes" % (ole.dll_version, ole.minor_version, ole.sector_size))
    print("entries %s" % ["/".join(e) for e in ole.listdir(streams=True, storages=True)])
    print("root class {%s}" % ole.root.clsid)
    data = ole.openstream("Workbook").read()
    same = data == xlrd.compdoc.CompDoc(open(path, "rb").read(), logfile=io.StringIO()).get_named_stream("Workbook")
    print("Workbook %d bytes, %s" % (len(data), "as xlrd reads it" if same else "NOT as xlrd reads it"))


if __name__ == "__main__":
    modes = {"cells": cells, "summary": summary, "gnumeric": gnumeric, "texts": texts, "rows": rows,
             "stream": stream, "container": container}
    modes[sys.argv[1]](*sys.argv[2:])

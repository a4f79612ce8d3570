#!/usr/bin/python3
"""Reads back with xlrd what xls_write.exe wrote under wine, and has olefile
check the compound files strictly: check_xls_win.py DIR"""
import os
import sys

import olefile
import xlrd

d = sys.argv[1]
book = xlrd.open_workbook(os.path.join(d, "small.xls"), formatting_info=True)
assert book.sheet_names() == ["Data-Sheet1", "Data-Sheet2"], book.sheet_names()
s = book.sheet_by_index(0)
fmt = lambda r, c: book.format_map[book.xf_list[s.cell_xf_index(r, c)].format_key].format_str
assert [s.cell_value(0, 0), s.cell_value(0, 1)] == ["Name", "Price"]
assert s.cell_value(1, 0) == "caf\u00e9" and fmt(1, 0) == "@", (s.cell_value(1, 0), fmt(1, 0))
assert s.cell_value(1, 1) == 12.5 and fmt(1, 1) == "0.00", fmt(1, 1)
assert book.sheet_by_index(1).cell_value(0, 0) == -3

big = xlrd.open_workbook(os.path.join(d, "large.xls")).sheet_by_index(0)
assert (big.nrows, big.ncols) == (65535, 10), (big.nrows, big.ncols)
assert big.cell_value(65534, 9) == 655349 and big.cell_value(1234, 5) == 12345
assert xlrd.open_workbook(os.path.join(d, "large.xls.again")).sheet_names()[0] == "Data-Sheet1"
for name in ["small.xls", "large.xls"]:
    ole = olefile.OleFileIO(os.path.join(d, name), raise_defects=olefile.DEFECT_INCORRECT)
    assert ole.listdir() == [["Workbook"]] and not ole.parsing_issues, (name, ole.listdir(), ole.parsing_issues)
assert not [f for f in os.listdir(d) if ".~" in f], os.listdir(d)  # no temporary files left
print("ok")

#!/usr/bin/python3
"""Reads back with xlrd the workbooks that com_test.exe and the C consumer had
the stand-in server write through COM under wine: check_com_xls.py DIR"""
import os
import sys

import xlrd

book = xlrd.open_workbook(os.path.join(sys.argv[1], "Trades.xls"), formatting_info=True)
assert book.sheet_names() == ["Trades-Sheet1", "Trades-Sheet2"], book.sheet_names()


def fmt(sheet, r, c):
    return book.format_map[book.xf_list[sheet.cell_xf_index(r, c)].format_key].format_str


first, second = book.sheet_by_index(0), book.sheet_by_index(1)
for s in (first, second):
    assert s.row_values(0) == ["Id", "Price", "Code", "Volume"], s.row_values(0)
assert (first.nrows, second.nrows) == (65535, 2), (first.nrows, second.nrows)
assert first.row_values(1) == [1.0, 1.25, "007", 1000.0], first.row_values(1)
assert [first.cell_type(1, c) for c in range(4)] == [xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_NUMBER,
                                                     xlrd.XL_CELL_TEXT, xlrd.XL_CELL_NUMBER]
assert (fmt(first, 1, 1), fmt(first, 1, 2)) == ("0.00", "@"), (fmt(first, 1, 1), fmt(first, 1, 2))
assert first.row_values(65534) == [65534.0, 65534.25, "007", 65534000.0], first.row_values(65534)
assert second.row_values(1) == [65535.0, 65535.25, "007", 65535000.0], second.row_values(1)
positions = xlrd.open_workbook(os.path.join(sys.argv[1], "positions.xls")).sheet_by_index(0)
assert positions.name == "positions-Sheet1", positions.name
assert [positions.row_values(r) for r in range(4)] == [
    ["Symbol", "Quantity", "Price"], ["HALV", 100, 12.5], ["ARDM", -5, 3.25], ["VOVU", 1000, 0.75]]
dialog = xlrd.open_workbook(os.path.join(sys.argv[1], "Dialog.xls"))
assert dialog.sheet_names() == ["Dialog-Sheet1"], dialog.sheet_names()
print("ok")

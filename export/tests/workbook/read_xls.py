# Prints what python xlrd reads from an .xls file: each sheet's name and size,
# then rows as "kind:value:format" cells (all rows, or the first and last
# LIMIT/2 when there are more). Warnings go to stderr.
import sys

import xlrd

path = sys.argv[1]
limit = int(sys.argv[2]) if len(sys.argv) > 2 else 20
book = xlrd.open_workbook(path, formatting_info=True, logfile=sys.stderr, verbosity=0)
for sheet in book.sheets():
    print(f"sheet {sheet.name} {sheet.nrows}x{sheet.ncols}")
    if sheet.nrows <= limit:
        rows = range(sheet.nrows)
    else:
        rows = list(range(limit // 2)) + list(range(sheet.nrows - limit // 2, sheet.nrows))
    for r in rows:
        cells = []
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                cells.append("empty")
                continue
            fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
            cells.append(f"{xlrd.sheet.ctype_text[cell.ctype]}:{cell.value!r}:{fmt}")
        print(f"{r}: " + " | ".join(cells))

// Saves the blotter through Ledgra, the way every workstation program does:
// an export object sized to the table, the cell-text callback, the caller's
// pointer in m_pUserData, then one of the writers.
#pragma once

#include <string>

namespace terminal {

// What the callback hands out: row 0 is the header row (titles, and the type
// code of each column), row r >= 1 is trade r - 1.
struct BlotterSource {
    int trades = 0;
};

// Ledgra's cell-text callback for the blotter (ColumnTextRtn).
int BlotterColumnText(void* pUserData, int nRow, int nColumn, std::string& strText, int* pnType);

// WriteToTextFile asks for rows 1..m_nRows, so the object gets the trade count.
int SaveBlotterAsText(BlotterSource& source);
// WriteToExcel asks for the header row 0 and data rows 1..m_nRows - 1, so the
// object gets the trade count plus one.
int ExportBlotterToWorkbook(BlotterSource& source);

}  // namespace terminal

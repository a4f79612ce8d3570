#include "blotter_export.h"

#include "blotter.h"

#include <ledgra/LedgraInterface.h>

namespace terminal {

int BlotterColumnText(void* pUserData, int nRow, int nColumn, std::string& strText, int* pnType) {
    const auto* source = static_cast<const BlotterSource*>(pUserData);
    if (nRow == 0) {
        strText = ColumnTitle(nColumn);
        if (pnType) *pnType = ColumnTypeCode(nColumn);
        return 1;
    }
    if (source == nullptr || nRow > source->trades) {
        strText.clear();
        return 0;
    }
    strText = CellText(static_cast<std::int64_t>(nRow) - 1, nColumn);
    return 1;
}

int SaveBlotterAsText(BlotterSource& source) {
    CLedgraInterface table(source.trades, kColumnCount);
    table.InitColumnTextRtn(&BlotterColumnText);
    table.m_pUserData = &source;
    return table.WriteToTextFile();
}

int ExportBlotterToWorkbook(BlotterSource& source) {
    CLedgraInterface table(source.trades + 1, kColumnCount);
    table.InitColumnTextRtn(&BlotterColumnText);
    table.m_pUserData = &source;
    return table.WriteToExcel();
}

}  // namespace terminal
